#include "windows/CompareWindowCommands.h"

#include "files/SetupFile.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"
#include "shell/SetupFileMessages.h"
#include "windows/CompareWindow.h"
#include "windows/DecoderUploadDialog.h"

#include <QDir>

namespace q5n {

CompareWindowCommands::CompareWindowCommands(ProgramHost &host) : m_host(host) {}

CompareWindowCommands::~CompareWindowCommands() = default;

std::unique_ptr<CompareCommands> createCompareCommands(ProgramHost &host)
{
    return std::make_unique<CompareWindowCommands>(host);
}

CompareWindow *CompareWindowCommands::compareWindow() const
{
    return m_compare.data();
}

CompareWindow &CompareWindowCommands::ensureCompareWindow()
{
    if (!m_compare)
        m_compare = new CompareWindow(m_host);
    return *m_compare;
}

void CompareWindowCommands::compareWithFile()
{
    if (const auto path = m_host.context().prompter.openFile(openSetupFileDialog()))
        compareWithFile(*path);
}

void CompareWindowCommands::compareWithFile(const QString &path)
{
    const ProgramState &s = m_host.context().state;
    // A file that ends early leaves the rest as it is here, as Open would.
    SetupFileContent content{s.setupInfo.deviceName,  s.setupInfo.userName,      s.setupInfo.buildingDate,
                             s.setupInfo.description, s.linkSettings.portNumber, s.linkSettings.linkMode,
                             s.workingImage};
    QString reason;
    if (!reportSetupFileRead(m_host.context().prompter, readSetupFileContent(path, content, &reason), path, reason))
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

void CompareWindowCommands::compareWithDecoder()
{
    if (m_host.exchangeRunning())
        return;
    // The busy window asks the decoder while the program goes on; the
    // comparison opens when the answer has come.
    auto *busy = new DecoderUploadDialog(m_host);
    connect(busy, &DecoderUploadDialog::uploaded, this, [this](const UploadReply &reply) {
        ConfigImage other = m_host.context().state.workingImage;
        applyUploadReply(reply, other);
        const bool reader = reply.section == UploadReply::Section::Reader;
        const ByteRange range = reader ? ByteRange{kReaderFirst, kReaderLast} : ByteRange{kDecoderFirst, kDecoderLast};
        ensureCompareWindow().compare(reader ? QStringLiteral("the decoder's magnetic reader settings")
                                             : QStringLiteral("the decoder's bar decoder settings"),
                                      {other, std::nullopt, std::nullopt, range});
    });
    busy->start();
}

} // namespace q5n
