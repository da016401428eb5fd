// Download, upload and firmware version end to end: the program's main
// window opens "Transmit" from its menu, and the decoder simulator answers on
// a real pseudo-terminal (RS232) or on the keyboard line (in process).
#include "app/PageRegistry.h"
#include "link/SerialPort.h"
#include "protocol/Protocol.h"
#include "shell/MainWindow.h"
#include "sim/KeyboardDecoder.h"
#include "sim/SerialDecoder.h"
#include "support/Builders.h"
#include "support/Exchanges.h"
#include "support/TestContext.h"
#include "windows/TransmitWindow.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace q5n;
using namespace q5n::test;
using q5n::sim::Fault;
using q5n::sim::Section;

Q_DECLARE_METATYPE(q5n::sim::Fault)
Q_DECLARE_METATYPE(q5n::sim::Section)

namespace {

const QString kVersion = QStringLiteral("Q5N-SIM V1.0"
                                        "2026/12/07");
const QString kVersionText = QStringLiteral("Get Firmware Version OK!\r\r   Q5N-SIM V1.0\n\r   2026/12/07");

// The program as it runs: main window with every registered page, started up.
struct Program
{
    Program()
    {
        // Shortened intervals; the real ones are tested in tst_slow_link.
        Timing &t = ctx.context.timing;
        t.tokenTickMs = 20;
        t.keyboardBytePauseMs = 0;
        t.downloadAnswerMs = 250;
        t.uploadReplyMs = 300;
        t.keyboardDownloadAnswerMs = 250;
        t.keyboardTextMs = 1500;
        main = std::make_unique<MainWindow>(ctx.context);
        registerStandardPages(*main);
        main->startUp();
        ctx.prompter.messages.clear(); // the port I/O start-up message of the test seam
        main->show();
        main->activateWindow();
    }
    ~Program()
    {
        if (window)
            main->closePage(TransmitWindow::kPage);
        main.reset();
    }

    bool openTransmit()
    {
        QAction *item = main->menuAction(QStringLiteral("mnuConfigTransmit"));
        if (!item)
            return false;
        item->trigger();
        window = main->findChild<TransmitWindow *>(QStringLiteral("frmTransmit"));
        if (!window)
            return false;
        QApplication::setActiveWindow(main.get());
        return QTest::qWaitForWindowExposed(window.data());
    }
    // Clicks a button and runs the events until the exchange it started has ended.
    void click(const QString &name)
    {
        window->findChild<QAbstractButton *>(name)->click();
        test::settle(window);
    }
    Prompter::Message last() const { return ctx.prompter.messages.value(ctx.prompter.messages.size() - 1); }

    TestContext ctx;
    std::unique_ptr<MainWindow> main;
    QPointer<TransmitWindow> window;
};

} // namespace

class TestExchange : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();

    void rs232Download_data();
    void rs232Download();
    void rs232Upload_data();
    void rs232Upload();
    void rs232HangUpMidReply_data();
    void rs232HangUpMidReply();

    void keyboardDownload_data();
    void keyboardDownload();
    void keyboardUpload_data();
    void keyboardUpload();
    void keyboardHelperKilledBetweenDownloads();

private:
    bool startSerialDecoder();

    std::unique_ptr<Program> program;
    std::unique_ptr<sim::SerialDecoder> serial;
};

void TestExchange::cleanup()
{
    program.reset();
    serial.reset();
    qputenv("Q5NCFG_COM1", "/nonexistent/com1");
}

bool TestExchange::startSerialDecoder()
{
    serial = std::make_unique<sim::SerialDecoder>();
    if (!serial->open())
        return false;
    serial->setResponseDelayMs(2);
    qputenv("Q5NCFG_COM1", serial->devicePath().toLocal8Bit());
    return true;
}

// ---- RS232 ----------------------------------------------------------------

