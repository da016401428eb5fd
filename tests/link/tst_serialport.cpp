// The serial port adapter on a real pseudo-terminal: the settings text reaches
// the line, a hang-up is reported once and closes the port, and the reasons a
// port cannot be opened.
#include "link/LinkExchange.h"
#include "link/PortAccess.h"
#include "link/PortIo.h"
#include "link/PtyPeer.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "support/ScriptedPrompter.h"
#include "windows/LinkMessages.h"

#include "link/FdWatch.h"
#include "link/SerialDevice.h"
#include "sim/SerialDecoder.h"
#include "support/Exchanges.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace q5n;
using namespace q5n::test;

class TestSerialPort : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void settingsReachTheLine_data();
    void settingsReachTheLine();
    void hangUpReportedOnce();
    void receiveThreshold();
    void lineLostMidExchange_data();
    void lineLostMidExchange();
    void openFailures_data();
    void openFailures();
    void accessAdvice_data();
    void accessAdvice();
    void deviceBackAfterFailedOpening_data();
    void deviceBackAfterFailedOpening();
    void readinessWatches_data();
    void readinessWatches();
};

void TestSerialPort::settingsReachTheLine_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("twoStopBits");
    QTest::newRow("start values") << "9600,N,8,1 " << int(B9600) << false;
    QTest::newRow("19200, even, 7 data bits, 2 stop bits") << "19200,E,7,2 " << int(B19200) << true;
    QTest::newRow("1200, odd, 2 stop bits") << "1200,O,8,2 " << int(B1200) << true;
}

void TestSerialPort::settingsReachTheLine()
{
    QFETCH(QString, settings);
    QFETCH(int, speed);
    QFETCH(bool, twoStopBits);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    SerialPort port;
    const QString path = peer.slavePath();
    port.setResolver([path](int) { return path; });
    port.setSettings(parseSerialSettings(settings).value());
    // Twice: a pseudo-terminal that forced 8 bits without parity at the first
    // opening refuses 7 bits or a parity at the next.
    QVERIFY(port.setPortOpen(true));
    port.setPortOpen(false);
    QVERIFY2(port.setPortOpen(true), qPrintable(port.openErrorText()));
    // The line as the other end sees it.
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios t{};
    QCOMPARE(::tcgetattr(fd, &t), 0);
    ::close(fd);
    QCOMPARE(int(::cfgetospeed(&t)), speed);
    QCOMPARE(bool(t.c_cflag & CSTOPB), twoStopBits);
    port.setPortOpen(false);
}

void TestSerialPort::hangUpReportedOnce()
{
    PtyPeer peer;
    SerialPort port;
    const QString path = peer.slavePath();
    port.setResolver([path](int) { return path; });
    QVERIFY(port.setPortOpen(true));
    QSignalSpy lost(&port, &SerialPort::portLost);
    peer.hangUp();
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(!port.portOpen());
    QTest::qWait(100);
    QCOMPARE(lost.count(), 1);
}

void TestSerialPort::receiveThreshold()
{
    PtyPeer peer;
    SerialPort port;
    const QString path = peer.slavePath();
    port.setResolver([path](int) { return path; });
    QVERIFY(port.setPortOpen(true));
    port.setInputLen(0);
    port.clearInBuffer();
    port.setRThreshold(84);
    port.setInputMode(1);
    QSignalSpy comm(&port, &SerialPort::onComm);
    // Short of the threshold the reader is not even woken.
    QSignalSpy reads(&port.device(), &SerialDevice::readable);
    peer.send(QByteArray(50, 'a'));
    QTest::qWait(100);
    QCOMPARE(comm.count(), 0);
    QCOMPARE(reads.count(), 0);
    QCOMPARE(port.inBufferCount(), 50);
    peer.send(QByteArray(34, 'b'));
    QTRY_VERIFY(comm.count() >= 1);
    QCOMPARE(port.commEvent(), SerialPort::kEventReceive);
    const QByteArray in = port.input();
    QCOMPARE(in, QByteArray(50, 'a') + QByteArray(34, 'b'));
    QCOMPARE(port.inBufferCount(), 0);
    port.setPortOpen(false);
}

void TestSerialPort::lineLostMidExchange_data()
{
    QTest::addColumn<bool>("deviceRemains");
    // The far end hangs up while another descriptor keeps the line (and its name) in place.
    QTest::newRow("hang-up") << true;
    // Every end closed: the device itself is gone, as an unplugged adapter's.
    QTest::newRow("device removed") << false;
}

