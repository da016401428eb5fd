// Com numbers that keep their devices: the assignment over injected device
// lists, the settings file, the resolution of port names and its messages, the
// watch of a folder of links standing in for /dev/serial/by-id, and exchanges
// on a simulated adapter that is pulled out and plugged in again.
#include "link/ComPorts.h"
#include "link/LinkExchange.h"
#include "link/PortIo.h"
#include "link/SerialDeviceWatcher.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "platform/Paths.h"
#include "sim/SerialDecoder.h"
#include "support/Exchanges.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace q5n;

namespace {

const QString kFtdi = QStringLiteral("usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
const QString kProlific = QStringLiteral("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0");

// "ttyS0 ttyUSB0=by-id/x ttyUSB1=by-path/y": present devices by name and identity.
QList<PresentDevice> devices(const QString &text)
{
    QList<PresentDevice> list;
    for (const QString &one : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString name = one.section(u'=', 0, 0);
        const QString identity = one.contains(u'=') ? one.section(u'=', 1) : name;
        list.append({identity, QStringLiteral("/dev/") + name, QStringLiteral("/dev/") + name});
    }
    return list;
}

// "ttyS0,,by-id/x": Com 1..6 in order, empty for a free number.
ComTable table(const QString &text)
{
    ComTable t;
    const QStringList parts = text.split(u',');
    for (int i = 0; i < kComPortCount && i < parts.size(); ++i)
        t[i] = parts[i];
    return t;
}

QString text(const ComTable &t)
{
    QStringList parts(t.begin(), t.end());
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return parts.join(u',');
}

void unsetComVariables()
{
    for (int n = 1; n <= kComPortCount; ++n)
        qunsetenv(QByteArray("Q5NCFG_COM" + QByteArray::number(n)).constData());
}

void restoreComVariables()
{
    for (int n = 1; n <= kComPortCount; ++n)
        qputenv(QByteArray("Q5NCFG_COM" + QByteArray::number(n)).constData(),
                QByteArray("/nonexistent/com" + QByteArray::number(n)));
}

} // namespace

class TestComPorts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        unsetComVariables();
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("serial/by-id"));
        m_sources.byIdDir = m_dir.filePath(QStringLiteral("serial/by-id"));
        m_sources.byPathDir = m_dir.filePath(QStringLiteral("serial/by-path"));
        m_sources.settingsFile = m_dir.filePath(QStringLiteral("config/q5ncfg/comports"));
        m_sources.systemPorts = [] { return QStringList(); };
    }
    void cleanup()
    {
        restoreComVariables();
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void naturalOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::newRow("numbers as numbers") << "ttyUSB2"
                                            << "ttyUSB10";
        QTest::newRow("leading zeros") << "ttyUSB02"
                                       << "ttyUSB10";
        QTest::newRow("letters first") << "ttyACM9"
                                       << "ttyUSB0";
        QTest::newRow("prefix shorter") << "ttyS"
                                        << "ttyS0";
        QTest::newRow("later runs") << "usb-1-2"
                                    << "usb-1-10";
    }
    void naturalOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QVERIFY(naturalLess(a, b));
        QVERIFY(!naturalLess(b, a));
        QVERIFY(!naturalLess(a, a));
    }

    void assignment_data()
    {
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("present");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first start: built-in ports their own, adapters after") << ""
                                                                               << "ttyUSB0=by-id/a ttyS1 ttyS0"
                                                                               << "ttyS0,ttyS1,by-id/a";
        QTest::newRow("an adapter plugged in keeps ttyS0 at Com 1") << "ttyS0"
                                                                    << "ttyS0 ttyUSB0=by-id/a"
                                                                    << "ttyS0,by-id/a";
        QTest::newRow("unplugging the first of two adapters moves no number") << "ttyS0,by-id/a,by-id/b"
                                                                              << "ttyS0 ttyUSB0=by-id/b"
                                                                              << "ttyS0,by-id/a,by-id/b";
        QTest::newRow("a new device skips the number of an absent one") << "ttyS0,by-id/a"
                                                                        << "ttyS0 ttyUSB0=by-id/c"
                                                                        << "ttyS0,by-id/a,by-id/c";
        QTest::newRow("an adapter on another system name keeps its number") << ",by-id/a"
                                                                            << "ttyUSB7=by-id/a"
                                                                            << ",by-id/a";
        QTest::newRow("new devices in natural order") << ""
                                                      << "ttyUSB10=by-id/x ttyUSB2=by-id/y"
                                                      << "by-id/y,by-id/x";
        QTest::newRow("ttyS1 alone leaves Com 1 free") << ""
                                                       << "ttyS1 ttyUSB0=by-id/a"
                                                       << "by-id/a,ttyS1";
        QTest::newRow("a built-in port whose number is taken takes a free one") << "by-id/a"
                                                                                << "ttyS0"
                                                                                << "by-id/a,ttyS0";
        QTest::newRow("seven devices: the last gets none")
            << ""
            << "ttyUSB0=a ttyUSB1=b ttyUSB2=c ttyUSB3=d ttyUSB4=e ttyUSB5=f ttyUSB6=g"
            << "a,b,c,d,e,f";
        QTest::newRow("an identity twice in the file keeps the first") << "by-id/a,by-id/a"
                                                                       << "ttyUSB0=by-id/a ttyUSB1=by-id/b"
                                                                       << "by-id/a,by-id/b";
    }
    void assignment()
    {
        QFETCH(QString, kept);
        QFETCH(QString, present);
        QFETCH(QString, expected);
        QCOMPARE(text(assignComNumbers(table(kept), devices(present))), expected);
    }

    void givingANumber_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("after");
        QTest::newRow("two devices swap") << "ttyS0,by-id/a" << 1 << "by-id/a"
                                          << "by-id/a,ttyS0";
        QTest::newRow("to a free number") << "ttyS0,by-id/a" << 5 << "by-id/a"
                                          << "ttyS0,,,,by-id/a";
        QTest::newRow("a device without a number displaces") << "ttyS0,by-id/a" << 2 << "by-id/n"
                                                             << "ttyS0,by-id/n";
        QTest::newRow("its own number: no change") << "ttyS0,by-id/a" << 2 << "by-id/a"
                                                   << "ttyS0,by-id/a";
        QTest::newRow("no such number") << "ttyS0" << 7 << "by-id/a"
                                        << "ttyS0";
    }
    void givingANumber()
    {
        QFETCH(QString, before);
        QFETCH(int, number);
        QFETCH(QString, identity);
        QFETCH(QString, after);
        ComTable t = table(before);
        giveComNumber(t, number, identity);
        QCOMPARE(text(t), after);
    }

    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("table");
        QTest::newRow("written form") << QByteArray("Com1=ttyS0\nCom3=by-id/" + kFtdi.toUtf8() + "\n")
                                      << "ttyS0,,by-id/" + kFtdi;
        QTest::newRow("damaged lines are left out")
            << QByteArray("Com1=ttyS0\nCom9=ttyS1\nCom2=../../etc/x\nCom3=/dev/tty\ngarbage\nCom4=a/b/c\nCom5=ttyUSB0")
            << "ttyS0,,,,ttyUSB0";
        QTest::newRow("the first of two lines for a number") << QByteArray("Com2=ttyS1\nCom2=ttyS2\n") << ",ttyS1";
    }
    void settingsFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, table);
        QCOMPARE(text(parseComTable(bytes)), table);
        // What is read back is written in the one form.
        QCOMPARE(parseComTable(comTableBytes(parseComTable(bytes))), parseComTable(bytes));
        if (QTest::currentDataTag() == QByteArray("written form"))
            QCOMPARE(comTableBytes(parseComTable(bytes)), bytes);
    }

    void devicesFromTheSystem()
    {
        const QList<PresentDevice> d =
            serialDevicesFrom({QStringLiteral("/dev/ttyUSB10"), QStringLiteral("/dev/ttyS0"),
                               QStringLiteral("/dev/ttyUSB2"), QStringLiteral("/dev/ttyACM0")},
                              QStringLiteral("/byid"),
                              {{kFtdi, QStringLiteral("/dev/ttyUSB10")}, {QStringLiteral("pty-x"), "/dev/pts/4"}},
                              QStringLiteral("/bypath"),
                              {{QStringLiteral("pci-0:2"), QStringLiteral("/dev/ttyUSB2")},
                               {QStringLiteral("pci-0:9"), QStringLiteral("/dev/ttyUSB10")}});
        QStringList shown;
        for (const PresentDevice &s : d)
            shown << s.systemPath + u'|' + s.identity + u'|' + s.path;
        QCOMPARE(shown, (QStringList{"/dev/pts/4|by-id/pty-x|/byid/pty-x", "/dev/ttyACM0|ttyACM0|/dev/ttyACM0",
                                     "/dev/ttyS0|ttyS0|/dev/ttyS0", "/dev/ttyUSB2|by-path/pci-0:2|/bypath/pci-0:2",
                                     "/dev/ttyUSB10|by-id/" + kFtdi + "|/byid/" + kFtdi}));
    }

    void descriptions_data()
    {
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("text");
        QTest::newRow("by-id") << "by-id/" + kFtdi << "the USB adapter FTDI_FT232R_USB_UART_A12345";
        QTest::newRow("by-path") << "by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"
                                 << "the serial adapter at pci-0000:00:14.0-usb-0:2:1.0-port0";
        QTest::newRow("built-in") << "ttyS1"
                                  << "the built-in port ttyS1";
        QTest::newRow("other") << "ttyACM0"
                               << "the serial device ttyACM0";
    }
    void descriptions()
    {
        QFETCH(QString, identity);
        QFETCH(QString, text);
        QCOMPARE(deviceDescription(identity), text);
    }

    // The user's numbers are kept in the settings file and a number whose
    // adapter is unplugged says which adapter that is.
    void numbersKeptAcrossUnplugging()
    {
        // One after the other, each seen when it comes.
        sim::SerialDecoder first, second;
        const ComPorts ports(m_sources);
        QVERIFY(second.open(m_sources.byIdDir + u'/' + kFtdi));
        QCOMPARE(ports.port(1).device, m_sources.byIdDir + u'/' + kFtdi);
        QVERIFY(first.open(m_sources.byIdDir + u'/' + kProlific));
        QCOMPARE(ports.port(2).device, m_sources.byIdDir + u'/' + kProlific);
        QByteArray saved;
        QVERIFY(readWholeFile(m_sources.settingsFile, &saved));
        QCOMPARE(saved, QByteArray("Com1=by-id/" + kFtdi.toUtf8() + "\nCom2=by-id/" + kProlific.toUtf8() + "\n"));

        second.close(); // the FTDI adapter is pulled out
        const ComPort gone = ports.port(1);
        QVERIFY(gone.device.isEmpty());
        QCOMPARE(gone.text, "Com 1 is the USB adapter FTDI_FT232R_USB_UART_A12345, which is not connected");
        QCOMPARE(ports.port(2).device, m_sources.byIdDir + u'/' + kProlific);

        // A third adapter takes Com 3, never the absent one's number.
        sim::SerialDecoder third;
        QVERIFY(third.open(m_sources.byIdDir + QStringLiteral("/usb-Other_X-if00-port0")));
        QCOMPARE(ports.port(3).device, third.linkPath());
        QVERIFY(ports.port(1).device.isEmpty());

        QVERIFY(second.open(m_sources.byIdDir + u'/' + kFtdi)); // back, on another pseudo-terminal
        QCOMPARE(ports.port(1).device, second.linkPath());
        QCOMPARE(ports.port(1).text,
                 "Com 1 is the USB adapter FTDI_FT232R_USB_UART_A12345 (" + second.devicePath() + ")");
        // Given by the user: the two swap, and it is kept.
        QCOMPARE(ports.give(1, "by-id/" + kProlific), QString());
        QCOMPARE(ComPorts(m_sources).port(1).device, first.linkPath());
        QCOMPARE(ComPorts(m_sources).port(2).device, second.linkPath());
    }

    void portNames_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("usage");
        QTest::addColumn<QString>("problem");
        QTest::newRow("com7") << "com7" << true << "com7 is no port name: com1..com6 or a device path are accepted";
        QTest::newRow("com0") << "COM0" << true << "COM0 is no port name: com1..com6 or a device path are accepted";
        QTest::newRow("a file")
            << "/etc/passwd" << true
            << "/etc/passwd is not a serial device: com1..com6 or a serial device's path are accepted";
        QTest::newRow("a folder") << "/etc" << true << "/etc is not a serial device";
        QTest::newRow("a device of another kind") << "/dev/null" << true << "/dev/null is not a serial device";
        QTest::newRow("an absent path is left to the opening") << "/nonexistent/x" << false << "";
        QTest::newRow("a free number") << "com4" << false << "No serial device has Com 4 on this computer";
        QTest::newRow("an absent adapter")
            << "com2" << false << "Com 2 is the USB adapter FTDI_FT232R_USB_UART_A12345, which is not connected";
        QTest::newRow("set by the environment") << "com1" << false << "";
    }
    void portNames()
    {
        QFETCH(QString, value);
        QFETCH(bool, usage);
        QFETCH(QString, problem);
        QDir().mkpath(QFileInfo(m_sources.settingsFile).absolutePath());
        QCOMPARE(writeFileAtomically(m_sources.settingsFile, "Com2=by-id/" + kFtdi.toUtf8() + "\n"), QString());
        qputenv("Q5NCFG_COM1", "/dev/pts/77");
        const PortName r = resolvePortName(value, ComPorts(m_sources));
        QCOMPARE(r.usageError, usage);
        QVERIFY2(problem.isEmpty() ? r.problem.isEmpty() : r.problem.startsWith(problem), qPrintable(r.problem));
        if (value == QLatin1String("com1"))
            QCOMPARE(r.device, QStringLiteral("/dev/pts/77"));
        QCOMPARE(r.device.isEmpty(), usage || !problem.isEmpty());
    }

    // The folder watch sees an adapter come and go within a second.
    void watchFollowsPlugging()
    {
        SerialDeviceWatcher watcher(m_sources, m_dir.path());
        QVERIFY(watcher.devices().isEmpty());
        QSignalSpy added(&watcher, &SerialDeviceWatcher::deviceAdded);
        QSignalSpy removed(&watcher, &SerialDeviceWatcher::deviceRemoved);
        QElapsedTimer clock;
        clock.start();
        sim::SerialDecoder adapter;
        QVERIFY(adapter.open(m_sources.byIdDir + u'/' + kFtdi));
        QVERIFY(added.wait(1000));
        const qint64 seen = clock.elapsed();
        QVERIFY2(seen < 1000, qPrintable(QString::number(seen)));
        QCOMPARE(added.first().first().value<PresentDevice>().identity, "by-id/" + kFtdi);
        QCOMPARE(ComPorts(m_sources).table()[0], "by-id/" + kFtdi); // numbered when seen
        adapter.close();
        QVERIFY(removed.wait(1000));
        QCOMPARE(watcher.devices().size(), 0);
        QCOMPARE(ComPorts(m_sources).table()[0], "by-id/" + kFtdi); // the number stays the adapter's
        // The whole by-id folder goes with the last adapter and comes back.
        QVERIFY(QDir(m_sources.byIdDir).removeRecursively());
        QTest::qWait(SerialDeviceWatcher::kSettleMs * 2);
        QVERIFY(QDir().mkpath(m_sources.byIdDir));
        QVERIFY(adapter.open(m_sources.byIdDir + u'/' + kFtdi));
        QTRY_COMPARE_WITH_TIMEOUT(added.size(), 2, 1000);
        QCOMPARE(watcher.devices().size(), 1);
    }

    // An exchange on Com 1 goes to its adapter, ends at once when it is
    // pulled out, and the next one works once it is back, without a restart.
    void exchangeAcrossUnplugging()
    {
        sim::SerialDecoder adapter;
        const QString link = m_sources.byIdDir + u'/' + kFtdi;
        QVERIFY(adapter.open(link));
        adapter.setPacing(false);
        adapter.setResponseDelayMs(0);
        SimulatedPortIo io(false);
        LinkExchange engine(io, Timing{}, nullptr);
        const ComPorts ports(m_sources);
        engine.serialPort().setResolver([&ports](int n) { return ports.port(n).device; });
        LinkSettings settings; // RS232, Com 1
        engine.upload(settings);
        QCOMPARE(test::resultOf(engine), LinkResult::Good);

        // Silent, so the exchange waits; the adapter goes meanwhile.
        adapter.setFault(sim::Fault::Silent);
        QElapsedTimer clock;
        QTimer::singleShot(50, &adapter, [&] {
            clock.start();
            adapter.close();
        });
        engine.upload(settings);
        QCOMPARE(test::resultOf(engine), LinkResult::PortLost);
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed()))); // not the time-out
        QVERIFY(!engine.serialPort().portOpen());

        engine.upload(settings); // while it is away: no other device is used
        QCOMPARE(test::resultOf(engine), LinkResult::PortUnavailable);

        QVERIFY(adapter.open(link));
        adapter.setFault(sim::Fault::None);
        engine.upload(settings);
        QCOMPARE(test::resultOf(engine), LinkResult::Good);
    }

private:
    QTemporaryDir m_dir;
    ComPortSources m_sources;
};

QTEST_MAIN(TestComPorts)
#include "tst_comports.moc"
