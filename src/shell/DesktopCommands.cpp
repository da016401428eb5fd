#include "shell/DesktopCommands.h"

#include "model/ProgramState.h"
#include "model/SettingsSheet.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "shell/FileCommands.h"
#include "shell/PrintOutput.h"
#include "shell/ProgramHost.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QTimer>

namespace q5n {

namespace {

// The local file a drag carries, when it carries exactly one.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return QString();
    return data->urls().front().toLocalFile();
}

} // namespace

DesktopCommands::DesktopCommands(ProgramHost &host, FileCommands &files)
    : QObject(host.hostWindow()), m_host(host), m_files(files)
{
    m_choosePrinter = [this](QPrinter &printer) {
        QPrintDialog dialog(&printer, m_host.hostWindow());
        dialog.setWindowTitle(QStringLiteral("Print Settings"));
        return dialog.exec() == QDialog::Accepted;
    };
    m_host.hostWindow()->setAcceptDrops(true);
    m_host.hostWindow()->installEventFilter(this);
}

DesktopCommands::~DesktopCommands() = default;

void DesktopCommands::printSettings()
{
    const ProgramState &s = m_host.context().state;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Q5N Configuration - %1").arg(QFileInfo(s.setupInfo.fileName).fileName()));
    printer.setCreator(QStringLiteral("q5ncfg"));
    if (!m_choosePrinter || !m_choosePrinter(printer))
        return;
    QTextDocument document;
    document.setHtml(sheetHtml(settingsSheet(s.setupInfo, s.linkSettings, s.workingImage, s.defaultImage)));
    const QString error = printDocument(document, printer);
    if (!error.isEmpty())
        m_host.context().prompter.ask({kMainTitle,
                                       QStringLiteral("The settings could not be printed.\n%1").arg(error),
                                       Prompter::Button::Ok,
                                       Prompter::Button::Ok,
                                       Prompter::Icon::Critical,
                                       {}});
}

bool DesktopCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host.hostWindow()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDropEvent *>(event);
            if (!droppedFile(drag->mimeData()).isEmpty() && !m_host.exchangeRunning()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            const QString path = droppedFile(drop->mimeData());
            if (!path.isEmpty() && !m_host.exchangeRunning()) {
                drop->acceptProposedAction();
                // Questions and messages come after the drop has ended, so the
                // program the file came from is not held meanwhile.
                QTimer::singleShot(0, m_host.hostWindow(), [files = &m_files, path] { files->openPath(path); });
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace q5n
