#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace q5n {

// Who may use a serial device, and who is asking.
struct DeviceOwnership
{
    QString owner;             // user name of the device's owner
    QString group;             // group name of the device
    uint mode = 0;             // permission bits (0660)
    QString user;              // the user asking
    QStringList sessionGroups; // groups of this login
    QStringList accountGroups; // groups the account has now (a new login gets them)
};

// What a user who may not open the device can do about it. A group is advised
// only when that group may read and write the device; otherwise the owner is
// named and an administrator must grant access. Never advises running as root.
QString accessAdvice(const DeviceOwnership &device);

// The ownership of `path` and the groups of this process's user; nothing
// when the device cannot be examined.
std::optional<DeviceOwnership> deviceOwnership(const QString &path);

// A process that holds a serial device: has it open, or locked.
struct PortHolder
{
    qint64 pid = 0;
    QString program; // the process's command name
    QString user;    // the user it runs as
};

// The processes that hold an exclusive lock (flock) on `device`, as the
// system lists them to every user.
QList<PortHolder> deviceLockers(const QString &device);
// The processes that have `device` open, as far as this user may see them;
// `ownFd`, a descriptor of this process, is not counted.
QList<PortHolder> deviceOpeners(const QString &device, int ownFd = -1);
// Who holds a port that cannot be had, and what to do: `locked` for an
// exclusive lock, else exclusive mode.
QString heldText(const QList<PortHolder> &holders, bool locked);

// A UUCP lock file of a serial device ("LCK..ttyUSB0" in the shared lock
// folder), as programs that read such files see it. It is examined without
// following a link or opening anything but a regular file.
struct SerialLock
{
    QString path;
    QString owner; // user name of the file's owner
    uint uid = 0;  // the owner's user id
    bool regular = true;
    QString kind;    // what it is when not a regular file: "a FIFO", "a directory", ...
    qint64 pid = 0;  // the process the file names (0: none readable)
    QString program; // the program the file names, or the process's command name
    bool running = false;
    // The process runs and holds the device (open or locked): the port is in use.
    bool holdsDevice = false;
};

// The lock file of `device` that exists now, if any.
std::optional<SerialLock> serialLock(const QString &device);
// Where this program writes the lock file of `device`; empty when there is no lock folder.
QString serialLockPath(const QString &device);

// "The lock file /run/lock/LCK..ttyUSB0 (owner ann) names process 4242 (minicom), which is not running.",
// then what the lock means for the port and who may remove a lock that is in the way.
QString lockText(const SerialLock &lock);

// Whether a serial device can be had now, without keeping it: what
// `q5ntool ports` reports. A usable port may carry a note (a stale lock file).
struct PortCheck
{
    bool exists = false;
    bool usable = false;
    QString reason; // "no such device", "permission denied: ...", "in use: ...", or a note
};
PortCheck checkPort(const QString &device);

} // namespace q5n
