#include "tool/PortRecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

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

// The name of a link in `dir` that leads where `target` leads, or empty.
QString linkTo(const QString &dir, const QString &target)
{
    const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &e : entries)
        if (e.canonicalFilePath() == target)
            return e.fileName();
    return {};
}

} // namespace

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
    if (device.isEmpty())
        return {};
    const QFileInfo info(device);
    const QString path = info.absoluteFilePath();
    const std::pair<QString, QString> folders[] = {{byIdDir, QStringLiteral("by-id/")},
                                                   {byPathDir, QStringLiteral("by-path/")}};
    for (const auto &[dir, prefix] : folders)
        if (info.absolutePath() == dir)
            return prefix + info.fileName();
    const QString target = info.canonicalFilePath();
    if (!target.isEmpty())
        for (const auto &[dir, prefix] : folders)
            if (const QString name = linkTo(dir, target); !name.isEmpty())
                return prefix + name;
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
    // A private temporary file, created afresh (never through a link, never
    // over a file already there), renamed over the record's name: whatever
    // was at that name is replaced, never followed or written into, and a
    // record that another user put there would not be read anyway. Once per
    // port of a run of any size, so it stays cheap: a record is what the last
    // verified download left, one lost in a crash costs a download, so it is
    // not synced to the disk.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return QStringLiteral("%1: %2").arg(folder, systemWords());
    const auto closeDir = qScopeGuard([dir] { ::close(dir); });
    const QByteArray name = QFile::encodeName(recordFileName(record.port));
    const QByteArray temp = name + '.' + QByteArray::number(::getpid()) + ".new";
    const int fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return QStringLiteral("%1: %2").arg(folder, systemWords());
    const QByteArray bytes = recordBytes(record);
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    const int writeError = errno;
    if (::close(fd) != 0 || !written || ::renameat(dir, temp.constData(), dir, name.constData()) != 0) {
        const int error = written ? errno : writeError;
        ::unlinkat(dir, temp.constData(), 0);
        errno = error != 0 ? error : ENOSPC;
        return QStringLiteral("%1: %2").arg(QDir(folder).filePath(QString::fromLocal8Bit(name)), systemWords());
    }
    return {};
}

QString removeRecord(const QString &folder, const QString &key)
{
    if (key.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(recordFileName(key));
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT ? QString() : QStringLiteral("%1: %2").arg(path, systemWords());
    if (st.st_uid != ::geteuid())
        return QStringLiteral("%1: another user's, left as it is").arg(path);
    if (::unlink(name.constData()) != 0)
        return QStringLiteral("%1: %2").arg(path, systemWords());
    return {};
}

} // namespace q5n::tool
