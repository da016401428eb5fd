// The main window's menus, toolbar, page switching and the commands that are
// not file commands (Set All Default, help, About, KR Test).

#include "shell/MainWindow.h"

#include "model/PageTable.h"
#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "shell/AboutWindow.h"
#include "shell/CompareCommands.h"
#include "shell/DesktopCommands.h"
#include "shell/HelpWindow.h"
#include "shell/PageWindow.h"
#include "shell/Resources.h"
#include "shell/SystemInfo.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>

#include <exception>
#include <vector>

namespace q5n {

namespace {

const QString kDecoderDefaultQuestion = QStringLiteral("Are you sure to set all to default values for Bar Decoder?");
const QString kReaderDefaultQuestion = QStringLiteral("Are you sure to set all to default values for Magnet Reader?");

// Windows outside the page numbering that have a section of their own.
const char *const kWindowSections[] = {"DDT", "DlgCtrl", "frmAbout"};

} // namespace

// --- Menus and toolbar -------------------------------------------------------

namespace {

// One line of a menu: a command of the main window, a separator, or the items
// the page table (and the modal window table) give that menu.
struct MenuLine
{
    enum Kind { Command, Separator, FamilyPages, ToolPages } kind;
    const char *name = nullptr;
    const char *caption = nullptr;
    QKeySequence keys = {};
    void (*run)(MainWindow &) = nullptr;
};

struct MenuDeclaration
{
    const char *name;
    const char *caption;
    std::vector<MenuLine> lines;
};

// The menu bar, in order. A new command of the main window is one line here.
std::vector<MenuDeclaration> menuBarLines()
{
    using L = MenuLine;
    const QKeySequence none;
    return {
        {"mnuFile",
         "&File",
         {{L::Command, "mnuFileNew", "&New", QKeySequence(Qt::CTRL | Qt::Key_N), +[](MainWindow &w) { w.fileNew(); }},
          {L::Command, "mnuFileOpen", "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O),
           +[](MainWindow &w) { w.fileOpen(); }},
          {L::Command, "mnuFileSave", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S),
           +[](MainWindow &w) { w.fileSave(); }},
          {L::Command, "mnuFileSaveAs", "Save &As...", QKeySequence(Qt::CTRL | Qt::Key_A),
           +[](MainWindow &w) { w.fileSaveAs(); }},
          {L::Command, "mnuFileDefault", "Save As &Default", none, +[](MainWindow &w) { w.fileSaveAsDefault(); }},
          {L::Separator, "mnuMinus"},
          {L::Command, "mnuFileExit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_X),
           +[](MainWindow &w) { w.fileExit(); }}}},
        {"mnuConfig",
         "&Bar_Decoder",
         {{L::FamilyPages},
          {L::Separator, "mnuMinus1"},
          {L::Command, "mnuConfigDefault", "&Set All Default", none, +[](MainWindow &w) { w.configSetAllDefault(); }},
          {L::Separator, "mnuMinus2"},
          {L::ToolPages}}},
        {"mnuMag",
         "&Magnic_Reader",
         {{L::FamilyPages},
          {L::Separator, "mnuMagMinus1"},
          {L::Command, "mnuMagDefault", "&Set All Default", none, +[](MainWindow &w) { w.magSetAllDefault(); }},
          {L::Separator, "mnuMagMinus2"},
          {L::ToolPages}}},
        {"mnuTools",
         "&Tools",
         {{L::ToolPages},
          {L::Separator, "mnuToolsMinus1"},
          {L::Command, "mnuToolsCompareFile", "Compare with &File...", none,
           +[](MainWindow &w) {
               if (CompareCommands *c = w.compareCommands())
                   c->compareWithFile();
           }},
          {L::Command, "mnuToolsCompareDecoder", "Compare with &Decoder", none,
           +[](MainWindow &w) {
               if (CompareCommands *c = w.compareCommands())
                   c->compareWithDecoder();
           }},
          {L::Command, "mnuToolsPrint", "&Print Settings...", none,
           +[](MainWindow &w) { w.desktopCommands()->printSettings(); }},
          {L::Command, "mnuToolsFind", "F&ind Decoder...", none, +[](MainWindow &w) { w.toolsFindDecoder(); }}}},
        {"mnuHelp",
         "&Help",
         {{L::Command, "mnuHelpContents", "&Contents", none, +[](MainWindow &w) { w.helpContents(); }},
          {L::Command, "mnuHelpAbout", "&About", none, +[](MainWindow &w) { w.showAbout(); }}}},
    };
}

} // namespace

