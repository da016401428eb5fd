// The fault matrix: every exchange with the decoder against every fault the
// simulator plays, at the real time-outs, over a pseudo-terminal whose link
// stands for a USB adapter's by-id name. Each cell checks the message the
// user gets (through the link session, as a window shows it; q5ntool's line
// for apply), that the exchange ended within its time-out (a lost line: before
// it), that no descriptor is left behind, that the images and the setup file
// are untouched, and that the next exchange without the fault works. A device
// that went away is tried once more while it is away, then brought back.
// Every cell prints one line: exchange x fault -> message, time, descriptors.
#include "files/SetupFile.h"
#include "link/LinkExchange.h"
#include "link/PortIo.h"
#include "link/SerialPort.h"
#include "model/Defaults.h"
#include "model/ProgramState.h"
#include "model/TerminalText.h"
#include "platform/Paths.h"
#include "protocol/Protocol.h"
#include "shell/AppContext.h"
#include "sim/DeviceProtocol.h"
#include "sim/SerialDecoder.h"
#include "support/Builders.h"
#include "support/Exchanges.h"
#include "support/FormatsContext.h"
#include "support/ScriptedPrompter.h"
#include "support/TestContext.h"
#include "tool/Command.h"
#include "windows/LinkSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace q5n;
using sim::Fault;

namespace {

enum class Exchange { Download, DownloadNotSave, Upload, Version, ReadMemory, ClearMemory, KrTest, Apply };

const Timing kTiming;           // the real intervals
constexpr int kMarginMs = 2000; // a loaded machine's delay on top of a time-out
const QByteArray kScan("AB\r\n");
constexpr int kFloodBytes = 1024 * 1024;

struct ExchangeRow
{
    Exchange exchange;
    const char *name;
    ExchangeKind kind;
    int timeoutMs;
};

const ExchangeRow kExchanges[] = {
    {Exchange::Download, "download", ExchangeKind::Download, kTiming.downloadAnswerMs},
    {Exchange::DownloadNotSave, "download not save", ExchangeKind::Download, kTiming.downloadAnswerMs},
    {Exchange::Upload, "upload", ExchangeKind::Upload, kTiming.uploadReplyMs},
    {Exchange::Version, "firmware version", ExchangeKind::FirmwareVersion, kTiming.uploadReplyMs},
    {Exchange::ReadMemory, "memory read", ExchangeKind::ReadMemory, kTiming.memoryAnswerMs},
    {Exchange::ClearMemory, "memory clear", ExchangeKind::ClearMemory, kTiming.memoryAnswerMs},
    {Exchange::KrTest, "KR Test port", ExchangeKind::Download, 0},
    // Upload, then (the file differs) download and the verifying upload.
    {Exchange::Apply, "q5ntool apply", ExchangeKind::Download, 2 * kTiming.uploadReplyMs + kTiming.downloadAnswerMs},
};

// What the user is told, per fault, in the order of kExchanges (download not
// save reads as download). "VERSION" is the decoder's version text; the KR
// Test column is what its RS232 box gets, or that the port went away; the apply
// column is q5ntool's status and reason.
struct FaultRow
{
    Fault fault;
    const char *download, *upload, *version, *read, *clear, *kr, *apply;
};

const char *const kTimeOut = "Time Out Error!";
const FaultRow kFaults[] = {
    {Fault::Silent, kTimeOut, kTimeOut, kTimeOut, kTimeOut, kTimeOut, "41 42 0d 0a", "FAILED  time-out: no answer"},
    // A refusal is one byte: the download's and the clear's answer, short of
    // an upload reply or a memory block.
    {Fault::Refuse, "Download Failed!", kTimeOut, kTimeOut, kTimeOut, "Clear Decoder Memory Failed!", "41 42 0d 0a",
     "FAILED  time-out: 1 of the 84 bytes of an answer came"},
    // The download's and the clear's answers carry no check byte.
    {Fault::BadCheck, "Download OK!", "Upload Failed!", "Upload Failed!", "Read Decoder Memory Failed!",
     "Clear Decoder Memory OK!", "41 42 0d 0a", "FAILED  the decoder refused or answered badly"},
    {Fault::ShortReply, kTimeOut, kTimeOut, kTimeOut, kTimeOut, kTimeOut, "41 42 0d 0a",
     "FAILED  time-out: 42 of the 84 bytes of an answer came"},
    {Fault::HangUp, "Download Failed!", "Upload Failed!", "Upload Failed!", "Read Decoder Memory Failed!",
     "Clear Decoder Memory Failed!", "the port went away", "FAILED  the port went away"},
    {Fault::Remove, "Download Failed!", "Upload Failed!", "Upload Failed!", "Read Decoder Memory Failed!",
     "Clear Decoder Memory Failed!", "the port went away", "FAILED  the port went away"},
    {Fault::Flood, "Download Failed!", "Upload Failed!", "Upload Failed!", "Read Decoder Memory Failed!",
     "Clear Decoder Memory Failed!", "1048576 bytes", "FAILED  the decoder refused or answered badly"},
    // 84 bytes at 50 ms come within the upload's 7 s; 65 do not within a block's 3 s.
    {Fault::Drip, "Download OK!", "   Upload OK!   ", "VERSION", kTimeOut, "Clear Decoder Memory OK!", "41 42 0d 0a",
     "CHANGED  1 setting(s) changed and verified"},
    {Fault::OtherRate, "Download Failed!", "Upload Failed!", "Upload Failed!", "Read Decoder Memory Failed!",
     "Clear Decoder Memory Failed!", "OTHER-RATE", "FAILED  the decoder refused or answered badly"},
};

QString expectedText(const FaultRow &row, Exchange exchange)
{
    switch (exchange) {
    case Exchange::Download:
    case Exchange::DownloadNotSave: return QLatin1String(row.download);
    case Exchange::Upload: return QLatin1String(row.upload);
    case Exchange::Version: return QLatin1String(row.version);
    case Exchange::ReadMemory: return QLatin1String(row.read);
    case Exchange::ClearMemory: return QLatin1String(row.clear);
    case Exchange::KrTest: return QLatin1String(row.kr);
    case Exchange::Apply: return QLatin1String(row.apply);
    }
    return {};
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

// How one exchange ended.
struct Outcome
{
    bool ended = false;
    QString text;   // the message (or the KR Test box's bytes, or q5ntool's line)
    QString detail; // a box's details
    qint64 ms = 0;
    bool lost = false;
};

} // namespace

Q_DECLARE_METATYPE(Exchange)
Q_DECLARE_METATYPE(q5n::sim::Fault)

class TestFaultMatrix : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_link;    // the adapter's name, as a by-id link
    QString m_cfgPath; // the setup file apply sends and the program keeps
    QByteArray m_cfgBytes;
    ProgramState m_state;
    test::ScriptedPrompter m_prompter;
    SimulatedPortIo m_io{false};
    test::FixedClock m_clock;
    std::unique_ptr<AppContext> m_context;
    QWidget m_owner;

