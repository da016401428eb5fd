// The link engine against the decoder simulator: every exchange (download,
// upload, firmware version) on both channels under every fault the simulator
// plays (RS232 over a real pseudo-terminal, the keyboard line in process),
// plus the ports that cannot be opened. Each row checks the one result, that
// the port is closed afterwards and that the exchange ends exactly once.
#include "link/KeyboardChannel.h"
#include "link/LinkExchange.h"
#include "link/PortIo.h"
#include "link/SerialDevice.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "sim/KeyboardDecoder.h"
#include "sim/SerialDecoder.h"
#include "support/Builders.h"
#include "support/Exchanges.h"
#include "support/PortThroughHelper.h"
#include "windows/LineEditAnswerSource.h"

#include <QLineEdit>
#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace q5n;
using q5n::sim::Fault;

Q_DECLARE_METATYPE(q5n::sim::Fault)

namespace {

enum class Exchange { Download, Upload, Version };
enum class Port { Simulator, Missing, Busy, AbortWhileWaiting };

const QString kVersion = QStringLiteral("Q5N-SIM V1.0"
                                        "2026/12/07");

// Short intervals: every time-out path keeps its real interval in the slow tests.
Timing fastTiming()
{
    Timing t;
    t.tokenTickMs = 15;
    t.keyboardBytePauseMs = 0;
    t.afterHandshakeMs = 1;
    t.downloadAnswerMs = 100;
    t.uploadReplyMs = 120;
    t.keyboardDownloadAnswerMs = 100;
    t.keyboardTextMs = 400;
    return t;
}

} // namespace

Q_DECLARE_METATYPE(Exchange)
Q_DECLARE_METATYPE(Port)

class TestLinkExchange : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void rs232Faults_data();
    void rs232Faults();
    void keyboardFaults_data();
    void keyboardFaults();
    void interruptMaskRestored_data();
    void interruptMaskRestored();
    void waitingCountsDown();
    void heldPort_data();
    void heldPort();

private:
    LinkResult run(Exchange exchange, const LinkSettings &settings, UploadReply *reply);

    std::unique_ptr<QWidget> window;
    QLineEdit *box = nullptr;
    std::unique_ptr<SimulatedPortIo> io;
    std::unique_ptr<test::PortThroughHelper> throughHelper;
    std::unique_ptr<LinkExchange> link;
};

void TestLinkExchange::init()
{
    window = std::make_unique<QWidget>();
    box = new QLineEdit(window.get());
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    io = std::make_unique<SimulatedPortIo>(true);
    throughHelper = std::make_unique<test::PortThroughHelper>(*io);
    link = std::make_unique<LinkExchange>(*throughHelper, fastTiming(), new LineEditAnswerSource(box, window.get()));
}

void TestLinkExchange::cleanup()
{
    link.reset();
    throughHelper.reset();
    io.reset();
    window.reset();
    qputenv("Q5NCFG_COM1", "/nonexistent/com1");
}

LinkResult TestLinkExchange::run(Exchange exchange, const LinkSettings &settings, UploadReply *reply)
{
    if (exchange == Exchange::Download)
        link->download(settings, test::patternImage(7), true);
    else
        link->upload(settings);
    const LinkResult result = test::resultOf(*link);
    if (reply && result == LinkResult::Good)
        *reply = link->reply();
    return result;
}

void TestLinkExchange::rs232Faults_data()
{
    QTest::addColumn<Exchange>("exchange");
    QTest::addColumn<Port>("port");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<LinkResult>("result");

    using R = LinkResult;
    struct Row
    {
        const char *name;
        Port port;
        Fault fault;
        R download, upload; // version runs the upload exchange
    };
    const Row rows[] = {
        {"answers", Port::Simulator, Fault::None, R::Good, R::Good},
        {"silence", Port::Simulator, Fault::Silent, R::TimeOut, R::TimeOut},
        // A refusal is one byte: the download's answer, short of an upload reply.
        {"refusal", Port::Simulator, Fault::Refuse, R::Bad, R::TimeOut},
        // The download's answer carries no check byte.
        {"bad check", Port::Simulator, Fault::BadCheck, R::Good, R::Bad},
        {"short reply", Port::Simulator, Fault::ShortReply, R::TimeOut, R::TimeOut},
        {"hang-up mid-exchange", Port::Simulator, Fault::HangUp, R::PortLost, R::PortLost},
        {"port missing", Port::Missing, Fault::None, R::PortUnavailable, R::PortUnavailable},
        {"port busy", Port::Busy, Fault::None, R::PortUnavailable, R::PortUnavailable},
        {"abort", Port::AbortWhileWaiting, Fault::Silent, R::Aborted, R::Aborted},
    };
    for (const Row &r : rows) {
        QTest::addRow("download, %s", r.name) << Exchange::Download << r.port << r.fault << r.download;
        QTest::addRow("upload, %s", r.name) << Exchange::Upload << r.port << r.fault << r.upload;
        QTest::addRow("version, %s", r.name) << Exchange::Version << r.port << r.fault << r.upload;
    }
}

