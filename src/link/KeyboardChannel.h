#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace q5n {

class AnswerSource;
class PortIo;

// The keyboard-port channel of a link window. The program writes bytes into
// the keyboard controller's data port; the decoder answers by typing, and its
// keystrokes land in an answer source (the window's small answer box Text1,
// which holds the focus while an answer is awaited).
//
// Nothing here waits: each step starts, returns at once and calls its `done`
// when the token timer (Timer1), the data-phase time-out (Timer2), a byte
// pause or a change of the answer box ends it. cancel() ends every step
// without calling its `done`.
class KeyboardChannel : public QObject
{
    Q_OBJECT
public:
    KeyboardChannel(PortIo &portIo, AnswerSource *answers, QObject *parent = nullptr);

    // Sends each character's code as one byte, each followed by a pause of
    // `pauseMs` (a timer; none at 0), then calls `done`.
    void sendText(const QString &text, int pauseMs, std::function<void()> done);
    // Gives the master interrupt controller back the mask that the last
    // handshake found (read now when no handshake has run yet).
    void releaseInterrupt();

    // Where the decoder's keys are read from (a window may switch between its
    // answer box and a text it fills, as the memory read does).
    void setAnswerSource(AnswerSource *answers);

    // Makes the answer source take the decoder's keys and clears it.
    void prepareAnswerBox();
    QString answerText() const;

    struct Handshake
    {
        std::function<QString()> token;                // asked at every tick
        std::function<bool(const QString &)> answered; // tested on the answer box's text
        int tickMs = 150;
        int ticks = 15; // ticks that send the token; the next one ends the handshake
        int bytePauseMs = 4;
    };
    // Reads the interrupt mask, then repeats the token every tick until the
    // decoder answers or the ticks run out, then releases the keyboard
    // interrupt (writes the mask back) and calls `done` with the tick count
    // (timeID): below ticks + 1 means answered.
    void handshake(const Handshake &h, std::function<void(int timeID)> done);

    // A data phase: ends once `complete` holds or `timeoutMs` passes
    // (Timer2), then releases the keyboard interrupt and calls `done` with
    // whether `complete` holds at the end. Keys typed in the same pass as the
    // one that ended the phase count too.
    void waitData(int timeoutMs, std::function<bool()> complete, std::function<void(bool)> done);

    // Ends whatever step runs; no `done` follows.
    void cancel();

    // For the link windows' own state and for tests.
    int timeID() const { return m_timeID; }
    bool timeOver() const { return m_timeOver; }
    QTimer &timer1() { return m_timer1; }
    QTimer &timer2() { return m_timer2; }

private:
    enum class Phase { None, Handshake, Data };
    void sendNext();
    void onTimer1();
    void tick();
    void endHandshake();
    void onAnswerChanged();
    void endDataSoon();

    PortIo &m_portIo;
    QPointer<AnswerSource> m_answers;
    std::optional<quint8> m_interruptMask; // as read before the last handshake
    QTimer m_timer1;
    QTimer m_timer2;
    QTimer m_pause;
    Phase m_phase = Phase::None;
    Handshake m_handshake;
    std::function<void(int)> m_handshakeDone;
    std::function<bool()> m_complete;
    std::function<void(bool)> m_dataDone;
    // The text being sent and what follows it.
    QString m_text;
    int m_sent = 0;
    int m_pauseMs = 0;
    std::function<void()> m_textDone;
    int m_timeID = 0;
    bool m_timeOver = false;
    bool m_sending = false; // a tick is sending its token
    int m_pendingTicks = 0; // ticks that came while a token was still going out
    bool m_ending = false;  // the data phase ends once the events of this pass are through
    unsigned m_generation = 0;
};

} // namespace q5n