    Outcome runSession(Exchange exchange, sim::SerialDecoder &decoder, Fault fault)
    {
        LinkSession session(*m_context, nullptr, &m_owner);
        LinkExchange &link = session.link();
        const LinkSettings settings = m_state.linkSettings;
        Outcome o;
        m_prompter.messages.clear();
        if (exchange == Exchange::KrTest)
            return runMonitor(session, decoder, fault);
        LinkSession::Exchange e;
        e.kind = ExchangeKind::Download;
        for (const ExchangeRow &r : kExchanges)
            if (r.exchange == exchange)
                e.kind = r.kind;
        const ConfigImage image = m_state.workingImage;
        switch (exchange) {
        case Exchange::Download:
        case Exchange::DownloadNotSave:
            e.start = [&link, settings, image, exchange] {
                link.download(settings, image, exchange == Exchange::Download);
            };
            break;
        case Exchange::Upload:
            e.start = [&link, settings] { link.upload(settings); };
            e.good = [this, &link] { applyUploadReply(link.reply(), m_state.workingImage); };
            break;
        case Exchange::Version: e.start = [&link, settings] { link.upload(settings); }; break;
        case Exchange::ReadMemory: e.start = [&link, settings] { link.readMemory(settings, {}); }; break;
        case Exchange::ClearMemory: e.start = [&link, settings] { link.clearMemory(settings); }; break;
        case Exchange::KrTest:
        case Exchange::Apply: break;
        }
        QSignalSpy finished(&link, &LinkExchange::finished);
        QElapsedTimer clock;
        clock.start();
        session.run(std::move(e));
        o.ended = finished.wait(60000);
        o.ms = clock.elapsed();
        if (o.ended)
            o.lost = finished.first().first().value<LinkResult>() == LinkResult::PortLost;
        if (!m_prompter.messages.isEmpty()) {
            o.text = m_prompter.messages.last().text;
            o.detail = m_prompter.messages.last().detailedText;
        }
        o.ended = o.ended && !link.serialPort().portOpen();
        return o;
    }