void MainWindow::createMenus()
{
    QMenuBar *bar = menuBar();
    auto newItem = [this](QMenu *m, const QString &name, const QString &caption, const QKeySequence &keys) {
        QAction *a = m->addAction(caption);
        a->setObjectName(name);
        m_menuActions.insert(name, a);
        if (!keys.isEmpty())
            a->setShortcut(keys);
        return a;
    };
    // The items that open a page, as the page table lists them for a menu:
    // the pages of a family, or the tools and then the modal windows.
    auto pageItems = [&](QMenu *m, bool tools) {
        for (const PageInfo &p : pageTable()) {
            if ((p.family == PageFamily::Tool) != tools)
                continue;
            for (const PageMenuItem &mi : p.menuItems) {
                if (mi.menu != m->objectName())
                    continue;
                QAction *a = newItem(m, mi.name, mi.caption, QKeySequence(mi.shortcut, QKeySequence::PortableText));
                // The setting pages put a check mark on their item while open.
                a->setCheckable(p.checksMenuItem && &mi == &p.menuItems.front());
                const int page = p.number;
                connect(a, &QAction::triggered, this, [this, page] { openPage(page); });
            }
        }
        if (!tools)
            return;
        for (const ModalWindowInfo &w : modalWindowTable()) {
            if (w.menuItem.menu != m->objectName())
                continue;
            QAction *a = newItem(m, w.menuItem.name, w.menuItem.caption,
                                 QKeySequence(w.menuItem.shortcut, QKeySequence::PortableText));
            a->setEnabled(false); // until its window has a factory
            connect(a, &QAction::triggered, this, &MainWindow::toolsKrTest);
        }
    };

    for (const MenuDeclaration &d : menuBarLines()) {
        QMenu *m = bar->addMenu(QLatin1String(d.caption));
        m->setObjectName(QLatin1String(d.name));
        m->menuAction()->setObjectName(QLatin1String(d.name));
        m_menuActions.insert(QLatin1String(d.name), m->menuAction());
        for (const MenuLine &line : d.lines) {
            switch (line.kind) {
            case MenuLine::Command: {
                QAction *a = newItem(m, QLatin1String(line.name), QLatin1String(line.caption), line.keys);
                connect(a, &QAction::triggered, this, [this, run = line.run] { run(*this); });
                break;
            }
            case MenuLine::Separator: {
                QAction *a = m->addSeparator();
                a->setObjectName(QLatin1String(line.name));
                m_menuActions.insert(QLatin1String(line.name), a);
                break;
            }
            case MenuLine::FamilyPages: pageItems(m, false); break;
            case MenuLine::ToolPages: pageItems(m, true); break;
            }
        }
    }
}

