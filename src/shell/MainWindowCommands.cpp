// The main window's menus, toolbar, page switching and the commands that are
// not file commands (Set All Default, help, About, KR Test).

#include "shell/MainWindow.h"

#include "model/PageTable.h"
#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "shell/AboutWindow.h"
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

namespace q5n {

namespace {

const QString kDecoderDefaultQuestion = QStringLiteral("Are you sure to set all to default values for Bar Decoder?");
const QString kReaderDefaultQuestion = QStringLiteral("Are you sure to set all to default values for Magnet Reader?");

bool isDecoderPage(int page)
{
    const PageInfo *p = pageInfo(page);
    return p && p->family == PageFamily::BarDecoder;
}
bool isReaderPage(int page)
{
    const PageInfo *p = pageInfo(page);
    return p && p->family == PageFamily::MagneticReader;
}

// The page of the other family that the "mag" button opens in place of the
// page that was open (0: nothing).
int counterpartPage(int page)
{
    const PageInfo *p = pageInfo(page);
    return p ? p->counterpart : Page::None;
}

// Windows outside the page numbering that have a section of their own.
const char *const kWindowSections[] = {"DDT", "DlgCtrl", "frmAbout"};

} // namespace

// --- Menus and toolbar -------------------------------------------------------

void MainWindow::createMenus()
{
    QMenuBar *bar = menuBar();
    auto menu = [&](const char *name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        m_menuActions.insert(QLatin1String(name), m->menuAction());
        return m;
    };
    auto newItem = [this](QMenu *m, const QString &name, const QString &caption, const QKeySequence &keys) {
        QAction *a = m->addAction(caption);
        a->setObjectName(name);
        m_menuActions.insert(name, a);
        if (!keys.isEmpty())
            a->setShortcut(keys);
        return a;
    };
    auto item = [&](QMenu *m, const char *name, const QString &caption, const QKeySequence &keys, auto slot) {
        QAction *a = newItem(m, QLatin1String(name), caption, keys);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    auto separator = [this](QMenu *m, const char *name) {
        QAction *a = m->addSeparator();
        a->setObjectName(QLatin1String(name));
        m_menuActions.insert(QLatin1String(name), a);
    };
    // The items that open a page, as the page table lists them for a menu:
    // the pages of a family first, the tools (from `tools` on) after.
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
                // Choosing a checkable item flips its mark before the command
                // runs; the mark then tells whether the page really is open (a
                // busy window that refuses to close keeps the chosen page from opening).
                const int page = p.number;
                connect(a, &QAction::triggered, this, [this, a, page] {
                    openPage(page);
                    if (a->isCheckable())
                        a->setChecked(pageWindow(page) != nullptr);
                });
            }
        }
    };

    QMenu *file = menu("mnuFile", QStringLiteral("&File"));
    item(file, "mnuFileNew", QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N), [this] { fileNew(); });
    item(file, "mnuFileOpen", QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O), [this] { fileOpen(); });
    item(file, "mnuFileSave", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { fileSave(); });
    item(file, "mnuFileSaveAs", QStringLiteral("Save &As..."), QKeySequence(Qt::CTRL | Qt::Key_A),
         [this] { fileSaveAs(); });
    item(file, "mnuFileDefault", QStringLiteral("Save As &Default"), {}, [this] { fileSaveAsDefault(); });
    separator(file, "mnuMinus");
    item(file, "mnuFileExit", QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_X), [this] { fileExit(); });

    QMenu *config = menu("mnuConfig", QStringLiteral("&Bar_Decoder"));
    pageItems(config, false);
    separator(config, "mnuMinus1");
    item(config, "mnuConfigDefault", QStringLiteral("&Set All Default"), {}, [this] { configSetAllDefault(); });
    separator(config, "mnuMinus2");
    pageItems(config, true);

    QMenu *mag = menu("mnuMag", QStringLiteral("&Magnic_Reader"));
    pageItems(mag, false);
    separator(mag, "mnuMagMinus1");
    item(mag, "mnuMagDefault", QStringLiteral("&Set All Default"), {}, [this] { magSetAllDefault(); });
    separator(mag, "mnuMagMinus2");
    pageItems(mag, true);

    QMenu *tools = menu("mnuTools", QStringLiteral("&Tools"));
    pageItems(tools, true);
    item(tools, "mnuToolsKRtest", QStringLiteral("&KR Test"), {}, [this] { toolsKrTest(); });
    separator(tools, "mnuToolsMinus1");
    item(tools, "mnuToolsCompareFile", QStringLiteral("Compare with &File..."), {},
         [this] { m_desktop->compareWithFile(); });
    item(tools, "mnuToolsCompareDecoder", QStringLiteral("Compare with &Decoder"), {},
         [this] { m_desktop->compareWithDecoder(); });
    item(tools, "mnuToolsPrint", QStringLiteral("&Print Settings..."), {}, [this] { m_desktop->printSettings(); });

    QMenu *help = menu("mnuHelp", QStringLiteral("&Help"));
    item(help, "mnuHelpContents", QStringLiteral("&Contents"), {}, [this] { helpContents(); });
    item(help, "mnuHelpAbout", QStringLiteral("&About"), {}, [this] { showAbout(); });
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

    struct Button
    {
        const char *key;
        const char *tooltip;
        const char *theme; // desktop theme icon preferred to the program's own, if any
    };
    const Button buttons[] = {
        {"new", "New File", "document-new"},
        {"open", "Open File", "document-open"},
        {"save", "Save File", "document-save"},
        {nullptr, nullptr, nullptr},
        {"irm", "Interface and Reading Mode", nullptr},
        {"com", "Communication Parameters", nullptr},
        {"bar", "Bar Codes and Others", nullptr},
        {"mis", "Miscellaneous Parameters", nullptr},
        {"transmit", "Transmit", nullptr},
        {nullptr, nullptr, nullptr},
        {"mag", "Magnet Reader", nullptr},
        {nullptr, nullptr, nullptr},
        {"krtest", "Keyboard & RS232 Test", nullptr},
    };
    for (const Button &b : buttons) {
        if (!b.key) {
            m_toolBar->addSeparator();
            continue;
        }
        const QString key = QLatin1String(b.key);
        const QString tip = QLatin1String(b.tooltip);
        // The program's own icon now; the desktop theme's, where it has a
        // fitting one, once the window is up (looking it up is slow).
        QAction *a = m_toolBar->addAction(programIcon(key), tip);
        if (b.theme)
            a->setProperty("themeIcon", QLatin1String(b.theme));
        a->setObjectName(QStringLiteral("tbr_") + key);
        a->setData(key);
        a->setToolTip(tip);
        // A tooltip with "&" would otherwise lose it as an access-key mark.
        a->setIconText(QString(tip).replace(QLatin1Char('&'), QStringLiteral("&&")));
        if (key == QLatin1String("mag"))
            a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, key] { toolbarCommand(key); });
    }
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
    return m_toolBar ? m_toolBar->findChild<QAction *>(QStringLiteral("tbr_") + key) : nullptr;
}

