#pragma once

#include "model/SerialSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

namespace q5n {

class SerialDevice;

// The serial port as the link windows use it: a port number, the serial
// settings, a receive threshold that raises onComm once enough
// bytes are buffered, and whole-buffer input. Sits over a SerialDevice.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    static constexpr int kEventReceive = 2; // CommEvent: data received

    // Why opening failed, for the detailed text of the "not available" box.
    enum class OpenError {
        None,
        NoSuchPort,
        NotFound,
        PermissionDenied,
        Busy,
        BadLockFile,
        NotSerial,
        BadSettings,
        Other
    };

    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // Maps a port number to its device; by default comDevicePath().
    void setResolver(std::function<QString(int)> resolver) { m_resolver = std::move(resolver); }

    void setCommPort(int n) { m_commPort = n; }
    int commPort() const { return m_commPort; }
    QString devicePath() const;

    // Taken when the port is opened next (and at once while it is open).
    void setSettings(const SerialSettings &settings);
    SerialSettings settings() const { return m_settings; }

    bool portOpen() const;
    // Opening may fail: then false, with openError()/openErrorText().
    bool setPortOpen(bool open);
    OpenError openError() const { return m_openError; }
    QString openErrorText() const { return m_openErrorText; }

    void clearOutBuffer(); // OutBufferCount := 0; harmless while closed
    void clearInBuffer();  // InBufferCount := 0
    // Bytes received and not yet taken by input(), the ones the system still holds included.
    int inBufferCount() const;
    void setInputLen(int n) { m_inputLen = n; }
    void setRThreshold(int n);
    int rThreshold() const { return m_rThreshold; }
    void setInputMode(int mode) { m_inputMode = mode; }
    int inputMode() const { return m_inputMode; }

    bool output(const QByteArray &bytes);
    // Hands what is still buffered for output to the system now, so that a
    // closing right after a write does not drop it.
    void flush();
    // Everything buffered (or InputLen bytes when InputLen > 0), removed from the buffer.
    QByteArray input();
    int commEvent() const { return m_commEvent; }

    // The device under the port (for tests that watch its reads and closings).
    SerialDevice &device() const { return *m_device; }

Q_SIGNALS:
    // Raised once RThreshold bytes are buffered (CommEvent 2).
    void onComm();
    // The device went away or failed while open; the port is already closed.
    void portLost(const QString &reason);

private:
    void readAvailable();
    // Has the system wake the reader only once `bytes` wait on the line.
    void wakeReaderAt(int bytes);
    void deviceLost(const QString &reason);

    SerialDevice *m_device;
    std::function<QString(int)> m_resolver;
    int m_commPort = 1;
    SerialSettings m_settings;
    QByteArray m_input;
    int m_inputLen = 0;
    int m_rThreshold = 0;
    int m_inputMode = 0;
    int m_commEvent = 0;
    OpenError m_openError = OpenError::None;
    QString m_openErrorText;
};

} // namespace q5n
