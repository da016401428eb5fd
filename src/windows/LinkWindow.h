#pragma once

#include "link/LinkExchange.h"
#include "shell/PageWindow.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace q5n {

class BusyScope;
class KeyboardChannel;
class LinkSettingsPanel;
class SerialPort;

// The base of a window that talks to the decoder. The window declares its
// buttons and, per button, the exchange it starts and the message of each
// result; the base does the rest of every exchange: it disables the panel and
// the buttons (and the main window's commands), shows what the exchange waits
// for, refuses to close while it runs, and once it has finished shows the
// window's message, restores what it disabled, gives the focus back to the
// button and reports a port that could not be opened.
class LinkWindow : public PageWindow
{
    Q_OBJECT
public:
    ~LinkWindow() override;

    // Closing is refused while an exchange with the decoder runs.
    bool canClose() const override { return !m_busy; }
    bool busy() const { return m_busy; }

    LinkExchange &link() const { return *m_link; }
    SerialPort &serialPort() const;
    KeyboardChannel &keyboardChannel() const;

    // The buttons that start an exchange, in declaration order.
    QList<QPushButton *> exchangeButtons() const;

    // A close button: closes the window unless an exchange runs.
    void closeClicked();

protected:
    // One button that runs an exchange.
    struct Command
    {
        QPushButton *button = nullptr;
        // Asked before anything starts (a confirmation); false: nothing happens.
        std::function<bool()> confirm;
        // Starts the exchange on link().
        std::function<void()> start;
        // The window's message for the result (never asked for Aborted, nor for
        // PortUnavailable, which the base reports).
        std::function<void(LinkResult)> report;
    };

    LinkWindow(ProgramHost &host, int page, QWidget *parent = nullptr);

    // A push button as the link windows make them (no auto-default).
    QPushButton *makeButton(const QString &name, const QString &caption);
    // Makes the engine; the decoder's typed answers arrive in the window's
    // answer box (a tiny, focusable line edit the base makes: answerBox()).
    void setUpLink(LinkSettingsPanel *panel);
    // Declares a button's exchange; the button runs it when clicked.
    void addCommand(const Command &command);
    // Widgets disabled too while an exchange runs (besides the panel and the
    // exchange buttons).
    void disableWhileBusy(QList<QWidget *> widgets) { m_alsoDisabled += widgets; }
    // Runs after the message of every finished exchange (not an aborted one).
    void afterExchange(std::function<void()> step) { m_afterExchange = std::move(step); }

    // Runs the command of `button`, as a click does.
    void run(QPushButton *button);
    void message(const QString &title, const QString &text);

    LinkSettingsPanel *panel() const { return m_panel; }
    QLineEdit *answerBox() const { return m_answerBox; }
    // The line that shows what a running exchange waits for and for how long.
    QLabel *waitStatus() const { return m_waitStatus; }

    void showEvent(QShowEvent *event) override;

private:
    void finished(LinkResult result);
    void showWaiting(LinkExchange::Waiting what, int msLeft);

    LinkSettingsPanel *m_panel = nullptr;
    QLineEdit *m_answerBox = nullptr;
    QLabel *m_waitStatus = nullptr;
    LinkExchange *m_link = nullptr;
    std::vector<Command> m_commands;
    QList<QWidget *> m_alsoDisabled;
    std::function<void()> m_afterExchange;
    const Command *m_running = nullptr;
    std::unique_ptr<BusyScope> m_busyScope;
    bool m_busy = false;
    bool m_shown = false;
};

} // namespace q5n
