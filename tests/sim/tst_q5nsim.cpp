// The q5nsim program as scripts use it: the device path on the first line of
// stdout, options that shape the decoder, a clean stop on SIGTERM.

#include "files/SetupFile.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "model/TerminalText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

class TestQ5nSim : public QObject
{
    Q_OBJECT

private:
    QString m_program;
    QByteArray m_log; // what the running simulator has written to stderr

    // Starts q5nsim and returns the device path it prints.
    QString start(QProcess &process, const QStringList &args)
    {
        m_log.clear();
        process.start(m_program, args);
        if (!process.waitForStarted(5000))
            return {};
        if (!process.canReadLine() && !process.waitForReadyRead(5000))
            return {};
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }

    // An upload request and what comes back. With `silentSim`, no answer is
    // expected: rather than the program's whole time-out, the wait ends once
    // the simulator has logged the request, plus a moment for a wrong answer
    // to arrive (the full time-out is waited in tst_slow_q5nsim).
    QByteArray upload(const QString &path, const QString &settings = QStringLiteral("9600,N,8,1 "),
                      QProcess *silentSim = nullptr)
    {
        q5n::SerialPort port;
        port.setResolver([path](int) { return path; });
        port.setSettings(q5n::parseSerialSettings(settings).value());
        if (!port.setPortOpen(true))
            return "not open";
        port.setRThreshold(1);
        const int logged = int(m_log.count("received "));
        port.output(QByteArray("\x02\x80\x03\x81", 4));
        if (silentSim) {
            (void)QTest::qWaitFor(
                [&] {
                    m_log += silentSim->readAllStandardError();
                    return m_log.count("received ") > logged;
                },
                5000);
            QTest::qWait(150);
        } else {
            (void)QTest::qWaitFor([&] { return port.inBufferCount() >= 84; }, 2000);
        }
        return port.input();
    }

private Q_SLOTS:
    void initTestCase();
    void options_data();
    void options();
    void badOptions_data();
    void badOptions();
    void stopsCleanly();
    void bareLinkNameGoesToTheRuntimeDir();
    void imageFromSetupFile();
    void scans();
    void commands();
    void killedClientLeavesTheLineFree();
};

void TestQ5nSim::initTestCase()
{
    // The build puts the tests and the simulator side by side.
    m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/q5nsim");
    if (!QFileInfo(m_program).isExecutable())
        QSKIP("q5nsim is not built next to the tests");
}

void TestQ5nSim::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("programSettings");
    QTest::addColumn<int>("replySize");
    QTest::addColumn<int>("lengthByte");
    QTest::addColumn<QByteArray>("version");

    const QByteArray defaultVersion("Q5N Decoder Ver 3.05  ");
    QTest::newRow("defaults") << QStringList{} << "9600,N,8,1 " << 84 << 25 << defaultVersion;
    QTest::newRow("reader section") << QStringList{"--section", "reader"} << "9600,N,8,1 " << 84 << 60
                                    << defaultVersion;
    QTest::newRow("version text") << QStringList{"--version-text", "ABCDEFGHIJKL0123456789"} << "9600,N,8,1 " << 84
                                  << 25 << QByteArray("ABCDEFGHIJKL0123456789");
    QTest::newRow("baud 19200") << QStringList{"--baud", "19200"} << "19200,N,8,1 " << 84 << 25 << defaultVersion;
    QTest::newRow("program at another baud")
        << QStringList{"--baud", "19200"} << "9600,N,8,1 " << 0 << 0 << QByteArray();
    QTest::newRow("any line settings") << QStringList{"--baud", "19200", "--any-line-settings"} << "9600,N,8,1 " << 84
                                       << 25 << defaultVersion;
    QTest::newRow("fault refuse") << QStringList{"--fault", "refuse"} << "9600,N,8,1 " << 1 << 0x15 << QByteArray();
}

void TestQ5nSim::options()
{
    QFETCH(QStringList, args);
    QFETCH(QString, programSettings);
    QFETCH(int, replySize);
    QFETCH(int, lengthByte);
    QFETCH(QByteArray, version);

    QProcess process;
    const QString path = start(process, args);
    QVERIFY2(path.startsWith(u"/dev/pts/"), qPrintable(path + process.readAllStandardError()));
    const QByteArray reply = upload(path, programSettings, replySize < 84 ? &process : nullptr);
    QCOMPARE(reply.size(), replySize);
    if (replySize > 0)
        QCOMPARE(int(quint8(reply[0])), lengthByte);
    if (!version.isEmpty())
        QCOMPARE(reply.mid(lengthByte + 1, 22), version);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    m_log += process.readAllStandardError();
    QVERIFY(m_log.contains("received ")); // every request is logged
}

void TestQ5nSim::badOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("section") << QStringList{"--section", "both"};
    QTest::newRow("fault") << QStringList{"--fault", "sometimes"};
    QTest::newRow("baud") << QStringList{"--baud", "fast"};
    QTest::newRow("frame") << QStringList{"--frame", "X,8,1"};
    QTest::newRow("image not a setup file") << QStringList{"--image", QCoreApplication::applicationFilePath()};
    // Read like the program reads: only regular files, never waiting on them.
    QTest::newRow("image /dev/zero") << QStringList{"--image", "/dev/zero"};
    QTest::newRow("image /dev/urandom") << QStringList{"--image", "/dev/urandom"};
    QTest::newRow("image a directory") << QStringList{"--image", "/"};
    QTest::newRow("image missing") << QStringList{"--image", "/nonexistent/x.cfg"};
    // The log names what it was given with its control characters as <NAME>.
    QTest::newRow("image name with controls") << QStringList{"--image", "/nonexistent/\x1b]0;owned\x07\x7f\u009b.cfg"};
    QTest::newRow("fault name with controls") << QStringList{"--fault", "\x1b[2J"};
}

