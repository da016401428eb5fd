#include "link/KeyboardChannel.h"

#include "link/AnswerSource.h"
#include "link/EventWait.h"
#include "link/PortIo.h"

namespace q5n {

KeyboardChannel::KeyboardChannel(PortIo &portIo, EventWait &wait, AnswerSource *answers, QObject *parent)
    : QObject(parent), m_portIo(portIo), m_wait(wait)
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setSingleShot(true);
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer2.setTimerType(Qt::PreciseTimer);
    connect(&m_timer1, &QTimer::timeout, this, &KeyboardChannel::onTimer1);
    connect(&m_timer2, &QTimer::timeout, this, &KeyboardChannel::onTimer2);
    setAnswerSource(answers);
}

void KeyboardChannel::setAnswerSource(AnswerSource *answers)
{
    if (m_answers)
        disconnect(m_answers, nullptr, this, nullptr);
    m_answers = answers;
    if (answers)
        connect(answers, &AnswerSource::changed, this, [this] { m_wait.poke(); });
}

bool KeyboardChannel::sendByte(quint8 byte, int pauseMs)
{
    // The result is not tested: a decoder that did not get the byte stays
    // silent, and the exchange ends in its time-out.
    m_portIo.SetPortVal(PortIo::kKeyboardDataPort, byte, 1);
    return m_wait.pause(pauseMs);
}

bool KeyboardChannel::sendText(const QString &text, int pauseMs)
{
    for (QChar ch : text)
        if (!sendByte(static_cast<quint8>(ch.unicode() & 0xFF), pauseMs))
            return false;
    return true;
}

void KeyboardChannel::releaseInterrupt()
{
    // Whatever lines the system had masked stay masked: the mask found before
    // the handshake goes back, never a blanket 0.
    // When the mask cannot be read, port access is unusable and the write
    // below changes nothing either; 0 is then as good as any value.
    if (!m_interruptMask) {
        quint32 value = 0;
        if (m_portIo.GetPortVal(PortIo::kInterruptMaskPort, &value, 1))
            m_interruptMask = quint8(value & 0xFF);
    }
    m_portIo.SetPortVal(PortIo::kInterruptMaskPort, m_interruptMask.value_or(0), 1);
}

void KeyboardChannel::prepareAnswerBox()
{
    if (m_answers)
        m_answers->prepare();
}

QString KeyboardChannel::answerText() const
{
    return m_answers ? m_answers->text() : QString();
}

bool KeyboardChannel::aborted() const
{
    return m_wait.aborted();
}

int KeyboardChannel::handshake(const Handshake &h)
{
    quint32 mask = 0;
    if (m_portIo.GetPortVal(PortIo::kInterruptMaskPort, &mask, 1))
        m_interruptMask = quint8(mask & 0xFF);
    else
        m_interruptMask.reset();
    prepareAnswerBox();
    m_handshake = h;
    m_timeID = 0;
    m_timeOver = false;
    m_pendingTicks = 0;
    m_timer1.start(h.tickMs);

    const bool ok = m_wait.until([this] {
        if (!m_timeOver && m_handshake.answered && m_handshake.answered(answerText()))
            m_timeOver = true;
        return m_timeOver;
    });

    releaseInterrupt();
    m_timer1.stop();
    m_handshake = {};
    return ok ? m_timeID : -1;
}

void KeyboardChannel::onTimer1()
{
    // The token's bytes pause while events run, so a tick may come while the
    // previous token is still going out: it is counted and handled once that
    // token is complete, as if the pause had blocked.
    if (m_sending) {
        ++m_pendingTicks;
        return;
    }
    for (;;) {
        ++m_timeID;
        if (m_timeID > m_handshake.ticks || m_timeOver) {
            m_timer1.stop();
            m_timeOver = true;
            m_pendingTicks = 0;
            m_wait.poke();
            return;
        }
        m_sending = true;
        const QString token = m_handshake.token ? m_handshake.token() : QString();
        const bool sent = sendText(token, m_handshake.bytePauseMs);
        m_sending = false;
        if (!sent || m_pendingTicks == 0 || !m_timer1.isActive())
            return;
        --m_pendingTicks;
    }
}

bool KeyboardChannel::waitData(int timeoutMs, const std::function<bool()> &done)
{
    m_timeOver = false;
    m_timer2.start(timeoutMs);
    const bool ended = m_wait.until([&] { return m_timeOver || done(); });
    m_timer2.stop();
    m_timer2.setInterval(0);
    releaseInterrupt();
    // The outcome is read from the answer as it stands now: keys typed in the
    // same pass as the one that ended the wait count too.
    return ended && done();
}

void KeyboardChannel::onTimer2()
{
    m_timeOver = true;
    m_wait.poke();
}

} // namespace q5n
