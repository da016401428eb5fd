#include "tool/PortRecord.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace q5n::tool {

namespace {

QString systemWords()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

LoadedRecord readRecord(const QString &folder, const QString &key)
{
    LoadedRecord loaded;
    if (key.isEmpty())
        return loaded;
    const QString path = QDir(folder).filePath(recordFileName(key));
    // Never through a link, never waiting on a FIFO; only the user's own file
    // that nobody else may change can say that a decoder needs no download.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ELOOP)
            loaded.problem = QStringLiteral("the record %1 is a link, not read").arg(path);
        else if (errno != ENOENT)
            loaded.problem = QStringLiteral("the record %1 cannot be read: %2").arg(path, systemWords());
        return loaded;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        loaded.problem = QStringLiteral("the record %1 is not a file, not read").arg(path);
        return loaded;
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        ::close(fd);
        loaded.problem =
            QStringLiteral("the record %1 belongs to another user or others may write it, not read").arg(path);
        return loaded;
    }
    QByteArray bytes(4096, Qt::Uninitialized);
    const ssize_t n = ::read(fd, bytes.data(), bytes.size());
    ::close(fd);
    // Taken away before a download, and not written again after it: no record.
    if (n == 0 || QByteArrayView(bytes).first(std::max<ssize_t>(n, 0)).startsWith(kRecordTakenAwayMark))
        return loaded;
    bytes.resize(n > 0 ? n : 0);
    loaded.record = parseRecord(bytes);
    if (!loaded.record || loaded.record->port != key) {
        loaded.record.reset();
        loaded.problem = QStringLiteral("the record %1 is damaged, not read").arg(path);
    }
    return loaded;
}

QString writeRecord(const QString &folder, const ApplyRecord &record)
{
    if (!QFileInfo::exists(folder)) {
        const mode_t old = ::umask(077);
        const bool made = QDir().mkpath(folder);
        ::umask(old);
        if (!made)
            return QStringLiteral("%1: the folder cannot be made").arg(folder);
    }
    const int dir = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return QStringLiteral("%1: %2").arg(folder, systemWords());
    const auto closeDir = qScopeGuard([dir] { ::close(dir); });
    const QByteArray name = QFile::encodeName(recordFileName(record.port));
    const QByteArray bytes = recordBytes(record);
    const auto failed = [&] {
        return QStringLiteral("%1: %2").arg(QDir(folder).filePath(QString::fromLocal8Bit(name)), systemWords());
    };
    // The port's own record file is written again where it is, so that a run
    // over many ports makes and deletes no files (on some file systems each
    // new file costs more while many were deleted a moment ago, and cutting a
    // file to nothing makes the system write it out at once). In three steps
    // within its first block: the first line marked emptied, the rest written,
    // then the first line: a record cut short anywhere reads as none. A record
    // lost in a crash costs a download, so it is not synced to the disk.
    if (const int fd = openOwnRecordFile(dir, name); fd >= 0) {
        const auto closeRecord = qScopeGuard([fd] { ::close(fd); });
        struct stat st;
        const qsizetype head = qsizetype(sizeof kRecordTakenAwayMark) - 1;
        const bool written = ::fstat(fd, &st) == 0 && writeRecordBytesAt(fd, QByteArray(kRecordTakenAwayMark), 0) &&
                             writeRecordBytesAt(fd, bytes.mid(head), head) &&
                             (st.st_size <= bytes.size() || ::ftruncate(fd, bytes.size()) == 0) &&
                             writeRecordBytesAt(fd, bytes.left(head), 0);
        return written ? QString() : failed();
    }
    // No record yet, or something else at its name: a private temporary file,
    // created afresh (never through a link, never over a file already there),
    // renamed over the record's name. Whatever was at that name is replaced,
    // never followed or written into.
    const QByteArray temp = name + '.' + QByteArray::number(::getpid()) + ".new";
    const int fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return QStringLiteral("%1: %2").arg(folder, systemWords());
    const bool written = writeRecordBytesAt(fd, bytes, 0);
    const int writeError = errno;
    if (::close(fd) != 0 || !written || ::renameat(dir, temp.constData(), dir, name.constData()) != 0) {
        const int error = written ? errno : writeError;
        ::unlinkat(dir, temp.constData(), 0);
        errno = error != 0 ? error : ENOSPC;
        return failed();
    }
    return {};
}

} // namespace q5n::tool
