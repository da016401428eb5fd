#include "shell/DesktopCommands.h"

#include "files/SetupFile.h"
#include "model/SettingsSheet.h"
#include "platform/Prompter.h"
#include "shell/MainWindow.h"
#include "shell/PrintOutput.h"
#include "shell/SetupFileMessages.h"
#include "windows/CompareWindow.h"
#include "windows/DecoderUploadDialog.h"

#include <QDir>
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

DesktopCommands::DesktopCommands(MainWindow &main) : QObject(&main), m_main(main)
{
    m_choosePrinter = [this](QPrinter &printer) {
        QPrintDialog dialog(&printer, &m_main);
        dialog.setWindowTitle(QStringLiteral("Print Settings"));
        return dialog.exec() == QDialog::Accepted;
    };
    m_main.setAcceptDrops(true);
    m_main.installEventFilter(this);
}

DesktopCommands::~DesktopCommands() = default;

CompareWindow *DesktopCommands::compareWindow() const
{
    return m_compare.data();
}

CompareWindow &DesktopCommands::ensureCompareWindow()
{
    if (!m_compare)
        m_compare = new CompareWindow(m_main);
    return *m_compare;
}

void DesktopCommands::compareWithFile()
{
    if (const auto path = m_main.context().prompter.openFile(openSetupFileDialog()))
        compareWithFile(*path);
}

void DesktopCommands::compareWithFile(const QString &path)
{
    const ProgramState &s = m_main.context().state;
    // A file that ends early leaves the rest as it is here, as Open would.
    SetupFileContent content{s.setupInfo.deviceName,  s.setupInfo.userName,      s.setupInfo.buildingDate,
                             s.setupInfo.description, s.linkSettings.portNumber, s.linkSettings.linkMode,
                             s.workingImage};
    QString reason;
    if (!reportSetupFileRead(m_main.context().prompter, readSetupFileContent(path, content, &reason), path, reason))
        return;
    SetupInfo texts;
    texts.deviceName = content.deviceName;
    texts.userName = content.userName;
    texts.buildingDate = content.buildingDate;
    texts.description = content.description;
    texts.fileName = path;
    LinkSettings link;
    link.portNumber = content.portNumber;
    link.linkMode = content.linkMode;
    ensureCompareWindow().compare(QStringLiteral("the file \"%1\"").arg(QDir::toNativeSeparators(path)),
                                  {content.image, texts, link});
}

void DesktopCommands::compareWithDecoder()
{
    if (m_main.exchangeRunning())
        return;
    // The busy window asks the decoder while the program goes on; the
    // comparison opens when the answer has come.
    auto *busy = new DecoderUploadDialog(m_main);
    connect(busy, &DecoderUploadDialog::uploaded, this, [this](const UploadReply &reply) {
        ConfigImage other = m_main.context().state.workingImage;
        applyUploadReply(reply, other);
        const bool reader = reply.section == UploadReply::Section::Reader;
        const ByteRange range = reader ? ByteRange{kReaderFirst, kReaderLast} : ByteRange{kDecoderFirst, kDecoderLast};
        ensureCompareWindow().compare(reader ? QStringLiteral("the decoder's magnetic reader settings")
                                             : QStringLiteral("the decoder's bar decoder settings"),
                                      {other, std::nullopt, std::nullopt, range});
    });
    busy->start();
}

void DesktopCommands::printSettings()
{
    const ProgramState &s = m_main.context().state;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Q5N Configuration - %1").arg(QFileInfo(s.setupInfo.fileName).fileName()));
    printer.setCreator(QStringLiteral("q5ncfg"));
    if (!m_choosePrinter || !m_choosePrinter(printer))
        return;
    QTextDocument document;
    document.setHtml(sheetHtml(settingsSheet(s.setupInfo, s.linkSettings, s.workingImage, s.defaultImage)));
    const QString error = printDocument(document, printer);
    if (!error.isEmpty())
        m_main.context().prompter.ask({kMainTitle,
                                       QStringLiteral("The settings could not be printed.\n%1").arg(error),
                                       Prompter::Button::Ok,
                                       Prompter::Button::Ok,
                                       Prompter::Icon::Critical,
                                       {}});
}

bool DesktopCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_main) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDropEvent *>(event);
            if (!droppedFile(drag->mimeData()).isEmpty() && !m_main.exchangeRunning()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            const QString path = droppedFile(drop->mimeData());
            if (!path.isEmpty() && !m_main.exchangeRunning()) {
                drop->acceptProposedAction();
                // Questions and messages come after the drop has ended, so the
                // program the file came from is not held meanwhile.
                QTimer::singleShot(0, &m_main, [main = &m_main, path] { main->files().openPath(path); });
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace q5n
