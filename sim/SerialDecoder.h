#pragma once

#include "model/ConfigImage.h"
#include "model/SerialSettings.h"
#include "sim/DecoderModel.h"
#include "sim/DeviceProtocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class QSocketNotifier;

namespace q5n::sim {

// A decoder on a serial line, served on a pseudo-terminal: the program opens the
// device path (or the symlink) as its serial port. Everything runs on the
// thread's event loop: a socket notifier on the master side receives, timers
// pace what is sent at the wire time of the line settings.
class SerialDecoder : public QObject
{
    Q_OBJECT
public:
    explicit SerialDecoder(QObject *parent = nullptr);
    ~SerialDecoder() override;

    // Creates the pseudo-terminal (raw mode) and, when linkPath is given, a
    // symlink to it there (an existing symlink is replaced, any other file is
    // left alone and opening fails). False with errorString() on failure.
    bool open(const QString &linkPath = {});
    // open(), then points the program's "COM n" at this line by setting the
    // environment variable Q5NCFG_COM<n> to the device path (kept up to date
    // when the line is reopened after a hang-up). For tests and scripts.
    bool openAsComPort(int n, const QString &linkPath = {});
    void close(); // also removes the symlink
    bool isOpen() const { return m_masterFd >= 0; }
    QString devicePath() const { return m_devicePath; } // e.g. /dev/pts/7
    QString linkPath() const { return m_linkPath; }
    QString errorString() const { return m_error; }

    DecoderModel &model() { return m_model; }
    const DecoderModel &model() const { return m_model; }
    void setFault(Fault fault) { m_model.fault = fault; }
    void setSection(Section section) { m_model.uploadSection = section; }
    void setVersionText(const QString &text) { m_model.setVersionText(text); }
    void setImage(const ConfigImage &image) { m_model.image = image; }

    // The frame the decoder expects on its line (baud, parity, data bits,
    // stop bits).
    void setLineSettings(const SerialSettings &settings) { m_line = settings; }
    SerialSettings lineSettings() const { return m_line; }
    // When on (the default), requests sent with other line settings than the
    // decoder's (as the program set them on its side of the line) are garbled:
    // the decoder ignores them and logs why.
    void setCheckLineSettings(bool on) { m_checkLine = on; }
    // When on, a download the decoder takes sets its line to the frame the
    // downloaded configuration names (baud rate, parity, data and stop bits),
    // from the moment its acknowledgement has gone out. Off (the default): the
    // decoder keeps its line whatever it is sent.
    void setAdoptSettings(bool on) { m_adoptSettings = on; }
    bool adoptsSettings() const { return m_adoptSettings; }
    // Sending and receiving take the wire time of the line settings (default on).
    void setPacing(bool on) { m_pacing = on; }
    // Time the decoder takes before it answers a request (default 2 ms).
    void setResponseDelayMs(int ms) { m_responseDelayMs = qMax(0, ms); }
    // After a hang-up or a removal, open a fresh line at the same link path
    // after this delay (negative: stay closed; the default).
    void setReopenAfterHangUpMs(int ms) { m_reopenAfterHangUpMs = ms; }
    int reopenAfterHangUpMs() const { return m_reopenAfterHangUpMs; }

    // What the decoder sends after a scan or a card swipe: the data goes out
    // unasked, at the wire time of the line, whatever the fault setting.
    void sendScan(const QByteArray &data);

    // The device goes away now, as an unplugged adapter does: the line and
    // its link vanish (a program's open port fails at once, an opening finds
    // no device) until the reopening delay brings a fresh line back.
    void remove();
    // Sends 1 MB of garbage as fast as the line takes it (the flood fault's
    // answer); a new request or the program closing the line ends it.
    void flood();

    // Bytes waiting to go out (a flood's too).
    qint64 pendingOutput() const { return m_out.size() + m_floodLeft; }

Q_SIGNALS:
    void downloadReceived(const q5n::ConfigImage &image, int command, bool accepted);
    void requestHandled(q5n::sim::RequestKind kind, bool valid);
    void replySent(const QByteArray &bytes); // once a whole reply is on the wire
    void hungUp();                           // the line hung up, or the device was removed
    void reopened(const QString &devicePath);
    void logMessage(const QString &text);

private:
    void readMaster();
    void lineOpenedOrClosed();
    void cutOutput(const QString &why);
    void processInput();
    void handleRequest(const RequestScan &scan, const QByteArray &bytes);
    void sendReply(QByteArray bytes, int hangUpAfter = -1);
    void sendMemoryBlock();
    void endMemoryRead(const QString &why);
    void pumpOutput();
    void hangUp(const QString &how);
    void dropIncomplete();
    bool programLineMatches(QString *programLine) const;
    void adoptLineOf(const ConfigImage &image);
    void takeAdoptedLine();
    qint64 byteTimeNs() const;
    void log(const QString &text) { Q_EMIT logMessage(text); }

    DecoderModel m_model;
    SerialSettings m_line;
    bool m_checkLine = true;
    bool m_adoptSettings = false;
    std::optional<SerialSettings> m_adoptedLine; // taken once the reply on the wire is out
    bool m_pacing = true;
    int m_responseDelayMs = 2;
    int m_reopenAfterHangUpMs = -1;
    int m_comPort = 0; // the COM number pointed at this line, 0 for none

    int m_masterFd = -1;
    int m_slaveFd = -1; // held open so the master never sees a hang-up between the program's sessions
    QString m_devicePath;
    QString m_linkPath;
    QString m_error;
    QSocketNotifier *m_notifier = nullptr;
    int m_closeWatch = -1; // inotify: someone opened or closed the line's device
    QSocketNotifier *m_closeNotifier = nullptr;

    QElapsedTimer m_clock;
    qint64 m_rxFreeAtNs = 0;   // when the last received byte has fully arrived
    QByteArray m_in;           // what is received and not yet handled, a receive buffer's worth at most
    qint64 m_overrunBytes = 0; // lost to a full receive buffer since the last handling
    QTimer m_processTimer;
    QTimer m_incompleteTimer; // drops a request that never completes
    QTimer m_quietTimer;      // after a refused frame: drop its remaining bytes

    QByteArray m_out;
    int m_hangUpAfter = -1; // hang up once this many more bytes are written
    qint64 m_floodLeft = 0; // garbage still to send as fast as the line takes it
    QByteArray m_replyInFlight;
    qint64 m_sendStartNs = 0;
    qint64 m_sentInBurst = 0;
    QTimer m_sendTimer;

    QList<QByteArray> m_memoryBlocks;
    int m_memoryIndex = -1; // block awaiting the program's answer, -1 when no read runs
    QTimer m_memoryAnswerTimer;
};

} // namespace q5n::sim
