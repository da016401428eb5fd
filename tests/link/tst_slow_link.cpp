// The link's pauses and time-outs at their real intervals (the quick suite
// runs them shortened): the RS232 answer waits of download (3000 ms) and
// upload (7000 ms), the keyboard handshake (16 ticks of 150 ms), the keyboard
// download answer (1000 ms) and the keyboard upload text (5000 ms).
#include "link/LinkExchange.h"
#include "link/PtyPeer.h"
#include "link/ScriptedKeyboardDecoder.h"
#include "link/TransmitFixture.h"
#include "sim/SerialDecoder.h"
#include "support/Exchanges.h"
#include "windows/LineEditAnswerSource.h"

#include <QElapsedTimer>
#include <QLineEdit>

using namespace q5n;
using namespace q5n::test;

class TestSlowLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void rs232DownloadTimeoutAtRealInterval();
    void rs232UploadTimeoutAtRealInterval();
    void keyboardUploadTimeoutAtRealInterval();
    void silentHandshakeAtRealInterval();
    void keyboardDownloadAnswerAtRealInterval();

private:
    std::unique_ptr<TransmitFixture> f;
    std::unique_ptr<sim::SerialDecoder> serial;
};

void TestSlowLink::init()
{
    f = std::make_unique<TransmitFixture>();
    f->useRealTiming();
    // A decoder on COM 1 that never answers.
    serial = std::make_unique<sim::SerialDecoder>();
    QVERIFY(serial->open());
    serial->setFault(sim::Fault::Silent);
    qputenv("Q5NCFG_COM1", serial->devicePath().toLocal8Bit());
}

void TestSlowLink::cleanup()
{
    f.reset();
    serial.reset();
    qputenv("Q5NCFG_COM1", "/nonexistent/com1");
}

void TestSlowLink::rs232DownloadTimeoutAtRealInterval()
{
    QVERIFY(f->open());
    QElapsedTimer clock;
    clock.start();
    f->press(QStringLiteral("cmdTransmit"));
    QVERIFY(clock.elapsed() >= 3000 - 20);
    QCOMPARE(f->ctx.prompter.messages.size(), 1);
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Time Out Error!"));
    QCOMPARE(f->ctx.prompter.messages.last().title, QStringLiteral("CFG Message"));
}

void TestSlowLink::rs232UploadTimeoutAtRealInterval()
{
    QVERIFY(f->open());
    QElapsedTimer clock;
    clock.start();
    f->press(QStringLiteral("CmdVersion"));
    QVERIFY(clock.elapsed() >= 7000 - 20);
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Time Out Error!"));
    QCOMPARE(f->ctx.prompter.messages.last().title, QStringLiteral("Upload Message"));
}

void TestSlowLink::keyboardUploadTimeoutAtRealInterval()
{
    f->ctx.context.timing.tokenTickMs = 15;
    f->ctx.state.linkSettings.linkMode = 0;
    ScriptedKeyboardDecoder decoder(f->ctx.portIo);
    decoder.dataAnswer = QString(); // answers the handshake, then sends nothing
    QVERIFY(f->open());
    QElapsedTimer clock;
    f->ctx.prompter.onAsk = [&](const Prompter::Message &m) {
        if (m.text.startsWith(u"This will"))
            clock.start();
    };
    f->press(QStringLiteral("cmdReceive"));
    QVERIFY(clock.elapsed() >= 5000 - 20);
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Upload Failed!"));
}

void TestSlowLink::silentHandshakeAtRealInterval()
{
    // Nobody answers the token: 15 tokens, 150 ms apart, the 16th tick ends it.
    QLineEdit box;
    box.show();
    SimulatedPortIo io(true);
    test::PortThroughHelper throughHelper(io);
    LinkExchange link(throughHelper, Timing{}, new LineEditAnswerSource(&box, &box));
    LinkSettings keyboard;
    keyboard.linkMode = LinkSettings::kKeyboard;
    QElapsedTimer clock;
    clock.start();
    link.upload(keyboard);
    QCOMPARE(test::resultOf(link), LinkResult::TimeOut);
    QVERIFY2(clock.elapsed() >= 16 * 150 - 20, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(io.writes().size(), 15 * 5 + 1);
    QCOMPARE(io.writes().last().port, PortIo::kInterruptMaskPort);
}

void TestSlowLink::keyboardDownloadAnswerAtRealInterval()
{
    // The decoder takes the data but never types "P": 1000 ms, then a failure.
    f->ctx.context.timing.tokenTickMs = 15;
    f->ctx.state.linkSettings.linkMode = 0;
    ScriptedKeyboardDecoder decoder(f->ctx.portIo);
    decoder.dataAnswer = QString();
    QVERIFY(f->open());
    QElapsedTimer clock;
    QObject::connect(&f->window->link(), &LinkExchange::waiting, [&](LinkExchange::Waiting what, int) {
        if (what == LinkExchange::Waiting::KeyboardAnswer && !clock.isValid())
            clock.start();
    });
    f->press(QStringLiteral("cmdTransmit"));
    QVERIFY(clock.isValid());
    QVERIFY(clock.elapsed() >= 1000 - 20);
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Download Failed!"));
}

QTEST_MAIN(TestSlowLink)
#include "tst_slow_link.moc"
