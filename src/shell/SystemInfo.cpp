#include "shell/SystemInfo.h"

#include <QProcess>
#include <QStandardPaths>

namespace q5n {

QList<SystemInfoCommand> knownSystemInfoTools()
{
    return {
        {QStringLiteral("hardinfo2"), {}},
        {QStringLiteral("hardinfo"), {}},
        {QStringLiteral("kinfocenter"), {}},
        {QStringLiteral("gnome-control-center"), {QStringLiteral("info-overview")}},
        {QStringLiteral("xfce4-about"), {}},
    };
}

std::optional<SystemInfoCommand> findSystemInfoTool(const QStringList &searchPaths)
{
    for (SystemInfoCommand tool : knownSystemInfoTools()) {
        const QString path = QStandardPaths::findExecutable(tool.program, searchPaths);
        if (path.isEmpty())
            continue;
        tool.program = path;
        return tool;
    }
    return std::nullopt;
}

SystemInfoLauncher SystemInfoLauncher::system()
{
    return {[] { return findSystemInfoTool(); },
            [](const SystemInfoCommand &command) {
                return QProcess::startDetached(command.program, command.arguments);
            }};
}

} // namespace q5n