void TestExchange::rs232Download_data()
{
    QTest::addColumn<QStringList>("clicks"); // options chosen in the window first
    QTest::addColumn<QString>("line");       // the decoder's line settings
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("command"); // 0: the decoder keeps its image

    QTest::newRow("Save") << QStringList() << "9600,N,8,1" << Fault::None << "Download OK!" << 1;
    QTest::newRow("Not Save") << QStringList{"Option1_0"} << "9600,N,8,1" << Fault::None << "Download OK!" << 2;
    QTest::newRow("19200, even parity, 7 bits, 2 stop")
        << QStringList{"optBaud_4", "optDatabits_0", "Option2_1", "optStopbits_1"} << "19200,E,7,2" << Fault::None
        << "Download OK!" << 1;
    QTest::newRow("refused") << QStringList() << "9600,N,8,1" << Fault::Refuse << "Download Failed!" << 0;
    // A decoder set to another baud rate sees garbage and stays silent.
    QTest::newRow("line settings differ") << QStringList() << "4800,N,8,1" << Fault::None << "Time Out Error!" << 0;
}

void TestExchange::rs232Download()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, line);
    QFETCH(Fault, fault);
    QFETCH(QString, text);
    QFETCH(int, command);
    QVERIFY(startSerialDecoder());
    serial->setLineSettings(*parseSerialSettings(line));
    serial->setFault(fault);
    const ConfigImage decoderImage = patternImage(200);
    serial->setImage(decoderImage);

    program = std::make_unique<Program>();
    program->ctx.context.timing.downloadAnswerMs = 250;
    program->ctx.state.workingImage = patternImage(7);
    QVERIFY(program->openTransmit());
    for (const QString &name : clicks)
        program->click(name);
    program->click(QStringLiteral("cmdTransmit"));

    QCOMPARE(program->ctx.prompter.messages.size(), 1);
    QCOMPARE(program->last().title, QStringLiteral("CFG Message"));
    QCOMPARE(program->last().text, text);
    if (command) {
        QCOMPARE(serial->model().image, patternImage(7));
        QCOMPARE(serial->model().lastDownloadCommand, command);
    } else {
        QCOMPARE(serial->model().image, decoderImage);
    }
    QVERIFY(!program->window->serialPort().portOpen());
    QCOMPARE(program->ctx.state.workingImage, patternImage(7));
}

void TestExchange::rs232Upload_data()
{
    QTest::addColumn<bool>("version");
    QTest::addColumn<Section>("section");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("text");

    QTest::newRow("decoder section") << false << Section::Decoder << Fault::None << "   Upload OK!   ";
    QTest::newRow("reader section") << false << Section::Reader << Fault::None << "   Upload OK!   ";
    QTest::newRow("version") << true << Section::Reader << Fault::None << kVersionText;
    QTest::newRow("version, decoder reply") << true << Section::Decoder << Fault::None << kVersionText;
    QTest::newRow("bad check byte") << false << Section::Reader << Fault::BadCheck << "Upload Failed!";
    QTest::newRow("refused") << false << Section::Reader << Fault::Refuse << "Time Out Error!";
    QTest::newRow("short reply") << false << Section::Decoder << Fault::ShortReply << "Time Out Error!";
    QTest::newRow("silent") << true << Section::Decoder << Fault::Silent << "Time Out Error!";
}

void TestExchange::rs232Upload()
{
    QFETCH(bool, version);
    QFETCH(Section, section);
    QFETCH(Fault, fault);
    QFETCH(QString, text);
    QVERIFY(startSerialDecoder());
    serial->setFault(fault);
    serial->setSection(section);
    serial->setVersionText(kVersion);
    const ConfigImage decoderImage = patternImage(99);
    serial->setImage(decoderImage);

    program = std::make_unique<Program>();
    program->ctx.context.timing.uploadReplyMs = 300;
    const ConfigImage before = patternImage(3);
    program->ctx.state.workingImage = before;
    program->ctx.state.savedImage = before;
    QVERIFY(program->openTransmit());
    program->click(version ? QStringLiteral("CmdVersion") : QStringLiteral("cmdReceive"));

    QCOMPARE(program->ctx.prompter.messages.size(), version ? 1 : 2);
    QCOMPARE(program->last().title, QStringLiteral("Upload Message"));
    QCOMPARE(program->last().text, text);
    ConfigImage expected = before;
    if (!version && text.contains(u"OK")) {
        const int first = section == Section::Reader ? kReaderFirst : kDecoderFirst;
        const int last = section == Section::Reader ? kReaderLast : kDecoderLast;
        for (int i = first; i <= last; ++i)
            expected[i] = decoderImage[i];
    }
    QCOMPARE(program->ctx.state.workingImage, expected);
    QCOMPARE(program->ctx.state.savedImage, before);
    QVERIFY(!program->window->serialPort().portOpen());
}

