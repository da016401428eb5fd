#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/TerminalText.h"
#include "model/Text8.h"
#include "platform/Paths.h"
#include "support/FormatsContext.h"
#include "tool/Command.h"
#include "tool/ConfigFile.h"
#include "tool/PortRecord.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace q5n;
using namespace q5n::tool;

namespace {

struct Run
{
    int code = -1;
    QString out, err;
};

Run run(const char *command, const QStringList &args)
{
    Run r;
    QTextStream out(&r.out), err(&r.err);
    r.code = runCommand(QStringList{QString::fromUtf8(command)} + args, out, err);
    out.flush();
    err.flush();
    return r;
}

QByteArray factorySetupFile(const std::function<void(ConfigImage &)> &edit = {})
{
    SetupInfo info;
    info.deviceName = QStringLiteral("Dev\x1b]0;t\x07"); // a terminal's title, were it printed raw
    info.userName = QStringLiteral("Ann");
    info.buildingDate = QStringLiteral("2026-12-07");
    info.description = QStringLiteral("Line, with comma");
    ConfigImage image = factoryImage();
    if (edit)
        edit(image);
    return setupFileBytes(info, LinkSettings{}, image);
}

} // namespace

class TestToolFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        [&] { QCOMPARE(writeFileAtomically(path, bytes), QString()); }();
        return path;
    }

