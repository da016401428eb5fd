#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/TerminalText.h"
#include "platform/Paths.h"
#include "sim/SerialDecoder.h"
#include "tool/Command.h"
#include "tool/ConfigFile.h"
#include "tool/PortJob.h"
#include "tool/PortNames.h"
#include "tool/PortRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace q5n;
using namespace q5n::tool;

namespace {

// Short time-outs: a silent decoder is given up on at once.
Timing quickTiming()
{
    Timing t;
    t.downloadAnswerMs = 300;
    t.uploadReplyMs = 400;
    t.memoryAnswerMs = 300;
    return t;
}

// What a port's record holds before an apply: nothing, the factory values
// (as the decoder sends its section, or the other), 19200 baud; a spoilt file,
// a link, a file others may write.
enum Record { NoRecord, Factory, FactoryOtherSection, Baud19200, Damaged, Linked, GroupWritable };

struct Run
{
    int code = -1;
    QString out, err;
};

} // namespace

class TestToolDevice : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<sim::SerialDecoder>> m_decoders;

    QString decoder(sim::Fault fault, sim::Section section = sim::Section::Decoder)
    {
        auto d = std::make_unique<sim::SerialDecoder>();
        const QString link = m_dir.filePath(QStringLiteral("com%1").arg(m_decoders.size() + 1));
        [&] { QVERIFY2(d->open(link), qPrintable(d->errorString())); }();
        d->setPacing(false);
        d->setFault(fault);
        d->setSection(section);
        m_decoders.push_back(std::move(d));
        return link;
    }

    Run run(const QString &command, const QStringList &args)
    {
        Run r;
        QTextStream out(&r.out), err(&r.err);
        r.code = runCommand(QStringList{command} + args, out, err, quickTiming());
        out.flush();
        err.flush();
        return r;
    }

    QString configFile(const ConfigImage &image)
    {
        const QString path = m_dir.filePath(QStringLiteral("send.cfg"));
        SetupInfo info;
        [&] { QCOMPARE(writeFileAtomically(path, setupFileBytes(info, LinkSettings{}, image)), QString()); }();
        return path;
    }

