// q5ntool show FILE: every setting as the pages name it, with its byte and bits.
#include "model/TerminalText.h"
#include "tool/Apply.h"
#include "tool/Command.h"
#include "tool/ConfigFile.h"
#include "tool/FieldNames.h"
#include "tool/Options.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace q5n::tool {

namespace {

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

QJsonObject showJson(const QString &path, const LoadedConfig &config)
{
    QJsonObject root;
    root[QStringLiteral("file")] = path;
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
    return root;
}

} // namespace

int showCommand(Call &call)
{
    const QString path = call.args[0];
    LoadedConfig config;
    if (!loadConfig(path, config, call.err, Damage::Warn))
        return kUsage;
    QTextStream &out = call.out;
    if (call.isSet(option::json())) {
        out << QJsonDocument(showJson(path, config)).toJson(QJsonDocument::Indented);
        return kDone;
    }
    if (config.defaultsFile) {
        out << "Defaults file: " << terminalText(path) << '\n';
    } else {
        out << "Setup file: " << terminalText(path) << '\n';
        for (const SetupTextItem &t : kSetupTexts)
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

} // namespace q5n::tool
