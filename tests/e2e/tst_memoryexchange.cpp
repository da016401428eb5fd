// Decoder memory read and clear end to end: the program's main window opens
// "Read Decoder Memory" from its menu, and the decoder simulator answers on a
// real pseudo-terminal (RS232) or on the keyboard line (in process).
#include "app/PageRegistry.h"
#include "link/SerialPort.h"
#include "shell/MainWindow.h"
#include "sim/DeviceProtocol.h"
#include "sim/KeyboardDecoder.h"
#include "sim/SerialDecoder.h"
#include "support/Exchanges.h"
#include "support/TestContext.h"
#include "windows/MemoryWindow.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace q5n;
using namespace q5n::test;
using q5n::sim::Fault;
using q5n::sim::MemoryFault;

Q_DECLARE_METATYPE(q5n::sim::Fault)
Q_DECLARE_METATYPE(q5n::sim::MemoryFault)

namespace {

const QString kReadTitle = QStringLiteral("Read Memory Message");
const QString kClearTitle = QStringLiteral("Clear Memory Message");
const QString kReadOk = QStringLiteral("   Read Decoder Memory OK!\r\r");
const QString kReadFailed = QStringLiteral("Read Decoder Memory Failed!");
const QStringList kButtons = {"CmdRead", "cmdClear", "cmdSave", "cmdSaveAs", "CmdDisplay", "CmdClose"};

// `count` lines of `width` characters, each different.
QList<QByteArray> sampleLines(int count, int width)
{
    QList<QByteArray> lines;
    for (int i = 0; i < count; ++i) {
        QByteArray line = QByteArray::number(i).rightJustified(4, '0');
        while (line.size() < width)
            line.append(char('a' + (line.size() + i) % 26));
        lines.append(line.left(width));
    }
    return lines;
}

QString shown(const QList<QByteArray> &lines)
{
    QString text;
    for (const QByteArray &l : lines)
        text += QString::fromLatin1(l) + QStringLiteral("\r\n");
    return text;
}

struct Program
{
    Program()
    {
        Timing &t = ctx.context.timing;
        t.memoryAnswerMs = 600;
        t.tokenTickMs = 40;
        t.memoryTokenPauseMs = 1;
        t.keyboardTextMs = 1500;
        main = std::make_unique<MainWindow>(ctx.context);
        registerStandardPages(*main);
        main->startUp();
        ctx.prompter.messages.clear();
        main->show();
        main->activateWindow();
    }
    ~Program()
    {
        if (window)
            main->closePage(MemoryWindow::kPage);
        main.reset();
    }

    bool openMemory()
    {
        QAction *item = main->menuAction(QStringLiteral("mnuToolsRDM"));
        if (!item)
            return false;
        item->trigger();
        window = main->findChild<MemoryWindow *>(QStringLiteral("frmReadMemory"));
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
    bool buttonsEnabled() const
    {
        for (const QString &name : kButtons)
            if (!window->findChild<QPushButton *>(name)->isEnabled())
                return false;
        return true;
    }

    TestContext ctx;
    std::unique_ptr<MainWindow> main;
    QPointer<MemoryWindow> window;
};

} // namespace

class TestMemoryExchange : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();

    void rs232Read_data();
    void rs232Read();
    void rs232Clear_data();
    void rs232Clear();
    void portMissingKeepsText();
    void closeRefusedDuringRead();

    void keyboardRead_data();
    void keyboardRead();
    void keyboardClear_data();
    void keyboardClear();

private:
    bool startSerialDecoder();

    std::unique_ptr<Program> program;
    std::unique_ptr<sim::SerialDecoder> serial;
};

void TestMemoryExchange::cleanup()
{
    program.reset();
    serial.reset();
    qputenv("Q5NCFG_COM1", "/nonexistent/com1");
}

bool TestMemoryExchange::startSerialDecoder()
{
    serial = std::make_unique<sim::SerialDecoder>();
    if (!serial->open())
        return false;
    serial->setResponseDelayMs(1);
    serial->setPacing(false);
    qputenv("Q5NCFG_COM1", serial->devicePath().toLocal8Bit());
    return true;
}

// ---- RS232 ----------------------------------------------------------------

