#include "shell/MainWindow.h"

#include "files/SetupFile.h"
#include "link/PortIo.h"
#include "model/Defaults.h"
#include "model/PageTable.h"
#include "model/ProgramState.h"
#include "model/Text8.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "shell/DesktopCommands.h"
#include "shell/PageWindow.h"
#include "shell/Resources.h"
#include "shell/SetupFileMessages.h"
#include "shell/SystemInfo.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace q5n {

namespace {
const QString kSaveQuestion = QStringLiteral("Configuration had been changed,do you want to save your file?");
const QString kExitQuestion = QStringLiteral("Do you want to save your file?");
const QString kPortIoFailed = QStringLiteral("Keyboard port initialize error, only RS232 port is available!");
const QString kStartCaption = QStringLiteral("Q5N Configuration: ");
const QString kFileCaption = QStringLiteral("Configuration Setup: ");
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

    m_desktop = new DesktopCommands(*this);
    createMenus();
    createToolBar();
    showFamilyState();
    // F1 anywhere in the program opens the context help.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    // Page windows go first, while the state they update on closing still
    // exists; closed ones may still wait for their deferred deletion.
    const auto subWindows = findChildren<QMdiSubWindow *>();
    for (QMdiSubWindow *sub : subWindows)
        disconnect(sub, nullptr, this, nullptr);
    m_pages.clear();
    for (QMdiSubWindow *sub : subWindows)
        delete sub;
    if (!m_portIoStopped)
        m_ctx.portIo.ShutdownWinIo();
}

void MainWindow::startUp()
{
    ProgramState &s = m_ctx.state;
    if (!m_ctx.portIo.InitializeWinIo())
        m_ctx.prompter.inform(kMainTitle, kPortIoFailed);

    s.resetLinkAndFlags();
    s.resetSetupInfo(todayText(), ProgramState::kStartDescription);
    updateCaption(kStartCaption);

    loadDefaults(s, m_ctx.paths);
    s.workingImage = s.defaultImage;
    s.markSaved();
    showFamilyState();
}

QString MainWindow::todayText() const
{
    return dateText8(m_ctx.clock.today(), m_ctx.clock.locale());
}

void MainWindow::updateCaption(const QString &prefix)
{
    setWindowTitle(prefix + m_ctx.state.setupInfo.fileName);
}

bool MainWindow::offerToSave()
{
    if (!m_ctx.state.hasUnsavedChanges())
        return true;
    const auto answer = m_ctx.prompter.ask({kMainTitle,
                                            kSaveQuestion,
                                            Prompter::Button::Yes | Prompter::Button::No | Prompter::Button::Cancel,
                                            Prompter::Button::Yes,
                                            Prompter::Icon::None,
                                            {}});
    if (answer == Prompter::Button::Cancel)
        return false;
    // A save that does not complete (dialog cancelled, write failed) stops
    // the command: the changes the user wanted kept are still there.
    if (answer == Prompter::Button::Yes)
        return fileSave() == SaveResult::Saved;
    return true;
}

void MainWindow::fileNew()
{
    if (!offerToSave())
        return;
    ProgramState &s = m_ctx.state;
    s.copyDecoderDefaults();
    s.copyReaderDefaults();
    s.resetSetupInfo(todayText(), ProgramState::kNewDescription);
    s.markSaved();
    updateCaption(kFileCaption);
    closeSettingPages();
}

void MainWindow::fileOpen()
{
    if (!offerToSave())
        return;
    Prompter::FileDialog dialog{kSetupFileFilter,
                                kSetupFilePattern,
                                kSetupFileSuffix,
                                QString(),
                                /*mustExist*/ true,
                                false,
                                false};
    const auto path = m_ctx.prompter.openFile(dialog);
    if (!path)
        return;
    openSetupFile(*path);
}

bool MainWindow::openSetupFile(const QString &path, bool askFirst)
{
    if (askFirst && !offerToSave())
        return false;
    QString reason;
    if (!reportSetupFileRead(m_ctx.prompter, readSetupFile(m_ctx.state, path, &reason), path, reason))
        return false;
    updateCaption(kFileCaption);
    closeSettingPages();
    return true;
}

bool MainWindow::writeTo(const QString &path)
{
    const QString error = writeSetupFile(m_ctx.state, path);
    if (error.isEmpty())
        return true;
    m_ctx.prompter.ask(
        {kMainTitle,
         QStringLiteral("The file \"%1\" could not be saved.\n%2").arg(QDir::toNativeSeparators(path), error),
         Prompter::Button::Ok,
         Prompter::Button::Ok,
         Prompter::Icon::Critical,
         {}});
    return false;
}