void TestSerialPort::lineLostMidExchange()
{
    // An upload waits for its reply (84 bytes, the line's minimum count set
    // to that) when the line goes: the exchange ends on the loss, long
    // before its time-out, and the port is closed.
    QFETCH(bool, deviceRemains);
    PtyPeer peer;
    const QString path = peer.slavePath();
    const int keeper = deviceRemains ? ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK) : -1;
    SimulatedPortIo io;
    Timing timing;
    timing.uploadReplyMs = 60000;
    LinkExchange link(io, timing, nullptr);
    link.serialPort().setResolver([path](int) { return path; });
    QSignalSpy finished(&link, &LinkExchange::finished);
    peer.onReceived = [&peer](const QByteArray &received) {
        if (received.size() >= 4) {
            peer.onReceived = nullptr;
            peer.send(QByteArray(20, 'x')); // part of a reply: the reader is not woken yet
            QTimer::singleShot(50, &peer, [&peer] { peer.hangUp(); });
        }
    };
    link.upload(LinkSettings{});
    QVERIFY(finished.wait(10000));
    if (keeper >= 0)
        ::close(keeper);
    QCOMPARE(finished.first().first().value<LinkResult>(), LinkResult::PortLost);
    QVERIFY(!link.serialPort().portOpen());
}

void TestSerialPort::openFailures_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("detail");
    QTest::newRow("missing device") << 2 << "/nonexistent/ttyUSB9"
                                    << "COM 2: not available."
                                    << "no such device";
    QTest::newRow("no such port") << 6 << ""
                                  << "COM 6: not available."
                                  << "no serial port number 6";
    QTest::newRow("negative port number") << -1 << ""
                                          << "COM-1: not available."
                                          << "";
    // A lock file in the shared lock folder, held by a running process (this one).
    QTest::newRow("held by a lock file")
        << 1 << "lock"
        << "COM 1: not available."
        << QStringLiteral("The lock file /var/lock/LCK..pts_") +
               QStringLiteral("%1 (owner %2) names process %3 (tst_serialport), which is running.");
}

void TestSerialPort::openFailures()
{
    QFETCH(int, portNumber);
    QFETCH(QString, device);
    QFETCH(QString, text);
    QFETCH(QString, detail);
    SimulatedPortIo io;
    LinkExchange link(io, Timing{}, nullptr);
    SerialPort &port = link.serialPort();
    PtyPeer peer;
    QString path = device;
    std::unique_ptr<QFile, void (*)(QFile *)> lock(nullptr, [](QFile *f) {
        f->remove();
        delete f;
    });
    if (device == QLatin1String("lock")) {
        path = peer.slavePath();
        lock.reset(
            new QFile(QStringLiteral("/var/lock/LCK..") + path.mid(5).replace(QLatin1Char('/'), QLatin1Char('_'))));
        QVERIFY(lock->open(QIODevice::WriteOnly));
        lock->write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                    QCoreApplication::applicationFilePath().toLocal8Bit() + '\n' +
                    QSysInfo::machineHostName().toLocal8Bit() + '\n');
        lock->close();
        detail = detail.arg(path.section(QLatin1Char('/'), -1), QFileInfo(*lock).owner())
                     .arg(QCoreApplication::applicationPid());
    }
    port.setResolver([path](int) { return path; });
    LinkSettings settings;
    settings.portNumber = qint16(portNumber);
    ScriptedPrompter prompter;
    QVERIFY(!link.monitor(settings));
    QVERIFY(!port.portOpen());
    reportPortUnavailable(prompter, link.portNumber(), link.portError());
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages[0].title, QString());
    QCOMPARE(prompter.messages[0].text, text);
    QCOMPARE(prompter.messages[0].buttons, Prompter::Buttons(Prompter::Button::Ok));
    QCOMPARE(prompter.messages[0].icon, Prompter::Icon::None);
    QVERIFY2(prompter.messages[0].detailedText.contains(detail), qPrintable(prompter.messages[0].detailedText));
}

void TestSerialPort::accessAdvice_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<QStringList>("sessionGroups");
    QTest::addColumn<QStringList>("accountGroups");
    QTest::addColumn<QString>("advice");
    const QString admin =
        QStringLiteral("The device belongs to root:%1 with mode %2, which does not let you use it: an "
                       "administrator must grant access");
    QTest::newRow("group may use it") << "dialout" << 0660u << QStringList{"ann"} << QStringList{"ann"}
                                      << "The device belongs to the group \"dialout\": ask an administrator to add "
                                         "your user to that group, then log out and log in again.";
    QTest::newRow("added, not yet logged in again")
        << "dialout" << 0660u << QStringList{"ann"} << QStringList{"ann", "dialout"}
        << "Your user is in the group \"dialout\" that may use the device, but this login started before it was "
           "added: log out and log in again.";
    QTest::newRow("only the owner") << "root" << 0600u << QStringList{"ann"} << QStringList{"ann"}
                                    << admin.arg("root", "0600");
    QTest::newRow("group root never advised")
        << "root" << 0660u << QStringList{"ann"} << QStringList{"ann"} << admin.arg("root", "0660");
    QTest::newRow("group may only read") << "uucp" << 0640u << QStringList{"ann"} << QStringList{"ann"}
                                         << admin.arg("uucp", "0640");
}