void TestQ5nSim::badOptions()
{
    QFETCH(QStringList, args);
    QProcess process;
    process.start(m_program, args);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    const QString log = QString::fromUtf8(process.readAllStandardError());
    QVERIFY(!log.isEmpty());
    for (QChar c : log)
        QVERIFY2(c == u'\n' || !q5n::isTerminalControl(c), qPrintable(log.toUtf8().toPercentEncoding(" /:<>")));
}

void TestQ5nSim::stopsCleanly()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    QProcess process;
    const QString path = start(process, {QStringLiteral("--link"), link});
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    QCOMPARE(upload(link).size(), 84);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestQ5nSim::bareLinkNameGoesToTheRuntimeDir()
{
    QTemporaryDir runtime;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    process.setProcessEnvironment(env);
    const QString path = start(process, {QStringLiteral("--link"), QStringLiteral("q5n-com1")});
    const QString link = runtime.filePath(QStringLiteral("q5n-com1"));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestQ5nSim::imageFromSetupFile()
{
    QTemporaryDir dir;
    q5n::ConfigImage image;
    for (int i = 0; i < q5n::kImageSize; ++i)
        image[i] = quint8(200 - i);
    QFile file(dir.filePath(QStringLiteral("decoder.cfg")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(q5n::setupFileBytes(q5n::SetupInfo{}, q5n::LinkSettings{}, image));
    file.close();

    QProcess process;
    const QString path = start(process, {QStringLiteral("--image"), file.fileName()});
    QVERIFY2(path.startsWith(u"/dev/pts/"), qPrintable(process.readAllStandardError()));
    const QByteArray reply = upload(path);
    QCOMPARE(reply.size(), 84);
    for (int i = 0; i < 25; ++i)
        QCOMPARE(quint8(reply[1 + i]), image[i]);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

void TestQ5nSim::scans()
{
    QProcess process;
    const QString path = start(process, {"--scan", "111", "--scan", "22", "--scan-every", "50"});
    q5n::SerialPort port;
    port.setResolver([path](int) { return path; });
    QVERIFY(port.setPortOpen(true));
    port.setRThreshold(1);
    QTRY_VERIFY(port.inBufferCount() >= 20);
    const QByteArray got = port.input();
    // Whole scans in turn, wherever the first one read starts.
    const int start = int(got.indexOf("111\r\n22\r\n"));
    QVERIFY2(start >= 0, got.constData());
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

void TestQ5nSim::commands()
{
    QProcess process;
    const QString path = start(process, {"--commands"});
    QCOMPARE(int(quint8(upload(path)[0])), 25);
    process.write("adopt-settings sometimes\nadopt-settings on\nsection reader\nversion NEW VERSION\n");
    QVERIFY(
        QTest::qWaitFor([&] { return (m_log += process.readAllStandardError()).contains("upload section reader"); }));
    QVERIFY(m_log.contains("upload section decoder, fault none, version \"Q5N Decoder Ver 3.05  \", 3 memory line(s), "
                           "memory fault none at block 0, adopt-settings on"));
    const QByteArray reply = upload(path);
    QCOMPARE(int(quint8(reply[0])), 60);
    QCOMPARE(reply.mid(61, 22), QByteArray("NEW VERSION").leftJustified(22, ' '));
    QVERIFY(m_log.contains("adopt-settings: on or off"));
    // A line longer than any file line is skipped whole, and the next one works.
    process.write(QByteArray(40000, 'x') + "\nfault silent\n");
    QVERIFY(QTest::qWaitFor([&] { return (m_log += process.readAllStandardError()).contains("fault silent"); }));
    QVERIFY(m_log.contains("command line longer than 32767 characters: skipped"));
    process.closeWriteChannel(); // end of input: the decoder keeps serving
    QTest::qWait(50);
    QCOMPARE(upload(path, QStringLiteral("9600,N,8,1 "), &process).size(), 0);
    QCOMPARE(process.state(), QProcess::Running);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

// q5ntool holds the line in exclusive mode while it monitors; killed, it
// cannot leave that mode. The simulator releases the line, so that the next
// program (a user's, which exclusive mode would keep out) can open it.
void TestQ5nSim::killedClientLeavesTheLineFree()
{
    QProcess sim;
    const QString path = start(sim, {});
    QVERIFY(path.startsWith(u"/dev/pts/"));
    const int line = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(line >= 0); // root is not held to exclusive mode: the test can look at the flag
    const auto exclusive = [line] {
        int on = -1;
        return ::ioctl(line, TIOCGEXCL, &on) == 0 ? on : -1;
    };
    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../tool/q5ntool"),
               {QStringLiteral("monitor"), QStringLiteral("--port"), path});
    QTRY_COMPARE(exclusive(), 1);
    tool.kill();
    QVERIFY(tool.waitForFinished(5000));
    QTRY_COMPARE(exclusive(), 0);
    ::close(line);
    QVERIFY(QTest::qWaitFor([&] { return (m_log += sim.readAllStandardError()).contains("released"); }));
    QCOMPARE(upload(path).size(), 84); // and the decoder answers the next program
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(TestQ5nSim)
#include "tst_q5nsim.moc"