void MainWindow::createToolBar()
{
    m_toolBar = new QToolBar(QStringLiteral("Toolbar1"), this);
    m_toolBar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->toggleViewAction()->setEnabled(false); // no way to lose it by a context menu
    setContextMenuPolicy(Qt::NoContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    auto button = [this](const QString &key, const QString &tip, const char *theme) {
        // The program's own icon now; the desktop theme's, where it has a
        // fitting one, once the window is up (looking it up is slow).
        QAction *a = m_toolBar->addAction(programIcon(key), tip);
        if (theme)
            a->setProperty("themeIcon", QLatin1String(theme));
        a->setObjectName(QStringLiteral("tbr_") + key);
        a->setData(key);
        a->setToolTip(tip);
        // A tooltip with "&" would otherwise lose it as an access-key mark.
        a->setIconText(QString(tip).replace(QLatin1Char('&'), QStringLiteral("&&")));
        connect(a, &QAction::triggered, this, [this, key] { toolbarCommand(key); });
        return a;
    };
    button(QStringLiteral("new"), QStringLiteral("New File"), "document-new");
    button(QStringLiteral("open"), QStringLiteral("Open File"), "document-open");
    button(QStringLiteral("save"), QStringLiteral("Save File"), "document-save");
    m_toolBar->addSeparator();
    // The page buttons, in the order of the page table's rows that give them.
    for (const PageInfo &p : pageTable())
        if (!p.toolbarTip.isEmpty())
            button(p.toolbarKey, p.toolbarTip, nullptr);
    m_toolBar->addSeparator();
    button(QStringLiteral("mag"), QStringLiteral("Magnet Reader"), nullptr)->setCheckable(true);
    m_toolBar->addSeparator();
    for (const ModalWindowInfo &w : modalWindowTable())
        button(w.toolbarKey, w.toolbarTip, nullptr)->setEnabled(false); // until its window has a factory
}

void MainWindow::applyThemeIcons()
{
    for (QAction *a : m_toolBar->actions()) {
        const QString theme = a->property("themeIcon").toString();
        if (!theme.isEmpty() && QIcon::hasThemeIcon(theme))
            a->setIcon(QIcon::fromTheme(theme));
    }
}

QAction *MainWindow::toolbarButton(const QString &key) const
{
    return m_toolBar && !key.isEmpty() ? m_toolBar->findChild<QAction *>(QStringLiteral("tbr_") + key) : nullptr;
}

void MainWindow::setKrTestWindowFactory(KrTestFactory factory)
{
    m_krTestFactory = std::move(factory);
    for (const ModalWindowInfo &w : modalWindowTable()) {
        if (QAction *a = menuAction(w.menuItem.name))
            a->setEnabled(bool(m_krTestFactory));
        if (QAction *a = toolbarButton(w.toolbarKey))
            a->setEnabled(bool(m_krTestFactory));
    }
}

void MainWindow::setFindDecoderFactory(FindDecoderFactory factory)
{
    m_findDecoderFactory = std::move(factory);
    if (QAction *a = menuAction(QStringLiteral("mnuToolsFind")))
        a->setEnabled(bool(m_findDecoderFactory));
}

QDialog *MainWindow::findDecoderWindow() const
{
    return m_findDecoder.data();
}

void MainWindow::toolsFindDecoder()
{
    if (!m_findDecoderFactory || m_exchangeRunning)
        return;
    if (m_findDecoder) {
        m_findDecoder->raise();
        m_findDecoder->activateWindow();
        return;
    }
    m_findDecoder = m_findDecoderFactory(*this);
    if (!m_findDecoder)
        return;
    m_findDecoder->setAttribute(Qt::WA_DeleteOnClose);
    m_findDecoder->open(); // window-modal, without an event loop of its own
}

void MainWindow::setCompareFactory(const CompareFactory &factory)
{
    m_compare = factory ? factory(*this) : nullptr;
    for (const char *name : {"mnuToolsCompareFile", "mnuToolsCompareDecoder"})
        if (QAction *a = menuAction(QLatin1String(name)))
            a->setEnabled(m_compare != nullptr);
}

void MainWindow::toolbarCommand(const QString &key)
{
    if (key == QLatin1String("new"))
        fileNew();
    else if (key == QLatin1String("open"))
        fileOpen();
    else if (key == QLatin1String("save"))
        fileSave();
    else if (key == QLatin1String("mag"))
        toggleReaderMode();
    else if (key == QLatin1String("krtest"))
        toolsKrTest();
    else if (const int page = m_pages->toolbarPage(key))
        openPage(page);
    // "bar" in reader mode does nothing.
}

// --- Set All Default ---------------------------------------------------------

void MainWindow::configSetAllDefault()
{
    const auto answer = m_ctx.prompter.ask({kMainTitle,
                                            kDecoderDefaultQuestion,
                                            Prompter::Button::Yes | Prompter::Button::No,
                                            Prompter::Button::No,
                                            Prompter::Icon::Exclamation,
                                            {}});
    if (answer == Prompter::Button::Yes)
        m_ctx.state.copyDecoderDefaults();
}

void MainWindow::magSetAllDefault()
{
    const auto answer = m_ctx.prompter.ask({kMainTitle,
                                            kReaderDefaultQuestion,
                                            Prompter::Button::Yes | Prompter::Button::No,
                                            Prompter::Button::No,
                                            Prompter::Icon::Exclamation,
                                            {}});
    if (answer == Prompter::Button::Yes)
        m_ctx.state.copyReaderDefaults();
}

// --- Help --------------------------------------------------------------------

QString MainWindow::helpSectionForPage(int page)
{
    const PageInfo *p = pageInfo(page);
    return p ? p->helpSection : QStringLiteral("MDImain");
}

QString MainWindow::helpSectionFor(QWidget *widget) const
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto *page = qobject_cast<PageWindow *>(w))
            return helpSectionForPage(page->pageNumber());
        for (const char *name : kWindowSections)
            if (w->objectName() == QLatin1String(name))
                return w->objectName();
        if (w == this)
            break;
    }
    // Focus on the main window's own parts: the open page, else the main window.
    return helpSectionForPage(m_ctx.state.activePage);
}

