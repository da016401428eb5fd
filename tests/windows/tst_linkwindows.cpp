// The link-window contract, once for every window that talks to the decoder
// and every button that starts an exchange: while the exchange runs the panel,
// the buttons and the program's commands are disabled, the window says what it
// waits for and refuses to close; once it has ended everything is enabled
// again, the focus is back on the button, the waiting line is empty and one
// message has been shown ("COM 1: not available." for a port that cannot be
// opened). The busy window of "Compare with Decoder" keeps it too, and the KR
// test reports its port as they do.
#include "link/SerialPort.h"
#include "shell/CompareCommands.h"
#include "shell/MainWindow.h"
#include "sim/SerialDecoder.h"
#include "support/Exchanges.h"
#include "support/TestContext.h"
#include "windows/CompareWindowCommands.h"
#include "windows/DecoderUploadDialog.h"
#include "windows/KrTestWindow.h"
#include "windows/LinkSettingsPanel.h"
#include "windows/MemoryWindow.h"
#include "windows/TransmitWindow.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace q5n;

class TestLinkWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { qputenv("Q5NCFG_COM1", "/nonexistent/com1"); }
    void contract_data();
    void contract();
    void compareUpload_data() { portRows(); }
    void compareUpload();
    void krTest_data() { portRows(); }
    void krTest();

private:
    static void portRows()
    {
        QTest::addColumn<bool>("portMissing");
        QTest::newRow("silent decoder") << false;
        QTest::newRow("port missing") << true;
    }
};

void TestLinkWindows::contract_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("portMissing");
    const std::pair<int, const char *> buttons[] = {
        {TransmitWindow::kPage, "cmdTransmit"}, {TransmitWindow::kPage, "cmdReceive"},
        {TransmitWindow::kPage, "CmdVersion"},  {MemoryWindow::kPage, "CmdRead"},
        {MemoryWindow::kPage, "cmdClear"},
    };
    for (const auto &[page, button] : buttons) {
        QTest::addRow("%s, silent decoder", button) << page << QString::fromLatin1(button) << false;
        QTest::addRow("%s, port missing", button) << page << QString::fromLatin1(button) << true;
    }
}

void TestLinkWindows::contract()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(bool, portMissing);
    test::TestContext ctx;
    Timing &t = ctx.context.timing;
    t.downloadAnswerMs = t.uploadReplyMs = t.memoryAnswerMs = 200;
    sim::SerialDecoder decoder;
    QVERIFY(decoder.open());
    decoder.setFault(sim::Fault::Silent);
    if (!portMissing)
        qputenv("Q5NCFG_COM1", decoder.devicePath().toLocal8Bit());
    MainWindow main(ctx.context);
    main.registerPage(TransmitWindow::kPage, &createTransmitWindow);
    main.registerPage(MemoryWindow::kPage, &createMemoryWindow);
    main.show();
    auto *window = qobject_cast<LinkWindow *>(main.showPage(page));
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QApplication::setActiveWindow(&main);
    auto *panel = window->findChild<LinkSettingsPanel *>();
    auto *status = window->findChild<QLabel *>(QStringLiteral("LblWait"));
    QPushButton *b = window->findChild<QPushButton *>(button);
    QVERIFY(panel && status && b);

    bool checked = false;
    connect(&window->link(), &LinkExchange::waiting, window, [&](LinkExchange::Waiting what, int) {
        if (checked || what == LinkExchange::Waiting::Nothing)
            return;
        checked = true;
        QVERIFY(!panel->isEnabled());
        for (QPushButton *other : window->exchangeButtons())
            QVERIFY(!other->isEnabled());
        QVERIFY(!window->canClose());
        QVERIFY(!main.closePage(page));
        QVERIFY(!status->text().isEmpty());
    });
    QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(test::settle(window));
    QCOMPARE(checked, !portMissing);
    QVERIFY(panel->isEnabled());
    for (QPushButton *other : window->exchangeButtons())
        QVERIFY(other->isEnabled());
    QCOMPARE(QApplication::focusWidget(), b);
    QVERIFY(status->text().isEmpty());
    QVERIFY(!window->serialPort().portOpen());
    // The confirmation (upload and memory commands), then the result.
    QVERIFY(!ctx.prompter.messages.isEmpty());
    if (portMissing)
        QCOMPARE(ctx.prompter.messages.last().text, QStringLiteral("COM 1: not available."));
    else
        QVERIFY(ctx.prompter.messages.last().text.contains(u"Time Out"));
    QVERIFY(main.closePage(page));
}

void TestLinkWindows::compareUpload()
{
    QFETCH(bool, portMissing);
    test::TestContext ctx;
    ctx.context.timing.uploadReplyMs = 200;
    sim::SerialDecoder decoder;
    QVERIFY(decoder.open());
    decoder.setFault(sim::Fault::Silent);
    if (!portMissing)
        qputenv("Q5NCFG_COM1", decoder.devicePath().toLocal8Bit());
    MainWindow main(ctx.context);
    main.setCompareFactory(&createCompareCommands);
    main.show();
    QAction *item = main.menuAction(QStringLiteral("mnuToolsCompareDecoder"));
    item->trigger();
    QPointer<DecoderUploadDialog> dialog = main.findChild<DecoderUploadDialog *>();
    QVERIFY(dialog);
    auto *status = dialog->findChild<QLabel *>(QStringLiteral("LblWait"));
    bool checked = false;
    connect(&dialog->link(), &LinkExchange::waiting, dialog, [&](LinkExchange::Waiting what, int) {
        if (checked || what == LinkExchange::Waiting::Nothing)
            return;
        checked = true;
        QVERIFY(main.exchangeRunning() && !item->isEnabled());
        QVERIFY(dialog->isVisible());
        QVERIFY(!status->text().isEmpty());
    });
    QTRY_VERIFY(!dialog);
    QCOMPARE(checked, !portMissing);
    QVERIFY(!main.exchangeRunning() && item->isEnabled());
    QCOMPARE(ctx.prompter.messages.size(), 1);
    QCOMPARE(ctx.prompter.messages.last().text,
             portMissing ? QStringLiteral("COM 1: not available.") : QStringLiteral("Time Out Error!"));
}

void TestLinkWindows::krTest()
{
    QFETCH(bool, portMissing);
    test::TestContext ctx;
    sim::SerialDecoder decoder;
    QVERIFY(decoder.open());
    if (!portMissing)
        qputenv("Q5NCFG_COM1", decoder.devicePath().toLocal8Bit());
    KrTestWindow window(ctx.context);
    window.show();
    QCOMPARE(window.portOpen(), !portMissing);
    QCOMPARE(ctx.prompter.messages.size(), portMissing ? 1 : 0);
    if (portMissing)
        QCOMPARE(ctx.prompter.messages.last().text, QStringLiteral("COM 1: not available."));
    window.hide();
    QVERIFY(!window.portOpen());
}

QTEST_MAIN(TestLinkWindows)
#include "tst_linkwindows.moc"
