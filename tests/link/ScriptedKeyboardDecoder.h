#pragma once

// A decoder on the keyboard line, scripted by a test: it watches the bytes
// written to the keyboard data port and answers by typing into the focused
// widget, some milliseconds later, as a real decoder would.

#include "link/PortIo.h"

#include <QApplication>
#include <QTimer>
#include <QtTest>

namespace q5n::test {

class ScriptedKeyboardDecoder
{
public:
    explicit ScriptedKeyboardDecoder(SimulatedPortIo &io) : m_io(io)
    {
        m_io.setObserver([this](quint16 port, quint8 value) { written(port, value); });
    }
    ~ScriptedKeyboardDecoder() { m_io.setObserver({}); }

    // What to type after a complete token; empty: stay silent.
    QString handshakeAnswer = QStringLiteral("S");
    // What to type after `dataLength` data characters (a download), or right
    // after the handshake answer for an upload token ("CCCCC").
    QString dataAnswer = QStringLiteral("P");
    int dataLength = 172;
    // Pause before the handshake answer (shorter than a token tick).
    int answerDelayMs = 5;
    // Pause before a data answer ("P" or the upload reply). A real decoder
    // pauses here too: the program clears its answer box right after each
    // phase, and keys typed sooner would be cleared with it.
    int replyDelayMs = 60;
    // Tokens ignored before answering.
    int tokensBeforeAnswer = 0;

    QString token() const { return m_token; }
    QString data() const { return m_data; }

    static void type(const QString &text)
    {
        QWidget *w = QApplication::focusWidget();
        if (!w)
            return;
        for (QChar ch : text)
            QTest::keyClicks(w, QString(ch));
    }

private:
    enum class Phase { Tokens, Data, Done };

    void written(quint16 port, quint8 value)
    {
        if (port != PortIo::kKeyboardDataPort)
            return;
        const QChar ch = QChar(value);
        if (m_phase == Phase::Tokens) {
            m_run = (m_run.isEmpty() || m_run.back() == ch) ? m_run + ch : QString(ch);
            if (m_run.size() < 5)
                return;
            m_token = m_run;
            m_run.clear();
            if (m_tokensSeen++ < tokensBeforeAnswer || handshakeAnswer.isEmpty())
                return;
            m_phase = m_token == QStringLiteral("CCCCC") ? Phase::Done : Phase::Data;
            const QString answer = handshakeAnswer;
            const QString reply = dataAnswer;
            const bool upload = m_phase == Phase::Done;
            QTimer::singleShot(answerDelayMs, [answer, reply, upload, this] {
                type(answer);
                if (upload && !reply.isEmpty())
                    QTimer::singleShot(replyDelayMs, [reply] { type(reply); });
            });
            return;
        }
        if (m_phase == Phase::Data) {
            m_data += ch;
            if (m_data.size() == dataLength) {
                m_phase = Phase::Done;
                const QString reply = dataAnswer;
                if (!reply.isEmpty())
                    QTimer::singleShot(replyDelayMs, [reply] { type(reply); });
            }
        }
    }

    SimulatedPortIo &m_io;
    Phase m_phase = Phase::Tokens;
    QString m_run;
    QString m_token;
    QString m_data;
    int m_tokensSeen = 0;
};

} // namespace q5n::test
