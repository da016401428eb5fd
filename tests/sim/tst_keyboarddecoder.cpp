// The keyboard-line decoder simulator: bytes written to the keyboard port go
// in, typed keys come out into the focused widget.

#include "link/PortIo.h"
#include "protocol/Hex.h"
#include "sim/KeyboardDecoder.h"
#include "sim/KeyboardSimulation.h"
#include "support/Builders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

using q5n::ConfigImage;
using q5n::PortIo;
using q5n::SimulatedPortIo;
using namespace q5n::sim;

Q_DECLARE_METATYPE(q5n::sim::Fault)
Q_DECLARE_METATYPE(q5n::sim::Section)

namespace {

using q5n::test::patternImage;

// The download stream built here from its layout: hex pairs of the 85 bytes, then of their XOR.
QString downloadText(const ConfigImage &image)
{
    QString text;
    quint8 check = 0;
    for (quint8 b : image.bytes) {
        text += QString::asprintf("%02X", b);
        check ^= b;
    }
    return text + QString::asprintf("%02X", check);
}

} // namespace

// The decoder types with no pause between keys here (the real intervals are
// exercised by tst_slow_keyboarddecoder). These waits run the event loop in
// slices of a millisecond until the condition holds (QTRY_* looks every 50 ms,
// QTest::qWaitFor sleeps between its looks, and typing stops while it sleeps).
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop slice;
        QTimer::singleShot(1, &slice, &QEventLoop::quit);
        slice.exec();
    }
    return true;
}
#define WAIT_VERIFY(expr) QVERIFY(waitUntil([&] { return bool(expr); }))
#define WAIT_COMPARE(actual, expected)                                                                                 \
    do {                                                                                                               \
        waitUntil([&] { return (actual) == (expected); });                                                             \
        QCOMPARE(actual, expected);                                                                                    \
    } while (false)
// Runs the event loop for a while, when checking that nothing more comes.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
// Long enough for any key already due to arrive, when checking that none comes.
constexpr int kSettleMs = 20;

class TestKeyboardDecoder : public QObject
{
    Q_OBJECT

private:
    QWidget *m_window = nullptr;
    QLineEdit *m_edit = nullptr;
    QLineEdit *m_other = nullptr;
    SimulatedPortIo *m_io = nullptr;
    KeyboardDecoder *m_decoder = nullptr;

    void write(const QString &text, quint16 port = PortIo::kKeyboardDataPort)
    {
        for (QChar c : text)
            m_io->SetPortVal(port, c.unicode(), 1);
    }
    // The program clears its answer box once it has seen the "S".
    void clearAfterS()
    {
        connect(m_decoder, &KeyboardDecoder::answerTyped, m_edit, [this](const QString &t) {
            if (t == u"S")
                m_edit->clear();
        });
    }

private Q_SLOTS:
    void init();
    void cleanup();
    void tokens_data();
    void tokens();
    void keysGoWhereTheFocusIsWhenTyped();
    void download_data();
    void download();
    void repeatedTokenRestartsDownload();
    void upload_data();
    void upload();
    void faults_data();
    void faults();
    void memory();
    void scanIsTypedWithReturn();
    void simulationFromEnvironment();
};

void TestKeyboardDecoder::init()
{
    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
    m_edit = new QLineEdit(m_window);
    m_edit->setMaxLength(32767);
    m_other = new QLineEdit(m_window);
    layout->addWidget(m_edit);
    layout->addWidget(m_other);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    m_edit->setFocus();
    WAIT_COMPARE(QApplication::focusWidget(), m_edit);

    m_io = new SimulatedPortIo(true);
    m_decoder = new KeyboardDecoder;
    m_decoder->setKeyDelayMs(0);
    m_decoder->setReplyGapMs(0);
    m_decoder->attach(*m_io);
}

void TestKeyboardDecoder::cleanup()
{
    delete m_decoder;
    delete m_io;
    delete m_window;
}

