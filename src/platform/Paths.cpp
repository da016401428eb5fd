#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace q5n {

Paths Paths::system()
{
    Paths p;
    p.workingDir = QDir::currentPath();
    p.programDir = QCoreApplication::applicationDirPath();
    p.userDataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    p.programDirReadOnly = ::access(QFile::encodeName(p.programDir).constData(), W_OK) != 0;
    p.runsAsRoot = ::geteuid() == 0;
    return p;
}

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString folderNotWritable(const QString &file)
{
    return QStringLiteral("You may not create files in the folder \"%1\".")
        .arg(QDir::toNativeSeparators(QFileInfo(file).absolutePath()));
}

} // namespace

QString writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    // A link at the target would be followed and the file it points to
    // replaced. Only the user's own links are followed: another user's link in
    // a shared folder must not turn a save into a write to a file of theirs
    // choosing. A new name is taken at once (created empty, never through a
    // link), so nobody can put a link there before the file is written.
    QString target = path;
    bool created = false;
    for (int step = 0;; ++step) {
        if (step == 40)
            return systemReason(ELOOP);
        const QByteArray native = QFile::encodeName(target);
        struct stat st;
        if (::lstat(native.constData(), &st) == 0) {
            if (!S_ISLNK(st.st_mode))
                break;
            if (st.st_uid != ::geteuid())
                return QStringLiteral("\"%1\" is a symbolic link that belongs to another user; it is not followed.")
                    .arg(QDir::toNativeSeparators(target));
            target = QFileInfo(target).symLinkTarget();
            continue;
        }
        if (errno != ENOENT)
            return systemReason(errno);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            created = true;
            break;
        }
        if (errno == EACCES || errno == EPERM || errno == EROFS)
            return folderNotWritable(target);
        if (errno != EEXIST) // EEXIST: the name was taken meanwhile; look again
            return systemReason(errno);
    }
    const auto fail = [&](const QString &reason) {
        if (created)
            ::unlink(QFile::encodeName(target).constData());
        return reason;
    };
    QSaveFile file(target);
    // The file is replaced whole or not at all: where no new file can be made
    // beside it, the save fails rather than rewriting the old file in place.
    file.setDirectWriteFallback(false);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        // OpenError: the new file beside the old one could not be made.
        const bool refused = errno == EACCES || errno == EPERM || errno == EROFS;
        const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
        if (file.error() == QFileDevice::OpenError &&
            (refused || ::faccessat(AT_FDCWD, folder.constData(), W_OK, AT_EACCESS) != 0))
            return fail(folderNotWritable(target));
        return fail(file.errorString());
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return {};
}

OpenStatus openRegularFile(const QString &path, QFile &file, bool mustBePrivate, QString *reason)
{
    // Non-blocking, so that opening a FIFO does not wait for a writer; the
    // flag is taken off again once the file is known to be a regular one.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(errno));
        return OpenStatus::Failed;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return OpenStatus::NotRegularFile;
    }
    if (mustBePrivate && (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)) {
        ::close(fd);
        return OpenStatus::NotPrivate;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (reason)
            *reason = file.errorString();
        ::close(fd);
        return OpenStatus::Failed;
    }
    return OpenStatus::Opened;
}

bool readWholeFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

} // namespace q5n
