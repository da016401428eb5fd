#include "link/DecoderFinder.h"
#include "sim/SerialDecoder.h"
#include "tool/Command.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace q5n;
using namespace q5n::tool;

namespace {

Timing quickTiming()
{
    Timing t;
    t.uploadReplyMs = 400;
    t.probeFirstByteMs = 120;
    return t;
}

struct Run
{
    int code = -1;
    QString out, err;
};

// A line that sends garbage without being asked, as long as it lives.
struct FloodingLine
{
    int master = -1;
    QString device;
    QTimer timer;
    FloodingLine()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        device = QString::fromLocal8Bit(::ptsname(master));
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const QByteArray junk(256, '\x5a');
            [[maybe_unused]] const ssize_t n = ::write(master, junk.constData(), size_t(junk.size()));
            char drain[1024];
            while (::read(master, drain, sizeof drain) > 0) {
            }
        });
        timer.start(5);
    }
    ~FloodingLine()
    {
        if (master >= 0)
            ::close(master);
    }
};

} // namespace

class TestToolFind : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<sim::SerialDecoder>> m_decoders;

    sim::SerialDecoder &decoder(const QString &line, sim::Fault fault = sim::Fault::None)
    {
        auto d = std::make_unique<sim::SerialDecoder>();
        [&] { QVERIFY2(d->open(), qPrintable(d->errorString())); }();
        d->setPacing(false);
        d->setFault(fault);
        d->setLineSettings(*parseSerialSettings(line));
        d->setVersionText(QStringLiteral("Q5N-FW 2.07 build 0412"));
        m_decoders.push_back(std::move(d));
        return *m_decoders.back();
    }

    Run run(const QStringList &args)
    {
        Run r;
        QTextStream out(&r.out), err(&r.err);
        r.code = runCommand(QStringList{QStringLiteral("find")} + args, out, err, quickTiming());
        out.flush();
        err.flush();
        return r;
    }

