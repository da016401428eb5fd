#pragma once

#include "shell/AppContext.h"
#include "shell/FileCommands.h"
#include "shell/PageSwitcher.h"
#include "shell/ProgramHost.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QDialog;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;

namespace q5n {

class AboutWindow;
class CompareCommands;
class DesktopCommands;
class HelpWindow;
class PageWindow;
struct SystemInfoLauncher;

// The main window MDImain: the frame of every page window. It builds its menus
// and toolbar from the page table and a table of its own commands and hands
// the work on: the open pages to the PageSwitcher, the file commands to
// FileCommands; pages and windows reach it as their ProgramHost.
class MainWindow : public QMainWindow, public ProgramHost
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    // --- ProgramHost -------------------------------------------------------
    AppContext &context() override { return m_ctx; }
    QWidget *hostWindow() override { return this; }
    // While a link window exchanges with the decoder nothing may change the
    // configuration or the link: the file commands but Exit, both Set All
    // Default items, every page command and every toolbar button are disabled,
    // and come back as they were when it ends.
    void setExchangeRunning(bool running) override;
    bool exchangeRunning() const override { return m_exchangeRunning; }
    QWidget *openWindow(int page) const override;
    // Page numbers: 1 cfg3, 2 cfg4, 3 cfg5, 4 cfg6, 5 frmTransmit, 6 magcfg4,
    // 7 magcfg6, 8 magcfg3, 9 frmReadMemory.
    void openPage(int page) override { m_pages->openPage(page); }
    bool closePage(int page) override { return m_pages->closePage(page); }
    void pageWindowClosed(int page, QWidget *window) override { m_pages->windowClosed(page, window); }

    QMdiArea *mdiArea() const { return m_mdi; }
    PageSwitcher &pages() { return *m_pages; }
    FileCommands &files() { return *m_files; }
    // Print and dropped files.
    DesktopCommands *desktopCommands() const { return m_desktop; }

    // Runs once before the window is first shown: port I/O start (with its
    // message when it fails), start values, defaults, images, caption.
    void startUp();

    // File commands (FileCommands).
    using SaveResult = FileCommands::SaveResult;
    void fileNew() { m_files->newFile(); }
    void fileOpen() { m_files->open(); }
    SaveResult fileSave() { return m_files->save(); }
    SaveResult fileSaveAs() { return m_files->saveAs(); }
    void fileSaveAsDefault() { m_files->saveAsDefault(); }
    void fileExit() { m_files->exit(); }

    // Page windows (PageSwitcher). Pages register their factory; tests
    // register stand-ins.
    using PageFactory = PageSwitcher::PageFactory;
    void registerPage(int page, PageFactory factory) { m_pages->registerPage(page, std::move(factory)); }
    bool hasPage(int page) const { return m_pages->hasPage(page); }
    PageWindow *showPage(int page) { return m_pages->showPage(page); }
    QMdiSubWindow *pageWindow(int page) const { return m_pages->pageWindow(page); }
    QMdiSubWindow *addPageWindow(int page, QWidget *window) { return m_pages->addPageWindow(page, window); }
    void closeSettingPages() { m_pages->closeSettingPages(); }
    qint16 closeActivePage() { return m_pages->closeActivePage(); }
    void showFamilyState() { m_pages->showFamilyState(); }
    void toggleReaderMode() { m_pages->toggleReaderMode(); }

    // The menu item (QAction) with this objectName, or nullptr.
    QAction *menuAction(const QString &name) const;
    // The toolbar's command, by button key ("new", "open", "save", "irm",
    // "com", "bar", "mis", "transmit", "mag", "krtest").
    void toolbarCommand(const QString &key);
    // The toolbar Toolbar1 and its buttons: each button is a QAction with the
    // objectName "tbr_<key>" and the key as its data().
    QToolBar *toolBar() const { return m_toolBar; }
    QAction *toolbarButton(const QString &key) const;
    // Replaces the program's own toolbar icons by the desktop theme's where
    // the theme has a fitting one; runs once the toolbar is first painted.
    void applyThemeIcons();

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

    // KR Test: the test window DDT, shown modally. Until a factory is set the
    // menu item and the "krtest" button are disabled.
    using KrTestFactory = std::function<QDialog *(ProgramHost &)>;
    void setKrTestWindowFactory(KrTestFactory factory);
    void toolsKrTest();
    QDialog *krTestWindow() const;

    // "Find Decoder...": its window, made afresh by the factory the program
    // registers each time the command runs, shown window-modal. Until a
    // factory is set the menu item is disabled.
    using FindDecoderFactory = std::function<QDialog *(ProgramHost &)>;
    void setFindDecoderFactory(FindDecoderFactory factory);
    void toolsFindDecoder();
    QDialog *findDecoderWindow() const;

    // "Compare with File..." and "Compare with Decoder": made by the factory
    // the program registers (the windows layer's). Until one is set, both
    // items are disabled.
    using CompareFactory = std::function<std::unique_ptr<CompareCommands>(ProgramHost &)>;
    void setCompareFactory(const CompareFactory &factory);
    CompareCommands *compareCommands() const { return m_compare.get(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createToolBar();
    void releasePageShortcuts(QMdiSubWindow *sub);

    AppContext &m_ctx;
    QMdiArea *m_mdi;
    QHash<QString, QPointer<QAction>> m_menuActions;
    QToolBar *m_toolBar = nullptr;
    std::unique_ptr<PageSwitcher> m_pages;
    std::unique_ptr<FileCommands> m_files;
    bool m_portIoStopped = false;
    bool m_themeIconsApplied = false;

    KrTestFactory m_krTestFactory;
    QPointer<QDialog> m_krTest;
    FindDecoderFactory m_findDecoderFactory;
    QPointer<QDialog> m_findDecoder;
    QPointer<HelpWindow> m_help;
    QPointer<AboutWindow> m_about;
    std::unique_ptr<SystemInfoLauncher> m_sysInfo;
    bool m_exchangeRunning = false;
    DesktopCommands *m_desktop = nullptr;
    std::unique_ptr<CompareCommands> m_compare;
    QList<QPair<QPointer<QAction>, bool>> m_lockedCommands; // with their enabled state before
};

} // namespace q5n
