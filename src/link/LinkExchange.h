#pragma once

#include "link/Timing.h"
#include "model/ConfigImage.h"
#include "protocol/Memory.h"
#include "protocol/Protocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

namespace q5n {

class AnswerSource;
class KeyboardChannel;
class PortIo;
class SerialPort;
struct LinkSettings;

// How one exchange with the decoder ended.
enum class LinkResult {
    Good,            // the decoder answered and the answer was accepted
    Bad,             // the decoder answered, but not as required
    TimeOut,         // no answer in time (on the keyboard line: no "S" to the token)
    Aborted,         // the program stopped the exchange (closing down); nothing to report
    PortLost,        // the serial line went away during the exchange
    PortUnavailable, // the serial port could not be opened; see portError()
};

// One request/answer exchange over RS232.
struct SerialRequest
{
    QByteArray request; // written once the port is open
    int threshold = 1;  // bytes buffered before the answer is judged
    int timeoutMs = 0;  // from the request to the answer
    // When above 0: the answer must begin within this time, else the request
    // ends TimeOut at once; an answer that has begun is read to its end
    // within `timeoutMs` (-1 once it has begun: its time-out is then Bad).
    int firstByteMs = 0;
    // Judges the bytes received once `threshold` are buffered: true Good, false Bad.
    std::function<bool(const QByteArray &)> accept;
};

// The exchange engine of a link window, of each port of the command line, of
// anything that talks to the decoder: no widgets, one exchange at a time.
//
// An exchange is started by one call that returns at once; from then on port,
// timer and typed-answer events drive it, and it ends in finished(result),
// exactly once and never from within the call that started it. Nothing waits
// in a nested event loop: the pauses between bytes are timers. While it runs,
// waiting() says for what and how long it may still wait, and progress()
// counts what is sent or received. abort(), a lost line and the engine's
// destruction end it too (the last without a signal): timers stop, the port
// closes, the keyboard interrupt is given back.
class LinkExchange : public QObject
{
    Q_OBJECT
public:
    enum class Waiting {
        Nothing,        // no wait runs (sent once an exchange ends)
        SerialAnswer,   // the decoder's answer on the serial line
        Handshake,      // the decoder's "S" to the keyboard token
        Sending,        // data going out on the keyboard line
        KeyboardAnswer, // the decoder's typed answer or data
    };
    Q_ENUM(Waiting)

    using Lines = std::function<void(const QList<QByteArray> &)>;

    LinkExchange(PortIo &portIo, const Timing &timing, AnswerSource *answers, QObject *parent = nullptr);
    ~LinkExchange() override;

    // ---- The decoder's exchanges (RS232 or keyboard line by settings.linkMode).
    // A call while another exchange runs is ignored; one whose end is decided
    // and only waits to be reported has it reported first.

    // Sends the whole image; `save` selects the command that makes the
    // decoder keep it.
    void download(const LinkSettings &settings, const ConfigImage &image, bool save);
    // Asks for the decoder's configuration; after a Good result reply() holds
    // the decoded reply (section and version text). The caller decides what
    // to apply: an upload copies the section, a firmware-version request only
    // shows the version.
    void upload(const LinkSettings &settings);
    const UploadReply &reply() const { return m_reply; }
    // The same request as a probe for a decoder at the settings' rate: when
    // no byte comes back within `firstByteMs` (after the request's own time on
    // the line) it ends TimeOut at once. An answer that has begun is read to
    // its end, or to the upload's time-out; what it is judged on is bounded by
    // the reply's length, so a line that floods ends the probe Bad, and so
    // does an answer that began and stopped short.
    void probe(const LinkSettings &settings, int firstByteMs);

    // Reads the data lines held in the decoder's memory. Over RS232 the lines
    // come in blocks: `lines` is called once with no lines when the port is
    // open and the read begins, then with the lines each block completes, so
    // a read that fails later keeps what came before it. Good:
    // the end mark or the last of the blocks a read may take; Bad: a block
    // with a wrong check or a record too long for the buffer; TimeOut: a block
    // that did not come. On the keyboard line the decoder types its data into
    // `typed` (the engine's own answer source when null) after the handshake;
    // the typing ends with the character 3, above the length limit or at the
    // time-out, and only a handshake without answer is a failure (TimeOut).
    void readMemory(const LinkSettings &settings, Lines lines, AnswerSource *typed = nullptr);
    // Tells the decoder to clear its memory. RS232: Good when its answer byte
    // is 0x07. Keyboard line: Good once the handshake is answered.
    void clearMemory(const LinkSettings &settings);

