// The keyboard and RS232 test window against the decoder simulator on a real
// pseudo-terminal: batches in the RS232 box, the keyboard box and its
// counting, the focus, and the port's life with the window's.
#include "app/PageRegistry.h"
#include "link/LinkExchange.h"
#include "link/SerialPort.h"
#include "shell/MainWindow.h"
#include "sim/SerialDecoder.h"
#include "support/TestContext.h"
#include "windows/KrTestWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <memory>

using namespace q5n;
using namespace q5n::test;

namespace {

struct Fixture
{
    explicit Fixture(bool withDecoder = true)
    {
        ctx.context.timing.longPauseMs = 40;
        if (withDecoder) {
            decoder = std::make_unique<sim::SerialDecoder>();
            if (decoder->open()) {
                decoder->setPacing(false);
                qputenv("Q5NCFG_COM1", decoder->devicePath().toLocal8Bit());
            }
        }
        window = std::make_unique<KrTestWindow>(ctx.context);
    }
    ~Fixture()
    {
        window.reset();
        decoder.reset();
        qputenv("Q5NCFG_COM1", "/nonexistent/com1");
    }
    bool show()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
        return QTest::qWaitForWindowActive(window.get());
    }
    QPlainTextEdit *kb() const { return window->findChild<QPlainTextEdit *>(QStringLiteral("txtKB")); }
    QPlainTextEdit *rs() const { return window->findChild<QPlainTextEdit *>(QStringLiteral("TxtRS232")); }
    QCheckBox *crlf() const { return window->findChild<QCheckBox *>(QStringLiteral("Check1")); }
    // Sends one transmission and waits until it is shown.
    bool batch(const QByteArray &bytes)
    {
        const QString before = rs()->toPlainText();
        decoder->sendScan(bytes);
        return QTest::qWaitFor([&] { return rs()->toPlainText() != before && !window->gathering(); }, 3000);
    }

    TestContext ctx;
    std::unique_ptr<sim::SerialDecoder> decoder;
    std::unique_ptr<KrTestWindow> window;
};

} // namespace

class TestKrTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void batches_data();
    void batches();
    void emptiedAfter41Batches();
    void keyboardBoxEmptiedAfter41Enters();
    void keysDuringBatchComeAfterIt();
    void focusStaysInKeyboardBox();
    void absentPortLeavesAKeyboardTest();
    void portLineAndLifetime();
    void lineLostLeavesAKeyboardTest();
    void openedFromMainWindow();
};

void TestKrTest::batches_data()
{
    QTest::addColumn<QList<QByteArray>>("transmissions");
    QTest::addColumn<bool>("crlf");
    QTest::addColumn<QString>("shown");
    QTest::newRow("STX 1 2 CR") << QList<QByteArray>{QByteArray("\x02\x31\x32\x0D")} << true
                                << QStringLiteral("<STX>12<CR>\n");
    QTest::newRow("NUL US blank DEL") << QList<QByteArray>{QByteArray("\x00\x1F\x20\x7F", 4)} << true
                                      << QStringLiteral("<NUL><US> \x7F\n");
    QTest::newRow("8-bit characters") << QList<QByteArray>{QByteArray("\x80\xE9")} << true
                                      << QStringLiteral("\u20AC\u00E9\n");
    QTest::newRow("two batches") << QList<QByteArray>{"AB", "CD"} << true << QStringLiteral("AB\nCD\n");
    QTest::newRow("CR+LF off: run on") << QList<QByteArray>{"AB", "CD"} << false << QStringLiteral("ABCD");
}

void TestKrTest::batches()
{
    QFETCH(QList<QByteArray>, transmissions);
    QFETCH(bool, crlf);
    QFETCH(QString, shown);
    Fixture f;
    QVERIFY(f.show());
    QVERIFY(f.window->portOpen());
    QVERIFY(f.crlf()->isChecked());
    f.crlf()->setChecked(crlf);
    for (const QByteArray &t : transmissions)
        QVERIFY(f.batch(t));
    QCOMPARE(f.rs()->toPlainText(), shown);
    QCOMPARE(f.window->rsLineCount(), crlf ? int(transmissions.size()) : 0);
}

