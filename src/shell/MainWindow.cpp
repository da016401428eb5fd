#include "shell/MainWindow.h"

#include "link/PortIo.h"
#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "shell/CompareCommands.h"
#include "shell/DesktopCommands.h"
#include "shell/PageWindow.h"
#include "shell/Resources.h"
#include "shell/SystemInfo.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace q5n {

namespace {
const QString kPortIoFailed = QStringLiteral("Keyboard port initialize error, only RS232 port is available!");
} // namespace

MainWindow::MainWindow(AppContext &context, QWidget *parent)
    : QMainWindow(parent), m_ctx(context), m_mdi(new QMdiArea(this)),
      m_sysInfo(std::make_unique<SystemInfoLauncher>(SystemInfoLauncher::system()))
{
    initResources();
    setObjectName(QStringLiteral("MDImain"));
    setWindowIcon(programIcon(QStringLiteral("q5ncfg")));
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    // The main window is never maximised; see changeEvent().
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    resize(900, 640);

    m_pages = std::make_unique<PageSwitcher>(
        *this, m_ctx.state, m_mdi, [this](const QString &name) { return menuAction(name); },
        [this](const QString &key) { return toolbarButton(key); });
    connect(m_pages.get(), &PageSwitcher::windowAdded, this, &MainWindow::releasePageShortcuts);
    m_files = std::make_unique<FileCommands>(m_ctx, *this, *m_pages);
    m_desktop = new DesktopCommands(*this, *m_files);

    createMenus();
    createToolBar();
    setCompareFactory({});
    setFindDecoderFactory({});
    m_pages->showFamilyState();
    // F1 anywhere in the program opens the context help.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    // Page windows go first, while the state and the menus they update on
    // closing still exist; closed ones may still wait for their deferred deletion.
    const auto subWindows = findChildren<QMdiSubWindow *>();
    for (QMdiSubWindow *sub : subWindows)
        delete sub;
    if (!m_portIoStopped)
        m_ctx.portIo.ShutdownWinIo();
}

void MainWindow::startUp()
{
    if (!m_ctx.portIo.InitializeWinIo())
        m_ctx.prompter.inform(kMainTitle, kPortIoFailed);
    m_ctx.state.resetLinkAndFlags();
    m_files->startUp();
    m_pages->showFamilyState();
}

QAction *MainWindow::menuAction(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    // The menus' own items are looked up by name, without walking the window
    // tree: a page window asks for its item while it is being destroyed.
    const auto it = m_menuActions.constFind(name);
    if (it != m_menuActions.constEnd() && !it->isNull())
        return it->data();
    return findChild<QAction *>(name, Qt::FindDirectChildrenOnly);
}

QWidget *MainWindow::openWindow(int page) const
{
    QMdiSubWindow *sub = m_pages->pageWindow(page);
    return sub ? sub->widget() : nullptr;
}

void MainWindow::releasePageShortcuts(QMdiSubWindow *sub)
{
    // A child window's system menu closes it with Ctrl+F4, which is the key of
    // the Communication page: the page commands' keys must reach the menus.
    QMenu *menu = sub->systemMenu();
    if (!menu)
        return;
    for (QAction *action : menu->actions()) {
        QList<QKeySequence> keys = action->shortcuts();
        const auto taken = [this](const QKeySequence &key) {
            for (QAction *item : menuBar()->findChildren<QAction *>())
                if (item->shortcuts().contains(key))
                    return true;
            return false;
        };
        keys.removeIf(taken);
        action->setShortcuts(keys);
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The page windows close first, each through its own closing; one that
    // refuses (an exchange with the decoder is running) keeps the program open.
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (!sub->close()) {
            event->ignore();
            return;
        }
    }
    if (!m_files->offerToSave()) {
        event->ignore();
        return;
    }
    if (!m_portIoStopped) {
        m_ctx.portIo.ShutdownWinIo();
        m_portIoStopped = true;
    }
    event->accept();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
}

} // namespace q5n