private Q_SLOTS:
    // The records of verified downloads go to this test's own folder.
    void initTestCase() { qputenv("XDG_STATE_HOME", m_dir.filePath(QStringLiteral("state")).toLocal8Bit()); }
    void cleanup() { m_decoders.clear(); }

    void commandsAgainstFaults_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("line");
        using F = sim::Fault;
        QTest::newRow("download") << "download" << int(F::None) << int(kDone) << "OK";
        QTest::newRow("download, silent") << "download" << int(F::Silent) << int(kTimeOut) << "time-out: no answer";
        QTest::newRow("download, refused")
            << "download" << int(F::Refuse) << int(kRefused) << "the decoder refused or answered badly";
        QTest::newRow("version") << "version" << int(F::None) << int(kDone) << "Ver";
        QTest::newRow("version, bad check")
            << "version" << int(F::BadCheck) << int(kRefused) << "the decoder refused or answered badly";
        QTest::newRow("version, short reply")
            << "version" << int(F::ShortReply) << int(kTimeOut) << "time-out: 42 of the 84 bytes of an answer came";
        QTest::newRow("version, refused")
            << "version" << int(F::Refuse) << int(kTimeOut) << "time-out: 1 of the 84 bytes of an answer came";
        QTest::newRow("version, hang-up")
            << "version" << int(F::HangUp) << int(kPortUnavailable) << "the port went away";
        QTest::newRow("verified download")
            << "verify" << int(F::None) << int(kDone)
            << "OK, verified (decoder section, bytes 0..24, compared; the reader section";
    }

    void commandsAgainstFaults()
    {
        QFETCH(QString, command);
        QFETCH(int, fault);
        QFETCH(int, exit);
        QFETCH(QString, line);
        const QString port = decoder(sim::Fault(fault));
        QStringList args{QStringLiteral("--port"), port};
        if (command != QLatin1String("version"))
            args.prepend(configFile(factoryImage()));
        if (command == QLatin1String("verify")) {
            command = QStringLiteral("download");
            args << QStringLiteral("--verify");
        }
        const Run r = run(command, args);
        QCOMPARE(r.code, exit);
        QCOMPARE(r.out.count(QLatin1Char('\n')), 1);
        QVERIFY2(r.out.startsWith(port + (exit == kDone ? QStringLiteral("  OK  ") : QStringLiteral("  FAILED  "))),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(line), qPrintable(r.out));
    }

    void memoryCommands()
    {
        const QString port = decoder(sim::Fault::None);
        m_decoders.back()->model().memoryLines = {QByteArrayLiteral("4711 ABC"), QByteArrayLiteral("second line")};
        const QString file = m_dir.filePath(QStringLiteral("memory.txt"));
        const Run read =
            run(QStringLiteral("read-memory"), {QStringLiteral("--port"), port, QStringLiteral("-o"), file});
        QCOMPARE(read.code, int(kDone));
        QVERIFY2(read.out.contains(QStringLiteral("OK, 2 line(s) read")), qPrintable(read.out));
        QByteArray saved;
        QVERIFY(readWholeFile(file, &saved));
        QCOMPARE(saved, QByteArrayLiteral("4711 ABC\r\nsecond line\r\n\r\n"));

        const Run clear = run(QStringLiteral("clear-memory"), {QStringLiteral("--port"), port});
        QCOMPARE(clear.code, int(kDone));
        QCOMPARE(m_decoders.back()->model().memoryClears, 1);
        QVERIFY(m_decoders.back()->model().memoryLines.isEmpty());

        const QString silent = decoder(sim::Fault::Silent);
        QCOMPARE(run(QStringLiteral("clear-memory"), {QStringLiteral("--port"), silent}).code, int(kTimeOut));
    }

    // A failed read keeps the earlier file and prints what it got; device
    // text reaches the terminal escaped.
    void failedMemoryReadKeepsTheFile()
    {
        const QString port = decoder(sim::Fault::None);
        sim::DecoderModel &m = m_decoders.back()->model();
        m.memoryLines = {QByteArrayLiteral("first \x1b]0;owned\x07"), QByteArray(70, 'x')};
        m.memoryFault = sim::MemoryFault::Silent;
        m.memoryFaultBlock = 1;
        m.setVersionText(QStringLiteral("Q5N\x1b[2J"));
        const QString file = m_dir.filePath(QStringLiteral("kept.txt"));
        QCOMPARE(writeFileAtomically(file, "earlier\r\n\r\n"), QString());
        const Run r = run(QStringLiteral("read-memory"), {QStringLiteral("--port"), port, QStringLiteral("-o"), file});
        QCOMPARE(r.code, int(kTimeOut));
        QVERIFY2(r.out.startsWith(QStringLiteral("first <ESC>]0;owned<BEL>\n%1  FAILED  ").arg(port)) &&
                     r.out.contains(QStringLiteral("; %1 left as it was").arg(file)),
                 qPrintable(r.out));
        QByteArray kept;
        QVERIFY(readWholeFile(file, &kept) && kept == "earlier\r\n\r\n");
        const Run version = run(QStringLiteral("version"), {QStringLiteral("--port"), port});
        QVERIFY2(version.out.contains(QStringLiteral("  Q5N<ESC>[2J ")), qPrintable(version.out));
    }

    // monitor prints a stream that never pauses while it runs, bounds its
    // lines, and prints what it holds when interrupted.
    void monitorPrintsEveryTransmission_data()
    {
        QTest::addColumn<QByteArray>("scan");
        QTest::addColumn<int>("scans");
        QTest::addColumn<QString>("shown");
        QTest::newRow("every 30 ms, never pausing") << QByteArray("0123\x1b\r\n") << 20 << QString("0123<ESC><CR><LF>");
        QTest::newRow("longer than a line, interrupted") << QByteArray(5000, 'x') << 1 << QString(5000, u'x');
    }
    void monitorPrintsEveryTransmission()
    {
        QFETCH(QByteArray, scan);
        QFETCH(int, scans);
        QFETCH(QString, shown);
        const QString port = decoder(sim::Fault::None);
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, &tick, [&] {
            if (++ticks <= scans)
                m_decoders.back()->sendScan(scan);
            else if (ticks == scans + 2)
                stopAllExchanges(); // as Ctrl+C does
        });
        tick.start(30);
        Run r = run(QStringLiteral("monitor"), {QStringLiteral("--port"), port});
        QCOMPARE(r.code, int(kDone));
        QVERIFY2(r.out.count(u'\n') >= 2, qPrintable(r.out));
        QCOMPARE(r.out.remove(u'\n'), shown.repeated(scans));
    }

    void verifyNamesTheSettingsThatDiffer()
    {
        // A decoder that takes the download but keeps its old baud rate.
        const QString port = decoder(sim::Fault::None);
        sim::SerialDecoder *d = m_decoders.back().get();
        connect(d, &sim::SerialDecoder::downloadReceived, d, [d] { d->model().image[16] = factoryImage()[16]; });
        ConfigImage sent = factoryImage();
        sent[16] = quint8((sent[16] & ~0x0C) | 0x0C); // 19200
        const Run r = run(QStringLiteral("download"),
                          {configFile(sent), QStringLiteral("--port"), port, QStringLiteral("--verify")});
        QCOMPARE(r.code, int(kDiffer));
        QVERIFY2(r.out.contains("mismatch: Communication Parameters (cfg4) \u203A RS232 \u203A Baud Rate"),
                 qPrintable(r.out));
        QVERIFY2(!r.out.contains("still answers"), qPrintable(r.out)); // it holds the old line: no hint at a restart
    }

    // apply against one decoder that holds the factory values. The file sets 19200 baud (a decoder
    // setting), a reader setting (Track 2 Account Number Only), or neither; the port's record says what the
    // last verified download left there, or is absent, spoilt, a link, another section's. A second
    // run, where the row names one, shows that the decoder converged.
    void applyOutcomes_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("faultOnceUploaded"); // from the download on; -1: keeps its settings
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("change"); // image byte the file changes: 16 baud, 28 a reader setting, 0 none
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("exit");
        QTest::addColumn<int>("downloads");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("second"); // what a second run says, or "" for none
        using F = sim::Fault;
        const int dec = int(sim::Section::Decoder), rdr = int(sim::Section::Reader);
        const QString baud =
            "\n    Communication Parameters (cfg4) \u203A RS232 \u203A Baud Rate (cfg4.optCfg41A): 9600 -> 19200\n";
        const QString byRecord = " section compared with the record of the last verified download)";
        const QString agrees =
            "  UNCHANGED  every setting agrees (decoder section compared on the decoder, reader" + byRecord;
        const QString unknown = " section compared on the decoder, reader section unknown: ";
        QTest::newRow("unchanged") << int(F::None) << int(F::None) << dec << int(Factory) << 0 << "" << int(kDone) << 0
                                   << agrees << "";
        QTest::newRow("changed") << int(F::None) << int(F::None) << dec << int(Factory) << 16 << "" << int(kDone) << 1
                                 << " s" + baud << agrees;
        QTest::newRow("check") << int(F::None) << int(F::None) << dec << int(Factory) << 16 << "--check" << int(kDiffer)
                               << 0
                               << "  WOULD CHANGE  1 setting(s) would change (decoder section compared on the "
                                  "decoder, reader" +
                                      byRecord
                               << "";
        QTest::newRow("reader change, by the record")
            << int(F::None) << int(F::None) << dec << int(Factory) << 28 << "" << int(kDone) << 1
            << "  CHANGED  1 setting(s) changed and verified (decoder section compared on the decoder, reader" +
                   byRecord + "  "
            << agrees;
        QTest::newRow("reader change, checked")
            << int(F::None) << int(F::None) << dec << int(Factory) << 28 << "--check" << int(kDiffer) << 0
            << "\n    Communication Parameters (magcfg4) \u203A Magnetic Reader \u203A Track 2 Account Number Only ON "
               "(magcfg4.chkCfg45C): clear -> checked (by the record)\n"
            << "";
        QTest::newRow("no record") << int(F::None) << int(F::None) << dec << int(NoRecord) << 0 << "--check"
                                   << int(kDiffer) << 0
                                   << "  WOULD CHANGE  would download (decoder" + unknown +
                                          "no record of a verified download to this port)"
                                   << "";
        QTest::newRow("no record, reader change: changed, then ok")
            << int(F::None) << int(F::None) << dec << int(NoRecord) << 28 << "" << int(kDone) << 1
            << "  CHANGED  downloaded and verified (decoder" + unknown + "no record of a verified download" << agrees;
        QTest::newRow("the decoder sent the other section when recorded")
            << int(F::None) << int(F::None) << dec << int(FactoryOtherSection) << 0 << "" << int(kDone) << 1
            << unknown + "the decoder returned its reader section at the last verified download here, now its "
                         "decoder section (changed or replaced))"
            << agrees;
        QTest::newRow("the decoder holds other settings than recorded")
            << int(F::None) << int(F::None) << dec << int(Baud19200) << 0 << "" << int(kDone) << 1
            << unknown + "the decoder's decoder section is not what the last verified download here left (changed "
                         "or replaced))"
            << agrees;
        QTest::newRow("damaged record") << int(F::None) << int(F::None) << dec << int(Damaged) << 0 << "" << int(kDone)
                                        << 1 << ".record is damaged, not read)" << agrees;
        QTest::newRow("a link at the record's name") << int(F::None) << int(F::None) << dec << int(Linked) << 0 << ""
                                                     << int(kDone) << 1 << ".record is a link, not read)"
                                                     << "";
        QTest::newRow("a record others may write")
            << int(F::None) << int(F::None) << dec << int(GroupWritable) << 0 << "" << int(kDone) << 1
            << ".record belongs to another user or others may write it, not read)" << agrees;
        QTest::newRow("forced") << int(F::None) << int(F::None) << dec << int(Factory) << 0 << "--force" << int(kDone)
                                << 1
                                << "  CHANGED  downloaded and verified (decoder section compared on the decoder, "
                                   "reader section compared with the record of the last verified download; download "
                                   "forced)"
                                << agrees;
        QTest::newRow("other section sent, decoder change by the record")
            << int(F::None) << int(F::None) << rdr << int(Factory) << 16 << "" << int(kDone) << 1
            << "  CHANGED  1 setting(s) changed and verified (reader section compared on the decoder, decoder section "
               "compared with the record of the last verified download)"
            << "  UNCHANGED  every setting agrees (reader section compared on the decoder, decoder" + byRecord;
        QTest::newRow("silent") << int(F::Silent) << int(F::Silent) << dec << int(Factory) << 16 << "" << int(kTimeOut)
                                << 0 << "  FAILED  time-out: no answer"
                                << "";
        QTest::newRow("bad check") << int(F::BadCheck) << int(F::BadCheck) << dec << int(Factory) << 16 << ""
                                   << int(kRefused) << 0 << "  FAILED  the decoder refused or answered badly"
                                   << "";
        QTest::newRow("hang-up") << int(F::HangUp) << int(F::HangUp) << dec << int(Factory) << 16 << ""
                                 << int(kPortUnavailable) << 0 << "  FAILED  the port went away"
                                 << "";
        QTest::newRow("download refused: the record is gone")
            << int(F::None) << int(F::Refuse) << dec << int(Factory) << 16 << "" << int(kRefused) << 0
            << "  FAILED  download: the decoder refused or answered badly"
            << "";
        QTest::newRow("verification mismatch") << int(F::None) << -1 << dec << int(Factory) << 16 << "" << int(kDiffer)
                                               << 1 << "  FAILED  verification found a mismatch"
                                               << "";
        QTest::newRow("download not acknowledged") << int(F::None) << int(F::ShortReply) << dec << int(Factory) << 16
                                                   << "" << int(kTimeOut) << 1 << "  FAILED  download: time-out"
                                                   << "";
    }

    void applyOutcomes()
    {
        QFETCH(int, fault);
        QFETCH(int, faultOnceUploaded);
        QFETCH(int, section);
        QFETCH(int, record);
        QFETCH(int, change);
        QFETCH(QString, option);
        QFETCH(int, exit);
        QFETCH(int, downloads);
        QFETCH(QString, line);
        QFETCH(QString, second);
        const QString port = decoder(sim::Fault(fault), sim::Section(section));
        sim::SerialDecoder *d = m_decoders.back().get();
        if (faultOnceUploaded < 0)
            connect(d, &sim::SerialDecoder::downloadReceived, d, [d] { d->setImage(factoryImage()); });
        else
            connect(d, &sim::SerialDecoder::requestHandled, d,
                    [d, faultOnceUploaded] { d->setFault(sim::Fault(faultOnceUploaded)); });
        const QTemporaryDir state;
        const QString key = portKey(port);
        const QString recordPath = QDir(state.path()).filePath(recordFileName(key));
        ApplyRecord recorded{key, Section(section), factoryImage()};
        if (record == FactoryOtherSection)
            recorded.section = Section(section) == Section::Reader ? Section::Decoder : Section::Reader;
        if (record == Baud19200)
            recorded.image[16] = quint8(recorded.image[16] | 0x0C);
        if (record != NoRecord)
            QCOMPARE(writeRecord(state.path(), recorded), QString());
        if (record == Damaged)
            QCOMPARE(writeFileAtomically(recordPath, recordBytes(recorded).replace("image ", "image 00")), QString());
        if (record == Linked) {
            QVERIFY(QFile::rename(recordPath, recordPath + ".real"));
            QVERIFY(QFile::link(recordPath + ".real", recordPath));
        }
        if (record == GroupWritable)
            QVERIFY(QFile::setPermissions(recordPath, QFile::ReadOwner | QFile::WriteOwner | QFile::WriteGroup));
        ConfigImage file = factoryImage();
        if (change == 16)
            file[16] = quint8(file[16] | 0x0C); // 19200 baud
        if (change == 28)
            file[28] = quint8(file[28] | 0x08); // the reader's Track 2 Account Number Only
        QStringList args{configFile(file), QStringLiteral("--port"), port, QStringLiteral("--state"), state.path()};
        if (!option.isEmpty())
            args << option;
        const Run r = run(QStringLiteral("apply"), args);
        QCOMPARE(r.code, exit);
        QVERIFY2(r.out.startsWith(port) && r.out.contains(line), qPrintable(r.out));
        QCOMPARE(d->model().downloadsAccepted, downloads);
        if (exit == kDone && downloads == 1 && change == 16) // the line before the changes
            QVERIFY2(r.out.contains("  CHANGED  1 setting(s) changed and verified ("), qPrintable(r.out));
        // A download that was not verified leaves no record; one that was, the file's.
        const LoadedRecord after = readRecord(state.path(), key);
        if (d->model().downloadsAccepted > 0 && exit != kDone)
            QVERIFY(!after.record);
        if (exit == kDone && downloads == 1)
            QCOMPARE(after.record ? after.record->image : ConfigImage{}, file);
        if (second.isEmpty())
            return;
        const Run again = run(QStringLiteral("apply"), args.mid(0, 5));
        QCOMPARE(again.code, int(kDone));
        QVERIFY2(again.out.contains(second), qPrintable(again.out));
        QCOMPARE(d->model().downloadsAccepted, downloads);
    }

    // A download changes the decoder: a verified one is recorded, any other
    // leaves no record, so the next apply of the same file downloads again.
    void downloadKeepsTheRecordTrue_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("downloads"); // after the download and the apply
        QTest::addColumn<QString>("line");
        const QString again = "  CHANGED  downloaded and verified (decoder section compared on the decoder, reader "
                              "section unknown: no record of a verified download";
        QTest::newRow("verified") << QStringList{"--verify"} << 1 << "  UNCHANGED  every setting agrees";
        QTest::newRow("not verified") << QStringList{} << 2 << again;
        // The decoder keeps it only until it is switched off.
        QTest::newRow("verified, not saved") << QStringList{"--verify", "--not-save"} << 2 << again;
    }
    void downloadKeepsTheRecordTrue()
    {
        QFETCH(QStringList, options);
        QFETCH(int, downloads);
        QFETCH(QString, line);
        const QString port = decoder(sim::Fault::None);
        const QTemporaryDir state;
        QCOMPARE(writeRecord(state.path(), {portKey(port), Section::Decoder, factoryImage()}), QString());
        ConfigImage file = factoryImage();
        file[28] = quint8(file[28] | 0x08); // a reader setting
        const QString path = configFile(file);
        QCOMPARE(
            run(QStringLiteral("download"), QStringList{path, "--port", port, "--state", state.path()} + options).code,
            int(kDone));
        const Run r = run(QStringLiteral("apply"), {path, "--port", port, "--state", state.path()});
        QCOMPARE(r.code, int(kDone));
        QVERIFY2(r.out.contains(line), qPrintable(r.out));
        QCOMPARE(m_decoders.back()->model().downloadsAccepted, downloads);
    }

    // A file that sets the decoder's own line to 19200 (or another frame),
    // against a decoder that takes it at once (adopt) or keeps its own: the
    // report says where it answered, in words and as "answered_at".
    void rateChangeEndsWhereTheDecoderAnswers_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("adopt");
        QTest::addColumn<int>("byte19"); // the file's parity, data and stop bits; 19200 baud unless 0
        QTest::addColumn<bool>("silentAfterDownload");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("answeredAt"); // "" for null
        const QString now = "; no answer at 9600,N,8,1 after the download; now answers at 19200,N,8,1: update the "
                            "inventory";
        const QString still = "; still answers at 9600,N,8,1, not at the file's 19200,N,8,1 (it may take them when "
                              "restarted)";
        QTest::newRow("verify, taken at once")
            << "verify" << true << 0xFC << false << int(kDone) << now << "19200,N,8,1";
        QTest::newRow("verify, kept") << "verify" << false << 0xFC << false << int(kDone) << still << "9600,N,8,1";
        QTest::newRow("apply, taken at once") << "apply" << true << 0xFC << false << int(kDone) << now << "19200,N,8,1";
        QTest::newRow("apply, kept") << "apply" << false << 0xFC << false << int(kDone) << still << "9600,N,8,1";
        QTest::newRow("verify, no answer at either")
            << "verify" << true << 0xFC << true << int(kTimeOut)
            << "time-out: no answer; no answer at 9600,N,8,1 nor at the file's 19200,N,8,1"
            << "";
        QTest::newRow("apply, no answer at either")
            << "apply" << true << 0xFC << true << int(kTimeOut)
            << "verification: time-out: no answer; no answer at 9600,N,8,1 nor at the file's 19200,N,8,1"
            << "";
        QTest::newRow("verify, a line with Even parity")
            << "verify" << true << 0xAC << false << int(kTimeOut)
            << "; the file sets 19200,E,8,1 for the decoder's line, at which it cannot answer: not verified there"
            << "";
        QTest::newRow("download alone")
            << "download" << true << 0xFC << false << int(kDone)
            << "OK; the file sets 19200,N,8,1 for the decoder's line: download --verify says at which settings it "
               "answers now"
            << "9600,N,8,1";
        QTest::newRow("the link's line kept") << "verify" << true << 0 << false << int(kDone) << "read back)"
                                              << "9600,N,8,1";
        QTest::newRow("apply once more, before the inventory learnt it")
            << "apply twice" << true << 0xFC << false << int(kTimeOut)
            << "time-out: no answer; if an earlier run gave it the file's line, it answers at 19200,N,8,1"
            << "";
    }

    void rateChangeEndsWhereTheDecoderAnswers()
    {
        QFETCH(QString, command);
        QFETCH(bool, adopt);
        QFETCH(int, byte19);
        QFETCH(bool, silentAfterDownload);
        QFETCH(int, exit);
        QFETCH(QString, message);
        QFETCH(QString, answeredAt);
        const QString port = decoder(sim::Fault::None);
        sim::SerialDecoder *d = m_decoders.back().get();
        d->setAdoptSettings(adopt);
        if (silentAfterDownload)
            connect(d, &sim::SerialDecoder::downloadReceived, d, [d] { d->setFault(sim::Fault::Silent); });
        ConfigImage file = factoryImage();
        if (byte19) {
            file[16] = quint8(file[16] | 0x0C);
            file[19] = quint8(byte19);
        }
        QStringList args{configFile(file), QStringLiteral("--port"), port, QStringLiteral("--json")};
        if (command == u"verify")
            args << QStringLiteral("--verify");
        if (command == u"apply twice")
            run(QStringLiteral("apply"), args);
        const Run r = run(command.startsWith(u"apply") ? QStringLiteral("apply") : QStringLiteral("download"), args);
        QCOMPARE(r.code, exit);
        const QJsonObject p = QJsonDocument::fromJson(r.out.toUtf8())["ports"][0].toObject();
        QVERIFY2(p["message"].toString().endsWith(message), qPrintable(r.out));
        QCOMPARE(p["answered_at"].toString(), answeredAt);
        QCOMPARE(p["answered_at"].isNull(), answeredAt.isEmpty());
        QCOMPARE(d->model().downloadsAccepted, 1);
    }

    // Even and Odd parity: every command that needs the decoder's answer is
    // refused before its port is opened; sending alone goes on.
    void parityThatCannotBeAnswered_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("args"); // FILE stands for a configuration file
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("error");
        const QString why = "the decoder cannot answer with %1 parity, and %2 needs its answer; use --parity N "
                            "(None) for exchanges that need an answer";
        QTest::newRow("version, Even") << "version" << QStringList{"--parity", "E"} << int(kUsage)
                                       << "q5ntool version: --parity E: " + why.arg("Even", "version");
        QTest::newRow("upload, Odd") << "upload" << QStringList{"--parity", "odd", "-o", "FILE"} << int(kUsage)
                                     << "--parity O: " + why.arg("Odd", "upload");
        QTest::newRow("read-memory, Even")
            << "read-memory" << QStringList{"--parity", "e"} << int(kUsage) << why.arg("Even", "read-memory");
        QTest::newRow("apply, Odd") << "apply" << QStringList{"FILE", "--parity", "O"} << int(kUsage)
                                    << why.arg("Odd", "apply");
        QTest::newRow("download --verify, Even")
            << "download" << QStringList{"FILE", "--verify", "--parity", "E"} << int(kUsage)
            << why.arg("Even", "download --verify") + ", or download without --verify";
        QTest::newRow("download, Even") << "download" << QStringList{"FILE", "--parity", "E"} << int(kDone) << "";
        QTest::newRow("clear-memory, Odd") << "clear-memory" << QStringList{"--parity", "O"} << int(kDone) << "";
        QTest::newRow("download --verify, Space")
            << "download" << QStringList{"FILE", "--verify", "--parity", "S"} << int(kDone) << "";
    }

    void parityThatCannotBeAnswered()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, error);
        const QString port = decoder(sim::Fault::None);
        int requests = 0;
        connect(m_decoders.back().get(), &sim::SerialDecoder::requestHandled, this, [&requests] { ++requests; });
        const QString file = configFile(factoryImage());
        args.replaceInStrings(QStringLiteral("FILE"), file);
        const Run r = run(command, args << QStringLiteral("--port") << port);
        QCOMPARE(r.code, exit);
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QCOMPARE(requests > 0, exit != kUsage);
        if (exit == kUsage) // the usage line follows the reason
            QVERIFY2(r.err.endsWith(usageLine(*findCommand(command))), qPrintable(r.err));
    }

    void uploadWritesTheSectionIntoTheBase()
    {
        const QString port = decoder(sim::Fault::None, sim::Section::Reader);
        ConfigImage image = factoryImage();
        image[84] = 2; // separator STX
        m_decoders.back()->setImage(image);
        const QString out = m_dir.filePath(QStringLiteral("up.cfg"));
        const Run r = run(QStringLiteral("upload"), {QStringLiteral("-o"), out, QStringLiteral("--port"), port});
        QCOMPARE(r.code, int(kDone));
        LoadedConfig c;
        QString error;
        QVERIFY(loadConfig(out, c, &error));
        QCOMPARE(c.image, image);
    }

    void fleetReportsEachPortAndFinishesTheOthers()
    {
        const QString good1 = decoder(sim::Fault::None);
        const QString silent = decoder(sim::Fault::Silent);
        const QString hungUp = decoder(sim::Fault::HangUp);
        const QString good2 = decoder(sim::Fault::None);
        const Run r = run(QStringLiteral("download"), {configFile(factoryImage()), "--port", good1, "--port", silent,
                                                       "--port", hungUp, "--port", good2, "--verify", "--json"});
        QCOMPARE(r.code, int(kTimeOut)); // the largest exit code of the ports
        const QJsonArray ports = QJsonDocument::fromJson(r.out.toUtf8())["ports"].toArray();
        QCOMPARE(ports.size(), 4);
        const int expected[] = {kDone, kTimeOut, kPortUnavailable, kDone};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(ports[i]["exit"].toInt(), expected[i]);
        QCOMPARE(m_decoders[0]->model().downloadsAccepted, 1);
        QCOMPARE(m_decoders[3]->model().downloadsAccepted, 1);
    }

    void badArguments_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("no port") << "version" << QStringList{} << "--port is required";
        QTest::newRow("bad baud") << "version" << QStringList{"--port", "x", "--baud", "300"} << "--baud 300";
        QTest::newRow("bad parity") << "version" << QStringList{"--port", "x", "--parity", "Q"} << "--parity";
        QTest::newRow("upload to many ports")
            << "upload" << QStringList{"-o", "x.cfg", "--port", "a", "--port", "b"} << "usage: q5ntool upload";
        QTest::newRow("com7") << "version" << QStringList{"--port", "com7"}
                              << "--port com7 is no port name: com1..com6 or a device path are accepted";
        QTest::newRow("a file that is no device")
            << "version" << QStringList{"--port", "com1", "--port", "/etc/passwd"}
            << "--port /etc/passwd is not a serial device: com1..com6 or a serial device's path are accepted";
        QTest::newRow("download a missing file")
            << "download" << QStringList{"/nonexistent/x.cfg", "--port", "a"} << "no such file";
    }

    void badArguments()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const Run r = run(command, args);
        QCOMPARE(r.code, int(kUsage));
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
    }

    void portNamesAndDevices_data()
    {
        QTest::addColumn<QStringList>("ports"); // "decoder" and "link" stand for a simulated decoder and a link to it
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("text");
        QTest::newRow("com number with no device")
            << QStringList{"com5"} << int(kPortUnavailable) << "Com 5 has no device: Q5NCFG_COM5 is empty";
        QTest::newRow("a number kept for an unplugged adapter")
            << QStringList{"com2"} << int(kPortUnavailable)
            << "com2  FAILED  port not available: Com 2 is the USB adapter FTDI_FT232R_USB_UART_A1, which is not "
               "connected";
        QTest::newRow("two names of one device")
            << QStringList{"decoder", "link", "decoder"} << int(kDone) << "name one device";
    }

    void portNamesAndDevices()
    {
        QFETCH(QStringList, ports);
        QFETCH(int, exit);
        QFETCH(QString, text);
        const QString device = decoder(sim::Fault::None);
        const QString link = m_dir.filePath(QStringLiteral("link"));
        QFile::remove(link);
        QVERIFY(QFile::link(device, link));
        QStringList args;
        for (const QString &p : ports)
            args << QStringLiteral("--port")
                 << (p == QLatin1String("decoder") ? device
                     : p == QLatin1String("link")  ? link
                                                   : p);
        // Com 1 is the decoder's line; Com 2 is the user's number kept for an
        // adapter that is not plugged in (the others are taken, so the system's
        // own ports get none).
        qputenv("Q5NCFG_COM1", device.toLocal8Bit());
        qputenv("Q5NCFG_COM5", "");
        qunsetenv("Q5NCFG_COM2");
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toLocal8Bit());
        QDir().mkpath(m_dir.filePath(QStringLiteral("config/q5ncfg")));
        QCOMPARE(writeFileAtomically(m_dir.filePath(QStringLiteral("config/q5ncfg/comports")),
                                     "Com2=by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0\nCom3=x\nCom4=y\nCom5=z\n"
                                     "Com6=w\n"),
                 QString());
        const Run r = run(QStringLiteral("version"), args);
        qputenv("XDG_CONFIG_HOME", config);
        qputenv("Q5NCFG_COM1", "/nonexistent/com1");
        qputenv("Q5NCFG_COM2", "/nonexistent/com2");
        qputenv("Q5NCFG_COM5", "/nonexistent/com5");
        QCOMPARE(r.code, exit);
        QCOMPARE(r.out.count(QLatin1Char('\n')), 1);
        const QString all = r.out + r.err;
        QVERIFY2(all.contains(text), qPrintable(all));
    }

    // On a terminal the line that says what a port waits for names the port
    // as every other line does: with its control characters as <NAME>.
    void waitingLineOnATerminalIsEscaped()
    {
        const QString port = decoder(sim::Fault::Silent);
        const QString hostile = m_dir.filePath(QStringLiteral("com\x1b[2J\x07"));
        QVERIFY(QFile::link(port, hostile));
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        QVERIFY(terminal >= 0);
        const int savedErr = ::dup(STDERR_FILENO);
        ::dup2(terminal, STDERR_FILENO); // the command's standard error is a terminal
        Run r;
        QTextStream out(&r.out), err(&r.err);
        Timing timing = quickTiming();
        timing.uploadReplyMs = 1050; // the first report, at once, falls on the second's line
        r.code = runCommand({QStringLiteral("version"), QStringLiteral("--port"), hostile}, out, err, timing);
        ::dup2(savedErr, STDERR_FILENO);
        ::close(savedErr);
        ::close(terminal);
        ::close(master);
        err.flush();
        QCOMPARE(r.code, int(kTimeOut));
        QVERIFY2(r.err.startsWith(QStringLiteral("%1: waiting for the decoder, 2 s left\n").arg(terminalText(hostile))),
                 qPrintable(r.err));
        QVERIFY(terminalText(hostile).contains(QStringLiteral("<ESC>[2J<BEL>")));
    }

    void comNamesResolveAsTheProgramDoes()
    {
        qputenv("Q5NCFG_COM3", "/dev/pts/77");
        QCOMPARE(portDevice(QStringLiteral("COM3")), QStringLiteral("/dev/pts/77"));
        qunsetenv("Q5NCFG_COM3");
        QCOMPARE(portDevice(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
    }
};

QTEST_GUILESS_MAIN(TestToolDevice)
#include "tst_tooldevice.moc"
