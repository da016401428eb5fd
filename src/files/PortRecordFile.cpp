#include "files/PortRecordFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace q5n {

namespace {

QString systemWords()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

// The record at `name` (in `dir`) opened for writing, if it is what this
// program leaves there: the user's own regular file, its only name, that
// nobody else may write. Never through a link, never waiting on a FIFO.
// Otherwise -1.
int openOwnRecordFile(int dir, const QByteArray &name)
{
    const int fd = ::openat(dir, name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1 ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeRecordBytesAt(int fd, const QByteArray &bytes, qsizetype offset)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

QString stateFolder(const QString &option)
{
    if (!option.isEmpty())
        return QDir(option).absolutePath();
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base = QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/q5ncfg");
}

QString portKey(const QString &device, const QString &byIdDir, const QString &byPathDir)
{
    return PortKeys(byIdDir, byPathDir).of(device);
}

PortKeys::PortKeys(QString byIdDir, QString byPathDir)
    : m_folders{{std::move(byIdDir), QStringLiteral("by-id/"), {}},
                {std::move(byPathDir), QStringLiteral("by-path/"), {}}}
{
}

QString PortKeys::of(const QString &device)
{
    if (device.isEmpty())
        return {};
    const QFileInfo info(device);
    const QString path = info.absoluteFilePath();
    for (const Folder &f : m_folders)
        if (info.absolutePath() == f.dir)
            return f.prefix + info.fileName();
    QString target; // where the device path leads, found once a folder has links
    for (Folder &f : m_folders) {
        if (!f.names) {
            f.names.emplace();
            const QFileInfoList links = QDir(f.dir).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
            for (const QFileInfo &link : links)
                if (const QString leadsTo = link.canonicalFilePath(); !leadsTo.isEmpty())
                    f.names->insert(leadsTo, f.names->value(leadsTo, link.fileName()));
        }
        if (f.names->isEmpty())
            continue;
        if (target.isEmpty())
            target = info.canonicalFilePath();
        if (const QString name = f.names->value(target); !target.isEmpty() && !name.isEmpty())
            return f.prefix + name;
    }
    if (info.absolutePath() == QLatin1String("/dev"))
        return info.fileName();
    return path;
}

QString recordFileName(const QString &key)
{
    QByteArray name = key.toUtf8().toPercentEncoding();
    if (name.size() > 160)
        name = name.left(100) + '-' + QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(name) + QStringLiteral(".record");
}

QString removeRecord(const QString &folder, const QString &key)
{
    if (key.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(recordFileName(key));
    const QByteArray name = QFile::encodeName(path);
    // The user's own record is marked emptied where it is, its first line
    // overwritten; anything else at its name is removed, if it is the user's.
    if (const int fd = openOwnRecordFile(AT_FDCWD, name); fd >= 0) {
        const bool emptied = writeRecordBytesAt(fd, QByteArray(kRecordTakenAwayMark), 0);
        const int error = errno;
        ::close(fd);
        errno = error;
        return emptied ? QString() : QStringLiteral("%1: %2").arg(path, systemWords());
    }
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT ? QString() : QStringLiteral("%1: %2").arg(path, systemWords());
    if (st.st_uid != ::geteuid())
        return QStringLiteral("%1: another user's, left as it is").arg(path);
    if (::unlink(name.constData()) != 0)
        return QStringLiteral("%1: %2").arg(path, systemWords());
    return {};
}

} // namespace q5n