void TestKeyboardDecoder::tokens_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<quint16>("port");
    QTest::addColumn<QString>("token"); // empty: none recognised, nothing typed

    const quint16 data = PortIo::kKeyboardDataPort;
    QTest::newRow("download save") << "AAAAA" << data << "AAAAA";
    QTest::newRow("download not save") << "BBBBB" << data << "BBBBB";
    QTest::newRow("upload") << "CCCCC" << data << "CCCCC";
    QTest::newRow("memory read") << "MMMMM" << data << "MMMMM";
    QTest::newRow("memory clear") << "NNNNN" << data << "NNNNN";
    QTest::newRow("after noise") << "xyCCCCC" << data << "CCCCC";
    QTest::newRow("four letters") << "CCCC" << data << "";
    QTest::newRow("mixed letters") << "AAAAB" << data << "";
    QTest::newRow("lower case") << "ccccc" << data << "";
    QTest::newRow("not a token letter") << "DDDDD" << data << "";
    QTest::newRow("interrupt mask port") << "CCCCC" << PortIo::kInterruptMaskPort << "";
}

void TestKeyboardDecoder::tokens()
{
    QFETCH(QString, written);
    QFETCH(quint16, port);
    QFETCH(QString, token);

    QSignalSpy recognised(m_decoder, &KeyboardDecoder::tokenRecognised);
    write(written, port);
    if (token.isEmpty()) {
        settle(kSettleMs);
        QCOMPARE(recognised.size(), 0);
        QCOMPARE(m_edit->text(), QString());
        return;
    }
    QCOMPARE(recognised.size(), 1); // at once, on the fifth letter
    QCOMPARE(recognised[0][0].toString(), token);
    QCOMPARE(m_edit->text(), QString()); // typing is never synchronous with the write
    WAIT_VERIFY(m_edit->text().startsWith(u'S'));
}

void TestKeyboardDecoder::keysGoWhereTheFocusIsWhenTyped()
{
    // The program moves the focus to its answer box between the handshake and
    // the reply: the reply follows the focus.
    m_decoder->setReplyGapMs(30);
    connect(m_decoder, &KeyboardDecoder::answerTyped, m_other, [this](const QString &t) {
        if (t == u"S")
            m_other->setFocus();
    });
    write(QStringLiteral("CCCCC"));
    WAIT_COMPARE(m_edit->text(), QStringLiteral("S"));
    WAIT_COMPARE(m_other->text().size(), 145);
    QCOMPARE(m_edit->text(), QStringLiteral("S"));
}

void TestKeyboardDecoder::download_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("stream");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("command");

    const ConfigImage image = patternImage(11);
    const QString good = downloadText(image);
    QString badCheck = good;
    badCheck[171] = badCheck[171] == u'0' ? u'1' : u'0';
    QString notHex = good;
    notHex[10] = u'G';
    QTest::newRow("save") << "AAAAA" << good << "P" << 1;
    QTest::newRow("not save") << "BBBBB" << good << "P" << 2;
    QTest::newRow("lower-case digits") << "AAAAA" << good.toLower() << "P" << 1;
    QTest::newRow("all-zero image") << "AAAAA" << downloadText(ConfigImage{}) << "P" << 1;
    QTest::newRow("wrong check pair") << "AAAAA" << badCheck << "E" << 0;
    QTest::newRow("not a hex digit") << "AAAAA" << notHex << "E" << 0;
}

