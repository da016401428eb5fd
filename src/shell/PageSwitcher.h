#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace q5n {

class PageWindow;
class ProgramHost;
class ProgramState;

// The one owner of the open page windows. Which windows are open is kept here
// only; activePage, the check marks of the page items, the disabled "Set All
// Default" items and the enabled page commands are derived from it whenever it
// changes.
class PageSwitcher : public QObject
{
    Q_OBJECT
public:
    using PageFactory = std::function<PageWindow *(ProgramHost &)>;
    // How the switcher finds a menu item or a toolbar button (nullptr: none).
    using Lookup = std::function<QAction *(const QString &)>;

    PageSwitcher(ProgramHost &host, ProgramState &state, QMdiArea *area, Lookup menuItem, Lookup toolbarButton,
                 QObject *parent = nullptr);

    // Registering a page enables the menu items and toolbar buttons that open
    // it: a command whose window does not exist stays disabled.
    void registerPage(int page, PageFactory factory);
    bool hasPage(int page) const { return m_factories.count(page) != 0; }

    // Creates and shows the window of a page, without closing another one.
    // Returns nullptr for an unknown page.
    PageWindow *showPage(int page);
    // Adds a page's window as an MDI child; it counts as open until it closes.
    QMdiSubWindow *addPageWindow(int page, QWidget *window);
    // The window open for a page, if any.
    QMdiSubWindow *pageWindow(int page) const;
    // Closes the window of a page; false when the window refused to close.
    bool closePage(int page);
    // Closes the windows that New and Open close, in the page table's order.
    void closeSettingPages();
    // Closes the window of activePage (nothing for 0) and returns the number
    // that was open.
    qint16 closeActivePage();

    // The command behind every "open page n" menu item and toolbar button:
    // closes the open page; when that was page n it stops there; otherwise
    // switches the page family for the setting pages and shows page n. When
    // the open page refuses to close (it is busy), nothing else happens.
    void openPage(int page);
    // The "mag" button: switches the page family and replaces the open page by
    // its counterpart of the other family.
    void toggleReaderMode();
    // Makes the page commands match readerMode: "mag" pressed and "bar"
    // disabled in reader mode (an open cfg5 is closed then).
    void showFamilyState();
    // The page a toolbar button opens in the current family, or 0.
    int toolbarPage(const QString &key) const;

    // A page window has closed or is being destroyed.
    void windowClosed(int page, QWidget *window);

Q_SIGNALS:
    // A page window has become an MDI child.
    void windowAdded(QMdiSubWindow *sub);

private:
    struct Open
    {
        QMdiSubWindow *sub = nullptr;
        QWidget *window = nullptr;
    };
    // activePage and the page items' marks and availability, from m_open.
    void showOpenState();
    void updateCommandAvailability();

    ProgramHost &m_host;
    ProgramState &m_state;
    QMdiArea *m_area;
    Lookup m_menuItem;
    Lookup m_toolbarButton;
    std::map<int, PageFactory> m_factories;
    std::map<int, Open> m_open;
};

} // namespace q5n
