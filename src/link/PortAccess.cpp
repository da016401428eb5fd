#include "link/PortAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
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

std::optional<SerialLock> serialLock(const QString &device)
{
    // The folders the serial port library tries, in its order.
    static const char *const kFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                           "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.prepend(QLatin1String("LCK.."));
    QStringList folders;
    for (const char *f : kFolders)
        folders << QString::fromLatin1(f);
    folders << QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(name);
        struct stat st
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        SerialLock lock;
        lock.path = path;
        lock.owner = userName(st.st_uid);
        QFile file(path);
        if (S_ISREG(st.st_mode) && file.open(QIODevice::ReadOnly)) {
            lock.pid = file.readLine(32).trimmed().toLongLong();
            lock.program = QFileInfo(QString::fromLocal8Bit(file.readLine(4096).trimmed())).fileName();
        }
        lock.running = lock.pid > 0 && (::kill(pid_t(lock.pid), 0) == 0 || errno == EPERM);
        return lock;
    }
    return std::nullopt;
}

QString lockText(const SerialLock &lock)
{
    QString process = QStringLiteral("names no process");
    if (lock.pid > 0)
        process = QStringLiteral("names process %1%2, which %3")
                      .arg(lock.pid)
                      .arg(lock.program.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(lock.program))
                      .arg(lock.running ? QStringLiteral("is running") : QStringLiteral("is not running"));
    return QStringLiteral("The lock file %1 (owner %2) %3.").arg(lock.path, lock.owner, process);
}

} // namespace q5n