void MainWindow::registerPage(int page, PageFactory factory)
{
    m_factories[page] = std::move(factory);
    updateCommandAvailability();
}

void MainWindow::setKrTestWindowFactory(KrTestFactory factory)
{
    m_krTestFactory = std::move(factory);
    updateCommandAvailability();
}

int MainWindow::toolbarPage(const QString &key) const
{
    return q5n::toolbarPage(key, m_ctx.state.readerMode);
}

void MainWindow::updateCommandAvailability()
{
    for (const PageInfo &p : pageTable())
        for (const PageMenuItem &item : p.menuItems)
            if (QAction *a = menuAction(item.name))
                a->setEnabled(hasPage(p.number));
    if (QAction *a = menuAction(QStringLiteral("mnuToolsKRtest")))
        a->setEnabled(bool(m_krTestFactory));
    for (const PageInfo &p : pageTable())
        if (QAction *a = toolbarButton(p.toolbarKey)) {
            const int page = toolbarPage(p.toolbarKey);
            a->setEnabled(page != Page::None && hasPage(page));
        }
    if (QAction *a = toolbarButton(QStringLiteral("krtest")))
        a->setEnabled(bool(m_krTestFactory));
}

// --- Page switching ----------------------------------------------------------

qint16 MainWindow::closeActivePage()
{
    const qint16 open = m_ctx.state.activePage;
    if (open != Page::None)
        closePage(open);
    return open;
}

void MainWindow::showFamilyState()
{
    const bool reader = m_ctx.state.readerMode;
    if (QAction *mag = toolbarButton(QStringLiteral("mag")))
        mag->setChecked(reader);
    if (reader)
        closePage(Page::DecoderBar);
    // "bar" (enabled exactly when not in reader mode) and the page buttons
    // that open a page of the current family.
    updateCommandAvailability();
}

void MainWindow::openPage(int page)
{
    if (!hasPage(page))
        return;
    const int wasOpen = closeActivePage();
    if (m_ctx.state.activePage != Page::None)
        return; // the open page is busy and stays
    if (wasOpen == page)
        return;
    if (isDecoderPage(page)) {
        m_ctx.state.readerMode = false;
        showFamilyState();
    } else if (isReaderPage(page)) {
        m_ctx.state.readerMode = true;
        showFamilyState();
    }
    // The memory window finds its number set when it is created.
    if (page == Page::ReadMemory)
        m_ctx.state.activePage = static_cast<qint16>(page);
    if (showPage(page))
        m_ctx.state.activePage = static_cast<qint16>(page);
    else
        m_ctx.state.activePage = Page::None;
}

void MainWindow::toggleReaderMode()
{
    m_ctx.state.readerMode = !m_ctx.state.readerMode;
    showFamilyState();
    const int wasOpen = closeActivePage();
    if (m_ctx.state.activePage != Page::None)
        return; // the open page is busy and stays
    // The counterpart sets activePage itself when it opens.
    if (const int next = counterpartPage(wasOpen))
        showPage(next);
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
    else if (const int page = toolbarPage(key))
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
