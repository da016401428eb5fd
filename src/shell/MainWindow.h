#pragma once

#include "shell/AppContext.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QDialog;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;

namespace q5n {

class AboutWindow;
class DesktopCommands;
class HelpWindow;
class PageWindow;
struct SystemInfoLauncher;

// The main window MDImain: the frame of every page window, the owner of the
// file commands and of start-up and shut-down.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    AppContext &context() { return m_ctx; }
    QMdiArea *mdiArea() const { return m_mdi; }

    // Runs once before the window is first shown: port I/O start (with its
    // message when it fails), start values, defaults, images, caption.
    void startUp();

    // Outcome of a Save or Save As.
    enum class SaveResult { Saved, Cancelled, Failed };

    // File commands.
    void fileNew();
    void fileOpen();
    SaveResult fileSave();
    SaveResult fileSaveAs();
    void fileSaveAsDefault();
    void fileExit();
    // Opens a setup file as Open does once its dialog has chosen it (the same
    // checks and messages); with `askFirst` the unsaved-changes question comes
    // first (a file dropped on the window). False when nothing was opened.
    bool openSetupFile(const QString &path, bool askFirst = false);
    // Compare, print and dropped files.
    DesktopCommands *desktopCommands() const { return m_desktop; }

    // Creates the window of a page (not yet shown). Pages register their
    // factory with registerPage(); tests register stand-ins.
    using PageFactory = std::function<PageWindow *(MainWindow &)>;
    // Registering a page also enables the menu items and toolbar buttons that
    // open it: a command whose window does not exist stays disabled.
    void registerPage(int page, PageFactory factory);
    bool hasPage(int page) const { return m_factories.count(page) != 0; }
    // Creates and shows the window of a page, without any page bookkeeping
    // (the window sets activePage itself). Returns nullptr for an unknown page.
    PageWindow *showPage(int page);

    // The menu item (QAction) with this objectName, or nullptr.
    QAction *menuAction(const QString &name) const;

    // Page windows by page number (0 when none): the window open for a page, if any.
    QMdiSubWindow *pageWindow(int page) const;
    // Adds a page's window as an MDI child; it is forgotten when it closes.
    QMdiSubWindow *addPageWindow(int page, QWidget *window);
    // Closes the window of a page; false when the window refused to close.
    bool closePage(int page);
    // Closes cfg3, cfg4, cfg5, cfg6, magcfg3, magcfg4, magcfg6 and frmTransmit,
    // in that order, those that are open (New and Open do this).
    void closeSettingPages();

    void updateCaption(const QString &prefix);

    // --- Page switching ----------------------------------------------------
    // Page numbers: 1 cfg3, 2 cfg4, 3 cfg5, 4 cfg6, 5 frmTransmit, 6 magcfg4,
    // 7 magcfg6, 8 magcfg3, 9 frmReadMemory.
    //
    // The command behind every "open page n" menu item and toolbar button:
    // closes the open page; when that was page n it stops there (choosing the
    // open page's command closes it); otherwise switches the page family for
    // pages 1-4 (bar decoder) and 6-8 (magnetic reader) and shows page n.
    // When the open page refuses to close (it is busy), nothing else happens.
    void openPage(int page);
    // Closes the window of activePage (nothing for 0) and returns the number
    // that was open. The closing window sets activePage to 0 itself.
    qint16 closeActivePage();
    // Makes the toolbar match readerMode: "mag" pressed and "bar" disabled in
    // reader mode (an open cfg5 is closed then), released/enabled otherwise.
    void showFamilyState();
    // The "mag" button: switches the page family and replaces the open page by
    // its counterpart of the other family (cfg3<->magcfg3, cfg4<->magcfg4,
    // cfg6<->magcfg6; frmTransmit is closed and reopened; nothing for the rest).
    void toggleReaderMode();
    // The toolbar's command, by button key ("new", "open", "save", "irm",
    // "com", "bar", "mis", "transmit", "mag", "krtest").
    void toolbarCommand(const QString &key);
    // The toolbar Toolbar1 and its buttons: each button is a QAction with the
    // objectName "tbr_<key>" and the key as its data().
    QToolBar *toolBar() const { return m_toolBar; }
    // Replaces the program's own toolbar icons by the desktop theme's where
    // the theme has a fitting one; runs once the toolbar is first painted.
    void applyThemeIcons();
    QAction *toolbarButton(const QString &key) const;

    // --- Other commands ----------------------------------------------------
    // Set All Default of the bar decoder (bytes 0..24) and of the magnetic
    // reader (bytes 25..84), each after a Yes/No question.
    void configSetAllDefault();
    void magSetAllDefault();

    // Help Contents: the program's own user guide, at its beginning.
    void helpContents();
    // Context help (F1): the guide at the section of the window that holds
    // `focus` (the focused widget when null).
    void showContextHelp(QWidget *focus = nullptr);
    // The help section of a page number (1..9), or of a window's objectName
    // ("DDT", "DlgCtrl", "frmAbout", "MDImain").
    static QString helpSectionForPage(int page);
    QString helpSectionFor(QWidget *widget) const;
    // Opens the guide at a section (empty: the beginning).
    void showHelp(const QString &section);
    HelpWindow *helpWindow() const;

    // About: the window frmAbout, not modal, created once.
    void showAbout();
    AboutWindow *aboutWindow() const;
    // How "System Info..." finds and starts the desktop's system information
    // tool; tests inject their own.
    void setSystemInfoLauncher(const SystemInfoLauncher &launcher);
    const SystemInfoLauncher &systemInfoLauncher() const { return *m_sysInfo; }

    // While a link window exchanges with the decoder nothing may change the
    // configuration or the link: the file commands but Exit, both Set All
    // Default items, every page command and every toolbar button are disabled,
    // and come back as they were when it ends.
    void setExchangeRunning(bool running);
    bool exchangeRunning() const { return m_exchangeRunning; }

    // KR Test: the test window DDT, shown modally. Until a factory is set the
    // menu item and the "krtest" button are disabled.
    using KrTestFactory = std::function<QDialog *(MainWindow &)>;
    void setKrTestWindowFactory(KrTestFactory factory);
    void toolsKrTest();
    QDialog *krTestWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createToolBar();
    // Enables every page command whose page has a factory (and KR Test when
    // its window has one); the toolbar's page buttons follow readerMode.
    void updateCommandAvailability();
    int toolbarPage(const QString &key) const;
    void releasePageShortcuts(QMdiSubWindow *sub);

    // The question of New, Open and closing; false when the user cancelled or
    // the save they asked for failed.
    bool offerToSave();
    bool writeTo(const QString &path);
    // Today's date as the setup texts hold it.
    QString todayText() const;

    AppContext &m_ctx;
    QMdiArea *m_mdi;
    // Open page windows; an entry goes when its window is destroyed.
    std::map<int, QMdiSubWindow *> m_pages;
    std::map<int, PageFactory> m_factories;
    bool m_portIoStopped = false;
    bool m_themeIconsApplied = false;

    QHash<QString, QPointer<QAction>> m_menuActions;
    QToolBar *m_toolBar = nullptr;
    KrTestFactory m_krTestFactory;
    QPointer<QDialog> m_krTest;
    QPointer<HelpWindow> m_help;
    QPointer<AboutWindow> m_about;
    std::unique_ptr<SystemInfoLauncher> m_sysInfo;
    bool m_exchangeRunning = false;
    DesktopCommands *m_desktop = nullptr;
    QList<QPair<QPointer<QAction>, bool>> m_lockedCommands; // with their enabled state before
};

} // namespace q5n
