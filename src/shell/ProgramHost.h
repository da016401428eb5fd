#pragma once

class QWidget;

namespace q5n {

struct AppContext;

// What a page window, a link window or a dialog of the program may ask of the
// program around it. The main window implements it; pages and windows see only
// this, never the main window itself.
class ProgramHost
{
public:
    // The program state and the seams to the outside world.
    virtual AppContext &context() = 0;
    // The window that owns the program's dialogs (their parent).
    virtual QWidget *hostWindow() = 0;
    // While an exchange with the decoder runs, the commands that could change
    // the configuration or the link are disabled; they come back as they were.
    virtual void setExchangeRunning(bool running) = 0;
    virtual bool exchangeRunning() const = 0;
    // The open window of a page number, or nullptr.
    virtual QWidget *openWindow(int page) const = 0;
    // The command behind the page's menu item and toolbar button.
    virtual void openPage(int page) = 0;
    // Closes the window of a page; false when it refused (an exchange runs).
    virtual bool closePage(int page) = 0;
    // A page window tells the program that it has closed (or is destroyed
    // without closing); the program then no longer counts it as open.
    virtual void pageWindowClosed(int page, QWidget *window) = 0;

protected:
    ~ProgramHost() = default;
};

} // namespace q5n
