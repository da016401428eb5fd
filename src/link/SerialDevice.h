#pragma once

#include "model/SerialSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <sys/types.h>
#include <termios.h>

#include <memory>

namespace q5n {

class FdWatch;

// A serial device opened through the system's own calls, so that no step of
// the opening can block: the device opened without waiting (O_NONBLOCK,
// O_NOCTTY), held with an exclusive lock on the open device (flock, which
// decides whether the port is in use) besides exclusive mode, the UUCP lock
// file written for the programs that read it (never followed, never opened
// when it is not a regular file), the frame set through termios. Reading and
// writing are told by a readiness watch (FdWatch); a hang-up or a removed device (POLLHUP,
// EIO, ENXIO, ENODEV) closes the device and is reported once as lost.
class SerialDevice : public QObject
{
    Q_OBJECT
public:
    enum class Error { None, NotFound, PermissionDenied, Busy, BadLockFile, NotSerial, BadSettings, Other };

    explicit SerialDevice(QObject *parent = nullptr);
    ~SerialDevice() override;

    // Opens `path` (a link is followed to the device) with the frame of
    // `settings`; false with error() and errorText() when it cannot.
    bool open(const QString &path, const SerialSettings &settings);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int handle() const { return m_fd; }
    Error error() const { return m_error; }
    // A sentence or two, the device's name first.
    QString errorText() const { return m_errorText; }

    // The frame on the open device; false when the device refuses it.
    bool applySettings(const SerialSettings &settings);
    // The system reports the line readable only once `bytes` (1..255) wait.
    void setMinimumCount(int bytes);

    // Queues the bytes; they go out from the event loop as the line takes them.
    bool write(const QByteArray &bytes);
    // Hands what is still queued to the system now, as far as it takes it.
    void flush();
    // Everything received so far, the bytes the system still holds included.
    QByteArray readAll();
    // Bytes received and not yet taken by readAll().
    int bytesWaiting() const;
    void clearInput();
    void clearOutput();

Q_SIGNALS:
    // Bytes arrived (at least the minimum count, or the line ended).
    void readable();
    // The device hung up or went away; it is already closed.
    void lost(const QString &reason);
    // The device is about to be closed.
    void closing();

private:
    bool fail(Error error, const QString &text);
    // Reads what the system holds into m_buffer; false when the line is lost.
    bool drain();
    void onReadable();
    void onWritable();
    void writePending();
    void loseLine(int error);
    void writeLockFile(const QString &device);
    void removeLockFile();

    int m_fd = -1;
    bool m_pseudoTerminal = false;
    QString m_path;
    std::unique_ptr<FdWatch> m_watch;
    bool m_drained = false; // within readable(): the system's bytes are read
    cc_t m_minimum = 0;     // the line's minimum count (VMIN), 0 when unknown
    QByteArray m_buffer;
    QByteArray m_pending;
    Error m_error = Error::None;
    QString m_errorText;
    // The lock file this device wrote, removed at the closing if it is still that file.
    QString m_lockPath;
    dev_t m_lockDev = 0;
    ino_t m_lockIno = 0;
};

} // namespace q5n
