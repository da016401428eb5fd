#pragma once

#include "model/ProgramState.h"
#include "platform/Paths.h"

#include <QDir>
#include <QTemporaryDir>

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

} // namespace q5n::test