void TestMemoryExchange::rs232Read_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<MemoryFault>("memoryFault");
    QTest::addColumn<int>("faultBlock");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("linesShown"); // the first lines shown, -1: all

    const QList<QByteArray> three = {"ABC", "hello world", QByteArray("\x01\x7F\xE9", 3)};
    // 62-byte records: 20 take 1240 bytes, 20 blocks.
    const QList<QByteArray> twenty = sampleLines(20, 60);
    QTest::newRow("three lines") << three << Fault::None << MemoryFault::None << 0 << kReadOk << -1;
    // A scanned code can hold CR and LF: each record stays one line, its bytes as read.
    QTest::newRow("CR and LF inside lines")
        << QList<QByteArray>{"AB\rCD", "EF\nGH", "IJ\r\nKL"} << Fault::None << MemoryFault::None << 0 << kReadOk << -1;
    QTest::newRow("empty memory") << QList<QByteArray>() << Fault::None << MemoryFault::None << 0 << kReadOk << -1;
    QTest::newRow("twenty blocks") << twenty << Fault::None << MemoryFault::None << 0 << kReadOk << -1;
    // 40 records of 62 bytes take 39 blocks; the read stops after 31 (1984
    // bytes = 32 records), and the 32nd ends exactly with the 31st block, so
    // it still waits for a byte after it: 31 lines.
    QTest::newRow("31 blocks without end mark")
        << sampleLines(40, 60) << Fault::None << MemoryFault::None << 0 << kReadOk << 31;
    // Block 1 holds bytes 64..127: records 0 (0..61) is complete in block 0
    // only once byte 62 is there, so block 0 shows one line.
    QTest::newRow("bad check in block 1") << twenty << Fault::None << MemoryFault::BadCheck << 1 << kReadFailed << 1;
    QTest::newRow("bad check in block 0") << twenty << Fault::BadCheck << MemoryFault::None << 0 << kReadFailed << 0;
    QTest::newRow("block 2 never comes") << twenty << Fault::None << MemoryFault::Silent << 2 << "Time Out Error!" << 2;
    QTest::newRow("hang-up in block 1") << twenty << Fault::None << MemoryFault::HangUp << 1 << kReadFailed << 1;
    QTest::newRow("over-long record") << three << Fault::None << MemoryFault::OverLong << 0 << kReadFailed << -1;
    QTest::newRow("silent decoder") << three << Fault::Silent << MemoryFault::None << 0 << "Time Out Error!" << 0;
}

void TestMemoryExchange::rs232Read()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(Fault, fault);
    QFETCH(MemoryFault, memoryFault);
    QFETCH(int, faultBlock);
    QFETCH(QString, message);
    QFETCH(int, linesShown);
    QVERIFY(startSerialDecoder());
    serial->setFault(fault);
    serial->model().memoryLines = lines;
    serial->model().memoryFault = memoryFault;
    serial->model().memoryFaultBlock = faultBlock;

    program = std::make_unique<Program>();
    QVERIFY(program->openMemory());
    auto *txt = program->window->findChild<QPlainTextEdit *>(QStringLiteral("TxtMemory"));
    txt->setPlainText(QStringLiteral("left from before"));
    QVERIFY(!program->window->memoryTextShown());
    program->click(QStringLiteral("CmdRead"));

    QCOMPARE(program->ctx.prompter.messages.size(), 2);
    QCOMPARE(program->ctx.prompter.messages[0].text, QStringLiteral("This will read decoder memory data!"));
    QCOMPARE(program->ctx.prompter.messages[0].title, kReadTitle);
    QCOMPARE(program->last().title, kReadTitle);
    QCOMPARE(program->last().text, message);
    const QList<QByteArray> got = linesShown < 0 ? lines : lines.mid(0, linesShown);
    QCOMPARE(program->window->memoryText(), shown(got));
    QCOMPARE(txt->blockCount(), got.size() + 1);
    program->ctx.prompter.queueFile(program->ctx.path(QStringLiteral("m.txt")));
    program->click(QStringLiteral("cmdSaveAs"));
    QFile file(program->ctx.path(QStringLiteral("m.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), (got + QList<QByteArray>{{}, {}}).join("\r\n"));
    QVERIFY(program->window->memoryTextShown());
    QVERIFY(!program->window->serialPort().portOpen());
    QVERIFY(program->buttonsEnabled());
    QCOMPARE(serial->model().memoryReads, fault == Fault::Silent ? 0 : 1);
}

void TestMemoryExchange::rs232Clear_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("done") << Fault::None << "Clear Decoder Memory OK!" << true;
    QTest::newRow("refused") << Fault::Refuse << "Clear Decoder Memory Failed!" << false;
    QTest::newRow("silent") << Fault::Silent << "Time Out Error!" << false;
    QTest::newRow("hang-up") << Fault::HangUp << "Clear Decoder Memory Failed!" << false;
}

void TestMemoryExchange::rs232Clear()
{
    QFETCH(Fault, fault);
    QFETCH(QString, message);
    QFETCH(bool, cleared);
    QVERIFY(startSerialDecoder());
    serial->setFault(fault);
    serial->model().memoryLines = {"ABC"};
    program = std::make_unique<Program>();
    QVERIFY(program->openMemory());
    program->click(QStringLiteral("cmdClear"));

    QCOMPARE(program->ctx.prompter.messages.size(), 2);
    QCOMPARE(program->ctx.prompter.messages[0].text, QStringLiteral("This will Clear decoder memory data!"));
    QCOMPARE(program->last().title, kClearTitle);
    QCOMPARE(program->last().text, message);
    QCOMPARE(serial->model().memoryLines.isEmpty(), cleared);
    QVERIFY(!program->window->serialPort().portOpen());
    QVERIFY(program->buttonsEnabled());
    QVERIFY(!program->window->memoryTextShown());
}

void TestMemoryExchange::portMissingKeepsText()
{
    program = std::make_unique<Program>();
    QVERIFY(program->openMemory());
    auto *txt = program->window->findChild<QPlainTextEdit *>(QStringLiteral("TxtMemory"));
    txt->setPlainText(QStringLiteral("kept"));
    program->click(QStringLiteral("CmdRead"));
    QCOMPARE(program->last().text, QStringLiteral("COM 1: not available."));
    QCOMPARE(program->ctx.prompter.messages.size(), 2);
    QCOMPARE(program->window->memoryText(), QStringLiteral("kept"));
    // Cancelling the question sends nothing.
    program->ctx.prompter.answers.enqueue(Prompter::Button::Cancel);
    program->click(QStringLiteral("cmdClear"));
    QCOMPARE(program->ctx.prompter.messages.size(), 3);
    QVERIFY(program->buttonsEnabled());
}

void TestMemoryExchange::closeRefusedDuringRead()
{
    QVERIFY(startSerialDecoder());
    serial->setFault(Fault::Silent);
    program = std::make_unique<Program>();
    QVERIFY(program->openMemory());
    bool closed = true;
    bool disabled = false;
    QTimer::singleShot(100, program->window, [&] {
        disabled = !program->window->findChild<QPushButton *>(QStringLiteral("CmdClose"))->isEnabled();
        closed = program->main->closePage(MemoryWindow::kPage);
    });
    program->click(QStringLiteral("CmdRead"));
    QVERIFY(disabled);
    QVERIFY(!closed);
    QVERIFY(program->window);
    QCOMPARE(program->last().text, QStringLiteral("Time Out Error!"));
}

// ---- Keyboard line ---------------------------------------------------------

void TestMemoryExchange::keyboardRead_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<QString>("text");
    QTest::newRow("lines") << Fault::None << QString() << QString() << "ABC\r\nline two\r\n";
    QTest::newRow("no answer") << Fault::Silent << "Read Decoder Memory Message"
                               << "Times Out Error"
                               << "left from before";
    // Without the end character the read ends at its time-out, keeping what came.
    QTest::newRow("cut short") << Fault::ShortReply << QString() << QString() << "ABC\r\nli";
}

