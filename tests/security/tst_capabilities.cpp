// The keyboard-port helper given cap_sys_rawio (as an administrator grants it)
// and run by an ordinary user holds no capability once it greets, and gains
// none through exec; the program never takes port access and, given the
// capability by mistake, holds none once Qt is up.

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QString built(const char *variable, const QString &inBuild)
{
    return qEnvironmentVariableIsSet(variable) ? qEnvironmentVariable(variable)
                                               : QCoreApplication::applicationDirPath() + inBuild;
}

const QString kHelperInBuild = QStringLiteral("/../libexec/q5ncfg/q5nkbd");

} // namespace

class TestCapabilities : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void programNeverCallsIoperm()
    {
        // The program's binary does not even import the calls that take port
        // access; the helper's does.
        const auto imports = [](const QString &binary) {
            QProcess nm;
            nm.start(tool(QStringLiteral("nm")), {QStringLiteral("-D"), QStringLiteral("--undefined-only"), binary});
            return nm.waitForFinished(30000) ? nm.readAllStandardOutput() : QByteArray();
        };
        const QByteArray program = imports(built("Q5NCFG_PROGRAM", QStringLiteral("/../src/q5ncfg")));
        QVERIFY(program.contains("QApplication"));
        QVERIFY(!program.contains("ioperm") && !program.contains("iopl"));
#if defined(__x86_64__) || defined(__i386__)
        QVERIFY(imports(built("Q5NCFG_HELPER", kHelperInBuild)).contains("ioperm"));
#endif
    }

    // The helper that holds port access runs no library but the C library:
    // what it needs is that and nothing else (no libstdc++, libm, libgcc_s).
    void helperNeedsTheCLibraryAlone_data()
    {
        QTest::addColumn<QString>("binary");
        QTest::newRow("q5nkbd") << built("Q5NCFG_HELPER", kHelperInBuild);
        QTest::newRow("q5nkbd-sim") << QCoreApplication::applicationDirPath() + "/../libexec/q5ncfg/q5nkbd-sim";
    }
    void helperNeedsTheCLibraryAlone()
    {
        QFETCH(QString, binary);
        QProcess readelf;
        readelf.start(tool(QStringLiteral("readelf")), {QStringLiteral("--dynamic"), QStringLiteral("--wide"), binary});
        QVERIFY2(readelf.waitForFinished(30000) && readelf.exitCode() == 0, "readelf (binutils) is needed");
        QStringList needed;
        for (const QByteArray &line : readelf.readAllStandardOutput().split('\n'))
            if (line.contains("(NEEDED)"))
                needed.append(QString::fromLatin1(line.mid(line.indexOf('[') + 1).chopped(1)));
        if (!needed.filter(QStringLiteral("libasan")).isEmpty())
            QSKIP("a sanitizer build links its run-time libraries into every binary");
        QCOMPARE(needed, QStringList{QStringLiteral("libc.so.6")});
    }

    void unprivilegedRunHoldsNoCapability_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("helper");
        QTest::newRow("keyboard-port helper, once it greets") << built("Q5NCFG_HELPER", kHelperInBuild) << true;
        QTest::newRow("program, once Qt is up") << built("Q5NCFG_PROGRAM", QStringLiteral("/../src/q5ncfg")) << false;
    }

    void unprivilegedRunHoldsNoCapability()
    {
        QFETCH(QString, program);
        QFETCH(bool, helper);
        if (::geteuid() != 0)
            QSKIP("granting file capabilities and running as another user need root");
        if (tool(QStringLiteral("setcap")).isEmpty() || tool(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setcap (libcap2-bin) or setpriv (util-linux) is missing");
        QVERIFY2(QFile::exists(program), qPrintable(program));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                              QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                              QFileDevice::ExeGroup);

        // First a plain program with the same grant: it must hold the
        // capability, or this system does not honour file capabilities here
        // (no_new_privs, a nosuid mount) and the check below would prove nothing.
        QString error;
        const QString sleeper = privilegedCopy(tool(QStringLiteral("sleep")), dir, QStringLiteral("sleeper"), &error);
        if (sleeper.isEmpty())
            QSKIP(qPrintable(error));
        QProcess control;
        startAsNobody(control, sleeper, {QStringLiteral("30")});
        QVERIFY(control.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(processName(control.processId()), QStringLiteral("sleeper"), 10000);
        const QString controlPermitted = capabilities(control.processId()).value(QStringLiteral("CapPrm"));
        control.kill();
        control.waitForFinished();
        if (controlPermitted.isEmpty() || controlPermitted == QStringLiteral("0000000000000000"))
            QSKIP("file capabilities are not granted to processes started here");

        const QString copy = privilegedCopy(program, dir, QFileInfo(program).fileName(), &error);
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
        // Qt is up once its platform plugin is loaded; the helper greets (port
        // access taken, or refused where the system has no ioperm) once its
        // capabilities are gone.
        QTRY_VERIFY_WITH_TIMEOUT((helper ? run.bytesAvailable() >= 2 : mapsContain(run.processId(), "libqoffscreen")) ||
                                     run.state() == QProcess::NotRunning,
                                 30000);
        QCOMPARE(run.state(), QProcess::Running);
        const auto caps = capabilities(run.processId());
        QFile status(QStringLiteral("/proc/%1/status").arg(run.processId()));
        const bool noNewPrivileges = status.open(QIODevice::ReadOnly) && status.readAll().contains("NoNewPrivs:\t1");
        run.kill();
        run.waitForFinished();
        for (const char *set : {"CapPrm", "CapEff", "CapInh", "CapAmb"})
            QCOMPARE(caps.value(QLatin1String(set)), QStringLiteral("0000000000000000"));
        if (helper)
            QVERIFY(noNewPrivileges);
    }
};

QTEST_GUILESS_MAIN(TestCapabilities)
#include "tst_capabilities.moc"
