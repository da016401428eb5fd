#pragma once

#include "tool/Apply.h"

#include <QHash>
#include <QString>

#include <optional>

// Where `apply` and `download --verify` keep, per decoder port, what was last
// downloaded there and verified (ApplyRecord): one small file per port in the
// user's state folder, or in the folder --state names.
namespace q5n::tool {

// --state's folder when given, else $XDG_STATE_HOME/q5ncfg (an absolute
// XDG_STATE_HOME only), else ~/.local/state/q5ncfg.
QString stateFolder(const QString &option);

// The key of the port a device path names, stable from one plugging to the
// next: a name under /dev/serial/by-id or by-path ("by-id/usb-FTDI_..."), the
// by-id (else by-path) name of the device behind the path, else the device's
// name under /dev ("ttyS0"), else the absolute path.
QString portKey(const QString &device, const QString &byIdDir = QStringLiteral("/dev/serial/by-id"),
                const QString &byPathDir = QStringLiteral("/dev/serial/by-path"));

// The keys of the ports of one run: the two folders are read once, at the
// first port that needs them, however many ports the run has.
class PortKeys
{
public:
    explicit PortKeys(QString byIdDir = QStringLiteral("/dev/serial/by-id"),
                      QString byPathDir = QStringLiteral("/dev/serial/by-path"));
    QString of(const QString &device);

private:
    struct Folder
    {
        QString dir, prefix;
        std::optional<QHash<QString, QString>> names; // device -> the first link's name
    };
    Folder m_folders[2];
};

// The record's file name for a key: every byte but letters, digits and "-._~"
// as %XX ("by-id%2Fusb-FTDI_...record"); a long key is cut and given a hash.
QString recordFileName(const QString &key);

// A port's record as read from its folder: none when there is no file; a
// file that is a link, belongs to another user, may be written by others or
// is not a record of that port is not used, and `problem` says why.
struct LoadedRecord
{
    std::optional<ApplyRecord> record;
    QString problem;
};
LoadedRecord readRecord(const QString &folder, const QString &key);

// Writes the record into the folder, making it (private) when it is missing:
// into the port's own record file where there is one (the user's, its only
// name, written by nobody else), else as a new file readable by the user
// alone, renamed over the record's name. Empty, or why not.
QString writeRecord(const QString &folder, const ApplyRecord &record);

// Takes the port's record away before a download changes the decoder: the
// user's own record file is marked emptied where it is, anything else of the
// user's at its name removed. Empty, or why it stays.
QString removeRecord(const QString &folder, const QString &key);

} // namespace q5n::tool