private Q_SLOTS:
    void cleanup() { m_decoders.clear(); }

    // One port with one line on it: a decoder at some settings, or something else.
    void onePort_data()
    {
        QTest::addColumn<QString>("line"); // the decoder's settings, or "flood" / "held"
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("text"); // what follows the port's name
        using F = sim::Fault;
        const QString fw = QStringLiteral("  Q5N-FW 2.07  build 0412");
        for (const char *rate : {"19200", "9600", "4800", "2400", "1200"})
            QTest::addRow("decoder at %s", rate)
                << QStringLiteral("%1,N,8,1").arg(rate) << int(F::None) << QStringList{} << int(kDone)
                << QStringLiteral("answered at %1,N,8,1").arg(rate) + fw;
        QTest::newRow("two stop bits, given") << "2400,N,8,2" << int(F::None) << QStringList{"--stop-bits", "2"}
                                              << int(kDone) << "answered at 2400,N,8,2" + fw;
        QTest::newRow("space parity, 7 data bits")
            << "4800,S,7,1" << int(F::None) << QStringList{"--parity", "S", "--data-bits", "7"} << int(kDone)
            << "answered at 4800,S,7,1" + fw;
        QTest::newRow("two stop bits, not given")
            << "2400,N,8,2" << int(F::None) << QStringList{} << int(kTimeOut) << "no decoder (no answer at any rate)";
        QTest::newRow("silent") << "9600,N,8,1" << int(F::Silent) << QStringList{} << int(kTimeOut)
                                << "no decoder (no answer at any rate)";
        QTest::newRow("refuses") << "9600,N,8,1" << int(F::Refuse) << QStringList{} << int(kTimeOut)
                                 << "no decoder (an answer at 9600,N,8,1 that is not a decoder's reply)";
        QTest::newRow("bad check byte") << "4800,N,8,1" << int(F::BadCheck) << QStringList{} << int(kTimeOut)
                                        << "no decoder (an answer at 4800,N,8,1 that is not a decoder's reply)";
        QTest::newRow("reply cut short") << "2400,N,8,1" << int(F::ShortReply) << QStringList{} << int(kTimeOut)
                                         << "no decoder (an answer at 2400,N,8,1 that is not a decoder's reply)";
        QTest::newRow("hangs up") << "1200,N,8,1" << int(F::HangUp) << QStringList{} << int(kTimeOut)
                                  << "no decoder (the port went away at 1200)";
        QTest::newRow("removed") << "9600,N,8,1" << int(F::Remove) << QStringList{} << int(kTimeOut)
                                 << "no decoder (the port went away at 9600)";
        QTest::newRow("answers at another rate")
            << "9600,N,8,1" << int(F::OtherRate) << QStringList{} << int(kTimeOut)
            << "no decoder (an answer at 9600,N,8,1 that is not a decoder's reply)";
        QTest::newRow("garbage flood") << "flood" << int(F::None) << QStringList{} << int(kTimeOut)
                                       << "no decoder (an answer at 19200,N,8,1 that is not a decoder's reply)";
        QTest::newRow("held by another program")
            << "held" << int(F::None) << QStringList{} << int(kTimeOut) << "no decoder (skipped: in use: ";
    }

    void onePort()
    {
        QFETCH(QString, line);
        QFETCH(int, fault);
        QFETCH(QStringList, options);
        QFETCH(int, exit);
        QFETCH(QString, text);
        QString port;
        std::unique_ptr<FloodingLine> flood;
        int holder = -1;
        if (line == QLatin1String("flood")) {
            flood = std::make_unique<FloodingLine>();
            port = flood->device;
        } else if (line == QLatin1String("held")) {
            sim::SerialDecoder &d = decoder(QStringLiteral("19200,N,8,1"));
            port = d.devicePath();
            holder = ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY);
            QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        } else {
            port = decoder(line, sim::Fault(fault)).devicePath();
        }
        QVERIFY(!port.isEmpty());
        const Run r = run(QStringList{QStringLiteral("--port"), port} + options);
        if (holder >= 0)
            ::close(holder);
        QCOMPARE(r.code, exit);
        QCOMPARE(r.out.count(QLatin1Char('\n')), 1);
        QVERIFY2(r.out.startsWith(port + QStringLiteral("  ") + text), qPrintable(r.out));
        // A held port is never written to: its decoder, at the first rate
        // probed, was never asked.
        if (line == QLatin1String("held"))
            QCOMPARE(m_decoders.back()->model().uploadsServed, 0);
    }

    // Ports at once: each reports its own line, JSON per decoder its port,
    // settings and version text; one decoder found is enough for exit 0.
    void severalPortsInJson()
    {
        const QString slow = decoder(QStringLiteral("1200,N,8,1")).devicePath();
        const QString silent = decoder(QStringLiteral("9600,N,8,1"), sim::Fault::Silent).devicePath();
        const QString fast = decoder(QStringLiteral("19200,N,8,1")).devicePath();
        qputenv("Q5NCFG_COM2", fast.toLocal8Bit());
        const Run r = run({"--port", slow, "--port", silent, "--port", "com2", "--json"});
        qputenv("Q5NCFG_COM2", "/nonexistent/com2");
        QCOMPARE(r.code, int(kDone));
        const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(doc["exit"].toInt(), int(kDone));
        const QJsonArray ports = doc["ports"].toArray();
        QCOMPARE(ports.size(), 3);
        const QString firmware = QStringLiteral("Q5N-FW 2.07  build 0412");
        QCOMPARE(ports[0].toObject(), (QJsonObject{{"port", slow},
                                                   {"device", slow},
                                                   {"result", "found"},
                                                   {"answered_at", "1200,N,8,1"},
                                                   {"firmware", firmware}}));
        QCOMPARE(ports[1]["result"].toString(), QStringLiteral("no decoder"));
        QVERIFY(!ports[1].toObject().contains("answered_at"));
        QCOMPARE(ports[2]["port"].toString(), QStringLiteral("com2"));
        QCOMPARE(ports[2]["device"].toString(), fast);
        QCOMPARE(ports[2]["answered_at"].toString(), QStringLiteral("19200,N,8,1"));
    }

    void refusedBeforeAnyByte_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("even parity") << QStringList{"--parity", "E"}
                                     << "--parity E: a decoder cannot answer the version request with even or odd";
        QTest::newRow("odd parity") << QStringList{"--parity", "odd"} << "--parity O: a decoder cannot answer";
        QTest::newRow("data bits") << QStringList{"--data-bits", "9"} << "--data-bits: use 7 or 8";
        QTest::newRow("stop bits") << QStringList{"--stop-bits", "3"} << "--stop-bits: use 1 or 2";
        QTest::newRow("com7") << QStringList{"--port", "com7"} << "--port com7 is no port name";
        QTest::newRow("a rate is no option") << QStringList{"--baud", "9600"} << "--baud";
    }

    void refusedBeforeAnyByte()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const QString port = decoder(QStringLiteral("19200,N,8,1")).devicePath();
        const Run r = run(QStringList{QStringLiteral("--port"), port} + args);
        QCOMPARE(r.code, int(kUsage));
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QCOMPARE(m_decoders.back()->model().uploadsServed, 0);
    }

    // Without named ports: the Com numbers' devices and the other present
    // ones, each device once, the held ones marked and never opened.
    void candidatesWithoutNamedPorts()
    {
        const QString com1 = decoder(QStringLiteral("9600,N,8,1")).devicePath();
        const QString other = decoder(QStringLiteral("9600,N,8,1")).devicePath();
        const QString held = decoder(QStringLiteral("9600,N,8,1")).devicePath();
        const int holder = ::open(QFile::encodeName(held).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        qputenv("Q5NCFG_COM1", com1.toLocal8Bit());
        ComPortSources sources;
        sources.byIdDir = sources.byPathDir = m_dir.filePath(QStringLiteral("none"));
        sources.settingsFile = m_dir.filePath(QStringLiteral("comports"));
        sources.systemPorts = [&] { return QStringList{com1, other, held}; };
        const QList<FindPort> list = findCandidates(ComPorts(sources));
        qputenv("Q5NCFG_COM1", "/nonexistent/com1");
        ::close(holder);
        QStringList names, skipped;
        for (const FindPort &p : list) {
            names << p.name;
            skipped << p.skipped.left(8);
        }
        QCOMPARE(names.first(), QStringLiteral("com1"));
        QCOMPARE(list.first().device, com1);
        QCOMPARE(names.count(QStringLiteral("com1")) + names.count(com1), 1);
        const qsizetype heldAt =
            std::find_if(list.begin(), list.end(), [&](const FindPort &p) { return p.device == held; }) - list.begin();
        QVERIFY(heldAt < list.size());
        QCOMPARE(skipped[heldAt], QStringLiteral("in use: "));
        QCOMPARE(skipped.count(QString()), list.size() - 1);
    }

    // A console is known by its device number, whatever its name.
    void consolesByDeviceNumber_data()
    {
        QTest::addColumn<QString>("line"); // of /proc/consoles; %1 the line's major:minor
        QTest::addColumn<bool>("console");
        QTest::newRow("listed") << "ttyS0                -W- (EC  p a)    %1\n" << true;
        QTest::newRow("another device") << "ttyS0                -W- (EC  p a)    4:64\n" << false;
        QTest::newRow("the number inside a line") << "%1 -W- (EC p a) 4:64\n" << false;
        QTest::newRow("empty") << "" << false;
    }

    void consolesByDeviceNumber()
    {
        QFETCH(QString, line);
        QFETCH(bool, console);
        const QString device = decoder(QStringLiteral("9600,N,8,1")).devicePath();
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(device).constData(), &st), 0);
        const QString number = QStringLiteral("%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
        QCOMPARE(listedAsConsole(device, line.arg(number).toLocal8Bit()), console);
        if (console) {
            QVERIFY(probeRefusal(device).isEmpty()); // this machine's consoles do not list it
        }
    }
};

QTEST_GUILESS_MAIN(TestToolFind)
#include "tst_toolfind.moc"