void TestKeyboardDecoder::download()
{
    QFETCH(QString, token);
    QFETCH(QString, stream);
    QFETCH(QString, answer);
    QFETCH(int, command);

    clearAfterS();
    const ConfigImage before = m_decoder->model().image;
    write(token);
    WAIT_COMPARE(m_decoder->typedText(), QStringLiteral("S"));
    write(stream.left(171));
    settle(kSettleMs);
    QCOMPARE(m_decoder->typedText(), QStringLiteral("S")); // nothing before the last character
    write(stream.mid(171));
    WAIT_COMPARE(m_edit->text(), answer);
    if (command) {
        ConfigImage sent;
        for (int i = 0; i < q5n::kImageSize; ++i)
            sent[i] = quint8(stream.mid(2 * i, 2).toUInt(nullptr, 16));
        QCOMPARE(m_decoder->model().image, sent);
        QCOMPARE(m_decoder->model().lastDownloadCommand, command);
    } else {
        QCOMPARE(m_decoder->model().image, before);
        QCOMPARE(m_decoder->model().downloadsRefused, 1);
    }
    // Back to listening for tokens.
    write(QStringLiteral("CCCCC"));
    WAIT_VERIFY(m_decoder->typedText().startsWith(QStringLiteral("S") + answer + u'S'));
}

void TestKeyboardDecoder::repeatedTokenRestartsDownload()
{
    // The program missed the first "S" and sends its token again.
    clearAfterS();
    write(QStringLiteral("AAAAA"));
    WAIT_COMPARE(m_decoder->typedText(), QStringLiteral("S"));
    write(QStringLiteral("AAAAA"));
    WAIT_COMPARE(m_decoder->typedText(), QStringLiteral("SS"));
    write(downloadText(patternImage(2)));
    WAIT_COMPARE(m_edit->text(), QStringLiteral("P"));
    QCOMPARE(m_decoder->model().image, patternImage(2));
}

void TestKeyboardDecoder::upload_data()
{
    QTest::addColumn<Section>("section");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::newRow("decoder section") << Section::Decoder << "1" << 0 << 25;
    QTest::newRow("reader section") << Section::Reader << "0" << 25 << 60;
}

void TestKeyboardDecoder::upload()
{
    QFETCH(Section, section);
    QFETCH(QString, flag);
    QFETCH(int, first);
    QFETCH(int, count);

    clearAfterS();
    const ConfigImage image = patternImage(7);
    m_decoder->setImage(image);
    m_decoder->setSection(section);
    m_decoder->setVersionText(QStringLiteral("FIRMWARE-12 2026-12-07"));
    write(QStringLiteral("CCCCC"));
    WAIT_COMPARE(m_edit->text().size(), 145);
    settle(kSettleMs);
    const QString text = m_edit->text();
    QCOMPARE(text.size(), 145); // no more than that

    QCOMPARE(text.left(1), flag);
    quint8 check = 0;
    for (int i = 0; i <= count; ++i) {
        bool ok = false;
        const quint8 b = quint8(text.mid(1 + 2 * i, 2).toUInt(&ok, 16));
        QVERIFY(ok);
        if (i < count)
            QCOMPARE(b, image[first + i]);
        check ^= b;
    }
    QCOMPARE(check, quint8(0));
    const int filler = 145 - 22 - (1 + 2 * (count + 1));
    QCOMPARE(text.mid(1 + 2 * (count + 1), filler), QString(filler, u'0'));
    QCOMPARE(text.right(22), QStringLiteral("FIRMWARE-12 2026-12-07"));
}

void TestKeyboardDecoder::faults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("typed"); // what is typed in all; "<n>" for n characters of the upload reply
    QTest::addColumn<bool>("checkOk");

    QTest::newRow("silent upload") << Fault::Silent << "CCCCC"
                                   << "" << false;
    QTest::newRow("silent download") << Fault::Silent << "AAAAA"
                                     << "" << false;
    QTest::newRow("refuse upload") << Fault::Refuse << "CCCCC"
                                   << "SE" << false;
    QTest::newRow("refuse download") << Fault::Refuse << "AAAAA"
                                     << "SE" << false;
    QTest::newRow("bad check upload") << Fault::BadCheck << "CCCCC"
                                      << "<145>" << false;
    QTest::newRow("short upload") << Fault::ShortReply << "CCCCC"
                                  << "<100>" << false;
    QTest::newRow("short download") << Fault::ShortReply << "AAAAA"
                                    << "S" << false;
    QTest::newRow("hang-up upload") << Fault::HangUp << "CCCCC"
                                    << "<100>" << false;
}