void TestKrTest::emptiedAfter41Batches()
{
    Fixture f;
    QVERIFY(f.show());
    for (int i = 0; i < 40; ++i)
        QVERIFY(f.batch(QByteArray::number(i % 10)));
    // A double click selects a word to copy (the focus goes back to the keyboard
    // box): the next batch goes at the end all the same, and the box scrolls there.
    QScrollBar *bar = f.rs()->verticalScrollBar();
    bar->setValue(0);
    QTest::mouseDClick(f.rs()->viewport(), Qt::LeftButton, {}, QPoint(4, 6));
    QVERIFY(f.batch("end"));
    QCOMPARE(f.rs()->textCursor().selectedText(), QStringLiteral("0"));
    QVERIFY(f.rs()->toPlainText().endsWith(QStringLiteral("9\nend\n")));
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(f.rs()->blockCount(), 42); // 41 lines and the empty one after the last break
    QVERIFY(f.batch("next"));
    QCOMPARE(f.rs()->toPlainText(), QStringLiteral("next\n"));
    QCOMPARE(f.window->rsLineCount(), 1);
    // "Clear" does not reset the count: 40 more batches empty the box again.
    f.window->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(f.rs()->toPlainText(), QString());
    for (int i = 0; i < 40; ++i)
        QVERIFY(f.batch("x"));
    QVERIFY(f.batch("y"));
    QCOMPARE(f.rs()->toPlainText(), QStringLiteral("y\n"));
    // Run-on text, with no line breaks to count, is emptied past a size bound.
    f.crlf()->setChecked(false);
    for (char c = 'a'; c < 'k'; ++c)
        QVERIFY(f.batch(QByteArray(8000, c)));
    QTRY_VERIFY(f.rs()->toPlainText().endsWith(QString(8000, u'j')));
    QVERIFY(!f.rs()->toPlainText().startsWith(u'y'));
}

void TestKrTest::keyboardBoxEmptiedAfter41Enters()
{
    Fixture f(false);
    QVERIFY(f.show());
    for (int i = 0; i < 41; ++i) {
        QTest::keyClick(f.kb(), Qt::Key_A);
        QTest::keyClick(f.kb(), i % 2 ? Qt::Key_Return : Qt::Key_Enter);
    }
    QCOMPARE(f.kb()->blockCount(), 42);
    QCOMPARE(f.window->kbLineCount(), 41);
    QTest::keyClicks(f.kb(), QStringLiteral("z"));
    QCOMPARE(f.kb()->toPlainText(), QStringLiteral("z"));
    QCOMPARE(f.window->kbLineCount(), 0);
    // Run-on text without an Enter: the key after the box is full starts it again.
    f.kb()->setPlainText(QString(KrTestWindow::kBoxLimit, u'x'));
    QTest::keyClicks(f.kb(), QStringLiteral("y"));
    QCOMPARE(f.kb()->toPlainText(), QStringLiteral("y"));
}

void TestKrTest::keysDuringBatchComeAfterIt()
{
    Fixture f;
    f.ctx.context.timing.longPauseMs = 300;
    QVERIFY(f.show());
    bool timerRanWhileGathering = false;
    QString rsWhenKeyArrived;
    QObject::connect(f.kb(), &QPlainTextEdit::textChanged, f.window.get(),
                     [&] { rsWhenKeyArrived = f.rs()->toPlainText(); });
    f.decoder->sendScan("\x02"
                        "data"
                        "\x03");
    QVERIFY(QTest::qWaitFor([&] { return f.window->gathering(); }, 3000));
    // The window goes on handling events while the batch is gathered...
    QTimer::singleShot(10, f.window.get(), [&] { timerRanWhileGathering = f.window->gathering(); });
    QTest::qWait(30);
    QVERIFY(timerRanWhileGathering);
    // ...but keys wait for the batch, then come in their order.
    QTest::keyClicks(f.kb(), QStringLiteral("abc"));
    QCOMPARE(f.kb()->toPlainText(), QString());
    QVERIFY(QTest::qWaitFor([&] { return !f.kb()->toPlainText().isEmpty(); }, 3000));
    QCOMPARE(f.kb()->toPlainText(), QStringLiteral("abc"));
    QCOMPARE(rsWhenKeyArrived, QStringLiteral("<STX>data<ETX>\n"));
}

void TestKrTest::focusStaysInKeyboardBox()
{
    Fixture f(false);
    QVERIFY(f.show());
    QCOMPARE(QApplication::focusWidget(), f.kb());
    const QStringList names = {"TxtRS232", "Check1", "Command1", "Command2"};
    for (const QString &name : names) {
        auto *w = f.window->findChild<QWidget *>(name);
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY2(QApplication::focusWidget() == f.kb(), qPrintable(name));
    }
    // The check box changes by key as by click.
    f.crlf()->setFocus();
    QTest::keyClick(f.crlf(), Qt::Key_Space);
    QCOMPARE(QApplication::focusWidget(), f.kb());
}

