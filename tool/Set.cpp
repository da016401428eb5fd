// q5ntool set FILE NAME=VALUE... [-o OUT]: changes settings by name; the file
// is written whole, or not at all when one pair is bad.
#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/TerminalText.h"
#include "model/Text8.h"
#include "model/TextItems.h"
#include "platform/Paths.h"
#include "tool/Command.h"
#include "tool/ConfigFile.h"
#include "tool/FieldNames.h"
#include "tool/Options.h"

#include <algorithm>

namespace q5n::tool {

namespace {

// A setup text (deviceName=...); false when `name` is not one.
bool setText(LoadedConfig &config, const QString &name, const QString &value, QStringList &problems)
{
    QString *text = setupTextByName(config.setupInfo, name);
    if (!text)
        return false;
    if (config.defaultsFile)
        problems << QStringLiteral("%1: a defaults file holds no setup texts").arg(name);
    else if (!encodable8(value) || std::any_of(value.begin(), value.end(), isTerminalControl) ||
             value.size() > kMaxLineLength)
        problems << QStringLiteral("%1: the text must be one line of 8-bit characters without control "
                                   "characters")
                        .arg(name);
    else
        *text = value;
    return true;
}

// port=N or linkMode=RS232|Keyboard; false when `name` is neither.
bool setLink(LoadedConfig &config, const QString &name, const QString &value, QStringList &problems)
{
    const QString lower = name.toLower();
    if (lower != QLatin1String("port") && lower != QLatin1String("linkmode"))
        return false;
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
    return true;
}

// One NAME=VALUE pair into the configuration, or its problem.
void setPair(LoadedConfig &config, const QString &pair, QStringList &problems)
{
    const int eq = pair.indexOf(QLatin1Char('='));
    if (eq <= 0) {
        problems << QStringLiteral("%1: expected NAME=VALUE").arg(pair);
        return;
    }
    const QString name = pair.left(eq);
    const QString value = pair.mid(eq + 1);
    if (setText(config, name, value, problems) || setLink(config, name, value, problems))
        return;
    QString error;
    const auto ref = resolveField(name, &error);
    if (!ref || !setValue(*ref, value, config.image, &error))
        problems << error;
}

} // namespace

int setCommand(Call &call)
{
    const QString file = call.args[0];
    const QString output = call.isSet(option::output()) ? call.value(option::output()) : file;
    LoadedConfig config;
    if (!loadConfig(file, config, call.err, Damage::Warn))
        return kUsage;
    QStringList problems;
    for (const QString &pair : call.args.mid(1))
        setPair(config, pair, problems);
    if (!problems.isEmpty()) {
        for (const QString &p : problems)
            call.err << "q5ntool set: " << p << '\n';
        call.err << "q5ntool set: nothing written\n";
        return kUsage;
    }
    const QByteArray bytes = config.defaultsFile ? defaultsFileBytes(config.image)
                                                 : setupFileBytes(config.setupInfo, config.linkSettings, config.image);
    const QString writeError = writeFileAtomically(output, bytes);
    if (!writeError.isEmpty()) {
        call.err << "q5ntool: " << output << ": " << writeError << '\n';
        return kUsage;
    }
    return kDone;
}

} // namespace q5n::tool