void TestLinkExchange::rs232Faults()
{
    QFETCH(Exchange, exchange);
    QFETCH(Port, port);
    QFETCH(Fault, fault);
    QFETCH(LinkResult, result);

    sim::SerialDecoder decoder;
    QVERIFY(decoder.open());
    decoder.setResponseDelayMs(0);
    decoder.setPacing(false);
    decoder.setFault(fault);
    decoder.setSection(sim::Section::Reader);
    decoder.setVersionText(kVersion);
    decoder.setImage(test::patternImage(99));
    qputenv("Q5NCFG_COM1",
            port == Port::Missing ? QByteArray("/nonexistent/com1") : decoder.devicePath().toLocal8Bit());
    // Another program holds the line.
    QSerialPort holder(decoder.devicePath());
    if (port == Port::Busy)
        QVERIFY(holder.open(QIODevice::ReadWrite));

    LinkSettings settings; // RS232, COM 1, 9600,N,8,1
    QSignalSpy finished(link.get(), &LinkExchange::finished);
    if (port == Port::AbortWhileWaiting)
        QTimer::singleShot(30, link.get(), [this] { link->abort(); });
    UploadReply reply;
    QCOMPARE(run(exchange, settings, &reply), result);
    QVERIFY(!link->serialPort().portOpen());
    if (result == LinkResult::PortUnavailable) {
        QCOMPARE(link->portNumber(), 1);
        QVERIFY(!link->portError().isEmpty());
    }
    if (exchange == Exchange::Download && result == LinkResult::Good)
        QCOMPARE(decoder.model().image, test::patternImage(7));
    if (exchange != Exchange::Download && result == LinkResult::Good) {
        QCOMPARE(reply.data, test::imageBytes(test::patternImage(99), kReaderFirst, 60));
        QCOMPARE(reply.versionPart1 + reply.versionPart2, kVersion);
    }
    // One result, and nothing arrives later.
    QTest::qWait(10);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().value<LinkResult>(), result);
}

void TestLinkExchange::keyboardFaults_data()
{
    QTest::addColumn<Exchange>("exchange");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<LinkResult>("result");
    using R = LinkResult;
    struct Row
    {
        const char *name;
        Fault fault;
        R download, upload;
    };
    const Row rows[] = {
        {"answers", Fault::None, R::Good, R::Good},
        // No "S" to the token: the handshake runs out.
        {"silence", Fault::Silent, R::TimeOut, R::TimeOut},
        {"refusal", Fault::Refuse, R::Bad, R::Bad},
        {"bad check", Fault::BadCheck, R::Good, R::Bad},
        {"short reply", Fault::ShortReply, R::Bad, R::Bad},
        {"hang-up mid-exchange", Fault::HangUp, R::Bad, R::Bad},
        {"abort", Fault::Silent, R::Aborted, R::Aborted},
    };
    for (const Row &r : rows) {
        QTest::addRow("download, %s", r.name) << Exchange::Download << r.fault << r.download;
        QTest::addRow("upload, %s", r.name) << Exchange::Upload << r.fault << r.upload;
        QTest::addRow("version, %s", r.name) << Exchange::Version << r.fault << r.upload;
    }
}

void TestLinkExchange::keyboardFaults()
{
    QFETCH(Exchange, exchange);
    QFETCH(Fault, fault);
    QFETCH(LinkResult, result);
    sim::KeyboardDecoder decoder;
    decoder.setKeyDelayMs(0);
    decoder.setReplyGapMs(10);
    decoder.setTargetResolver([this] { return box; });
    decoder.setFault(fault);
    decoder.setSection(sim::Section::Decoder);
    decoder.setVersionText(kVersion);
    decoder.setImage(test::patternImage(123));
    decoder.attach(*io);

    LinkSettings settings;
    settings.linkMode = LinkSettings::kKeyboard;
    QSignalSpy finished(link.get(), &LinkExchange::finished);
    if (result == LinkResult::Aborted)
        QTimer::singleShot(30, link.get(), [this] { link->abort(); });
    UploadReply reply;
    QCOMPARE(run(exchange, settings, &reply), result);
    decoder.detach();
    QVERIFY(!link->serialPort().portOpen());
    if (exchange == Exchange::Download && result == LinkResult::Good)
        QCOMPARE(decoder.model().image, test::patternImage(7));
    if (exchange != Exchange::Download && result == LinkResult::Good) {
        QCOMPARE(reply.data, test::imageBytes(test::patternImage(123), 0, 25));
        QCOMPARE(reply.versionPart1 + reply.versionPart2, kVersion);
    }
    // The interrupt is given back at the end, whatever the outcome.
    QCOMPARE(io->writes().last().port, PortIo::kInterruptMaskPort);
    QTest::qWait(10);
    QCOMPARE(finished.size(), 1);
}