void TestKrTest::absentPortLeavesAKeyboardTest()
{
    Fixture f(false);
    QVERIFY(f.show());
    QCOMPARE(f.ctx.prompter.messages.size(), 1);
    QCOMPARE(f.ctx.prompter.messages[0].text, QStringLiteral("COM 1: not available."));
    QCOMPARE(f.ctx.prompter.messages[0].title, QString());
    QCOMPARE(f.ctx.prompter.messages[0].buttons, Prompter::Buttons(Prompter::Button::Ok));
    QVERIFY(f.window->isVisible());
    QVERIFY(!f.window->portOpen());
    QTest::keyClicks(f.kb(), QStringLiteral("123"));
    QCOMPARE(f.kb()->toPlainText(), QStringLiteral("123"));
    f.window->hide();
    QCOMPARE(f.ctx.prompter.messages.size(), 1);
}

void TestKrTest::portLineAndLifetime()
{
    Fixture f;
    f.ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard; // not consulted
    f.ctx.state.linkSettings.serial = {19200, Parity::Even, DataBits::Seven, StopBits::Two};
    QVERIFY(f.show());
    QCOMPARE(f.window->findChild<QLabel *>(QStringLiteral("LblPort"))->text(), QStringLiteral("COM 1 :  19200,E,7,2 "));
    QVERIFY(f.window->portOpen());
    QCOMPARE(serialSettingsText(f.window->link().serialPort().settings()), QStringLiteral("19200,E,7,2 "));
    f.window->close();
    QVERIFY(!f.window->portOpen());
    // Reopening opens it again and checks "CR+LF Enable" afresh.
    f.crlf()->setChecked(false);
    QVERIFY(f.show());
    QVERIFY(f.window->portOpen());
    QVERIFY(f.crlf()->isChecked());
}

void TestKrTest::lineLostLeavesAKeyboardTest()
{
    Fixture f;
    QVERIFY(f.show());
    auto *label = f.window->findChild<QLabel *>(QStringLiteral("LblPort"));
    auto *reopen = f.window->findChild<QPushButton *>(QStringLiteral("cmdReopen"));
    QVERIFY(reopen && !reopen->isVisible());
    QVERIFY(f.batch("A"));
    f.decoder->close(); // the adapter is pulled out
    QTRY_VERIFY(!f.window->portOpen());
    // Said in the window, without a box in the way of the keyboard test.
    QTRY_COMPARE(label->text(), QStringLiteral("COM 1 :  the port went away"));
    QVERIFY(reopen->isVisible());
    QTest::keyClicks(f.kb(), QStringLiteral("still"));
    QCOMPARE(f.kb()->toPlainText(), QStringLiteral("still"));
    QCOMPARE(f.rs()->toPlainText(), QStringLiteral("A\n"));
    QVERIFY(f.ctx.prompter.messages.isEmpty());

    // The adapter is back: Reopen opens its port again.
    QVERIFY(f.decoder->openAsComPort(1));
    f.decoder->setPacing(false);
    reopen->click();
    QVERIFY(f.window->portOpen());
    QVERIFY(!reopen->isVisible());
    QCOMPARE(label->text(), QStringLiteral("COM 1 :  9600,N,8,1 "));
    QCOMPARE(QApplication::focusWidget(), f.kb());
    QVERIFY(f.batch("B"));
    QCOMPARE(f.rs()->toPlainText(), QStringLiteral("A\nB\n"));
    f.window->close();
}

void TestKrTest::openedFromMainWindow()
{
    Fixture f;
    MainWindow main(f.ctx.context);
    registerStandardPages(main);
    QAction *item = main.menuAction(QStringLiteral("mnuToolsKRtest"));
    QVERIFY(item && item->isEnabled());
    // Two sessions through the menu: each opens modal with its port and empty
    // boxes, whatever the one before left in them; Escape ends it.
    QStringList opened;
    for (int session = 0; session < 2; ++session) {
        QTimer::singleShot(0, &main, [&] {
            auto *dialog = main.findChild<KrTestWindow *>(QStringLiteral("DDT"));
            auto *kb = dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtKB"));
            auto *rs = dialog->findChild<QPlainTextEdit *>(QStringLiteral("TxtRS232"));
            opened << QStringLiteral("%1%2[%3][%4]")
                          .arg(dialog->isModal())
                          .arg(dialog->portOpen())
                          .arg(kb->toPlainText(), rs->toPlainText());
            QTest::keyClicks(kb, QStringLiteral("typed"));
            f.decoder->sendScan("AB");
            (void)QTest::qWaitFor([&] { return !rs->toPlainText().isEmpty() && !dialog->gathering(); }, 3000);
            QTest::keyClick(kb, Qt::Key_Escape);
        });
        item->trigger();
    }
    QCOMPARE(opened, QStringList({"11[][]", "11[][]"}));
    QVERIFY(!main.findChild<KrTestWindow *>(QStringLiteral("DDT"))->portOpen());
}

QTEST_MAIN(TestKrTest)
#include "tst_krtest.moc"