    // The KR Test listens; the decoder sends a scan (or floods, or goes away).
    Outcome runMonitor(LinkSession &session, sim::SerialDecoder &decoder, Fault fault)
    {
        LinkExchange &link = session.link();
        Outcome o;
        QByteArray got;
        connect(&link, &LinkExchange::received, &m_owner, [&got](const QByteArray &bytes) { got += bytes; });
        QSignalSpy finished(&link, &LinkExchange::finished);
        if (!session.monitor(m_state.linkSettings)) {
            o.ended = true;
            o.text = m_prompter.messages.value(0).text;
            o.detail = m_prompter.messages.value(0).detailedText;
            return o;
        }
        QElapsedTimer clock;
        clock.start();
        if (fault == Fault::HangUp || fault == Fault::Remove) {
            decoder.remove();
            o.lost = finished.wait(60000) && finished.first().first().value<LinkResult>() == LinkResult::PortLost;
            o.ms = clock.elapsed();
            o.ended = !link.serialPort().portOpen();
            o.text = o.lost ? QStringLiteral("the port went away") : QString();
            return o;
        }
        if (fault == Fault::Flood) {
            decoder.flood();
            (void)QTest::qWaitFor([&got] { return got.size() >= kFloodBytes; }, 60000);
            o.ms = clock.elapsed();
            QTest::qWait(100); // nothing more comes
            o.text = QStringLiteral("%1 bytes").arg(got.size());
        } else {
            const QByteArray expected =
                decoder.model().fault == Fault::OtherRate ? sim::heardAtRate(kScan, 2400, 9600) : kScan;
            decoder.sendScan(kScan);
            (void)QTest::qWaitFor([&] { return got.size() >= expected.size(); }, 10000);
            o.ms = clock.elapsed();
            QTest::qWait(100);
            o.text = QString::fromLatin1(got.toHex(' '));
        }
        // Closing the window stops the listening.
        link.abort();
        o.ended = finished.size() == 1 && !link.serialPort().portOpen();
        return o;
    }

    Outcome runApply()
    {
        Outcome o;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QElapsedTimer clock;
        clock.start();
        const int code = tool::runCommand({QStringLiteral("apply"), m_cfgPath, QStringLiteral("--port"), m_link},
                                          outStream, errStream, kTiming);
        outStream.flush();
        o.ms = clock.elapsed();
        o.ended = true;
        // The port's line: its name, then the status and the reason.
        o.text = out.section(u'\n', 0, 0).mid(m_link.size()).trimmed();
        o.detail = QString::number(code);
        o.lost = code == tool::kPortUnavailable;
        return o;
    }

    Outcome run(Exchange exchange, sim::SerialDecoder &decoder, Fault fault)
    {
        return exchange == Exchange::Apply ? runApply() : runSession(exchange, decoder, fault);
    }

    QString goodText(Exchange exchange, const sim::SerialDecoder &decoder) const
    {
        switch (exchange) {
        case Exchange::Download:
        case Exchange::DownloadNotSave: return QStringLiteral("Download OK!");
        case Exchange::Upload: return QStringLiteral("   Upload OK!   ");
        case Exchange::Version: return firmwareVersionText(decoder.model().versionPart1, decoder.model().versionPart2);
        case Exchange::ReadMemory: return memoryReadOkText();
        case Exchange::ClearMemory: return QStringLiteral("Clear Decoder Memory OK!");
        case Exchange::KrTest: return QString::fromLatin1(kScan.toHex(' '));
        case Exchange::Apply: break;
        }
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_context = std::make_unique<AppContext>(
            AppContext{m_state, m_prompter, m_io, m_clock, test::FormatsContext::makePaths(m_dir), kTiming});
        m_link = m_dir.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A12345-if00-port0"));
        qputenv("Q5NCFG_COM1", QFile::encodeName(m_link));
        // The file sets 19200 baud, which the decoder (factory values) has not.
        ConfigImage file = factoryImage();
        file[16] = quint8(file[16] | 0x0C);
        m_cfgPath = m_dir.filePath(QStringLiteral("fleet.cfg"));
        m_cfgBytes = setupFileBytes(SetupInfo{}, LinkSettings{}, file);
        QCOMPARE(writeFileAtomically(m_cfgPath, m_cfgBytes), QString());
        // Once, before any descriptor is counted: whatever the first exchange
        // opens for good (the tool's and the session's first use) is open.
        sim::SerialDecoder decoder;
        QVERIFY(decoder.open(m_link));
        QVERIFY(runApply().ended);
        QCOMPARE(runSession(Exchange::Upload, decoder, Fault::None).text, QStringLiteral("   Upload OK!   "));
    }

