#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// The files in which q5ntool keeps, per decoder port, what was last
// downloaded there and verified: where they are, how a port and its file are
// named, and taking a port's record away when its decoder is changed, which
// the program does too when it downloads to a port. Reading and writing a
// record is q5ntool's (tool/PortRecord.h).
namespace q5n {

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

// Takes the port's record away before a download changes the decoder: the
// user's own record file is marked emptied where it is, anything else of the
// user's at its name removed. Empty, or why it stays.
QString removeRecord(const QString &folder, const QString &key);

// The first line of a record taken away: as long as a record's own first
// line, so that it is written over it where it is. A file that begins with
// it, or is empty, holds no record.
constexpr char kRecordTakenAwayMark[] = "q5ntool apply record -";

// The record file `name` in the folder `dir` (a descriptor, or AT_FDCWD)
// opened for writing, if it is what q5ntool leaves there: the user's own
// regular file, its only name, that nobody else may write; never through a
// link, never waiting on a FIFO. Otherwise -1.
int openOwnRecordFile(int dir, const QByteArray &name);

// All of `bytes` written at `offset`; false with errno set.
bool writeRecordBytesAt(int fd, const QByteArray &bytes, qsizetype offset);

} // namespace q5n
