#include "shell/SystemInfo.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

bool startDetachedCommand(const SystemInfoCommand &command)
{
    // A first child starts a new session and the program's process, which is
    // then nobody's child to wait for; a failed exec reports its errno.
    QList<QByteArray> args{QFile::encodeName(command.program)};
    for (const QString &a : command.arguments)
        args.append(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int report[2]; // the exec's errno, or nothing when exec succeeded
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        const pid_t program = ::fork();
        if (program == 0) {
            ::execv(argv[0], argv.data());
            const int error = errno;
            [[maybe_unused]] const auto n = ::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(program < 0 ? 1 : 0);
    }
    ::close(report[1]);
    if (child < 0) {
        ::close(report[0]);
        return false;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

SystemInfoLauncher SystemInfoLauncher::system()
{
    return {[] { return findSystemInfoTool(); },
            [](const SystemInfoCommand &command) { return startDetachedCommand(command); }};
}

} // namespace q5n