void TestKeyboardDecoder::faults()
{
    QFETCH(Fault, fault);
    QFETCH(QString, token);
    QFETCH(QString, typed);
    QFETCH(bool, checkOk);

    clearAfterS();
    const ConfigImage before = m_decoder->model().image;
    m_decoder->setFault(fault);
    write(token);
    if (token == u"AAAAA") {
        settle(kSettleMs);
        write(downloadText(patternImage(4)));
    }
    settle(kSettleMs);
    WAIT_VERIFY(!m_decoder->isTyping());
    settle(kSettleMs);
    if (typed.startsWith(u'<')) {
        const int n = typed.mid(1, typed.size() - 2).toInt();
        const QString text = m_edit->text();
        QCOMPARE(text.size(), n);
        if (n == 145) {
            quint8 check = 0;
            for (int i = 0; i < 26; ++i)
                check ^= quint8(text.mid(1 + 2 * i, 2).toUInt(nullptr, 16));
            QCOMPARE(check == 0, checkOk);
        }
    } else {
        QCOMPARE(m_decoder->typedText(), typed);
    }
    if (token == u"AAAAA") {
        // A refusing or silent decoder keeps its image; a short one took it but withholds "P".
        const bool taken = fault == Fault::ShortReply;
        QCOMPARE(m_decoder->model().image, taken ? patternImage(4) : before);
        QCOMPARE(m_decoder->model().downloadsAccepted, taken ? 1 : 0);
    }
}

void TestKeyboardDecoder::memory()
{
    m_decoder->model().memoryLines = {QByteArrayLiteral("12345"), QByteArrayLiteral("AB C")};
    write(QStringLiteral("MMMMM"));
    WAIT_COMPARE(m_decoder->typedText(), QStringLiteral("S12345\rAB C\r") + QChar(3));
    QCOMPARE(m_decoder->model().memoryReads, 1);

    m_decoder->clearTyped();
    write(QStringLiteral("NNNNN"));
    WAIT_COMPARE(m_decoder->typedText(), QStringLiteral("S"));
    QVERIFY(m_decoder->model().memoryLines.isEmpty());

    m_decoder->clearTyped();
    write(QStringLiteral("MMMMM"));
    WAIT_COMPARE(m_decoder->typedText(), QStringLiteral("S") + QChar(3));
}

void TestKeyboardDecoder::scanIsTypedWithReturn()
{
    QSignalSpy returns(m_edit, &QLineEdit::returnPressed);
    m_decoder->typeScan(QStringLiteral("Code 39: ABC-123"));
    WAIT_COMPARE(returns.size(), 1);
    QCOMPARE(m_edit->text(), QStringLiteral("Code 39: ABC-123"));
}

void TestKeyboardDecoder::simulationFromEnvironment()
{
    qunsetenv(KeyboardSimulation::kEnvironmentVariable);
    QVERIFY(!KeyboardSimulation::fromEnvironment());
    qputenv(KeyboardSimulation::kEnvironmentVariable, "0");
    QVERIFY(!KeyboardSimulation::fromEnvironment());
    qputenv(KeyboardSimulation::kEnvironmentVariable, "1");
    const auto sim = KeyboardSimulation::fromEnvironment();
    qunsetenv(KeyboardSimulation::kEnvironmentVariable);
    QVERIFY(sim);
    QVERIFY(sim->portIo.InitializeWinIo()); // start-up succeeds: no start-up message
    sim->decoder.setKeyDelayMs(0);
    for (QChar c : QStringLiteral("CCCCC"))
        sim->portIo.SetPortVal(PortIo::kKeyboardDataPort, c.unicode(), 1);
    WAIT_VERIFY(m_edit->text().startsWith(u'S'));
}

QTEST_MAIN(TestKeyboardDecoder)
#include "tst_keyboarddecoder.moc"
