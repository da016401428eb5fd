#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

QString writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    // Replacing a file in a directory we may not write directly (but may write
    // the file itself) still has to work.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
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
