#pragma once

#include "link/Timing.h"
#include "model/ConfigImage.h"
#include "protocol/Protocol.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <QList>

#include <functional>
#include <memory>

namespace q5n {

class AnswerSource;
class EventWait;
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
    // Judges the bytes received once `threshold` are buffered: true Good, false Bad.
    std::function<bool(const QByteArray &)> accept;
};

// The exchange engine of a link window (and of anything else that talks to
// the decoder): no widgets, one exchange at a time. Each exchange returns one
// LinkResult; while it waits, waiting() says for what and how long it may
// still wait, and progress() counts what is sent or received.
//
// Every wait runs events (nested event loops, no spinning), so the caller's
// window stays alive; the caller keeps its own commands disabled meanwhile.
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

    LinkExchange(PortIo &portIo, const Timing &timing, AnswerSource *answers, QObject *parent = nullptr);
    ~LinkExchange() override;

    // ---- The decoder's exchanges (RS232 or keyboard line by settings.linkMode)

    // Sends the whole image; `save` selects the command that makes the
    // decoder keep it.
    LinkResult download(const LinkSettings &settings, const ConfigImage &image, bool save);
    // Asks for the decoder's configuration; a Good result leaves the decoded
    // reply (section and version text) in `reply`. The caller decides what to
    // apply: an upload copies the section, a firmware-version request only
    // shows the version.
    LinkResult upload(const LinkSettings &settings, UploadReply *reply);

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
    LinkResult readMemory(const LinkSettings &settings, const std::function<void(const QList<QByteArray> &)> &lines,
                          AnswerSource *typed = nullptr);
    // Tells the decoder to clear its memory. RS232: Good when its answer byte
    // is 0x07. Keyboard line: Good once the handshake is answered.
    LinkResult clearMemory(const LinkSettings &settings);

    // ---- The building blocks

    // Opens the port of `settings` (closing it first if open), writes the
    // request, waits for `threshold` bytes and judges them; the port is closed
    // again afterwards, whatever the result.
    LinkResult serialExchange(const LinkSettings &settings, const SerialRequest &request);
    // Opens the port for an exchange of several requests; false with
    // portError() when it cannot be opened. closePort() ends it.
    bool openPort(const LinkSettings &settings);
    void closePort();
    // Over an open port: writes `request` and waits for the answer.
    LinkResult serialRequest(const SerialRequest &request);

    // Keyboard line: repeats `token` until the decoder types an answer that
    // `answered` takes (Good) or the ticks run out (TimeOut).
    LinkResult handshake(const std::function<QString()> &token, const std::function<bool(const QString &)> &answered,
                         int bytePauseMs);
    // Sends each character of `text` as one byte, with the link window's pause.
    LinkResult sendKeyboardText(const QString &text);
    // Waits up to `timeoutMs` until `complete` holds for the typed text, then
    // judges it with `accept` (Good or Bad). The answer source is cleared first.
    LinkResult keyboardAnswer(int timeoutMs, const std::function<bool(const QString &)> &complete,
                              const std::function<bool(const QString &)> &accept, int progressMaximum = 0);

    // Where typed answers are read from from now on (keyboard line).
    void setAnswerSource(AnswerSource *answers);

    // Why the port could not be opened (the system's reason), after PortUnavailable.
    QString portError() const { return m_portError; }
    // The port number of the last opening attempt.
    int portNumber() const { return m_portNumber; }

    bool running() const { return m_running; }
    // Ends the running exchange at once; it returns Aborted.
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
    // Once per exchange, with its result.
    void finished(q5n::LinkResult result);

private:
    LinkResult finish(LinkResult result);
    LinkResult downloadRs232(const LinkSettings &settings, const ConfigImage &image, bool save);
    LinkResult downloadKeyboard(const ConfigImage &image, bool save);
    LinkResult uploadRs232(const LinkSettings &settings, UploadReply *reply);
    LinkResult uploadKeyboard(UploadReply *reply);
    LinkResult readMemoryRs232(const LinkSettings &settings,
                               const std::function<void(const QList<QByteArray> &)> &lines);
    LinkResult readMemoryKeyboard(AnswerSource *typed);

    void startWaiting(Waiting what, int msTotal);
    void stopWaiting();
    void reportWaiting();
    void onComm();
    void onPortLost();

    PortIo &m_portIo;
    Timing m_timing;
    // Shared with a running wait, so that they outlive it even when the
    // engine is destroyed while it waits.
    std::shared_ptr<EventWait> m_wait;
    std::shared_ptr<KeyboardChannel> m_keyboard;
    SerialPort *m_port;
    QPointer<AnswerSource> m_answers;

    // The serial answer of the running request.
    const SerialRequest *m_request = nullptr;
    bool m_answered = false;
    LinkResult m_serialResult = LinkResult::TimeOut;
    bool m_portLost = false;
    QTimer m_serialTimeout;

    // What waiting() reports.
    Waiting m_waitingFor = Waiting::Nothing;
    int m_waitTotalMs = -1;
    QElapsedTimer m_waitClock;
    QTimer m_countdown;

    QString m_portError;
    int m_portNumber = 0;
    bool m_running = false;
    // Shared with the running exchange: false once this object is gone, so a
    // wait that returns into a destroyed engine touches nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace q5n
