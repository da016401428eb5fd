#include "files/SetupFile.h"

#include "model/Text8.h"
#include "model/TextItems.h"
#include "platform/Paths.h"

#include <algorithm>

namespace q5n {

namespace {

QByteArray textLine(const QString &text)
{
    // A longer line would not read back; the text boxes never hold one.
    QByteArray bytes = encode8(text.left(kMaxLineLength));
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes + "\r\n";
}

} // namespace

QByteArray setupFileBytes(const SetupInfo &info, const LinkSettings &link, const ConfigImage &image)
{
    QByteArray out;
    out.reserve(64 + 4 * 24 + kImageSize * 7);
    out += kSetupSignature + "\r\n";
    out += textLine(info.deviceName);
    out += textLine(info.userName);
    out += textLine(info.buildingDate);
    out += textLine(info.description);
    out += numberItem(link.portNumber) + "\r\n";
    out += numberItem(link.linkMode) + "\r\n";
    for (quint8 b : image.bytes)
        out += numberItem(b) + "\r\n";
    return out;
}

bool parseSetupFile(const QByteArray &bytes, SetupFileContent &content)
{
    const LineRead read = readLines(bytes, kSetupFileLines);
    return read.status == LineRead::Status::Read && parseSetupLines(read.lines, content);
}

bool parseSetupLines(const QList<QByteArray> &lines, SetupFileContent &content)
{
    if (lines.isEmpty() || lines.front() != kSetupSignature)
        return false;
    auto line = [&](int number) -> const QByteArray * { // 1-based line number
        return number <= lines.size() && number <= kSetupFileLines ? &lines[number - 1] : nullptr;
    };
    QString *texts[] = {&content.deviceName, &content.userName, &content.buildingDate, &content.description};
    for (int i = 0; i < 4; ++i)
        if (const QByteArray *l = line(2 + i))
            *texts[i] = decode8(*l);
    qint16 *numbers[] = {&content.portNumber, &content.linkMode};
    for (int i = 0; i < 2; ++i)
        if (const QByteArray *l = line(6 + i))
            if (auto v = parseNumberItem(*l, -32768, 32767))
                *numbers[i] = static_cast<qint16>(*v);
    for (int i = 0; i < kImageSize; ++i)
        if (const QByteArray *l = line(8 + i))
            if (auto v = parseNumberItem(*l, 0, 255))
                content.image[i] = static_cast<quint8>(*v);
    return true;
}

QStringList setupFileDamage(const QList<QByteArray> &lines)
{
    QStringList damage;
    const auto what = [](int number) {
        if (number <= 5)
            return QStringLiteral("the setup texts");
        if (number == 6)
            return QStringLiteral("the port number");
        if (number == 7)
            return QStringLiteral("the link mode");
        return QStringLiteral("byte %1").arg(number - 8);
    };
    const int count = int(std::min<qsizetype>(lines.size(), kSetupFileLines));
    for (int number = 6; number <= count; ++number) {
        const bool image = number >= 8;
        if (parseNumberItem(lines[number - 1], image ? 0 : -32768, image ? 255 : 32767))
            continue;
        QString text = decode8(lines[number - 1]);
        if (text.size() > 24)
            text = text.left(24) + QStringLiteral("...");
        damage << QStringLiteral("line %1: \"%2\" is not a number from %3 (%4)")
                      .arg(number)
                      .arg(text, image ? QStringLiteral("0 to 255") : QStringLiteral("-32768 to 32767"), what(number));
    }
    if (count < kSetupFileLines) {
        const int first = count + 1;
        const QString missing = first == kSetupFileLines ? QStringLiteral("byte 84 is")
                                : first >= 8             ? QStringLiteral("byte %1 to byte 84 are").arg(first - 8)
                                             : QStringLiteral("lines %1 to %2 are").arg(first).arg(kSetupFileLines);
        damage << QStringLiteral("line %1: the file ends after line %2 of %3; %4 missing")
                      .arg(first)
                      .arg(count)
                      .arg(kSetupFileLines)
                      .arg(missing);
    }
    return damage;
}

QString writeSetupFile(ProgramState &state, const QString &path)
{
    const QString error =
        writeFileAtomically(path, setupFileBytes(state.setupInfo, state.linkSettings, state.workingImage));
    if (error.isEmpty())
        state.markSaved();
    return error;
}

ReadSetupResult readSetupFileContent(const QString &path, SetupFileContent &content, QString *reason)
{
    const FileLines file = readFileLines(path, kSetupFileLines);
    switch (file.status) {
    case FileLines::Status::Read: break;
    case FileLines::Status::Missing:
    case FileLines::Status::Unreadable:
        if (reason)
            *reason = file.error;
        return ReadSetupResult::Unreadable;
    default: return ReadSetupResult::NotSetupFile;
    }
    return parseSetupLines(file.lines, content) ? ReadSetupResult::Read : ReadSetupResult::NotSetupFile;
}

ReadSetupResult readSetupFile(ProgramState &state, const QString &path, QString *reason)
{
    SetupFileContent content{state.setupInfo.deviceName,  state.setupInfo.userName,      state.setupInfo.buildingDate,
                             state.setupInfo.description, state.linkSettings.portNumber, state.linkSettings.linkMode,
                             state.workingImage};
    const ReadSetupResult result = readSetupFileContent(path, content, reason);
    if (result != ReadSetupResult::Read)
        return result;
    state.setupInfo.fileName = path;
    state.setupInfo.deviceName = content.deviceName;
    state.setupInfo.userName = content.userName;
    state.setupInfo.buildingDate = content.buildingDate;
    state.setupInfo.description = content.description;
    state.linkSettings.portNumber = content.portNumber;
    state.linkSettings.linkMode = content.linkMode;
    state.workingImage = content.image;
    state.markSaved();
    return result;
}

} // namespace q5n