void TestExchange::rs232HangUpMidReply_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("upload") << "cmdReceive"
                            << "Upload Failed!";
    QTest::newRow("version") << "CmdVersion"
                             << "Upload Failed!";
    QTest::newRow("download") << "cmdTransmit"
                              << "Download Failed!";
}

void TestExchange::rs232HangUpMidReply()
{
    QFETCH(QString, button);
    QFETCH(QString, text);
    QVERIFY(startSerialDecoder());
    serial->setFault(Fault::HangUp);
    serial->setSection(Section::Reader);
    program = std::make_unique<Program>();
    const ConfigImage before = patternImage(11);
    program->ctx.state.workingImage = before;
    QVERIFY(program->openTransmit());
    QElapsedTimer clock;
    clock.start();
    program->click(button);
    // Ended by the hang-up, not by the (real) time-out.
    QVERIFY(clock.elapsed() < 2500);
    QCOMPARE(program->last().text, text);
    QCOMPARE(program->ctx.prompter.messages.size(), button == u"cmdReceive" ? 2 : 1);
    QCOMPARE(program->ctx.state.workingImage, before);
    QVERIFY(!program->window->serialPort().portOpen());
    for (const char *name : {"cmdTransmit", "cmdReceive", "CmdVersion", "cmdClose"})
        QVERIFY(program->window->findChild<QPushButton *>(QLatin1String(name))->isEnabled());
    QTest::qWait(100);
    QCOMPARE(program->ctx.prompter.messages.size(), button == u"cmdReceive" ? 2 : 1);
}

// ---- Keyboard line ---------------------------------------------------------

void TestExchange::keyboardDownload_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("text");
    QTest::newRow("Save") << true << Fault::None << "Download OK!";
    QTest::newRow("Not Save") << false << Fault::None << "Download OK!";
    QTest::newRow("refused") << true << Fault::Refuse << "Download Failed!";
    QTest::newRow("no P") << true << Fault::ShortReply << "Download Failed!";
    QTest::newRow("silent") << true << Fault::Silent << "Times Out Error";
}

void TestExchange::keyboardDownload()
{
    QFETCH(bool, save);
    QFETCH(Fault, fault);
    QFETCH(QString, text);
    program = std::make_unique<Program>();
    sim::KeyboardDecoder decoder;
    decoder.setKeyDelayMs(1);
    decoder.setReplyGapMs(30);
    decoder.attach(program->ctx.portIo);
    decoder.setFault(fault);
    const ConfigImage decoderImage = patternImage(1);
    decoder.setImage(decoderImage);
    program->ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard;
    program->ctx.state.saveOption = save;
    program->ctx.state.workingImage = patternImage(77);
    QVERIFY(program->openTransmit());
    program->click(QStringLiteral("cmdTransmit"));
    decoder.detach();

    QCOMPARE(program->ctx.prompter.messages.size(), 1);
    QCOMPARE(program->last().title, QStringLiteral("CFG Message"));
    QCOMPARE(program->last().text, text);
    if (fault == Fault::None) {
        QCOMPARE(decoder.model().image, patternImage(77));
        QCOMPARE(decoder.model().lastDownloadCommand, save ? 1 : 2);
    } else if (fault != Fault::ShortReply) {
        QCOMPARE(decoder.model().image, decoderImage);
    }
    QCOMPARE(program->ctx.portIo.writes().last().port, PortIo::kInterruptMaskPort);
}

