// q5ntool's command table and its command line: each command's own options,
// the help made from the rows, a mistyped command, and no terminal control in
// any line (a hostile file or port name echoed back).
#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/TerminalText.h"
#include "model/Text8.h"
#include "platform/Paths.h"
#include "tool/Command.h"
#include "tool/Options.h"
#include "tool/TerminalGuard.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace q5n;
using namespace q5n::tool;

namespace {

struct Run
{
    int code = -1;
    QString out, err;
};

Run run(const QStringList &args)
{
    Run r;
    QTextStream out(&r.out), err(&r.err);
    Timing quick;
    quick.uploadReplyMs = quick.downloadAnswerMs = quick.memoryAnswerMs = 200;
    r.code = runCommand(args, out, err, quick);
    out.flush();
    err.flush();
    return r;
}

// The first character that would act on a terminal (LF ends a line and is
// allowed), or -1.
qsizetype firstControl(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] != u'\n' && isTerminalControl(text[i]))
            return i;
    return -1;
}

// "--port DEVICE" and the like, as the help lists an option.
QString optionName(const QCommandLineOption &o)
{
    const QString name = o.names().last();
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

const char kHostile[] = "x\x1b]0;owned\x07\x7f\xc2\x9b"; // OSC title, BEL, DEL, CSI (C1)

} // namespace

class TestToolCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    // Every command takes only its own options; the error names the option.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("version --verify --into")
            << QStringList{"version", "--verify", "--into", "x", "--port", "p"}
            << "q5ntool version: --verify is not an option of version\n"
               "usage: q5ntool version --port DEVICE... [--json] [serial options]\n";
        QTest::newRow("show --port") << QStringList{"show", "a.cfg", "--port", "p"}
                                     << "q5ntool show: --port is not an option of show\n";
        QTest::newRow("new --json") << QStringList{"new", "a.cfg", "--json"}
                                    << "q5ntool new: --json is not an option of new\n";
        QTest::newRow("monitor --json") << QStringList{"monitor", "--port", "p", "--json"}
                                        << "--json is not an option of monitor";
        QTest::newRow("apply --verify") << QStringList{"apply", "a.cfg", "--port", "p", "--verify"}
                                        << "--verify is not an option of apply";
        QTest::newRow("download --check")
            << QStringList{"download", "a.cfg", "--port", "p", "--check"} << "--check is not an option of download";
        QTest::newRow("upload --not-save") << QStringList{"upload", "-o", "a.cfg", "--port", "p", "--not-save"}
                                           << "--not-save is not an option of upload";
        QTest::newRow("ports -o") << QStringList{"ports", "-o", "x"} << "-o is not an option of ports";
        QTest::newRow("set -o without a file")
            << QStringList{"set", "a.cfg", "x=1", "-o"} << "Missing value after '-o'";
        QTest::newRow("show two files") << QStringList{"show", "a", "b"} << "usage: q5ntool show FILE [--json]\n";
        QTest::newRow("version with a file")
            << QStringList{"version", "a.cfg", "--port", "p"} << "usage: q5ntool version";
        QTest::newRow("no command") << QStringList{} << "usage: q5ntool COMMAND [ARGUMENTS]\n";
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const Run r = run(args);
        QCOMPARE(r.code, int(kUsage));
        QVERIFY2(r.err.startsWith(err) || r.err.contains(err), qPrintable(r.err));
        QCOMPARE(r.out, QString());
    }

    // A mistyped command names the nearest one, and only that.
    void mistypedCommands_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("err");
        QTest::newRow("swapped letters") << "verison"
                                         << "q5ntool: unknown command verison; did you mean version?\n";
        QTest::newRow("one letter off") << "shiw"
                                        << "q5ntool: unknown command shiw; did you mean show?\n";
        QTest::newRow("capitals") << "Apply"
                                  << "q5ntool: unknown command Apply; did you mean apply?\n";
        QTest::newRow("the start of a name") << "read"
                                             << "q5ntool: unknown command read; did you mean read-memory?\n";
        QTest::newRow("nothing near")
            << "frobnicate"
            << "q5ntool: unknown command frobnicate; the commands are show, diff, set, new, download, upload, apply, "
               "version, read-memory, clear-memory, monitor, ports, find (q5ntool --help says more)\n";
        QTest::newRow("controls in the name")
            << QString::fromUtf8("vers\x1b[2Jion") << "q5ntool: unknown command vers<ESC>[2Jion; the commands are";
    }
    void mistypedCommands()
    {
        QFETCH(QString, typed);
        QFETCH(QString, err);
        const Run r = run({typed});
        QCOMPARE(r.code, int(kUsage));
        QVERIFY2(r.err.startsWith(err), qPrintable(r.err));
        QCOMPARE(r.err.count(u'\n'), 1);
    }

    // NAME --help: the usage line, then the command's own options and no other.
    void helpListsTheCommandsOwnOptions()
    {
        QList<QCommandLineOption> every;
        for (const Command &c : commands())
            every += c.options;
        for (const Command &c : commands()) {
            for (const QString &asked : {QStringLiteral("--help"), QStringLiteral("-h")}) {
                const Run r = run({c.name, asked});
                QCOMPARE(r.code, int(kDone));
                QVERIFY2(r.out.startsWith(usageLine(c)), qPrintable(r.out));
                const QString options = r.out.section(QStringLiteral("\nOptions:\n"), 1);
                for (const QCommandLineOption &o : every) {
                    const bool own = std::any_of(c.options.begin(), c.options.end(),
                                                 [&](const QCommandLineOption &x) { return x.names() == o.names(); });
                    QVERIFY2(options.contains(QStringLiteral("  ") + optionName(o) + QLatin1Char(' ')) == own,
                             qPrintable(c.name + QStringLiteral(": ") + optionName(o)));
                }
            }
        }
        // Help wins over what does not parse, but not past "--".
        QCOMPARE(run({"version", "--verify", "--help"}).code, int(kDone));
        QCOMPARE(run({"show", "--", "--help"}).code, int(kUsage));
    }

    // The overview is made from the rows: each command with its usage, and one arrow everywhere.
    void overviewListsEveryCommand()
    {
        const Run r = run({"--help"});
        QCOMPARE(r.code, int(kDone));
        for (const Command &c : commands())
            QVERIFY2(r.out.contains(QStringLiteral("\n  %1 %2").arg(c.name, c.synopsis).trimmed()), qPrintable(c.name));
        QString everyText = r.out;
        for (const Command &c : commands())
            everyText += run({c.name, "--help"}).out;
        QVERIFY(everyText.contains(QStringLiteral("old -> new")));
        QVERIFY(!everyText.contains(QChar(0x2192)));
    }

    // No line carries a terminal control, whatever name a user, a file or the
    // environment gives; --json gives every text exactly, DEL and C1 as \u escapes.
    void hostileNamesReachNoTerminal_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("env"); // Q5NCFG_COM1 for the run, when not empty
        QTest::addColumn<QString>("shown");
        const QString bad = m_dir.filePath(QString::fromUtf8(kHostile));
        const QString missing = QStringLiteral("/nonexistent/") + QString::fromUtf8(kHostile);
        const QString shown = QStringLiteral("x<ESC>]0;owned<BEL><DEL>\\x9B");
        QTest::newRow("show") << QStringList{"show", missing} << "" << shown;
        QTest::newRow("diff") << QStringList{"diff", bad, missing} << "" << shown;
        QTest::newRow("set -o") << QStringList{"set", bad, "port=2", "-o", missing} << "" << shown;
        QTest::newRow("set, field name") << QStringList{"set", bad, QString::fromUtf8(kHostile) + "=1"} << "" << shown;
        QTest::newRow("new") << QStringList{"new", missing} << "" << shown;
        QTest::newRow("monitor --port") << QStringList{"monitor", "--port", missing} << "" << shown;
        QTest::newRow("version --port") << QStringList{"version", "--port", missing} << "" << shown;
        QTest::newRow("download --port, twice")
            << QStringList{"download", bad, "--port", bad, "--port", bad} << "" << shown;
        QTest::newRow("ports, Q5NCFG_COM1") << QStringList{"ports"} << missing << shown;
        QTest::newRow("unknown command") << QStringList{QString::fromUtf8(kHostile)} << "" << shown;
    }
    void hostileNamesReachNoTerminal()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, env);
        QFETCH(QString, shown);
        const QString file = m_dir.filePath(QString::fromUtf8(kHostile));
        QCOMPARE(writeFileAtomically(file, setupFileBytes({}, {}, factoryImage())), QString());
        if (!env.isEmpty())
            qputenv("Q5NCFG_COM1", env.toUtf8());
        const Run r = run(args);
        qputenv("Q5NCFG_COM1", "/nonexistent/com1");
        QCOMPARE(firstControl(r.out), -1);
        QCOMPARE(firstControl(r.err), -1);
        const QString all = r.out + r.err;
        QVERIFY2(all.contains(shown), qPrintable(all));
    }

    void jsonEscapesDelAndC1()
    {
        SetupInfo info;
        info.deviceName = decode8("a\x7f\x9d\x1b"); // DEL, an undefined 8-bit code (a C1 control), ESC
        const QString file = m_dir.filePath(QStringLiteral("texts.cfg"));
        QCOMPARE(writeFileAtomically(file, setupFileBytes(info, {}, factoryImage())), QString());
        const Run r = run({"show", file, "--json"});
        QCOMPARE(r.code, int(kDone));
        QCOMPARE(firstControl(r.out), -1);
        QVERIFY2(r.out.contains(QStringLiteral("\"deviceName\": \"a\\u007f\\u009d\\u001b\"")), qPrintable(r.out));
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8())["setup"]["deviceName"].toString(), info.deviceName);
    }

    // The guard keeps a character that two writes cut in half.
    void guardJoinsCutCharacters()
    {
        QString text;
        QTextStream target(&text);
        TerminalGuard guard(target);
        const QByteArray bytes = QStringLiteral("\u203a\u009b\n").toUtf8();
        for (char c : bytes)
            guard.write(&c, 1);
        QCOMPARE(text, QStringLiteral("\u203a\\x9B\n"));
    }
};

QTEST_GUILESS_MAIN(TestToolCommands)
#include "tst_toolcommands.moc"
