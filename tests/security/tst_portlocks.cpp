// Another user, or another program, against the opening of a serial port by
// q5ntool: a FIFO planted as the port's lock file is refused at once by name,
// a stale lock of another user does not keep the port, a port locked or held
// in exclusive mode by another process is in use (and `ports` names the
// holder), and Ctrl+C ends q5ntool within a second whatever the lock does.

#include "sim/SerialDecoder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;
// The user whose port it is: an ordinary one (no account needed to run as it).
constexpr uid_t kUser = 4242;
// A process number that runs nowhere (checked before use).
constexpr qint64 kGonePid = 4194000;

// This build's q5ntool, or another (an earlier build, to compare) named in Q5N_TEST_Q5NTOOL.
QString q5ntool()
{
    if (qEnvironmentVariableIsSet("Q5N_TEST_Q5NTOOL"))
        return qEnvironmentVariable("Q5N_TEST_Q5NTOOL");
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../tool/q5ntool");
}

QString lockPath(const QString &device)
{
    return QStringLiteral("/var/lock/LCK..") + device.mid(5).replace(QLatin1Char('/'), QLatin1Char('_'));
}

// The far end of a pseudo-terminal whose line nobody else has open.
struct BareLine
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QString path = master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0
                       ? QString::fromLocal8Bit(::ptsname(master))
                       : QString();
    ~BareLine()
    {
        if (master >= 0)
            ::close(master);
    }
};

struct Outcome
{
    bool finished = false;
    int code = -1;
    QString out;
};

// Runs q5ntool and waits for it while this process's event loop serves the
// simulated decoder; after `interruptAfterMs` a Ctrl+C (SIGINT), which must
// end it within a second. `asUser`: as the ordinary user rather than root.
Outcome runTool(const QStringList &args, int interruptAfterMs = 3000, const QByteArray &com1 = {}, bool asUser = false)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    if (!com1.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("Q5NCFG_COM1"), QString::fromLocal8Bit(com1));
        tool.setProcessEnvironment(env);
    }
    QSignalSpy finished(&tool, &QProcess::finished);
    if (asUser)
        tool.start(QStringLiteral("setpriv"),
                   QStringList{QStringLiteral("--reuid=%1").arg(kUser), QStringLiteral("--regid=%1").arg(kUser),
                               QStringLiteral("--clear-groups"), QStringLiteral("--"), q5ntool()} +
                       args);
    else
        tool.start(q5ntool(), args);
    Outcome o;
    if (!tool.waitForStarted(5000))
        return o;
    if (!finished.wait(interruptAfterMs)) {
        ::kill(pid_t(tool.processId()), SIGINT);
        if (!finished.wait(1000)) {
            tool.kill();
            tool.waitForFinished(2000);
            o.out = QString::fromLocal8Bit(tool.readAll());
            return o;
        }
    }
    o.finished = true;
    o.code = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    o.out = QString::fromLocal8Bit(tool.readAll());
    return o;
}

// Another process that holds `device`: "flock" keeps an exclusive lock on
// it, "exclusive" keeps it open in exclusive mode (TIOCEXCL).
bool startHolder(QProcess &holder, const QString &how, const QString &device)
{
    holder.setProcessChannelMode(QProcess::MergedChannels);
    if (how == QLatin1String("flock")) {
        holder.start(QStringLiteral("flock"),
                     {QStringLiteral("-x"), device, QStringLiteral("-c"), QStringLiteral("echo held; exec sleep 60")});
    } else {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            return false;
        holder.start(python, {QStringLiteral("-c"),
                              QStringLiteral("import os, fcntl, termios, sys, time\n"
                                             "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)\n"
                                             "fcntl.ioctl(fd, termios.TIOCEXCL)\n"
                                             "print('held', flush=True)\n"
                                             "time.sleep(60)\n"),
                              device});
    }
    return holder.waitForReadyRead(5000) && holder.readAll().startsWith("held");
}

// A lock file of the other user: "fifo" planted with mkfifo -m 666, "gone" naming
// a process that does not run, "live" naming a running process that does not hold the port.
bool plantLock(const QString &path, const QString &kind)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    if (kind == QLatin1String("fifo")) {
        if (::mkfifo(name.constData(), 0666) != 0 || ::chmod(name.constData(), 0666) != 0)
            return false;
    } else {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const qint64 pid = kind == QLatin1String("gone") ? kGonePid : 1;
        file.write(QByteArray::number(pid).rightJustified(10, ' ') + '\n');
    }
    return ::chown(name.constData(), kNobody, kNobody) == 0;
}

} // namespace

