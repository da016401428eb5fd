#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace q5n {

class AnswerSource;
class EventWait;
class PortIo;

// The keyboard-port channel of a link window. The program writes bytes into
// the keyboard controller's data port; the decoder answers by typing, and its
// keystrokes land in an answer source (the window's small answer box Text1,
// which holds the focus while an answer is awaited).
//
// Every wait runs on the window's EventWait (nested event loops, no spinning):
// the token timer (Timer1), the data-phase time-out (Timer2) and each change of
// the answer box end or re-test it.
class KeyboardChannel : public QObject
{
    Q_OBJECT
public:
    KeyboardChannel(PortIo &portIo, EventWait &wait, AnswerSource *answers, QObject *parent = nullptr);

    // Sends one byte to the data port, then pauses for `pauseMs` while events
    // run. False when the exchange was aborted meanwhile.
    bool sendByte(quint8 byte, int pauseMs);
    // Sends each character's code as one byte, each followed by its pause.
    bool sendText(const QString &text, int pauseMs);
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
    // interrupt (writes the mask back). Returns the tick count
    // (timeID): below ticks + 1 means answered. -1 when aborted.
    int handshake(const Handshake &h);

    // A data phase: runs events until `done` holds or `timeoutMs` passes
    // (Timer2), then releases the keyboard interrupt. True when `done` holds
    // at the end. Aborted waits return false too; see aborted().
    bool waitData(int timeoutMs, const std::function<bool()> &done);

    bool aborted() const;

    // For the link windows' own state and for tests.
    int timeID() const { return m_timeID; }
    bool timeOver() const { return m_timeOver; }
    QTimer &timer1() { return m_timer1; }
    QTimer &timer2() { return m_timer2; }

private:
    void onTimer1();
    void onTimer2();

    PortIo &m_portIo;
    EventWait &m_wait;
    QPointer<AnswerSource> m_answers;
    std::optional<quint8> m_interruptMask; // as read before the last handshake
    QTimer m_timer1;
    QTimer m_timer2;
    Handshake m_handshake;
    int m_timeID = 0;
    bool m_timeOver = false;
    bool m_sending = false; // a tick is sending its token
    int m_pendingTicks = 0; // ticks that came while a token was still going out
};

} // namespace q5n