private Q_SLOTS:
    void showNamesEveryFieldAndUnknownCodes()
    {
        const QString path = write("odd.cfg", factorySetupFile([](ConfigImage &i) {
                                       i[16] = quint8((i[16] & ~0xF0) | 0xE0); // language 14: "Reserved 1"
                                       i[28] = quint8((i[28] & ~0x07) | 6);    // reader baud code 6: no option shows it
                                       i[45] = '{';                            // track 2 prefix: braces as characters
                                       i[46] = 13;
                                       i[47] = '}';
                                   }));
        const Run r = run("show", {path});
        QCOMPARE(r.code, int(kDone));
        QVERIFY(r.out.contains("Device Name: Dev<ESC>]0;t<BEL>\n"));
        QVERIFY(r.out.contains("Description: Line, with comma\n"));
        QVERIFY(
            r.out.contains("Communication Parameters (magcfg4) \u203A RS232 \u203A Baud Rate = (code 6: no option)"));
        QVERIFY(
            r.out.contains("Miscellaneous Parameters (cfg6) \u203A Language \u203A Language Selection = Reserved 1"));
        QVERIFY(r.out.contains("Track 2 = \\{{CR}\\}   [magcfg6.txt694.track2, bytes 45..52]"));
        const Run json = run("show", {path, "--json"});
        QCOMPARE(json.code, int(kDone));
        QVERIFY(json.out.contains("\"known\": false"));
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("signature in capitals") << QByteArray("VURO\r\n") << kNotSetupFileText;
        QTest::newRow("empty") << QByteArray() << kNotSetupFileText;
        QTest::newRow("line longer than a text box")
            << QByteArray("vuro\r\n" + QByteArray(40000, 'x') + "\r\n") << kNotSetupFileText;
        QTest::newRow("defaults file with 84 values")
            << defaultsFileBytes(factoryImage()).left(defaultsFileBytes(factoryImage()).lastIndexOf(" 13 "))
            << QStringLiteral("not a usable defaults file");
    }

    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const Run r = run("show", {write("bad.cfg", bytes)});
        QCOMPARE(r.code, int(kUsage));
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        const Run dir = run("show", {m_dir.path()});
        QCOMPARE(dir.code, int(kUsage));
        QVERIFY(dir.err.contains("not a regular file"));
    }

    // A setup file cut short or with a value line that is no number: show,
    // diff and set say which line; download and apply refuse it before any
    // port is opened. A whole file gets no word.
    void damagedSetupFiles_data()
    {
        QTest::addColumn<int>("keepLines"); // the file cut after this many lines; 0: whole
        QTest::addColumn<int>("badLine");   // this line (1-based) holds "abc"; 0: none
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("err"); // after "q5ntool: " and the path
        const QString cut = ": line 61: the file ends after line 60 of 92; byte 53 to byte 84 are missing\n";
        const QString bad = ": line 25: \"abc\" is not a number from 0 to 255 (byte 17)\n";
        QTest::newRow("show, cut short") << 60 << 0 << "show" << int(kDone) << "warning: %1" + cut;
        QTest::newRow("show, not a number") << 0 << 25 << "show" << int(kDone) << "warning: %1" + bad;
        QTest::newRow("show, last line missing")
            << 91 << 0 << "show" << int(kDone)
            << "warning: %1: line 92: the file ends after line 91 of 92; byte 84 is missing\n";
        QTest::newRow("show, bad port number")
            << 0 << 6 << "show" << int(kDone)
            << "warning: %1: line 6: \"abc\" is not a number from -32768 to 32767 (the port number)\n";
        QTest::newRow("diff, cut short") << 60 << 0 << "diff" << int(kDone) << "warning: %1" + cut;
        QTest::newRow("set, not a number") << 0 << 25 << "set" << int(kDone) << "warning: %1" + bad;
        QTest::newRow("download, cut short") << 60 << 0 << "download" << int(kUsage) << "%1" + cut;
        QTest::newRow("download, not a number") << 0 << 25 << "download" << int(kUsage) << "%1" + bad;
        QTest::newRow("apply, not a number") << 0 << 25 << "apply" << int(kUsage) << "%1" + bad;
        QTest::newRow("apply, whole file") << 0 << 0 << "apply" << int(kPortUnavailable) << "";
    }
    void damagedSetupFiles()
    {
        QFETCH(int, keepLines);
        QFETCH(int, badLine);
        QFETCH(QString, command);
        QFETCH(int, exit);
        QFETCH(QString, err);
        QList<QByteArray> lines = factorySetupFile().split('\n');
        lines.removeLast(); // after the last CR LF
        if (keepLines)
            lines = lines.mid(0, keepLines);
        if (badLine)
            lines[badLine - 1] = "abc\r";
        const QString path = write("damaged.cfg", lines.join('\n') + '\n');
        QStringList args{path};
        if (command == QLatin1String("diff"))
            args << path;
        else if (command == QLatin1String("set"))
            args << "port=2"
                 << "-o" << m_dir.filePath("repaired.cfg");
        else if (command != QLatin1String("show"))
            args << "--port"
                 << "/nonexistent/decoder";
        const Run r = run(qPrintable(command), args);
        QCOMPARE(r.code, exit);
        if (err.isEmpty()) {
            QVERIFY2(!r.err.contains("line "), qPrintable(r.err));
            return;
        }
        QVERIFY2(r.err.startsWith("q5ntool: " + err.arg(path)), qPrintable(r.err));
        if (exit == kUsage) {
            QVERIFY(r.err.contains("is damaged; nothing is sent"));
            QVERIFY(r.out.isEmpty()); // no port was tried
        }
    }

    void diffExitCodesAndNames()
    {
        const QString a = write("a.cfg", factorySetupFile());
        const QString b = write("b.cfg", factorySetupFile([](ConfigImage &i) {
                                    i[16] = quint8((i[16] & ~0x0C) | 0x0C); // 19200
                                    i[29] = 0x7F;                           // track 1 prefix: DEL
                                }));
        QCOMPARE(run("diff", {a, a}).code, int(kDone));
        const Run r = run("diff", {a, b});
        QCOMPARE(r.code, int(kDiffer));
        QVERIFY(r.out.contains("Communication Parameters (cfg4) \u203A RS232 \u203A Baud Rate: 9600 -> 19200"));
        QVERIFY(r.out.contains("-> <DEL>   [magcfg6.txt694.track1]"));
        QCOMPARE(r.out.count('\n'), 2);
        QCOMPARE(run("diff", {a, m_dir.filePath("missing.cfg")}).code, int(kUsage));
        // A defaults file compares with a setup file by the image only.
        QCOMPARE(run("diff", {a, write("defaults", defaultsFileBytes(factoryImage()))}).code, int(kDone));
    }

    void setWritesOnlyWhenEveryPairIsGood_data()
    {
        QTest::addColumn<QStringList>("pairs");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown name") << QStringList{"cfg4.optCfg41A=19200", "nosuch=1"} << "nosuch: no such field";
        QTest::newRow("bad value lists choices")
            << QStringList{"Optcode39=Standard", "cfg4.optCfg41A=300"} << "choices: \"2400\", \"4800\"";
        QTest::newRow("name on two pages") << QStringList{"optCfg41A=9600"} << "cfg4.optCfg41A, magcfg4.optCfg41A";
        QTest::newRow("count out of range") << QStringList{"cboTruncate1=16"} << "from 0 to 15";
        QTest::newRow("slot without track") << QStringList{"magcfg6.txt694=AB"} << ".track1";
        QTest::newRow("insertion too long") << QStringList{"cfg6.txt694=ABCDE"} << "does not fit in 4";
        QTest::newRow("port") << QStringList{"port=7"} << "use 1 to 6";
        QTest::newRow("brace name the notation does not know")
            << QStringList{"magcfg6.txt694.track2={TAB}"} << "\"{TAB}\" is not a brace name the notation knows ({NUL}";
        QTest::newRow("caption on four tabs") << QStringList{"cfg5/Check Digit=Transmit"}
                                              << "\"cfg5/Code 39/Check Digit\", \"cfg5/Code 128/Check Digit\"";
        QTest::newRow("control in a text") << QStringList{"userName=\x1b[2J"} << "without control characters";
    }

    void setWritesOnlyWhenEveryPairIsGood()
    {
        QFETCH(QStringList, pairs);
        QFETCH(QString, error);
        const QByteArray before = factorySetupFile();
        const QString path = write("set.cfg", before);
        const Run r = run("set", QStringList{path} + pairs);
        QCOMPARE(r.code, int(kUsage));
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QVERIFY(r.err.contains("nothing written"));
        QByteArray after;
        QVERIFY(readWholeFile(path, &after));
        QCOMPARE(after, before);
    }

    void setChangesExactlyTheNamedBits()
    {
        const QString path = write("in.cfg", factorySetupFile());
        const QString out = m_dir.filePath("out.cfg");
        const Run r = run("set", {path, "cfg4.optCfg41A=19200", "magcfg4/Parity=Even", "Optcode39=standard",
                                  "chk51=0,7", "magcfg6.txt694.track2=AB{cr}", "cbo45D=STX",
                                  "cfg5/Code 128/Check Digit=Calculate Check Digit and Transmit",
                                  "Miscellaneous Parameters (cfg6) \u203A Characters Edit \u203A Sufix \u203A "
                                  "Characters to be Inserted (Only Four Charaters Available)=\\{",
                                  "deviceName=Scanner 7", "linkMode=Keyboard", "-o", out});
        QCOMPARE(r.code, int(kDone));
        LoadedConfig c;
        QString error;
        QVERIFY(loadConfig(out, c, &error));
        ConfigImage expected = factoryImage();
        expected[16] = quint8((expected[16] & ~0x0C) | 0x0C);
        expected[27] = quint8((expected[27] & ~0xE0) | 0x40);
        expected[23] = quint8(expected[23] | 0x02);
        expected[21] = 0x81;
        expected[23] = quint8((expected[23] & ~0x30) | 0x30);
        expected[12] = '{';
        expected[13] = expected[14] = expected[15] = 255;
        expected[45] = 'A';
        expected[46] = 'B';
        expected[47] = 13;
        expected[84] = 2;
        for (int i = 0; i < kImageSize; ++i)
            QCOMPARE(int(c.image[i]), int(expected[i]));
        QCOMPARE(c.setupInfo.deviceName, QStringLiteral("Scanner 7"));
        QCOMPARE(int(c.linkSettings.linkMode), 0);
        // The input file is left as it was.
        QCOMPARE(run("diff", {path, m_dir.filePath("in.cfg")}).code, int(kDone));
    }

    void newRefusesAnotherUsersLink()
    {
        const QString victim = write("victim", "precious");
        const QString link = test::plantForeignLink(m_dir, "out.cfg", victim);
        if (link.isEmpty())
            QSKIP("needs root to give a link to another user");
        const Run r = run("new", {link});
        QCOMPARE(r.code, int(kUsage));
        QCOMPARE(r.err, QStringLiteral("q5ntool: %1: \"%1\" is a symbolic link that belongs to another user; it is not "
                                       "followed.\n")
                            .arg(link));
        QByteArray after;
        QVERIFY(readWholeFile(victim, &after) && after == "precious");
    }

    void terminalTextEscapesControls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("C0") << QString::fromLatin1("\x1b]0;t\x07\0\r\n", 9) << QString("<ESC>]0;t<BEL><NUL><CR><LF>");
        QTest::newRow("DEL") << QString("x\x7f") << QString("x<DEL>");
        QTest::newRow("C1: undefined bytes, CSI") << decode8("\x9d\x90") + QChar(0x9B) << QString("\\x9D\\x90\\x9B");
        QTest::newRow("8-bit letters stay") << decode8("\x80\x9b\xfc <a>") << QString("\u20ac\u203a\u00fc <a>");
    }
    void terminalTextEscapesControls()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(terminalText(text), shown);
    }

    void portsFollowTheComVariables()
    {
        const QString device = write("pty-stand-in", "x");
        qputenv("Q5NCFG_COM2", device.toLocal8Bit());
        const Run r = run("ports", {});
        qunsetenv("Q5NCFG_COM2");
        QCOMPARE(r.code, int(kDone));
        QVERIFY2(r.out.contains(QStringLiteral("Com 1  /nonexistent/com1  no such device\n")), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("Com 2  %1  not a serial device\n").arg(device)));
    }

    // A port's record: what is read back, and what is refused.
    void recordFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("read");
        const QByteArray image = "image " + QByteArray(170, 'a') + '\n';
        const QByteArray head = "q5ntool apply record 1\nport by-id/usb-A\n";
        QTest::newRow("decoder section") << head + "section decoder\n" + image << true;
        QTest::newRow("reader section, upper-case digits")
            << head + "section reader\n" + image.toUpper().replace("IMAGE", "image") << true;
        QTest::newRow("another mark") << QByteArray(head).replace("record 1", "record 2") + "section decoder\n" + image
                                      << false;
        QTest::newRow("no such section") << head + "section both\n" + image << false;
        QTest::newRow("short image") << head + "section decoder\nimage " + QByteArray(168, 'a') + '\n' << false;
        QTest::newRow("not hex") << head + "section decoder\nimage " + QByteArray(170, 'g') + '\n' << false;
        QTest::newRow("a line more") << head + "section decoder\n" + image + "x\n" << false;
        QTest::newRow("cut short") << head + "section decoder\n" << false;
    }
    void recordFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, read);
        const std::optional<ApplyRecord> r = parseRecord(bytes);
        QCOMPARE(bool(r), read);
        if (r)
            QCOMPARE(parseRecord(recordBytes(*r)), r);
    }

    // What is at a record's name before a verified download writes it, and
    // before the next download takes it away: the port's own record is
    // rewritten and taken away in place (no file made or deleted); anything
    // else is replaced or removed, and what it leads to is never written.
    void recordKeptInPlace_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("the port's record") << "record" << true;
        QTest::newRow("an emptied record") << "empty" << true;
        QTest::newRow("a second name of another file") << "hard link" << false;
        QTest::newRow("others may write it") << "group-writable" << false;
        QTest::newRow("a link to another file") << "link" << false;
        QTest::newRow("a FIFO") << "fifo" << false;
    }
    void recordKeptInPlace()
    {
        QFETCH(QString, before);
        QFETCH(bool, inPlace);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("state")), other = dir.filePath(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(writeFileAtomically(other, "another file\n"), QString());
        const ApplyRecord old{QStringLiteral("ttyS3"), Section::Decoder, factoryImage()};
        ApplyRecord next = old;
        next.section = Section::Reader;
        next.image[5] = 0x42;
        const QString path = folder + QLatin1Char('/') + recordFileName(old.port);
        const QByteArray name = QFile::encodeName(path);
        if (before == QLatin1String("record") || before == QLatin1String("group-writable"))
            QCOMPARE(writeRecord(folder, old), QString());
        if (before == QLatin1String("empty"))
            QCOMPARE(writeFileAtomically(path, ""), QString());
        if (before == QLatin1String("group-writable"))
            QVERIFY(::chmod(name.constData(), 0620) == 0);
        if (before == QLatin1String("hard link"))
            QVERIFY(::link(QFile::encodeName(other).constData(), name.constData()) == 0);
        if (before == QLatin1String("link"))
            QVERIFY(QFile::link(other, path));
        if (before == QLatin1String("fifo"))
            QVERIFY(::mkfifo(name.constData(), 0600) == 0);
        struct stat was = {};
        ::lstat(name.constData(), &was);

        QCOMPARE(writeRecord(folder, next), QString());
        struct stat now = {};
        QVERIFY(::lstat(name.constData(), &now) == 0 && S_ISREG(now.st_mode));
        QCOMPARE(now.st_ino == was.st_ino, inPlace);
        QCOMPARE(now.st_mode & 0022, 0u);
        const LoadedRecord written = readRecord(folder, old.port);
        QCOMPARE(written.problem, QString());
        QCOMPARE(written.record, std::optional<ApplyRecord>(next));

        QCOMPARE(removeRecord(folder, old.port), QString());
        const LoadedRecord gone = readRecord(folder, old.port);
        QVERIFY(!gone.record);
        QCOMPARE(gone.problem, QString());
        struct stat after = {};
        QVERIFY(::lstat(name.constData(), &after) == 0);
        QCOMPARE(after.st_ino, now.st_ino);
        // Cut short after the rest of the next record was written over a
        // taken-away one: still none, whatever the rest says.
        QFile cut(path);
        const QByteArray whole = recordBytes(old);
        const qsizetype head = whole.indexOf('\n');
        QVERIFY(cut.open(QIODevice::ReadWrite) && cut.seek(head) && cut.write(whole.mid(head)) == whole.size() - head);
        cut.close();
        QVERIFY(!readRecord(folder, old.port).record);
        QFile kept(other);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("another file\n"));
    }

    // A port's key stays the same from one plugging to the next, and its
    // file name is one name in the folder.
    void portKeys()
    {
        QTemporaryDir dir;
        const QString byId = dir.filePath(QStringLiteral("by-id")), byPath = dir.filePath(QStringLiteral("by-path"));
        QVERIFY(QDir().mkpath(byId) && QDir().mkpath(byPath));
        const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
        QCOMPARE(writeFileAtomically(device, ""), QString());
        QVERIFY(QFile::link(device, byId + QStringLiteral("/usb-FTDI_A1-port0")));
        QCOMPARE(portKey(byId + QStringLiteral("/usb-FTDI_A1-port0"), byId, byPath),
                 QStringLiteral("by-id/usb-FTDI_A1-port0"));
        QCOMPARE(portKey(device, byId, byPath), QStringLiteral("by-id/usb-FTDI_A1-port0"));
        QCOMPARE(portKey(QStringLiteral("/dev/ttyS3"), byId, byPath), QStringLiteral("ttyS3"));
        QCOMPARE(portKey(dir.filePath(QStringLiteral("other")), byId, byPath), dir.filePath(QStringLiteral("other")));
        QCOMPARE(recordFileName(QStringLiteral("by-id/usb-A B%")), QStringLiteral("by-id%2Fusb-A%20B%25.record"));
        const QString longName = recordFileName(QString(300, u'x'));
        QCOMPARE(longName.size(), 100 + 1 + 64 + 7);
        QVERIFY(longName != recordFileName(QString(301, u'x')));
    }
};

QTEST_GUILESS_MAIN(TestToolFiles)
#include "tst_toolfiles.moc"
