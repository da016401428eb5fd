#include "link/PortAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace q5n {

QString accessAdvice(const DeviceOwnership &d)
{
    const bool groupMayUse = (d.mode & 060) == 060 && !d.group.isEmpty() && d.group != QLatin1String("root");
    if (groupMayUse && d.accountGroups.contains(d.group) && !d.sessionGroups.contains(d.group))
        return QStringLiteral("Your user is in the group \"%1\" that may use the device, but this login started "
                              "before it was added: log out and log in again.")
            .arg(d.group);
    if (groupMayUse && !d.sessionGroups.contains(d.group))
        return QStringLiteral("The device belongs to the group \"%1\": ask an administrator to add your user to that "
                              "group, then log out and log in again.")
            .arg(d.group);
    return QStringLiteral("The device belongs to %1:%2 with mode %3, which does not let you use it: an administrator "
                          "must grant access, for example with a udev rule that gives the device to the group "
                          "\"dialout\" (mode 0660) and your user in that group.")
        .arg(d.owner, d.group)
        .arg(d.mode & 07777, 4, 8, QLatin1Char('0'));
}

namespace {

QString userName(uid_t uid)
{
    const passwd *p = ::getpwuid(uid);
    return p && p->pw_name ? QString::fromLocal8Bit(p->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid)
{
    const group *g = ::getgrgid(gid);
    return g && g->gr_name ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
}

} // namespace

std::optional<DeviceOwnership> deviceOwnership(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    DeviceOwnership d;
    d.owner = userName(st.st_uid);
    d.group = groupName(st.st_gid);
    d.mode = st.st_mode & 07777;
    d.user = userName(::geteuid());
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> now(count > 0 ? count : 0);
    if (count > 0 && ::getgroups(count, now.data()) == count)
        for (gid_t g : now)
            d.sessionGroups << groupName(g);
    d.sessionGroups << groupName(::getegid());
    if (const passwd *p = ::getpwuid(::geteuid())) {
        int n = 64;
        std::vector<gid_t> account(n);
        if (::getgrouplist(p->pw_name, p->pw_gid, account.data(), &n) < 0) {
            account.resize(n);
            ::getgrouplist(p->pw_name, p->pw_gid, account.data(), &n);
        }
        for (int i = 0; i < n && i < int(account.size()); ++i)
            d.accountGroups << groupName(account[i]);
    }
    return d;
}

namespace {

// The folders where serial lock files are kept. World-writable temporary
// folders are left out: any user could plant a lock there.
const char *const kLockFolders[] = {"/var/lock",        "/run/lock",       "/var/lock/lockdev",
                                    "/var/spool/locks", "/var/spool/uucp", "/etc/locks"};

QString lockName(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name.prepend(QLatin1String("LCK.."));
}

QString commandName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(comm.readLine(64).trimmed());
}

PortHolder holder(qint64 pid)
{
    PortHolder h;
    h.pid = pid;
    h.program = commandName(pid);
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(QStringLiteral("/proc/%1").arg(pid)).constData(), &st) == 0)
        h.user = userName(st.st_uid);
    return h;
}

bool running(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString fileKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISDIR(mode))
        return QStringLiteral("a directory");
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a file");
}

// Who may remove the file at `path` owned by `uid`.
QString removers(const QString &path, uint uid, const QString &owner)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
    struct stat st
    {
    };
    const bool sticky = ::stat(folder.constData(), &st) == 0 && (st.st_mode & S_ISVTX);
    if (::access(folder.constData(), W_OK) == 0 && (!sticky || uid == ::geteuid() || st.st_uid == ::geteuid()))
        return QStringLiteral("you may remove it");
    return QStringLiteral("its owner %1 or an administrator may remove it").arg(owner);
}

QString holderText(const PortHolder &h)
{
    QString text = QStringLiteral("process %1").arg(h.pid);
    if (!h.program.isEmpty())
        text += QStringLiteral(" (%1)").arg(h.program);
    if (!h.user.isEmpty())
        text += QStringLiteral(" of user %1").arg(h.user);
    return text;
}

} // namespace