void TestLinkExchange::interruptMaskRestored_data()
{
    QTest::addColumn<Exchange>("exchange");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("releases"); // writes to the mask port
    QTest::newRow("download") << Exchange::Download << Fault::None << 2;
    QTest::newRow("upload") << Exchange::Upload << Fault::None << 2;
    QTest::newRow("no decoder") << Exchange::Download << Fault::Silent << 1;
}

void TestLinkExchange::interruptMaskRestored()
{
    QFETCH(Exchange, exchange);
    QFETCH(Fault, fault);
    QFETCH(int, releases);
    // Lines the system has masked stay masked: the mask read before the
    // handshake is what goes back, never 0.
    io->setInterruptMask(0xB8);
    sim::KeyboardDecoder decoder;
    decoder.setKeyDelayMs(0);
    decoder.setReplyGapMs(10);
    decoder.setTargetResolver([this] { return box; });
    decoder.setFault(fault);
    decoder.attach(*io);
    LinkSettings settings;
    settings.linkMode = LinkSettings::kKeyboard;
    UploadReply reply;
    run(exchange, settings, &reply);
    decoder.detach();

    QVERIFY(!io->reads().isEmpty());
    QCOMPARE(io->reads().first().port, PortIo::kInterruptMaskPort);
    QCOMPARE(io->reads().first().value, quint8(0xB8));
    int written = 0;
    for (const SimulatedPortIo::Write &w : io->writes()) {
        if (w.port != PortIo::kInterruptMaskPort)
            continue;
        ++written;
        QCOMPARE(w.value, quint8(0xB8));
    }
    QCOMPARE(written, releases);
    QCOMPARE(io->interruptMask(), quint8(0xB8));
}

void TestLinkExchange::waitingCountsDown()
{
    // A silent line: the engine says what it waits for and how long it may
    // still wait, counting down, and says when it no longer waits.
    sim::SerialDecoder decoder;
    QVERIFY(decoder.open());
    decoder.setFault(Fault::Silent);
    qputenv("Q5NCFG_COM1", decoder.devicePath().toLocal8Bit());
    Timing timing = fastTiming();
    timing.downloadAnswerMs = 350;
    link = std::make_unique<LinkExchange>(*io, timing, nullptr);
    QList<std::pair<LinkExchange::Waiting, int>> seen;
    connect(link.get(), &LinkExchange::waiting, this, [&seen](LinkExchange::Waiting what, int msLeft) {
        seen.append({what, msLeft});
    });
    link->download(LinkSettings{}, test::patternImage(1), true);
    QCOMPARE(test::resultOf(*link), LinkResult::TimeOut);
    QVERIFY(seen.size() >= 3);
    QCOMPARE(seen.first().first, LinkExchange::Waiting::SerialAnswer);
    QVERIFY(seen.first().second <= timing.downloadAnswerMs);
    QVERIFY(seen[1].second <= seen.first().second);
    QCOMPARE(seen.last().first, LinkExchange::Waiting::Nothing);
}

void TestLinkExchange::heldPort_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("held");
    QTest::newRow("answered: held for the next exchange") << Fault::None << true;
    QTest::newRow("silent: closed") << Fault::Silent << false;
}

void TestLinkExchange::heldPort()
{
    // A chain of exchanges with one decoder: a good end leaves the port open
    // and the next exchange goes out on it without closing it; any other end
    // closes it, and so does releasePort() at the end of the chain.
    QFETCH(Fault, fault);
    QFETCH(bool, held);
    sim::SerialDecoder decoder;
    QVERIFY(decoder.open());
    decoder.setPacing(false);
    decoder.setResponseDelayMs(0);
    decoder.setFault(fault);
    qputenv("Q5NCFG_COM1", decoder.devicePath().toLocal8Bit());
    link->setHoldPort(true);
    QSignalSpy closings(&link->serialPort().device(), &SerialDevice::closing);
    QCOMPARE(run(Exchange::Download, LinkSettings{}, nullptr) == LinkResult::Good, held);
    QCOMPARE(link->serialPort().portOpen(), held);
    if (held) {
        QCOMPARE(run(Exchange::Upload, LinkSettings{}, nullptr), LinkResult::Good);
        QVERIFY(link->serialPort().portOpen());
        QCOMPARE(closings.size(), 0);
    }
    link->releasePort();
    QVERIFY(!link->serialPort().portOpen());
}

QTEST_MAIN(TestLinkExchange)
#include "tst_linkexchange.moc"
