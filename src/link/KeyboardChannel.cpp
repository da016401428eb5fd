#include "link/KeyboardChannel.h"

#include "link/EventWait.h"
#include "link/PortIo.h"
#include "model/ProgramState.h"

#include <QLineEdit>

namespace q5n {

KeyboardChannel::KeyboardChannel(PortIo &portIo, ProgramState &state, EventWait &wait, QLineEdit *answerBox,
                                 QObject *parent)
    : QObject(parent), m_portIo(portIo), m_state(state), m_wait(wait), m_answerBox(answerBox)
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setSingleShot(true);
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer2.setTimerType(Qt::PreciseTimer);
    connect(&m_timer1, &QTimer::timeout, this, &KeyboardChannel::onTimer1);
    connect(&m_timer2, &QTimer::timeout, this, &KeyboardChannel::onTimer2);
    if (answerBox)
        connect(answerBox, &QLineEdit::textChanged, this, [this] { m_wait.poke(); });
}

bool KeyboardChannel::sendByte(quint8 byte, int pauseMs)
{
    m_state.portWriteResult = m_portIo.SetPortVal(PortIo::kKeyboardDataPort, byte, 1);
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
    m_state.portWriteResult = m_portIo.SetPortVal(PortIo::kInterruptMaskPort, 0, 1);
}

void KeyboardChannel::prepareAnswerBox()
{
    if (!m_answerBox)
        return;
    // The decoder's keys go to the focus of the active window. A message box
    // that has just closed (the upload question, the last exchange's result)
    // may leave no window of the program active, and then every typed answer
    // would be lost: the box's window is made active first.
    QWidget *window = m_answerBox->window();
    if (window->isVisible() && !window->isActiveWindow())
        window->activateWindow();
    m_answerBox->setFocus(Qt::OtherFocusReason);
    m_answerBox->clear();
}

QString KeyboardChannel::answerText() const
{
    return m_answerBox ? m_answerBox->text() : QString();
}

bool KeyboardChannel::aborted() const
{
    return m_wait.aborted();
}

int KeyboardChannel::handshake(const Handshake &h)
{
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