MainWindow::SaveResult MainWindow::fileSave()
{
    if (m_ctx.state.setupInfo.fileName == SetupInfo::kNewFile)
        return fileSaveAs();
    return writeTo(m_ctx.state.setupInfo.fileName) ? SaveResult::Saved : SaveResult::Failed;
}

MainWindow::SaveResult MainWindow::fileSaveAs()
{
    Prompter::FileDialog dialog{
        kSetupFileFilter,          kSetupFilePattern,          kSetupFileSuffix, m_ctx.state.setupInfo.fileName, false,
        /*confirmOverwrite*/ true, /*directoryMustExist*/ true};
    const auto path = m_ctx.prompter.saveFile(dialog);
    if (!path)
        return SaveResult::Cancelled;
    // The folder must exist already: nothing is created on the way.
    const QDir folder = QFileInfo(*path).absoluteDir();
    if (!folder.exists()) {
        m_ctx.prompter.ask(
            {kMainTitle,
             QStringLiteral("The folder \"%1\" does not exist.\nThe file \"%2\" was not saved.")
                 .arg(QDir::toNativeSeparators(folder.path()), QDir::toNativeSeparators(QFileInfo(*path).fileName())),
             Prompter::Button::Ok,
             Prompter::Button::Ok,
             Prompter::Icon::Critical,
             {}});
        return SaveResult::Failed;
    }
    if (!writeTo(*path))
        return SaveResult::Failed;
    m_ctx.state.setupInfo.fileName = *path;
    updateCaption(kFileCaption);
    return SaveResult::Saved;
}

void MainWindow::fileSaveAsDefault()
{
    const SaveDefaultsResult result = saveAsDefault(m_ctx.state, m_ctx.paths);
    if (result.error.isEmpty())
        return;
    m_ctx.prompter.ask({kMainTitle,
                        QStringLiteral("The defaults could not be saved to \"%1\".\n%2")
                            .arg(QDir::toNativeSeparators(result.path), result.error),
                        Prompter::Button::Ok,
                        Prompter::Button::Ok,
                        Prompter::Icon::Critical,
                        {}});
}

void MainWindow::fileExit()
{
    const auto answer = m_ctx.prompter.ask({kMainTitle,
                                            kExitQuestion,
                                            Prompter::Button::Yes | Prompter::Button::No | Prompter::Button::Cancel,
                                            Prompter::Button::Yes,
                                            Prompter::Icon::None,
                                            {}});
    if (answer == Prompter::Button::Cancel)
        return;
    if (answer == Prompter::Button::Yes && fileSave() != SaveResult::Saved)
        return;
    close();
}

PageWindow *MainWindow::showPage(int page)
{
    const auto it = m_factories.find(page);
    if (it == m_factories.end())
        return nullptr;
    PageWindow *window = it->second(*this);
    if (!window)
        return nullptr;
    QMdiSubWindow *sub = addPageWindow(page, window);
    sub->show();
    window->setFocus();
    return window;
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

QMdiSubWindow *MainWindow::pageWindow(int page) const
{
    const auto it = m_pages.find(page);
    return it == m_pages.end() ? nullptr : it->second;
}

QMdiSubWindow *MainWindow::addPageWindow(int page, QWidget *window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = m_mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    releasePageShortcuts(sub);
    m_pages[page] = sub;
    connect(sub, &QObject::destroyed, this, [this, page, sub] {
        auto it = m_pages.find(page);
        // Compared as plain addresses: the window is half destroyed here.
        if (it != m_pages.end() && it->second == sub)
            m_pages.erase(it);
    });
    return sub;
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

bool MainWindow::closePage(int page)
{
    QMdiSubWindow *sub = pageWindow(page);
    if (!sub)
        return true;
    if (!sub->close())
        return false;
    m_pages.erase(page);
    return true;
}

void MainWindow::closeSettingPages()
{
    // In the page table's order: cfg3, cfg4, cfg5, cfg6, magcfg3, magcfg4,
    // magcfg6, frmTransmit. The memory window stays.
    for (const PageInfo &p : pageTable())
        if (p.closedWithConfiguration)
            closePage(p.number);
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
    if (!offerToSave()) {
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