class TestPortLocks : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(q5ntool()), qPrintable(q5ntool()));
        QVERIFY(::kill(pid_t(kGonePid), 0) != 0);
        if (::geteuid() != 0)
            QSKIP("plays the other user through chown: needs root");
    }

    void openingAgainstLocks_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("FIFO planted as the lock file: refused at once, by name")
            << "fifo" << 3 << "(owner nobody) is not a regular file but a FIFO: it is not read";
        QTest::newRow("stale lock of another user: the port is had") << "gone" << 0 << "Q5N Decoder";
        QTest::newRow("lock naming a live process that does not hold the port") << "live" << 0 << "Q5N Decoder";
        QTest::newRow("port locked by another process: in use, holder named")
            << "flock" << 3 << "the port is in use by another program. It is locked by process %1 (flock)";
    }

    void openingAgainstLocks()
    {
        QFETCH(QString, lock);
        QFETCH(int, code);
        QFETCH(QString, text);
        q5n::sim::SerialDecoder decoder;
        QVERIFY(decoder.open());
        decoder.setPacing(false);
        decoder.setResponseDelayMs(0);
        const QString device = decoder.devicePath();
        const QString file = lockPath(device);
        QProcess holder;
        if (lock == QLatin1String("flock")) {
            QVERIFY(startHolder(holder, lock, device));
            text = text.arg(holder.processId());
        } else {
            QVERIFY(plantLock(file, lock));
        }
        // The port belongs to the ordinary user, who cannot remove the other user's files.
        QCOMPARE(::chown(QFile::encodeName(device).constData(), kUser, kUser), 0);
        const Outcome o = runTool({QStringLiteral("version"), QStringLiteral("--port"), device}, 3000, {}, true);
        QFile::remove(file);
        holder.kill();
        holder.waitForFinished(2000);
        QVERIFY2(o.finished, qPrintable(QStringLiteral("q5ntool hung in the opening: ") + o.out));
        QVERIFY2(o.out.contains(text), qPrintable(o.out));
        if (lock == QLatin1String("fifo"))
            QVERIFY(o.out.contains(file));
        QCOMPARE(o.code, code);
    }

    void ctrlCEndsTheTool_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::newRow("FIFO lock file") << "fifo";
        QTest::newRow("silent decoder") << "";
    }

    void ctrlCEndsTheTool()
    {
        QFETCH(QString, lock);
        q5n::sim::SerialDecoder decoder;
        QVERIFY(decoder.open());
        decoder.setFault(q5n::sim::Fault::Silent);
        if (!lock.isEmpty())
            QVERIFY(plantLock(lockPath(decoder.devicePath()), lock));
        const Outcome o = runTool({QStringLiteral("version"), QStringLiteral("--port"), decoder.devicePath()}, 300);
        QFile::remove(lockPath(decoder.devicePath()));
        QVERIFY2(o.finished, qPrintable(QStringLiteral("Ctrl+C left q5ntool running: ") + o.out));
        QVERIFY(o.code > 0);
    }

    void portsNamesTheHolder_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("status");
        QTest::newRow("locked by another process") << "flock"
                                                   << "in use: It is locked by process %1 (flock)";
        QTest::newRow("open in exclusive mode") << "exclusive"
                                                << "in use: It is open in exclusive mode by process %1 (python3)";
        QTest::newRow("stale lock of another user")
            << "gone"
            << "ready; The lock file %2 (owner nobody) names process 4194000, which is not running. The lock is stale "
               "and does not keep the port from use;";
        QTest::newRow("FIFO lock file") << "fifo"
                                        << "refused: The lock file %2 (owner nobody) is not a regular file but a FIFO";
        QTest::newRow("nobody holds it") << ""
                                         << "ready\n";
    }

    void portsNamesTheHolder()
    {
        QFETCH(QString, holder);
        QFETCH(QString, status);
        BareLine line;
        QVERIFY(!line.path.isEmpty());
        QProcess other;
        const QString file = lockPath(line.path);
        if (holder == QLatin1String("flock") || holder == QLatin1String("exclusive")) {
            if (!startHolder(other, holder, line.path))
                QSKIP("no holder program here");
            status = status.arg(other.processId());
        } else if (!holder.isEmpty()) {
            QVERIFY(plantLock(file, holder));
            status.replace(QStringLiteral("%2"), file);
        }
        const Outcome o = runTool({QStringLiteral("ports")}, 3000, line.path.toLocal8Bit());
        QFile::remove(file);
        other.kill();
        other.waitForFinished(2000);
        QVERIFY(o.finished);
        QCOMPARE(o.code, 0);
        const QString expected = QStringLiteral("Com 1  %1  %2").arg(line.path, status);
        QVERIFY2(o.out.contains(expected), qPrintable(o.out + QStringLiteral("\nwanted: ") + expected));
    }
};

QTEST_GUILESS_MAIN(TestPortLocks)
#include "tst_portlocks.moc"
