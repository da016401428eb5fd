// The link-window contract, once for every window that talks to the decoder
// and every button that starts an exchange: while the exchange runs the panel,
// the buttons and the program's commands are disabled, the window says what it
// waits for and refuses to close; once it has ended everything is enabled
// again, the focus is back on the button, the waiting line is empty and one
// message has been shown ("COM 1: not available." for a port that cannot be
// opened). One row per kind of ending: a silent decoder (time-out), a garbage
// answer (a flood: a bad reply), a device removed mid-exchange (the line lost;
// a click while it is away finds no device, and once it is back the next
// exchange works) and a port that is missing. The busy window of "Compare with
// Decoder" keeps it too, and the KR test reports its port as they do.
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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace q5n;

namespace {

enum class Ending { TimeOut, BadAnswer, Removed, PortMissing };

// The decoder behind Com 1, as a by-id link names an adapter.
struct Decoder
{
    explicit Decoder(Ending ending)
    {
        link = dir.filePath(QStringLiteral("usb-adapter"));
        if (!sim.open(link))
            return;
        sim.setFault(ending == Ending::BadAnswer ? sim::Fault::Flood
                     : ending == Ending::Removed ? sim::Fault::Remove
                                                 : sim::Fault::Silent);
        if (ending != Ending::PortMissing)
            qputenv("Q5NCFG_COM1", QFile::encodeName(link));
    }
    QTemporaryDir dir;
    QString link;
    sim::SerialDecoder sim;
};

// The last message of an ending; the failure texts of a bad answer or a lost line name the exchange.
bool endedWith(const QString &text, Ending ending)
{
    switch (ending) {
    case Ending::TimeOut: return text.contains(u"Time Out");
    case Ending::BadAnswer:
    case Ending::Removed: return text.endsWith(QLatin1String("Failed!"));
    case Ending::PortMissing: return text == QLatin1String("COM 1: not available.");
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Ending)

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
        QTest::addColumn<Ending>("ending");
        for (const auto &[name, ending] : endings())
            QTest::newRow(name) << ending;
    }
    static QList<std::pair<const char *, Ending>> endings()
    {
        return {{"silent decoder", Ending::TimeOut},
                {"garbage answer", Ending::BadAnswer},
                {"device removed", Ending::Removed},
                {"port missing", Ending::PortMissing}};
    }
};

void TestLinkWindows::contract_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<Ending>("ending");
    const std::pair<int, const char *> buttons[] = {
        {TransmitWindow::kPage, "cmdTransmit"}, {TransmitWindow::kPage, "cmdReceive"},
        {TransmitWindow::kPage, "CmdVersion"},  {MemoryWindow::kPage, "CmdRead"},
        {MemoryWindow::kPage, "cmdClear"},
    };
    for (const auto &[page, button] : buttons)
        for (const auto &[name, ending] : endings())
            QTest::addRow("%s, %s", button, name) << page << QString::fromLatin1(button) << ending;
}

void TestLinkWindows::contract()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(Ending, ending);
    const bool portMissing = ending == Ending::PortMissing;
    test::TestContext ctx;
    Timing &t = ctx.context.timing;
    t.downloadAnswerMs = t.uploadReplyMs = t.memoryAnswerMs = 200;
    Decoder decoder(ending);
    QVERIFY(decoder.sim.isOpen());
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
    QVERIFY2(endedWith(ctx.prompter.messages.last().text, ending), qPrintable(ctx.prompter.messages.last().text));
    if (ending == Ending::Removed) {
        // Away: its name finds no device. Back: the next exchange works.
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(test::settle(window));
        QCOMPARE(ctx.prompter.messages.last().text, QStringLiteral("COM 1: not available."));
        QVERIFY2(ctx.prompter.messages.last().detailedText.contains(u"no such device"),
                 qPrintable(ctx.prompter.messages.last().detailedText));
        QVERIFY(decoder.sim.open(decoder.link));
        decoder.sim.setFault(sim::Fault::None);
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(test::settle(window));
        QVERIFY2(ctx.prompter.messages.last().text.contains(u"OK!"), qPrintable(ctx.prompter.messages.last().text));
        QVERIFY(!window->serialPort().portOpen());
        QCOMPARE(QApplication::focusWidget(), b);
        // The lines read are not kept.
        if (button == u"CmdRead")
            ctx.prompter.answers.enqueue(Prompter::Button::No);
    }
    QVERIFY(main.closePage(page));
}

void TestLinkWindows::compareUpload()
{
    QFETCH(Ending, ending);
    const bool portMissing = ending == Ending::PortMissing;
    test::TestContext ctx;
    ctx.context.timing.uploadReplyMs = 200;
    Decoder decoder(ending);
    QVERIFY(decoder.sim.isOpen());
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
    // The running dialog is seen while a silent decoder is waited for; the
    // other endings may come before the first look.
    QVERIFY(checked || ending != Ending::TimeOut);
    QVERIFY(!checked || !portMissing);
    QVERIFY(!main.exchangeRunning() && item->isEnabled());
    QCOMPARE(ctx.prompter.messages.size(), 1);
    QVERIFY2(endedWith(ctx.prompter.messages.last().text, ending), qPrintable(ctx.prompter.messages.last().text));
    if (ending != Ending::PortMissing && ending != Ending::TimeOut)
        QCOMPARE(ctx.prompter.messages.last().text, QStringLiteral("Upload Failed!"));
}

void TestLinkWindows::krTest()
{
    // The KR Test sends no request: a silent decoder is a quiet port, a flood
    // is shown as far as the box holds it, a removal is said in the window.
    QFETCH(Ending, ending);
    const bool portMissing = ending == Ending::PortMissing;
    test::TestContext ctx;
    ctx.context.timing.longPauseMs = 40;
    Decoder decoder(ending);
    QVERIFY(decoder.sim.isOpen());
    KrTestWindow window(ctx.context);
    window.show();
    QCOMPARE(window.portOpen(), !portMissing);
    QCOMPARE(ctx.prompter.messages.size(), portMissing ? 1 : 0);
    if (portMissing)
        QCOMPARE(ctx.prompter.messages.last().text, QStringLiteral("COM 1: not available."));
    auto *rs = window.findChild<QPlainTextEdit *>(QStringLiteral("TxtRS232"));
    auto *label = window.findChild<QLabel *>(QStringLiteral("LblPort"));
    if (ending == Ending::BadAnswer) {
        decoder.sim.flood();
        QTRY_VERIFY_WITH_TIMEOUT(
            decoder.sim.pendingOutput() == 0 && !window.gathering() && !rs->toPlainText().isEmpty(), 20000);
        QVERIFY(window.portOpen());
        QVERIFY(rs->document()->characterCount() <= 3 * 1024 * 1024);
    }
    if (ending == Ending::Removed) {
        decoder.sim.remove();
        QTRY_COMPARE(label->text(), QStringLiteral("COM 1 :  the port went away"));
        QVERIFY(!window.portOpen());
        QVERIFY(ctx.prompter.messages.isEmpty());
    }
    window.hide();
    QVERIFY(!window.portOpen());
}

QTEST_MAIN(TestLinkWindows)
#include "tst_linkwindows.moc"
