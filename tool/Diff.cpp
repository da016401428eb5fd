// q5ntool diff A B: the settings that differ between two files.
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

struct Difference
{
    QString name, path, before, after;
};

std::vector<Difference> differences(const LoadedConfig &a, const LoadedConfig &b)
{
    std::vector<Difference> diffs;
    if (!a.defaultsFile && !b.defaultsFile) {
        for (const SetupTextItem &t : kSetupTexts)
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
    return diffs;
}

} // namespace

int diffCommand(Call &call)
{
    LoadedConfig a, b;
    if (!loadConfig(call.args[0], a, call.err, Damage::Warn) || !loadConfig(call.args[1], b, call.err, Damage::Warn))
        return kUsage;
    const std::vector<Difference> diffs = differences(a, b);
    if (call.isSet(option::json())) {
        QJsonArray list;
        for (const Difference &d : diffs)
            list.append(QJsonObject{{QStringLiteral("name"), d.name},
                                    {QStringLiteral("field"), d.path},
                                    {QStringLiteral("old"), d.before},
                                    {QStringLiteral("new"), d.after}});
        call.out << QJsonDocument(QJsonObject{{QStringLiteral("a"), call.args[0]},
                                              {QStringLiteral("b"), call.args[1]},
                                              {QStringLiteral("equal"), diffs.empty()},
                                              {QStringLiteral("differences"), list}})
                        .toJson(QJsonDocument::Indented);
    } else {
        for (const Difference &d : diffs)
            call.out << d.path << ": " << terminalText(d.before) << " -> " << terminalText(d.after) << "   [" << d.name
                     << "]\n";
    }
    return diffs.empty() ? kDone : kDiffer;
}

} // namespace q5n::tool
