#pragma once

#include "model/ProgramState.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace q5n::test {

// A fresh program state and private working, program and per-user data
// directories, for tests of the formats library (no widgets, no ports).
struct FormatsContext
{
    static Paths makePaths(const QTemporaryDir &dir)
    {
        Paths p;
        p.workingDir = dir.filePath(QStringLiteral("work"));
        p.programDir = dir.filePath(QStringLiteral("program"));
        p.userDataDir = dir.filePath(QStringLiteral("user"));
        QDir().mkpath(p.workingDir);
        QDir().mkpath(p.programDir);
        return p;
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    ProgramState state;
    Paths paths = makePaths(dir);
};

// Another user's symbolic link `name` to `target` in a sticky folder anyone
// may write, as /tmp. Empty when the test may not give it away (not root).
inline QString plantForeignLink(const QTemporaryDir &dir, const QString &name, const QString &target)
{
    const QString link = dir.filePath(QStringLiteral("shared/") + name);
    QDir().mkpath(dir.filePath(QStringLiteral("shared")));
    const bool planted = ::chmod(QFile::encodeName(dir.filePath(QStringLiteral("shared"))).constData(), 01777) == 0 &&
                         QFile::link(target, link) && ::lchown(QFile::encodeName(link).constData(), 65534, 65534) == 0;
    return planted ? link : QString();
}

} // namespace q5n::test
