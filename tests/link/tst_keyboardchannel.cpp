// The keyboard-port channel: token handshake, byte pacing, answers typed
// into the answer box, data-phase time-outs.
#include "link/KeyboardChannel.h"
#include "support/TestContext.h"
#include "windows/LineEditAnswerSource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include <optional>

using namespace q5n;
using q5n::test::TestContext;

namespace {

// A decoder on the keyboard line that types `answer` (one key at a time, as
// queued events) once it has seen `afterBytes` bytes on the data port.
struct Typist
{
    SimulatedPortIo &io;
    QLineEdit *box;
    QString answer;
    int afterBytes = 5;
    int seen = 0;

    void attach()
    {
        io.setObserver([this](quint16 port, quint8) {
            if (port != PortIo::kKeyboardDataPort || answer.isEmpty())
                return;
            if (++seen == afterBytes)
                for (QChar ch : answer)
                    QTimer::singleShot(0, box, [b = box, ch] { QTest::keyClick(b, ch.toLatin1()); });
        });
    }
};

QList<SimulatedPortIo::Write> expectedSilentHandshake(quint8 letter, int ticks)
{
    QList<SimulatedPortIo::Write> w;
    for (int i = 0; i < ticks * 5; ++i)
        w.append({PortIo::kKeyboardDataPort, letter});
    w.append({PortIo::kInterruptMaskPort, 0});
    return w;
}

bool sameWrites(const QList<SimulatedPortIo::Write> &a, const QList<SimulatedPortIo::Write> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].port != b[i].port || a[i].value != b[i].value)
            return false;
    return true;
}

} // namespace

class TestKeyboardChannel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void silentDecoderFailsAfterFifteenTokens();
    void answers_data();
    void answers();
    void answerReachesBoxAfterAnotherWindowWasActive();
    void dataPhase_data();
    void dataPhase();
    void abortEndsEveryWait();

private:
    KeyboardChannel::Handshake fastHandshake(const QString &token, int tickMs = 10) const;
    // Runs a handshake to its end; its tick count.
    int handshake(const KeyboardChannel::Handshake &h);

    TestContext *ctx = nullptr;
    QWidget *window = nullptr;
    QLineEdit *box = nullptr;
    KeyboardChannel *channel = nullptr;
};

void TestKeyboardChannel::init()
{
    ctx = new TestContext;
    window = new QWidget;
    auto *layout = new QVBoxLayout(window);
    box = new QLineEdit(window);
    layout->addWidget(box);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    channel = new KeyboardChannel(ctx->context.portIo, new LineEditAnswerSource(box, window), window);
}

void TestKeyboardChannel::cleanup()
{
    delete window;
    delete ctx;
}

KeyboardChannel::Handshake TestKeyboardChannel::fastHandshake(const QString &token, int tickMs) const
{
    KeyboardChannel::Handshake h;
    h.token = [token] { return token; };
    h.answered = [](const QString &t) { return t.toUpper() == u"S"; };
    h.tickMs = tickMs;
    h.ticks = 15;
    h.bytePauseMs = 0;
    return h;
}

int TestKeyboardChannel::handshake(const KeyboardChannel::Handshake &h)
{
    int timeID = -1;
    channel->handshake(h, [&timeID](int ticks) { timeID = ticks; });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(timeID >= 0, 10000); }();
    return timeID;
}

void TestKeyboardChannel::silentDecoderFailsAfterFifteenTokens()
{
    const int timeID = handshake(fastHandshake(QStringLiteral("AAAAA")));
    QCOMPARE(timeID, 16);
    QVERIFY(sameWrites(ctx->portIo.writes(), expectedSilentHandshake('A', 15)));
    QVERIFY(!channel->timer1().isActive());
}

void TestKeyboardChannel::answers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("S") << "S" << true;
    QTest::newRow("lower-case s") << "s" << true;
    QTest::newRow("xS: the whole text must be S") << "xS" << false;
    QTest::newRow("P") << "P" << false;
}

void TestKeyboardChannel::answers()
{
    QFETCH(QString, answer);
    QFETCH(bool, accepted);
    Typist typist{ctx->portIo, box, answer, 10};
    typist.attach();
    box->setText(QStringLiteral("old text"));
    const int timeID = handshake(fastHandshake(QStringLiteral("BBBBB"), 20));
    if (accepted) {
        // Answered after the second token: ends before the third.
        QCOMPARE(timeID, 2);
        QCOMPARE(ctx->portIo.writes().size(), 11);
    } else {
        QCOMPARE(timeID, 16);
        QCOMPARE(box->text(), answer);
    }
    // The interrupt is released once, after the handshake.
    QCOMPARE(ctx->portIo.writes().last().port, PortIo::kInterruptMaskPort);
    QCOMPARE(ctx->portIo.writes().last().value, quint8(0));
    QVERIFY(box->hasFocus());
}

void TestKeyboardChannel::answerReachesBoxAfterAnotherWindowWasActive()
{
    // A closed message box can leave another window (or none) active; the
    // decoder types into whatever has the focus then, as a keyboard does.
    QLineEdit other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    other.setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &other);
    int seen = 0;
    ctx->portIo.setObserver([&seen](quint16 port, quint8) {
        if (port == PortIo::kKeyboardDataPort && ++seen == 5)
            QTimer::singleShot(0, [] {
                if (QWidget *w = QApplication::focusWidget())
                    QTest::keyClick(w, 'S');
            });
    });
    const int timeID = handshake(fastHandshake(QStringLiteral("CCCCC"), 20));
    QCOMPARE(timeID, 1);
    QVERIFY(other.text().isEmpty());
    QVERIFY(window->isActiveWindow());
}

void TestKeyboardChannel::dataPhase_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("reached");
    QTest::newRow("P") << "P" << true;
    QTest::newRow("p") << "p" << true;
    QTest::newRow("PP") << "PP" << false;
    QTest::newRow("nothing") << "" << false;
}

void TestKeyboardChannel::dataPhase()
{
    QFETCH(QString, typed);
    QFETCH(bool, reached);
    channel->prepareAnswerBox();
    for (QChar ch : typed)
        QTimer::singleShot(5, box, [this, ch] { QTest::keyClick(box, ch.toLatin1()); });
    std::optional<bool> ok;
    channel->waitData(
        300, [this] { return channel->answerText().toUpper() == u"P"; }, [&ok](bool complete) { ok = complete; });
    QTRY_VERIFY(ok.has_value());
    QCOMPARE(*ok, reached);
    QCOMPARE(ctx->portIo.writes().size(), 1);
    QCOMPARE(ctx->portIo.writes().first().port, PortIo::kInterruptMaskPort);
    QVERIFY(!channel->timer2().isActive());
}

void TestKeyboardChannel::abortEndsEveryWait()
{
    // Cancelled during a token's pauses: nothing more is sent, no step ends.
    bool ended = false;
    KeyboardChannel::Handshake h = fastHandshake(QStringLiteral("AAAAA"), 5);
    h.bytePauseMs = 3;
    channel->handshake(h, [&ended](int) { ended = true; });
    QTRY_VERIFY(ctx->portIo.writes().size() >= 2);
    channel->cancel();
    const int sent = int(ctx->portIo.writes().size());
    QTest::qWait(60);
    QVERIFY(!ended);
    QCOMPARE(int(ctx->portIo.writes().size()), sent);
    QVERIFY(!channel->timer1().isActive());
}

QTEST_MAIN(TestKeyboardChannel)
#include "tst_keyboardchannel.moc"
