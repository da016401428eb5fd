#pragma once

#include <QString>
#include <QWidget>

namespace q5n {

class MainWindow;
struct AppContext;

// Base of every window that lives inside the main window under a page number
// (the setting pages, the link window, the memory window). It keeps the page
// contract: on opening it sets activePage to its number, checks its menu item
// and disables its family's "Set All Default" item; on closing it undoes all
// three. Its own state dies with it; reopening shows the program state afresh.
class PageWindow : public QWidget
{
    Q_OBJECT
public:
    struct Definition
    {
        int page = 0;             // page number (1..9)
        QString title;            // window title
        QString checkedMenuItem;  // objectName of the menu item checked while open, or empty
        QString disabledMenuItem; // "mnuConfigDefault" / "mnuMagDefault" disabled while open, or empty
    };

    // The definition of a page number as the page table gives it.
    static Definition definitionOf(int page);

    // The window takes the objectName the page table gives its number.
    PageWindow(MainWindow &main, const Definition &definition, QWidget *parent = nullptr);
    ~PageWindow() override;

    int pageNumber() const { return m_definition.page; }
    MainWindow &mainWindow() const { return m_main; }
    AppContext &context() const;

    // False while the window is busy (an exchange with the decoder waits):
    // then closing is refused.
    virtual bool canClose() const { return true; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setMenuState(bool open);

    MainWindow &m_main;
    Definition m_definition;
    bool m_closed = false;
};

} // namespace q5n
