#pragma once

#include <QString>

class QFile;

namespace q5n {

// Where the program looks for and keeps its files. The real values come from
// the process; tests give temporary directories.
struct Paths
{
    QString workingDir;  // the process's current directory
    QString programDir;  // the directory of the executable
    QString userDataDir; // the per-user data directory (may not exist yet)
    // The program's directory cannot take files (a system-wide install): Save
    // As Default goes straight to the per-user data directory.
    bool programDirReadOnly = false;
    // The program runs as root: Save As Default writes root's own data
    // directory only, since a file in the program's directory would become
    // every user's defaults.
    bool runsAsRoot = false;

    static Paths system();
    // Root's per-user data directory, from the user database (not from
    // HOME, which sudo may leave pointing at the calling user's home).
    static QString rootDataDir();
};

// Writes the whole file or nothing: the old file stays until the new one is
// complete. Follows only the user's own symbolic links; another user's link,
// file, FIFO, device or socket at the name is refused. Nobody else can read the
// new file before it has its final mode: that of the user's own file being
// replaced (its group kept where the user belongs to it), else 0666 less the
// umask. Never rewrites a file in place when its folder cannot take a new
// file. Returns an empty string on success, else the reason.
QString writeFileAtomically(const QString &path, const QByteArray &bytes);

// How opening a file for reading ended.
enum class OpenStatus {
    Opened,
    NotRegularFile, // a directory, FIFO, device or socket: refused before reading
    NotPrivate,     // (when asked) owned by someone else, or others may write it
    Failed,         // the system refused; the reason says why
};

// Opens `path` read-only into `file`, only when it is a regular file. The
// check is made on the opened file, and a FIFO is opened without waiting for a
// writer. With `mustBePrivate` the file must also belong to the user and be
// writable by nobody else (no group or other write bit). `reason` gets the
// system's words when the status is Failed.
OpenStatus openRegularFile(const QString &path, QFile &file, bool mustBePrivate = false, QString *reason = nullptr);

// Reads a whole file. Returns false when it cannot be opened or read.
bool readWholeFile(const QString &path, QByteArray *bytes);

} // namespace q5n
