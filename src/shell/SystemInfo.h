#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace q5n {

// A command line that starts a system information tool.
struct SystemInfoCommand
{
    QString program; // full path of the executable
    QStringList arguments;
};

// The system information tools of the common Linux desktops, best first, by
// executable name (not yet located).
QList<SystemInfoCommand> knownSystemInfoTools();

// The first known tool found on `searchPaths` (the PATH when empty).
std::optional<SystemInfoCommand> findSystemInfoTool(const QStringList &searchPaths = {});

// Starts the command without waiting, in a session of its own. False when it
// could not be started.
bool startDetachedCommand(const SystemInfoCommand &command);

// How the About window finds and starts the tool. The program uses system();
// tests inject their own functions.
struct SystemInfoLauncher
{
    std::function<std::optional<SystemInfoCommand>()> find;
    // Starts the command without waiting; false when it could not be started.
    std::function<bool(const SystemInfoCommand &)> start;

    static SystemInfoLauncher system();
};

} // namespace q5n
