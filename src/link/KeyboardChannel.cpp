#include "link/KeyboardChannel.h"

#include "link/AnswerSource.h"
#include "link/PortIo.h"

namespace q5n {

KeyboardChannel::KeyboardChannel(PortIo &portIo, AnswerSource *answers, QObject *parent)
    : QObject(parent), m_portIo(portIo)
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setSingleShot(true);
    m_pause.setSingleShot(true);
    for (QTimer *t : {&m_timer1, &m_timer2, &m_pause})
        t->setTimerType(Qt::PreciseTimer);
    connect(&m_timer1, &QTimer::timeout, this, &KeyboardChannel::onTimer1);
    connect(&m_timer2, &QTimer::timeout, this, [this] {
        m_timeOver = true;
        endDataSoon();
    });
    connect(&m_pause, &QTimer::timeout, this, &KeyboardChannel::sendNext);
    setAnswerSource(answers);
}

void KeyboardChannel::setAnswerSource(AnswerSource *answers)
{
    if (m_answers)
        disconnect(m_answers, nullptr, this, nullptr);
    m_answers = answers;
    if (answers)
        connect(answers, &AnswerSource::changed, this, &KeyboardChannel::onAnswerChanged);
}

void KeyboardChannel::sendText(const QString &text, int pauseMs, std::function<void()> done)
{
    m_text = text;
    m_sent = 0;
    m_pauseMs = pauseMs;
    m_textDone = std::move(done);
    sendNext();
}

void KeyboardChannel::sendNext()
{
    // Without a pause the whole text goes out at once; with one, each byte
    // waits for its timer.
    while (m_sent < m_text.size()) {
        // The result is not tested: a decoder that did not get the byte stays
        // silent, and the exchange ends in its time-out.
        m_portIo.SetPortVal(PortIo::kKeyboardDataPort, static_cast<quint8>(m_text[m_sent++].unicode() & 0xFF), 1);
        if (m_pauseMs > 0) {
            m_pause.start(m_pauseMs);
            return;
        }
    }
    if (m_pauseMs > 0 && m_pause.isActive())
        return;
    auto done = std::move(m_textDone);
    m_textDone = nullptr;
    m_text.clear();
    if (done)
        done();
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

void KeyboardChannel::handshake(const Handshake &h, std::function<void(int)> done)
{
    quint32 mask = 0;
    if (m_portIo.GetPortVal(PortIo::kInterruptMaskPort, &mask, 1))
        m_interruptMask = quint8(mask & 0xFF);
    else
        m_interruptMask.reset();
    m_phase = Phase::Handshake;
    prepareAnswerBox();
    m_handshake = h;
    m_handshakeDone = std::move(done);
    m_timeID = 0;
    m_timeOver = false;
    m_sending = false;
    m_pendingTicks = 0;
    m_timer1.start(h.tickMs);
}

void KeyboardChannel::onTimer1()
{
    // The token's bytes pause between them, so a tick may come while the
    // previous token is still going out: it is counted and handled once that
    // token is complete.
    if (m_sending) {
        ++m_pendingTicks;
        return;
    }
    tick();
}

void KeyboardChannel::tick()
{
    ++m_timeID;
    if (m_timeID > m_handshake.ticks || m_timeOver) {
        endHandshake();
        return;
    }
    m_sending = true;
    const QString token = m_handshake.token ? m_handshake.token() : QString();
    sendText(token, m_handshake.bytePauseMs, [this] {
        m_sending = false;
        // An answer that came while the token went out ends the handshake
        // once the token is complete.
        if (m_timeOver) {
            endHandshake();
        } else if (m_pendingTicks > 0 && m_timer1.isActive()) {
            --m_pendingTicks;
            tick();
        }
    });
}

void KeyboardChannel::endHandshake()
{
    m_timer1.stop();
    m_timeOver = true;
    m_pendingTicks = 0;
    m_phase = Phase::None;
    releaseInterrupt();
    m_handshake = {};
    auto done = std::move(m_handshakeDone);
    m_handshakeDone = nullptr;
    if (done)
        done(m_timeID);
}

void KeyboardChannel::onAnswerChanged()
{
    if (m_phase == Phase::Handshake) {
        if (m_timeOver || !m_handshake.answered || !m_handshake.answered(answerText()))
            return;
        m_timeOver = true;
        if (!m_sending)
            endHandshake();
    } else if (m_phase == Phase::Data && m_complete && m_complete()) {
        endDataSoon();
    }
}

void KeyboardChannel::waitData(int timeoutMs, std::function<bool()> complete, std::function<void(bool)> done)
{
    m_phase = Phase::Data;
    m_timeOver = false;
    m_ending = false;
    m_complete = std::move(complete);
    m_dataDone = std::move(done);
    m_timer2.start(timeoutMs);
    if (m_complete())
        endDataSoon();
}

void KeyboardChannel::endDataSoon()
{
    if (m_phase != Phase::Data || m_ending)
        return;
    m_ending = true;
    // The keys already queued with the one that ended the phase are taken
    // before the answer is judged.
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation] {
            if (generation != m_generation || m_phase != Phase::Data)
                return;
            m_timer2.stop();
            m_timer2.setInterval(0);
            m_phase = Phase::None;
            m_ending = false;
            releaseInterrupt();
            const bool complete = m_complete();
            auto done = std::move(m_dataDone);
            m_dataDone = nullptr;
            m_complete = nullptr;
            if (done)
                done(complete);
        },
        Qt::QueuedConnection);
}

void KeyboardChannel::cancel()
{
    ++m_generation;
    m_timer1.stop();
    m_timer2.stop();
    m_pause.stop();
    m_phase = Phase::None;
    m_sending = false;
    m_ending = false;
    m_pendingTicks = 0;
    m_text.clear();
    m_textDone = nullptr;
    m_handshakeDone = nullptr;
    m_dataDone = nullptr;
    m_complete = nullptr;
    m_handshake = {};
}

} // namespace q5n
