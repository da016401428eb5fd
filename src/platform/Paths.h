#pragma once

#include <QString>

namespace q5n {

// Where the program looks for and keeps its files. The real values come from
// the process; tests give temporary directories.
struct Paths
{
    QString workingDir;  // the process's current directory
    QString programDir;  // the directory of the executable
    QString userDataDir; // the per-user data directory (may not exist yet)

    static Paths system();
};

// Writes the whole file or nothing: the old file stays until the new one is
// complete. Returns an empty string on success, else the system's reason.
QString writeFileAtomically(const QString &path, const QByteArray &bytes);

// Reads a whole file. Returns false when it cannot be opened or read.
bool readWholeFile(const QString &path, QByteArray *bytes);

} // namespace q5n
