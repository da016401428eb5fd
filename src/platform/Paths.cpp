#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace q5n {

Paths Paths::system()
{
    Paths p;
    p.workingDir = QDir::currentPath();
    p.programDir = QCoreApplication::applicationDirPath();
    p.runsAsRoot = ::geteuid() == 0;
    p.userDataDir = p.runsAsRoot ? rootDataDir() : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    p.programDirReadOnly = ::access(QFile::encodeName(p.programDir).constData(), W_OK) != 0;
    return p;
}

QString Paths::rootDataDir()
{
    // Under sudo or pkexec HOME and XDG_DATA_HOME may still be the calling
    // user's: root's files would land in that user's home. Root's home is
    // taken from the user database instead.
    const passwd *root = ::getpwuid(0);
    if (!root || !root->pw_dir || root->pw_dir[0] != '/')
        return {};
    return QDir::cleanPath(QFile::decodeName(root->pw_dir) + QStringLiteral("/.local/share/") +
                           QCoreApplication::applicationName());
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
    const QByteArray native = QFile::encodeName(target);
    const auto fail = [&](const QString &reason) {
        if (created)
            ::unlink(native.constData());
        return reason;
    };
    struct stat old;
    if (::lstat(native.constData(), &old) != 0)
        return fail(systemReason(errno));
    if (S_ISDIR(old.st_mode))
        return fail(systemReason(EISDIR));
    // A link put at the name since it was looked at is nobody's the user trusts.
    if (S_ISLNK(old.st_mode))
        return fail(QStringLiteral("\"%1\" is a symbolic link that belongs to another user; it is not followed.")
                        .arg(QDir::toNativeSeparators(target)));
    // A file the user may not write stays as it is, as it would on a rewrite.
    if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0)
        return fail(systemReason(errno));
    // The new content goes to a fresh file beside the target (made with
    // O_EXCL, so never through a link), synced, then renamed over the target.
    // rename() replaces the name itself: a link put there since the check
    // above is replaced, never followed.
    const QString folder = QFileInfo(target).absolutePath();
    QByteArray temp = QFile::encodeName(folder + u"/." + QFileInfo(target).fileName() + u".XXXXXX");
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const bool refused = error == EACCES || error == EPERM || error == EROFS;
        if (refused || ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK, AT_EACCESS) != 0)
            return fail(folderNotWritable(target));
        return fail(systemReason(error));
    }
    const auto failWithTemp = [&](int error) {
        ::close(fd);
        ::unlink(temp.constData());
        return fail(systemReason(error));
    };
    // The file keeps the permissions it had (a new one: what its creation gave).
    if (::fchmod(fd, old.st_mode & 07777) != 0)
        return failWithTemp(errno);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failWithTemp(n < 0 ? errno : ENOSPC);
        done += n;
    }
    if (::fsync(fd) != 0)
        return failWithTemp(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        return fail(systemReason(error));
    }
    if (::rename(temp.constData(), native.constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        return fail(systemReason(error));
    }
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