    // Listens to the serial port of `settings` (whatever the link mode):
    // every byte the decoder sends is handed on by received(), until abort()
    // (finished(Aborted)) or a lost line (finished(PortLost)). A port that
    // cannot be opened ends it at once (PortUnavailable): then false, with
    // portError(), so that a window may say so before it shows itself.
    bool monitor(const LinkSettings &settings);

    // Where typed answers are read from from now on (keyboard line).
    void setAnswerSource(AnswerSource *answers);

    // Why the port could not be opened (the system's reason), after PortUnavailable.
    QString portError() const { return m_portError; }
    // The port number of the last opening attempt.
    int portNumber() const { return m_portNumber; }
    // After an RS232 exchange that ran out of time with part of its answer in:
    // the bytes that came and the bytes the answer needed; {0, 0} otherwise.
    std::pair<int, int> shortAnswer() const { return m_shortAnswer; }

    // With `hold` on, an RS232 exchange that ends Good leaves its port open,
    // and the next exchange on the same port with the same settings goes out
    // on it without opening it again: for a chain of exchanges with one
    // decoder (a download and its verifying upload). Any other end, abort()
    // and releasePort() close it. Off by default: a port is open only for the
    // length of one exchange.
    void setHoldPort(bool hold) { m_holdPort = hold; }
    void releasePort();

    bool running() const { return m_running; }
    // Ends the running exchange at once: finished(Aborted) is sent before
    // this returns.
    void abort();

    SerialPort &serialPort() const { return *m_port; }
    KeyboardChannel &keyboardChannel() const { return *m_keyboard; }
    const Timing &timing() const { return m_timing; }

Q_SIGNALS:
    // At the start of each wait and every tenth of a second while it runs:
    // what is awaited and how many milliseconds it may still take (-1: no
    // time limit of its own). Nothing once the exchange is over.
    void waiting(q5n::LinkExchange::Waiting what, int msLeft);
    // Data sent (keyboard download) or received (keyboard upload) so far.
    void progress(int value, int maximum);
    // What a monitor received.
    void received(const QByteArray &bytes);
    // Once per exchange, with its result.
    void finished(q5n::LinkResult result);

private:
    using Next = std::function<void(LinkResult)>;

    bool begin();
    void finish(LinkResult result);
    void stopEverything();

    // RS232 building blocks.
    bool openPort(const LinkSettings &settings);
    void serialExchange(const LinkSettings &settings, const SerialRequest &request);
    void serialRequest(const SerialRequest &request, Next next);
    void endSerial(LinkResult result);
    void readBlock(int block, const QByteArray &request);
    void onComm();
    void onPortLost();

    // Keyboard-line building blocks.
    void handshake(const std::function<QString()> &token, const std::function<bool(const QString &)> &answered,
                   int bytePauseMs, Next next);
    void keyboardAnswer(int timeoutMs, const std::function<bool(const QString &)> &complete,
                        const std::function<bool(const QString &)> &accept, int progressMaximum, Next next);
    void sendPair(int pair);
    void pause(int ms, std::function<void()> then);

    void startWaiting(Waiting what, int msTotal);
    void stopWaiting();
    void reportWaiting();

    PortIo &m_portIo;
    Timing m_timing;
    KeyboardChannel *m_keyboard;
    SerialPort *m_port;
    QPointer<AnswerSource> m_answers;

    // The running exchange.
    bool m_running = false;
    bool m_holdPort = false;
    bool m_monitoring = false;
    bool m_keyboardUsed = false;       // a handshake began: the interrupt goes back on abort
    AnswerSource *m_restore = nullptr; // the answer source to return to (keyboard memory read)
    unsigned m_generation = 0;         // counts exchanges; a queued end of an earlier one is dropped
    bool m_ending = false;             // the end is decided and waits to be reported
    LinkResult m_endResult = LinkResult::Aborted;
    std::pair<int, int> m_shortAnswer{0, 0};

    // The serial answer of the running request.
    bool m_awaiting = false;
    bool m_firstByte = false; // a probe waits for the first byte of its answer
    QElapsedTimer m_requestClock;
    SerialRequest m_request;
    Next m_serialNext;
    bool m_portLost = false;
    QTimer m_serialTimeout;

    // A pause of the keyboard line.
    QTimer m_pause;
    std::function<void()> m_afterPause;

    // The data of the running exchange.
    UploadReply m_reply;
    Lines m_lines;
    MemoryReassembler m_reassembler;
    MemoryBlockResult m_taken = MemoryBlockResult::Bad;
    QString m_stream;
    QMetaObject::Connection m_counting;

    // What waiting() reports.
    Waiting m_waitingFor = Waiting::Nothing;
    int m_waitTotalMs = -1;
    QElapsedTimer m_waitClock;
    QTimer m_countdown;

    QString m_portError;
    int m_portNumber = 0;
};

} // namespace q5n
