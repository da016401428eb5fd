// The keyboard-port helper given cap_sys_rawio (as an administrator grants it)
// and run by an ordinary user holds no capability once it greets, and no gain
// through exec; the program never takes port access and, given the capability
// by mistake, holds none once Qt is up.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QStringList kSbin{QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin"),
                        QStringLiteral("/bin")};

QString tool(const QString &name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? QStandardPaths::findExecutable(name, kSbin) : onPath;
}

// The "Cap...:" lines of a process, by name ("CapPrm" -> "0000000000000000").
QHash<QString, QString> capabilities(qint64 pid)
{
    QHash<QString, QString> caps;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return caps;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("Cap")) {
            const QList<QByteArray> parts = line.split(':');
            caps.insert(QString::fromLatin1(parts[0]), QString::fromLatin1(parts.value(1).trimmed()));
        }
    return caps;
}

bool mapsContain(qint64 pid, const QByteArray &text)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(text);
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLatin1(comm.readAll().trimmed()) : QString();
}

// Copies `from` into `dir` as `name` and gives it cap_sys_rawio+ep; returns
// the new path, or an empty string with `error` set.
QString privilegedCopy(const QString &from, const QTemporaryDir &dir, const QString &name, QString *error)
{
    const QString to = dir.filePath(name);
    if (!QFile::copy(from, to)) {
        *error = QStringLiteral("cannot copy %1").arg(from);
        return {};
    }
    QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                  QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                  QFileDevice::ExeOther);
    QProcess setcap;
    setcap.start(tool(QStringLiteral("setcap")), {QStringLiteral("cap_sys_rawio+ep"), to});
    if (!setcap.waitForFinished(10000) || setcap.exitCode() != 0) {
        *error = QStringLiteral("setcap failed: %1").arg(QString::fromLocal8Bit(setcap.readAllStandardError()));
        return {};
    }
    return to;
}

// Starts `program` as the user nobody.
void startAsNobody(QProcess &process, const QString &program, const QStringList &arguments)
{
    process.setProgram(tool(QStringLiteral("setpriv")));
    process.setArguments(QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                     QStringLiteral("--clear-groups"), QStringLiteral("--")}
                         << program << arguments);
    process.start();
}

// Why file capabilities prove nothing here, or empty when they are honoured:
// a plain program with the same grant must hold the capability (no
// no_new_privs, no nosuid mount), or the checks would pass vacuously.
QString capabilitiesNotHonoured(const QTemporaryDir &dir)
{
    QString error;
    const QString sleeper = privilegedCopy(tool(QStringLiteral("sleep")), dir, QStringLiteral("sleeper"), &error);
    if (sleeper.isEmpty())
        return error;
    QProcess control;
    startAsNobody(control, sleeper, {QStringLiteral("30")});
    if (!control.waitForStarted())
        return QStringLiteral("setpriv did not start");
    QElapsedTimer started;
    started.start();
    while (processName(control.processId()) != u"sleeper" && started.elapsed() < 10000)
        QTest::qWait(20);
    const QString permitted = capabilities(control.processId()).value(QStringLiteral("CapPrm"));
    control.kill();
    control.waitForFinished();
    if (permitted.isEmpty() || permitted == QStringLiteral("0000000000000000"))
        return QStringLiteral("file capabilities are not granted to processes started here");
    return {};
}

// A private folder that user nobody may enter.
bool openToNobody(const QTemporaryDir &dir)
{
    return dir.isValid() &&
           QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                 QFileDevice::ReadOther | QFileDevice::ExeOther |
                                                 QFileDevice::ReadGroup | QFileDevice::ExeGroup);
}

QString built(const char *variable, const QString &inBuild)
{
    return qEnvironmentVariableIsSet(variable) ? qEnvironmentVariable(variable)
                                               : QCoreApplication::applicationDirPath() + inBuild;
}

} // namespace