    void matrix_data()
    {
        QTest::addColumn<Exchange>("exchange");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("timeoutMs");
        for (const FaultRow &f : kFaults)
            for (const ExchangeRow &e : kExchanges)
                QTest::addRow("%s x %s", e.name, qPrintable(sim::faultName(f.fault)))
                    << e.exchange << f.fault << expectedText(f, e.exchange) << e.timeoutMs;
    }

    void matrix()
    {
        QFETCH(Exchange, exchange);
        QFETCH(Fault, fault);
        QFETCH(QString, message);
        QFETCH(int, timeoutMs);

        sim::SerialDecoder decoder;
        QVERIFY(decoder.open(m_link));
        decoder.setFault(fault);
        const ConfigImage decoderImage = decoder.model().image;
        m_state.workingImage = test::patternImage(5);
        m_state.savedImage = test::patternImage(6);
        if (message == QLatin1String("VERSION"))
            message = goodText(Exchange::Version, decoder);
        if (message == QLatin1String("OTHER-RATE"))
            message = QString::fromLatin1(sim::heardAtRate(kScan, 2400, 9600).toHex(' '));

        const int before = openDescriptors();
        const Outcome o = run(exchange, decoder, fault);
        const bool away = !decoder.isOpen();
        // While it is away, its name finds no device.
        Outcome whileAway;
        if (away && exchange != Exchange::Apply && exchange != Exchange::KrTest)
            whileAway = run(exchange, decoder, Fault::None);
        if (away)
            QVERIFY(decoder.open(m_link));
        const int after = openDescriptors();

        const QString shown = terminalText(o.text).replace(QLatin1String("<LF>\n"), QLatin1String("<LF>"));
        qInfo("MATRIX %s -> %s, %lld ms, fds %d/%d%s", QTest::currentDataTag(), qPrintable(shown), o.ms, before, after,
              away ? qPrintable(QStringLiteral("; while away: %1 (%2)").arg(whileAway.text, whileAway.detail.trimmed()))
                   : "");

        QVERIFY2(o.ended, "the exchange did not end, or left its port open");
        if (exchange == Exchange::Apply)
            QVERIFY2(o.text.startsWith(message), qPrintable(o.text));
        else
            QCOMPARE(o.text, message);
        if (exchange != Exchange::KrTest) {
            QVERIFY2(o.ms < timeoutMs + kMarginMs, qPrintable(QString::number(o.ms)));
            // A line that went away ends the exchange, not its time-out.
            if (o.lost)
                QVERIFY2(o.ms < timeoutMs, qPrintable(QString::number(o.ms)));
        }
        QCOMPARE(after, before);
        if (away && !whileAway.text.isEmpty()) {
            QCOMPARE(whileAway.text, QStringLiteral("COM 1: not available."));
            QVERIFY2(whileAway.detail.contains(QLatin1String("no such device")), qPrintable(whileAway.detail));
        }
        // Nothing changed where the exchange failed; the file never.
        const bool good = o.text == goodText(exchange, decoder) || o.text.startsWith(QLatin1String("CHANGED"));
        if (!good || exchange != Exchange::Upload) {
            QCOMPARE(m_state.workingImage, test::patternImage(5));
        }
        QCOMPARE(m_state.savedImage, test::patternImage(6));
        QCOMPARE(fileBytes(m_cfgPath), m_cfgBytes);
        if (exchange == Exchange::Apply && !good)
            QCOMPARE(decoder.model().image, decoderImage);

        // The next exchange without the fault works, on the same name.
        decoder.setFault(Fault::None);
        const Outcome next = run(exchange, decoder, Fault::None);
        if (exchange == Exchange::Apply)
            QVERIFY2(next.detail == QLatin1String("0"), qPrintable(next.text));
        else
            QCOMPARE(next.text, goodText(exchange, decoder));
        QCOMPARE(openDescriptors(), before);
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "tst_slow_faultmatrix.moc"
