#include "tool/Commands.h"

#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/Text8.h"
#include "model/TextItems.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "tool/Apply.h"
#include "tool/FieldNames.h"
#include "tool/TerminalText.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace q5n::tool {

namespace {

QString linkModeText(int mode)
{
    return mode == LinkSettings::kRs232 ? QStringLiteral("RS232") : QStringLiteral("Keyboard");
}

QJsonObject fieldJson(const FieldRef &ref, const ConfigImage &image)
{
    const FieldEntry &e = *ref.entry;
    QJsonObject o;
    o[QStringLiteral("name")] = qualifiedName(ref);
    o[QStringLiteral("page")] = pageObjectName(e.page);
    o[QStringLiteral("pageTitle")] = pageTitle(e.page);
    o[QStringLiteral("caption")] = captionPath(ref).section(QStringLiteral(" \u203A "), 1);
    o[QStringLiteral("value")] = valueOf(ref, image);
    o[QStringLiteral("byte")] = ref.firstByte();
    if (e.kind == FieldKind::CharacterSequence)
        o[QStringLiteral("length")] = e.length;
    else
        o[QStringLiteral("mask")] = e.occupiedMask();
    const FieldKind k = e.kind;
    if (k == FieldKind::Index || k == FieldKind::Coded)
        o[QStringLiteral("known")] = shownOption(e, image).has_value();
    QJsonArray stored;
    for (char c : storedBits(ref, image))
        stored.append(int(quint8(c)));
    o[QStringLiteral("stored")] = stored;
    return o;
}

QString bitsText(const FieldRef &ref)
{
    const FieldEntry &e = *ref.entry;
    if (e.kind == FieldKind::CharacterSequence)
        return QStringLiteral("bytes %1..%2").arg(ref.firstByte()).arg(ref.firstByte() + e.length - 1);
    if (e.occupiedMask() == 0xFF)
        return QStringLiteral("byte %1").arg(e.byte);
    return QStringLiteral("byte %1 mask 0x%2").arg(e.byte).arg(e.occupiedMask(), 2, 16, QLatin1Char('0'));
}

struct TextItem
{
    const char *label;
    QString SetupInfo::*member;
};
const TextItem kTexts[] = {
    {"Device Name", &SetupInfo::deviceName},
    {"User's Name", &SetupInfo::userName},
    {"Building Date", &SetupInfo::buildingDate},
    {"Description", &SetupInfo::description},
};

// Splits "--json" (and other flags) from the positional arguments.
bool takeFlag(QStringList &args, const QString &flag)
{
    return args.removeAll(flag) > 0;
}

} // namespace

bool loadConfig(const QString &path, LoadedConfig &config, QString *error)
{
    // The program's own bounded reader: only a regular file, line by line,
    // never more lines than a setup file has.
    const FileLines file = readFileLines(path, kSetupFileLines);
    switch (file.status) {
    case FileLines::Status::Read: break;
    case FileLines::Status::Missing: *error = QStringLiteral("%1: no such file").arg(path); return false;
    case FileLines::Status::NotRegularFile: *error = QStringLiteral("%1: not a regular file").arg(path); return false;
    case FileLines::Status::Unreadable: *error = QStringLiteral("%1: %2").arg(path, file.error); return false;
    case FileLines::Status::NotPrivate:
    case FileLines::Status::LineTooLong: *error = QStringLiteral("%1: %2").arg(path, kNotSetupFileText); return false;
    }
    config = LoadedConfig{};
    config.image = factoryImage();
    if (!file.lines.isEmpty() && file.lines.front() == kDefaultsMarker) {
        QByteArray bytes;
        for (const QByteArray &line : file.lines)
            bytes += line + QByteArrayLiteral("\r\n");
        const auto image = parseDefaultsFile(bytes);
        if (!image) {
            *error =
                QStringLiteral("%1: not a usable defaults file (the program would use the factory values)").arg(path);
            return false;
        }
        config.defaultsFile = true;
        config.image = *image;
        return true;
    }
    SetupFileContent content;
    content.image = config.image;
    if (!parseSetupLines(file.lines, content)) {
        *error = QStringLiteral("%1: %2").arg(path, kNotSetupFileText);
        return false;
    }
    config.setupInfo.deviceName = content.deviceName;
    config.setupInfo.userName = content.userName;
    config.setupInfo.buildingDate = content.buildingDate;
    config.setupInfo.description = content.description;
    config.setupInfo.fileName = path;
    config.linkSettings.portNumber = content.portNumber;
    config.linkSettings.linkMode = content.linkMode;
    config.image = content.image;
    return true;
}

int showCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QStringList args = arguments;
    const bool json = takeFlag(args, QStringLiteral("--json"));
    if (args.size() != 1) {
        err << "usage: q5ntool show FILE [--json]\n";
        return kUsage;
    }
    LoadedConfig config;
    QString error;
    if (!loadConfig(args[0], config, &error)) {
        err << "q5ntool: " << error << '\n';
        return kUsage;
    }
    if (json) {
        QJsonObject root;
        root[QStringLiteral("file")] = args[0];
        root[QStringLiteral("kind")] = config.defaultsFile ? QStringLiteral("defaults") : QStringLiteral("setup");
        if (!config.defaultsFile) {
            QJsonObject texts;
            texts[QStringLiteral("deviceName")] = config.setupInfo.deviceName;
            texts[QStringLiteral("userName")] = config.setupInfo.userName;
            texts[QStringLiteral("buildingDate")] = config.setupInfo.buildingDate;
            texts[QStringLiteral("description")] = config.setupInfo.description;
            root[QStringLiteral("setup")] = texts;
            root[QStringLiteral("port")] = config.linkSettings.portNumber;
            root[QStringLiteral("linkMode")] = config.linkSettings.linkMode;
        }
        QJsonArray fields;
        for (const FieldRef &ref : imageFields())
            fields.append(fieldJson(ref, config.image));
        root[QStringLiteral("fields")] = fields;
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
        return kDone;
    }
    if (config.defaultsFile) {
        out << "Defaults file: " << terminalText(args[0]) << '\n';
    } else {
        out << "Setup file: " << terminalText(args[0]) << '\n';
        for (const TextItem &t : kTexts)
            out << t.label << ": " << terminalText(config.setupInfo.*t.member) << '\n';
        out << "Port: " << config.linkSettings.portNumber << " (Com " << config.linkSettings.portNumber << ")\n";
        out << "Link mode: " << config.linkSettings.linkMode << " (" << linkModeText(config.linkSettings.linkMode)
            << ")\n";
    }
    for (const FieldRef &ref : imageFields())
        out << captionPath(ref) << " = " << terminalText(valueOf(ref, config.image)) << "   [" << qualifiedName(ref)
            << ", " << bitsText(ref) << "]\n";
    return kDone;
}

int diffCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QStringList args = arguments;
    const bool json = takeFlag(args, QStringLiteral("--json"));
    if (args.size() != 2) {
        err << "usage: q5ntool diff A B [--json]\n";
        return kUsage;
    }
    LoadedConfig a, b;
    QString error;
    if (!loadConfig(args[0], a, &error) || !loadConfig(args[1], b, &error)) {
        err << "q5ntool: " << error << '\n';
        return kUsage;
    }
    struct Difference
    {
        QString name, path, before, after;
    };
    std::vector<Difference> diffs;
    if (!a.defaultsFile && !b.defaultsFile) {
        for (const TextItem &t : kTexts)
            if (a.setupInfo.*t.member != b.setupInfo.*t.member)
                diffs.push_back({QString::fromLatin1(t.label), QString::fromLatin1(t.label), a.setupInfo.*t.member,
                                 b.setupInfo.*t.member});
        if (a.linkSettings.portNumber != b.linkSettings.portNumber)
            diffs.push_back({QStringLiteral("Port"), QStringLiteral("Port"), QString::number(a.linkSettings.portNumber),
                             QString::number(b.linkSettings.portNumber)});
        if (a.linkSettings.linkMode != b.linkSettings.linkMode)
            diffs.push_back({QStringLiteral("Link mode"), QStringLiteral("Link mode"),
                             linkModeText(a.linkSettings.linkMode), linkModeText(b.linkSettings.linkMode)});
    }
    for (const FieldRef &ref : imageFields())
        if (storedBits(ref, a.image) != storedBits(ref, b.image))
            diffs.push_back({qualifiedName(ref), captionPath(ref), valueOf(ref, a.image), valueOf(ref, b.image)});
    // Bits that no field owns still count: a decoder would receive them.
    for (int i = 0; i < kImageSize; ++i) {
        const int owned = ownedBits(i);
        if ((a.image[i] & ~owned) != (b.image[i] & ~owned))
            diffs.push_back({QStringLiteral("byte%1").arg(i), QStringLiteral("byte %1 (bits no page shows)").arg(i),
                             QStringLiteral("0x%1").arg(a.image[i], 2, 16, QLatin1Char('0')),
                             QStringLiteral("0x%1").arg(b.image[i], 2, 16, QLatin1Char('0'))});
    }
    if (json) {
        QJsonArray list;
        for (const Difference &d : diffs)
            list.append(QJsonObject{{QStringLiteral("name"), d.name},
                                    {QStringLiteral("field"), d.path},
                                    {QStringLiteral("old"), d.before},
                                    {QStringLiteral("new"), d.after}});
        out << QJsonDocument(QJsonObject{{QStringLiteral("a"), args[0]},
                                         {QStringLiteral("b"), args[1]},
                                         {QStringLiteral("equal"), diffs.empty()},
                                         {QStringLiteral("differences"), list}})
                   .toJson(QJsonDocument::Indented);
    } else {
        for (const Difference &d : diffs)
            out << d.path << ": " << terminalText(d.before) << " \u2192 " << terminalText(d.after) << "   [" << d.name
                << "]\n";
    }
    return diffs.empty() ? kDone : kDiffer;
}

int setCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QStringList args = arguments;
    QString output;
    const int o = args.indexOf(QStringLiteral("-o"));
    if (o >= 0) {
        if (o + 1 >= args.size()) {
            err << "q5ntool set: -o needs a file name\n";
            return kUsage;
        }
        output = args[o + 1];
        args.remove(o, 2);
    }
    if (args.size() < 2) {
        err << "usage: q5ntool set FILE NAME=VALUE... [-o OUT]\n";
        return kUsage;
    }
    const QString file = args.takeFirst();
    if (output.isEmpty())
        output = file;
    LoadedConfig config;
    QString error;
    if (!loadConfig(file, config, &error)) {
        err << "q5ntool: " << error << '\n';
        return kUsage;
    }
    QStringList problems;
    for (const QString &pair : args) {
        const int eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            problems << QStringLiteral("%1: expected NAME=VALUE").arg(pair);
            continue;
        }
        const QString name = pair.left(eq);
        const QString value = pair.mid(eq + 1);
        if (QString *text = setupTextByName(config.setupInfo, name)) {
            if (config.defaultsFile)
                problems << QStringLiteral("%1: a defaults file holds no setup texts").arg(name);
            else if (!encodable8(value) || std::any_of(value.begin(), value.end(), isTerminalControl) ||
                     value.size() > kMaxLineLength)
                problems << QStringLiteral("%1: the text must be one line of 8-bit characters without control "
                                           "characters")
                                .arg(name);
            else
                *text = value;
            continue;
        }
        const QString lower = name.toLower();
        if (lower == QLatin1String("port") || lower == QLatin1String("linkmode")) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (config.defaultsFile)
                problems << QStringLiteral("%1: a defaults file holds no link settings").arg(name);
            else if (lower == QLatin1String("port") && (!ok || n < 1 || n > 6))
                problems << QStringLiteral("port: \"%1\" is not a port; use 1 to 6").arg(value);
            else if (lower == QLatin1String("port"))
                config.linkSettings.portNumber = qint16(n);
            else if (value.compare(QLatin1String("rs232"), Qt::CaseInsensitive) == 0 || (ok && n == 1))
                config.linkSettings.linkMode = LinkSettings::kRs232;
            else if (value.compare(QLatin1String("keyboard"), Qt::CaseInsensitive) == 0 || (ok && n == 0))
                config.linkSettings.linkMode = LinkSettings::kKeyboard;
            else
                problems << QStringLiteral("linkMode: \"%1\" is not a link mode; use RS232 or Keyboard").arg(value);
            continue;
        }
        const auto ref = resolveField(name, &error);
        if (!ref) {
            problems << error;
            continue;
        }
        if (!setValue(*ref, value, config.image, &error))
            problems << error;
    }
    if (!problems.isEmpty()) {
        for (const QString &p : problems)
            err << "q5ntool set: " << p << '\n';
        err << "q5ntool set: nothing written\n";
        return kUsage;
    }
    const QByteArray bytes = config.defaultsFile ? defaultsFileBytes(config.image)
                                                 : setupFileBytes(config.setupInfo, config.linkSettings, config.image);
    const QString writeError = writeFileAtomically(output, bytes);
    if (!writeError.isEmpty()) {
        err << "q5ntool: " << output << ": " << writeError << '\n';
        return kUsage;
    }
    out.flush();
    return kDone;
}

int newCommand(const QStringList &arguments, QTextStream &, QTextStream &err)
{
    if (arguments.size() != 1) {
        err << "usage: q5ntool new FILE\n";
        return kUsage;
    }
    ProgramState state;
    loadDefaults(state, Paths::system());
    state.workingImage = state.defaultImage;
    state.resetSetupInfo(Clock().shortDateText(), ProgramState::kNewDescription);
    const QString error =
        writeFileAtomically(arguments[0], setupFileBytes(state.setupInfo, state.linkSettings, state.workingImage));
    if (!error.isEmpty()) {
        err << "q5ntool: " << arguments[0] << ": " << error << '\n';
        return kUsage;
    }
    return kDone;
}

} // namespace q5n::tool