class TestCapabilities : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        if (QTest::currentTestFunction() == QLatin1String("programNeverCallsIoperm"))
            return;
        if (::geteuid() != 0)
            QSKIP("granting file capabilities and running as another user need root");
        if (tool(QStringLiteral("setcap")).isEmpty() || tool(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setcap (libcap2-bin) or setpriv (util-linux) is missing");
    }

    void helperHoldsNoCapabilityOnceItGreets()
    {
        const QString helper = built("Q5NCFG_HELPER", QStringLiteral("/../libexec/q5ncfg/q5nkbd"));
        QVERIFY2(QFile::exists(helper), qPrintable(helper));
        QTemporaryDir dir;
        QVERIFY(openToNobody(dir));
        if (const QString why = capabilitiesNotHonoured(dir); !why.isEmpty())
            QSKIP(qPrintable(why));
        QString error;
        const QString copy = privilegedCopy(helper, dir, QStringLiteral("q5nkbd"), &error);
        QVERIFY2(!copy.isEmpty(), qPrintable(error));
        QProcess run;
        startAsNobody(run, copy, {});
        QVERIFY(run.waitForStarted());
        // The greeting (port access taken, or refused where the system has no
        // ioperm) comes after the capabilities are gone.
        QTRY_VERIFY_WITH_TIMEOUT(run.bytesAvailable() >= 2 || run.state() == QProcess::NotRunning, 10000);
        QCOMPARE(run.state(), QProcess::Running);
        QFile status(QStringLiteral("/proc/%1/status").arg(run.processId()));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QByteArray text = status.readAll();
        const auto caps = capabilities(run.processId());
        run.closeWriteChannel();
        QVERIFY(run.waitForFinished(5000));
        for (const char *set : {"CapPrm", "CapEff", "CapInh", "CapAmb"})
            QCOMPARE(caps.value(QLatin1String(set)), QStringLiteral("0000000000000000"));
        QVERIFY2(text.contains("NoNewPrivs:\t1"), text.constData());
    }

    void programNeverCallsIoperm()
    {
        // The port access is the helper's: the program's binary does not even
        // import the calls that take it, while the helper's does.
        if (tool(QStringLiteral("nm")).isEmpty())
            QSKIP("nm (binutils) is missing");
        const auto imports = [](const QString &binary) {
            QProcess nm;
            nm.start(tool(QStringLiteral("nm")), {QStringLiteral("-D"), QStringLiteral("--undefined-only"), binary});
            nm.waitForFinished(30000);
            return nm.readAllStandardOutput();
        };
        const QByteArray program = imports(built("Q5NCFG_PROGRAM", QStringLiteral("/../src/q5ncfg")));
        QVERIFY(program.contains("QApplication"));
        QVERIFY(!program.contains("ioperm") && !program.contains("iopl"));
#if defined(__x86_64__) || defined(__i386__)
        QVERIFY(imports(built("Q5NCFG_HELPER", QStringLiteral("/../libexec/q5ncfg/q5nkbd"))).contains("ioperm"));
#endif
    }

    void unprivilegedRunHoldsNoCapability()
    {
        const QString program = built("Q5NCFG_PROGRAM", QStringLiteral("/../src/q5ncfg"));
        QVERIFY2(QFile::exists(program), qPrintable(program));

        QTemporaryDir dir;
        QVERIFY(openToNobody(dir));

        QString error;
        if (const QString why = capabilitiesNotHonoured(dir); !why.isEmpty())
            QSKIP(qPrintable(why));
        const QString copy = privilegedCopy(program, dir, QStringLiteral("q5ncfg"), &error);
        QVERIFY2(!copy.isEmpty(), qPrintable(error));
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), dir.path());
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(dir.path());
        startAsNobody(run, copy, {});
        QVERIFY(run.waitForStarted());
        // Qt is up once its platform plugin is loaded.
        QTRY_VERIFY_WITH_TIMEOUT(mapsContain(run.processId(), "libqoffscreen") || run.state() == QProcess::NotRunning,
                                 30000);
        QCOMPARE(run.state(), QProcess::Running);
        const auto caps = capabilities(run.processId());
        run.kill();
        run.waitForFinished();
        for (const char *set : {"CapPrm", "CapEff", "CapInh", "CapAmb"})
            QCOMPARE(caps.value(QLatin1String(set)), QStringLiteral("0000000000000000"));
    }
};

QTEST_GUILESS_MAIN(TestCapabilities)
#include "tst_capabilities.moc"
