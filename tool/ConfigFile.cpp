#include "tool/ConfigFile.h"

#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/TextItems.h"
#include "platform/Paths.h"

namespace q5n::tool {

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
    config.damage = setupFileDamage(file.lines);
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

bool loadConfig(const QString &path, LoadedConfig &config, QTextStream &err, Damage policy)
{
    QString error;
    if (!loadConfig(path, config, &error)) {
        err << "q5ntool: " << error << '\n';
        return false;
    }
    const bool refuse = policy == Damage::Refuse;
    for (const QString &line : config.damage)
        err << "q5ntool: " << (refuse ? "" : "warning: ") << path << ": " << line << '\n';
    if (refuse && !config.damage.isEmpty()) {
        err << "q5ntool: " << path
            << " is damaged; nothing is sent (open it in the program and save it, or set what is missing)\n";
        return false;
    }
    if (!config.damage.isEmpty())
        err << "q5ntool: warning: " << path << ": the settings of those lines are taken as the factory values\n";
    return true;
}

QString linkModeText(int mode)
{
    return mode == LinkSettings::kRs232 ? QStringLiteral("RS232") : QStringLiteral("Keyboard");
}

} // namespace q5n::tool