void TestExchange::keyboardUpload_data()
{
    QTest::addColumn<bool>("version");
    QTest::addColumn<Section>("section");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("text");
    QTest::newRow("decoder section") << false << Section::Decoder << Fault::None << "   Upload OK!   ";
    QTest::newRow("reader section") << false << Section::Reader << Fault::None << "   Upload OK!   ";
    QTest::newRow("version") << true << Section::Decoder << Fault::None << kVersionText;
    QTest::newRow("bad check") << false << Section::Reader << Fault::BadCheck << "Upload Failed!";
    QTest::newRow("refused") << false << Section::Reader << Fault::Refuse << "Upload Failed!";
}

void TestExchange::keyboardUpload()
{
    QFETCH(bool, version);
    QFETCH(Section, section);
    QFETCH(Fault, fault);
    QFETCH(QString, text);
    program = std::make_unique<Program>();
    sim::KeyboardDecoder decoder;
    decoder.setKeyDelayMs(1);
    decoder.setReplyGapMs(30);
    decoder.attach(program->ctx.portIo);
    decoder.setFault(fault);
    decoder.setSection(section);
    decoder.setVersionText(kVersion);
    const ConfigImage decoderImage = patternImage(123);
    decoder.setImage(decoderImage);
    program->ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard;
    const ConfigImage before = patternImage(5);
    program->ctx.state.workingImage = before;
    QVERIFY(program->openTransmit());
    program->click(version ? QStringLiteral("CmdVersion") : QStringLiteral("cmdReceive"));
    decoder.detach();

    QCOMPARE(program->last().title, QStringLiteral("Upload Message"));
    QCOMPARE(program->last().text, text);
    ConfigImage expected = before;
    if (!version && fault == Fault::None) {
        const int first = section == Section::Reader ? kReaderFirst : kDecoderFirst;
        const int last = section == Section::Reader ? kReaderLast : kDecoderLast;
        for (int i = first; i <= last; ++i)
            expected[i] = decoderImage[i];
    }
    QCOMPARE(program->ctx.state.workingImage, expected);
}

// The helper that holds the keyboard ports is killed between two downloads:
// the second download starts it again and goes on, token and data complete.
void TestExchange::keyboardHelperKilledBetweenDownloads()
{
    program = std::make_unique<Program>();
    sim::KeyboardDecoder decoder;
    decoder.setKeyDelayMs(1);
    decoder.setReplyGapMs(30);
    decoder.attach(program->ctx.portIo);
    program->ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard;
    program->ctx.state.workingImage = patternImage(77);
    QVERIFY(program->openTransmit());
    program->click(QStringLiteral("cmdTransmit"));
    QCOMPARE(program->last().text, QStringLiteral("Download OK!"));

    const pid_t helper = program->ctx.portThroughHelper.helper().pid();
    QVERIFY(helper > 0);
    QCOMPARE(::kill(helper, SIGKILL), 0);
    // Ended (its descriptors closed), not yet collected by the program.
    const auto ended = [helper] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(helper));
        return stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z ");
    };
    QTRY_VERIFY(ended());
    program->ctx.portIo.clearWrites();
    program->ctx.prompter.messages.clear();
    program->ctx.state.workingImage = patternImage(78);
    program->click(QStringLiteral("cmdTransmit"));
    decoder.detach();

    QCOMPARE(program->ctx.prompter.messages.size(), 1);
    QCOMPARE(program->last().text, QStringLiteral("Download OK!"));
    QCOMPARE(decoder.model().image, patternImage(78));
    QByteArray keys;
    for (const SimulatedPortIo::Write &w : program->ctx.portIo.writes())
        keys += w.port == PortIo::kKeyboardDataPort ? char(w.value) : '|';
    QCOMPARE(keys, "AAAAA|" + keyboardDownloadStream(patternImage(78)).toLatin1() + '|');
}

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