void TestSerialPort::accessAdvice()
{
    QFETCH(QString, group);
    QFETCH(uint, mode);
    QFETCH(QStringList, sessionGroups);
    QFETCH(QStringList, accountGroups);
    QFETCH(QString, advice);
    const QString text = q5n::accessAdvice({"root", group, mode, "ann", sessionGroups, accountGroups});
    QVERIFY2(text.startsWith(advice), qPrintable(text));
    QVERIFY(!text.contains("sudo") && !text.contains("group \"root\""));
}

void TestSerialPort::deviceBackAfterFailedOpening_data()
{
    QTest::addColumn<QString>("exchange");
    QTest::newRow("KR Test port") << "monitor";
    QTest::newRow("upload") << "upload";
    QTest::newRow("download") << "download";
}

void TestSerialPort::deviceBackAfterFailedOpening()
{
    // The adapter is away: the opening fails. It is plugged back, and the
    // same engine tries again at once: the device is opened, not refused
    // with the reason of the last attempt.
    QFETCH(QString, exchange);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-adapter"));
    SimulatedPortIo io(false);
    LinkExchange engine(io, Timing{}, nullptr);
    engine.serialPort().setResolver([link](int) { return link; });
    QSignalSpy finished(&engine, &LinkExchange::finished);
    const auto start = [&] {
        if (exchange == u"monitor")
            return engine.monitor(LinkSettings{});
        if (exchange == u"upload")
            engine.upload(LinkSettings{});
        else
            engine.download(LinkSettings{}, ConfigImage{}, true);
        return true;
    };
    QVERIFY(!start() || exchange != u"monitor");
    QVERIFY(engine.portError().contains(QLatin1String("no such device")));
    sim::SerialDecoder decoder;
    QVERIFY(decoder.open(link));
    decoder.setPacing(false);
    QVERIFY2(start(), qPrintable(engine.portError()));
    // The failed attempt ended first, once; then the new one runs.
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().value<LinkResult>(), LinkResult::PortUnavailable);
    if (exchange == u"monitor") {
        QVERIFY(engine.serialPort().portOpen());
        engine.abort();
    } else {
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.last().first().value<LinkResult>(), LinkResult::Good);
    }
    QTest::qWait(20);
    QCOMPARE(finished.size(), 2);
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"

// Two pipes watched at once, both readable in one turn of the event loop:
// a callback may delete its own watch or the other's, and nothing is called
// on a watch once it is gone; writing is told only while wanted; the shared
// set's descriptor goes with the last watch.
void TestSerialPort::readinessWatches_data()
{
    QTest::addColumn<QString>("firstDeletes");
    QTest::newRow("nothing") << "";
    QTest::newRow("its own watch") << "own";
    QTest::newRow("the other watch") << "other";
    QTest::newRow("both watches") << "both";
}

void TestSerialPort::readinessWatches()
{
    QFETCH(QString, firstDeletes);
    const auto descriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
    };
    const qsizetype before = descriptors();
    int pipes[2][2];
    QVERIFY(::pipe2(pipes[0], O_NONBLOCK | O_CLOEXEC) == 0 && ::pipe2(pipes[1], O_NONBLOCK | O_CLOEXEC) == 0);
    std::unique_ptr<FdWatch> watches[2];
    int reads[2] = {0, 0}, writes = 0, first = -1;
    for (int i = 0; i < 2; ++i)
        watches[i] = std::make_unique<FdWatch>(
            pipes[i][0],
            [&, i] {
                QVERIFY(watches[i]); // never called once deleted
                ++reads[i];
                char c;
                while (::read(pipes[i][0], &c, 1) == 1) {
                }
                if (first >= 0)
                    return;
                first = i;
                if (firstDeletes == QLatin1String("own") || firstDeletes == QLatin1String("both"))
                    watches[i].reset();
                if (firstDeletes == QLatin1String("other") || firstDeletes == QLatin1String("both"))
                    watches[1 - i].reset();
            },
            [] {});
    auto writer = std::make_unique<FdWatch>(
        pipes[0][1], [] {}, [&] { ++writes; });
    QVERIFY(::write(pipes[0][1], "a", 1) == 1 && ::write(pipes[1][1], "b", 1) == 1);
    QTRY_VERIFY(first >= 0);
    const int second = 1 - first;
    const bool secondKept = firstDeletes.isEmpty() || firstDeletes == QLatin1String("own");
    QTRY_COMPARE(reads[second], secondKept ? 1 : 0);
    QCOMPARE(reads[first], 1);
    QCOMPARE(writes, 0); // the pipe takes bytes, but nobody asked
    writer->setWriteWanted(true);
    QTRY_VERIFY(writes > 0);
    writer->setWriteWanted(false);
    const int told = writes;
    QVERIFY(::write(pipes[second][1], "c", 1) == 1);
    QTRY_COMPARE(reads[second], secondKept ? 2 : 0);
    QCOMPARE(writes, told);
    watches[0].reset();
    watches[1].reset();
    writer.reset();
    for (auto &p : pipes)
        for (int fd : p)
            ::close(fd);
    QCOMPARE(descriptors(), before);
}