QList<PortHolder> deviceLockers(const QString &device)
{
    QList<PortHolder> out;
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return out;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return out;
    // "1: FLOCK  ADVISORY  WRITE 4242 00:1a:5 0 EOF": the holder's pid, then
    // the file as major:minor (hexadecimal) of its file system and inode.
    const QString file = QStringLiteral("%1:%2:%3")
                             .arg(major(st.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(minor(st.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(quint64(st.st_ino));
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 6 || f[1] != "FLOCK" || f[3] != "WRITE" || QString::fromLatin1(f[5]) != file)
            continue;
        const qint64 pid = f[4].toLongLong();
        if (pid > 0)
            out << holder(pid);
    }
    return out;
}

QList<PortHolder> deviceOpeners(const QString &device, int ownFd)
{
    QList<PortHolder> out;
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return out;
    const qint64 self = ::getpid();
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const QDir fds(proc.filePath(entry + QStringLiteral("/fd")));
        for (const QString &fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            if (pid == self && fd.toInt() == ownFd)
                continue;
            if (QFile::symLinkTarget(fds.filePath(fd)) == target) {
                out << holder(pid);
                break;
            }
        }
    }
    return out;
}

QString heldText(const QList<PortHolder> &holders, bool locked)
{
    if (holders.isEmpty())
        return locked ? QStringLiteral("Another program holds an exclusive lock on it (the system does not say "
                                       "which): end that program or wait until it lets the port go.")
                      : QStringLiteral("Another program has it open in exclusive mode (the system does not say "
                                       "which): end that program or wait until it lets the port go.");
    QStringList names;
    for (const PortHolder &h : holders)
        names << holderText(h);
    return QStringLiteral("It is %1 by %2: end that program or wait until it lets the port go.")
        .arg(locked ? QStringLiteral("locked") : QStringLiteral("open in exclusive mode"),
             names.join(QStringLiteral(", ")));
}

QString serialLockPath(const QString &device)
{
    for (const char *folder : {"/var/lock", "/run/lock"})
        if (::access(folder, W_OK | X_OK) == 0)
            return QDir(QString::fromLatin1(folder)).filePath(lockName(device));
    return QString();
}

std::optional<SerialLock> serialLock(const QString &device)
{
    const QString name = lockName(device);
    for (const char *folder : kLockFolders) {
        const QString path = QDir(QString::fromLatin1(folder)).filePath(name);
        const QByteArray file = QFile::encodeName(path);
        struct stat st
        {
        };
        if (::lstat(file.constData(), &st) != 0)
            continue;
        SerialLock lock;
        lock.path = path;
        lock.uid = st.st_uid;
        lock.owner = userName(st.st_uid);
        lock.regular = S_ISREG(st.st_mode);
        if (!lock.regular) {
            lock.kind = fileKind(st.st_mode);
            return lock;
        }
        // Opened without following a link and without waiting, and read only
        // when it is still a regular file.
        const int fd = ::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            struct stat opened
            {
            };
            char text[256];
            ssize_t n = 0;
            if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode))
                n = ::read(fd, text, sizeof text);
            ::close(fd);
            if (n > 0) {
                // The process number (as text, or the old binary form of four bytes), then perhaps the program.
                const QList<QByteArray> lines = QByteArray(text, qsizetype(n)).split('\n');
                bool number = false;
                lock.pid = lines[0].trimmed().toLongLong(&number);
                if (!number && n == 4) {
                    qint32 binary = 0;
                    std::memcpy(&binary, text, 4);
                    lock.pid = binary;
                }
                if (lines.size() > 1)
                    lock.program = QFileInfo(QString::fromLocal8Bit(lines[1].trimmed())).fileName();
            }
        }
        lock.running = running(lock.pid);
        if (lock.running) {
            if (lock.program.isEmpty())
                lock.program = commandName(lock.pid);
            const auto holds = [&](const QList<PortHolder> &holders) {
                return std::any_of(holders.begin(), holders.end(),
                                   [&](const PortHolder &h) { return h.pid == lock.pid; });
            };
            lock.holdsDevice = holds(deviceLockers(device)) || holds(deviceOpeners(device));
        }
        return lock;
    }
    return std::nullopt;
}

QString lockText(const SerialLock &lock)
{
    if (!lock.regular)
        return QStringLiteral("The lock file %1 (owner %2) is not a regular file but %3: it is not read, and the port "
                              "is not opened while it is there; %4.")
            .arg(lock.path, lock.owner, lock.kind, removers(lock.path, lock.uid, lock.owner));
    QString process = QStringLiteral("names no process");
    if (lock.pid > 0)
        process = QStringLiteral("names process %1%2, which %3")
                      .arg(lock.pid)
                      .arg(lock.program.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(lock.program))
                      .arg(lock.running ? QStringLiteral("is running") : QStringLiteral("is not running"));
    QString text = QStringLiteral("The lock file %1 (owner %2) %3.").arg(lock.path, lock.owner, process);
    if (lock.holdsDevice)
        return text + QStringLiteral(" That process holds the port: end it or wait until it lets the port go.");
    return text + QStringLiteral(" The lock is stale and does not keep the port from use; %1.")
                      .arg(removers(lock.path, lock.uid, lock.owner));
}

PortCheck checkPort(const QString &device)
{
    PortCheck c;
    const QByteArray path = QFile::encodeName(device);
    struct stat st
    {
    };
    if (device.isEmpty() || ::stat(path.constData(), &st) != 0) {
        c.reason = QStringLiteral("no such device");
        return c;
    }
    c.exists = true;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    const std::optional<SerialLock> lock = serialLock(canonical);
    if (lock && !lock->regular) {
        c.reason = QStringLiteral("refused: ") + lockText(*lock);
        return c;
    }
    if (::access(path.constData(), R_OK | W_OK) != 0) {
        const auto owner = deviceOwnership(device);
        c.reason =
            QStringLiteral("permission denied") + (owner ? QStringLiteral(": ") + accessAdvice(*owner) : QString());
        return c;
    }
    if (const QList<PortHolder> lockers = deviceLockers(canonical); !lockers.isEmpty()) {
        c.reason = QStringLiteral("in use: ") + heldText(lockers, true);
        return c;
    }
    if (lock && lock->holdsDevice) {
        c.reason = QStringLiteral("in use: ") + lockText(*lock);
        return c;
    }
    // A look at the device itself, without waiting and without taking it.
    const int fd = ::open(QFile::encodeName(canonical).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY)
            c.reason = QStringLiteral("in use: ") + heldText(deviceOpeners(canonical), false);
        else
            c.reason = QString::fromLocal8Bit(std::strerror(errno));
        return c;
    }
    termios t{};
    int exclusive = 0;
    const bool serial = ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && ::tcgetattr(fd, &t) == 0;
    const bool locked = serial && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    const QList<PortHolder> openers = serial && ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive
                                          ? deviceOpeners(canonical, fd)
                                          : QList<PortHolder>();
    ::close(fd);
    if (!serial)
        c.reason = QStringLiteral("not a serial device");
    else if (locked)
        c.reason = QStringLiteral("in use: ") + heldText(deviceLockers(canonical), true);
    else if (!openers.isEmpty())
        c.reason = QStringLiteral("in use: ") + heldText(openers, false);
    else {
        c.usable = true;
        if (lock)
            c.reason = lockText(*lock);
    }
    return c;
}

} // namespace q5n
