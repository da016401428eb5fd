#pragma once

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

// A lock file that holds a serial device: the serial port library names it
// after the device path ("LCK..ttyUSB0") in the shared lock folder.
struct SerialLock
{
    QString path;
    QString owner;   // user name of the file's owner
    qint64 pid = 0;  // the process the file names (0: none readable)
    QString program; // the program the file names
    bool running = false;
};

// The lock file of `device` that exists now, if any.
std::optional<SerialLock> serialLock(const QString &device);

// "The lock file /run/lock/LCK..ttyUSB0 (owner ann) names process 4242 (minicom), which is not running."
QString lockText(const SerialLock &lock);

} // namespace q5n