void TestMemoryExchange::keyboardRead()
{
    QFETCH(Fault, fault);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QFETCH(QString, text);
    program = std::make_unique<Program>();
    program->ctx.context.timing.keyboardTextMs = 800;
    sim::KeyboardDecoder decoder;
    decoder.setKeyDelayMs(1);
    decoder.setReplyGapMs(20);
    decoder.attach(program->ctx.portIo);
    decoder.setFault(fault);
    decoder.model().memoryLines = {"ABC", "line two"};
    program->ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard;
    QVERIFY(program->openMemory());
    program->window->findChild<QPlainTextEdit *>(QStringLiteral("TxtMemory"))
        ->setPlainText(QStringLiteral("left from before"));
    program->click(QStringLiteral("CmdRead"));
    decoder.detach();

    QCOMPARE(program->ctx.prompter.messages.size(), message.isEmpty() ? 1 : 2);
    if (!message.isEmpty()) {
        QCOMPARE(program->last().title, title);
        QCOMPARE(program->last().text, message);
    }
    QCOMPARE(program->window->memoryText(), text);
    QCOMPARE(decoder.lastToken(), QStringLiteral("MMMMM"));
    QCOMPARE(program->ctx.portIo.writes().last().port, PortIo::kInterruptMaskPort);
    QVERIFY(program->buttonsEnabled());
}

void TestMemoryExchange::keyboardClear_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::newRow("cleared") << Fault::None << "Clear Memory Message"
                             << "Clear Decoder Memory OK!";
    QTest::newRow("no answer") << Fault::Silent << "Clear Decoder Memory Message"
                               << "Times Out Error";
}

void TestMemoryExchange::keyboardClear()
{
    QFETCH(Fault, fault);
    QFETCH(QString, title);
    QFETCH(QString, message);
    program = std::make_unique<Program>();
    sim::KeyboardDecoder decoder;
    decoder.setKeyDelayMs(1);
    decoder.attach(program->ctx.portIo);
    decoder.setFault(fault);
    decoder.model().memoryLines = {"ABC"};
    program->ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard;
    QVERIFY(program->openMemory());
    program->click(QStringLiteral("cmdClear"));
    decoder.detach();

    QCOMPARE(program->ctx.prompter.messages.size(), 2);
    QCOMPARE(program->last().title, title);
    QCOMPARE(program->last().text, message);
    QCOMPARE(decoder.model().memoryLines.isEmpty(), fault == Fault::None);
    QCOMPARE(decoder.lastToken(), QStringLiteral("NNNNN"));
}

QTEST_MAIN(TestMemoryExchange)
#include "tst_memoryexchange.moc"
