#pragma once

#include <QString>
#include <QWidget>

namespace q5n {

class ProgramHost;
struct AppContext;

// Base of every window that lives inside the main window under a page number
// (the setting pages, the link window, the memory window). The program counts
// it as open from the moment it is shown until it closes (activePage, the menu
// check mark and the disabled "Set All Default" item follow from that). Its
// own state dies with it; reopening shows the program state afresh.
class PageWindow : public QWidget
{
    Q_OBJECT
public:
    struct Definition
    {
        int page = 0;  // page number (1..9)
        QString title; // window title
    };

    // The definition of a page number as the page table gives it.
    static Definition definitionOf(int page);

    // The window takes the objectName the page table gives its number.
    PageWindow(ProgramHost &host, const Definition &definition, QWidget *parent = nullptr);
    ~PageWindow() override;

    int pageNumber() const { return m_definition.page; }
    ProgramHost &host() const { return m_host; }
    AppContext &context() const;

    // False while the window is busy (an exchange with the decoder waits):
    // then closing is refused.
    virtual bool canClose() const { return true; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ProgramHost &m_host;
    Definition m_definition;
    bool m_closed = false;
};

} // namespace q5n