HelpWindow *MainWindow::helpWindow() const
{
    return m_help.data();
}

void MainWindow::showHelp(const QString &section)
{
    if (!m_help)
        m_help = new HelpWindow(this);
    // A modal window (the KR Test) would block a help window owned by the
    // main window: the help then belongs to the modal window while it is up.
    QWidget *owner = QApplication::activeModalWidget();
    if (!owner || owner == m_help)
        owner = this;
    if (m_help->parentWidget() != owner)
        m_help->setParent(owner, Qt::Window);
    m_help->showSection(section);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MainWindow::helpContents()
{
    showHelp(QString());
}

void MainWindow::showContextHelp(QWidget *focus)
{
    if (!focus)
        focus = QApplication::focusWidget();
    showHelp(helpSectionFor(focus));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The toolbar has been painted with the program's own icons: now look up
    // the desktop theme's, which is slow, without delaying the first paint.
    if (event->type() == QEvent::Paint && watched == m_toolBar && !m_themeIconsApplied) {
        m_themeIconsApplied = true;
        QTimer::singleShot(0, this, &MainWindow::applyThemeIcons);
    }
    // F1 anywhere in the program but the help window opens the context help.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (!(m_help && m_help->isAncestorOf(widget)) && widget != m_help) {
                showContextHelp(widget);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- About and KR Test -------------------------------------------------------

AboutWindow *MainWindow::aboutWindow() const
{
    return m_about.data();
}

void MainWindow::setSystemInfoLauncher(const SystemInfoLauncher &launcher)
{
    *m_sysInfo = launcher;
}

void MainWindow::showAbout()
{
    if (!m_about)
        m_about = new AboutWindow(m_ctx.prompter, *m_sysInfo, this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

QDialog *MainWindow::krTestWindow() const
{
    return m_krTest.data();
}

void MainWindow::toolsKrTest()
{
    if (!m_krTestFactory)
        return;
    // Errors while showing the test window are ignored.
    try {
        if (!m_krTest)
            m_krTest = m_krTestFactory(*this);
        if (m_krTest)
            m_krTest->exec();
    } catch (const std::exception &) {
    }
}

} // namespace q5n
