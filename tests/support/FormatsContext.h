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

// Another user's symbolic link `name` to `target` in a sticky folder that
// everyone may write, as /tmp. Empty when the test may not give a link away
// (it does not run as root).
inline QString plantForeignLink(const QTemporaryDir &dir, const QString &name, const QString &target)
{
    const QString shared = dir.filePath(QStringLiteral("shared"));
    QDir().mkpath(shared);
    const QString link = shared + QLatin1Char('/') + name;
    if (::chmod(QFile::encodeName(shared).constData(), 01777) != 0 || !QFile::link(target, link) ||
        ::lchown(QFile::encodeName(link).constData(), 65534, 65534) != 0)
        return {};
    return link;
}

} // namespace q5n::test
