// The Transmit window: link settings, the opening procedure of the serial
// port, and download / upload / firmware version over RS232 (against a
// pseudo-terminal driven here) and over the keyboard port (against a scripted
// keyboard-line decoder).
#include "files/PortRecordFile.h"
#include "link/KeyboardChannel.h"
#include "link/PtyPeer.h"
#include "link/ScriptedKeyboardDecoder.h"
#include "link/TransmitFixture.h"
#include "protocol/Hex.h"
#include "protocol/Protocol.h"
#include "support/Builders.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QToolBar>

#include <unistd.h>

using namespace q5n;
using namespace q5n::test;

namespace {

QByteArray rs232Reply(int n, const QByteArray &data, const QByteArray &version22, int total, bool badCheck = false)
{
    return makeRs232Reply(n, data, version22.left(12), version22.mid(12), total, badCheck);
}

QByteArray sectionBytes(int count, int seed)
{
    return bytesFrom(count, seed, 29);
}

QString keyboardReply(bool reader, const QByteArray &data, const QString &version22)
{
    return makeKeyboardReply(reader ? u'0' : u'1', data, reader ? QString() : QString(70, u'.'), version22);
}

const QString kVersion22 = QStringLiteral("Q5N FW 4.2  2026-11-30");
const QString kVersionText = QStringLiteral("Get Firmware Version OK!\r\r   Q5N FW 4.2  \n\r   2026-11-30");

} // namespace

class TestTransmitWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void names();
    void pageContract();
    void clicks_data();
    void clicks();
    void loading_data();
    void loading();
    void reopenShowsStoredParity();
    void portTooltips();
    void tooltipShowsPathAsText();
    void tabOrderFollowsScreen();
    void accessibilityActions();
    void notAvailable_data();
    void notAvailable();

    void rs232Download_data();
    void rs232Download();
    void rs232Upload_data();
    void rs232Upload();
    void uploadCancelSendsNothing();
    void parityRuleKeptAfterExchange();
    void closeRefusedWhileBusy();
    void busyLocksConfigurationAndLink_data();
    void busyLocksConfigurationAndLink();
    void focusReturnsToStartingButton_data();
    void focusReturnsToStartingButton();
    void hangUp_data();
    void hangUp();

    void keyboardDownload_data();
    void keyboardDownload();
    void keyboardUpload_data();
    void keyboardUpload();
    void keyboardHandshakeTimeout_data();
    void keyboardHandshakeTimeout();

private:
    // A pseudo-terminal as COM 1 that answers each complete request.
    void attachPeer(std::function<QByteArray(const QByteArray &)> answer);

    std::unique_ptr<TransmitFixture> f;
    std::unique_ptr<PtyPeer> peer;
};

void TestTransmitWindow::init()
{
    f = std::make_unique<TransmitFixture>();
}

void TestTransmitWindow::cleanup()
{
    f.reset();
    peer.reset();
    qputenv("Q5NCFG_COM1", "/nonexistent/com1");
}

void TestTransmitWindow::attachPeer(std::function<QByteArray(const QByteArray &)> answer)
{
    peer = std::make_unique<PtyPeer>();
    QVERIFY(peer->isValid());
    qputenv("Q5NCFG_COM1", peer->slavePath().toLocal8Bit());
    peer->onReceived = [this, answer](const QByteArray &all) {
        const QByteArray reply = answer(all);
        if (!reply.isEmpty())
            peer->send(reply);
    };
}

// ---- Settings -----------------------------------------------------------

void TestTransmitWindow::names()
{
    // Every frame, option and button by its name, with its caption (one
    // window for the whole table).
    const QList<std::pair<const char *, const char *>> rows = {
        {"Frame1", "Interface"},
        {"FraPort", "Port"},
        {"Frame4", "Baud Rate"},
        {"Frame2", "Data Bits"},
        {"Frame3", "Stop Bits"},
        {"Frame6", "Parity"},
        {"Frame5", "Download Option"},
        {"OptMode_0", "Keyboard"},
        {"OptMode_1", "RS232"},
        {"OptPort_0", "Com 1"},
        {"OptPort_5", "Com 6"},
        {"optBaud_0", "1200"},
        {"optBaud_1", "2400"},
        {"optBaud_2", "4800"},
        {"optBaud_3", "9600"},
        {"optBaud_4", "19200"},
        {"optDatabits_0", "7 Data Bits"},
        {"optDatabits_1", "8 Data Bits"},
        {"optStopbits_0", "1 Stop Bit"},
        {"optStopbits_1", "2 Stop Bit"},
        {"Option2_0", "None"},
        {"Option2_1", "Even"},
        {"Option2_2", "Odd"},
        {"Option2_3", "Mark"},
        {"Option2_4", "Space"},
        {"Option1_0", "Not Save"},
        {"Option1_1", "Save"},
        {"cmdTransmit", "Download to Decoder"},
        {"cmdReceive", "Upload To PC"},
        {"CmdVersion", "Get Firmware Version"},
        {"cmdClose", "Close"},
    };
    QVERIFY(f->open());
    for (const auto &[name, caption] : rows) {
        QWidget *w = f->child(QLatin1String(name));
        QVERIFY2(w, name);
        if (auto *box = qobject_cast<QGroupBox *>(w))
            QCOMPARE(box->title(), QLatin1String(caption));
        else
            QCOMPARE(qobject_cast<QAbstractButton *>(w)->text(), QLatin1String(caption));
    }
}

void TestTransmitWindow::pageContract()
{
    QVERIFY(f->open());
    QCOMPARE(f->window->windowTitle(), QStringLiteral("Transmit"));
    QCOMPARE(f->window->objectName(), QStringLiteral("frmTransmit"));
    QCOMPARE(f->ctx.state.activePage, qint16(5));
    QVERIFY(!f->main->menuAction(QStringLiteral("mnuConfigDefault"))->isEnabled());
    auto *sub = qobject_cast<QMdiSubWindow *>(f->window->parentWidget());
    QVERIFY(sub);
    QVERIFY(sub->isMaximized());

    auto *text1 = f->child<QLineEdit>(QStringLiteral("Text1"));
    QVERIFY(text1);
    QVERIFY(text1->isVisible());
    QVERIFY(text1->isEnabled());
    QVERIFY(text1->width() <= 16 && text1->height() <= 10);
    auto *progress = f->child<QProgressBar>(QStringLiteral("ProgressBar1"));
    QVERIFY(progress);
    QVERIFY(!progress->isVisible());
    QVERIFY(f->commandsEnabled());

    QTest::mouseClick(f->button(QStringLiteral("cmdClose")), Qt::LeftButton);
    QTRY_VERIFY(!f->window);
    QCOMPARE(f->ctx.state.activePage, qint16(0));
    QVERIFY(f->main->menuAction(QStringLiteral("mnuConfigDefault"))->isEnabled());
}

void TestTransmitWindow::clicks_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("settings"); // the settings text
    QTest::addColumn<bool>("receiveEnabled");
    QTest::addColumn<QString>("checked"); // options that must show selected afterwards

    QTest::newRow("start values") << QStringList() << "9600,N,8,1 " << true << "OptMode_1 Option1_1 Option2_0";
    // A data-bits choice keeps the parity that is shown: what is shown is used.
    QTest::newRow("Even then 7 data bits")
        << QStringList{"Option2_1", "optDatabits_0"} << "9600,E,7,1 " << false << "Option2_1 optDatabits_0";
    QTest::newRow("Odd, 7 then 8 data bits") << QStringList{"Option2_2", "optDatabits_0", "optDatabits_1"}
                                             << "9600,O,8,1 " << false << "Option2_2 optDatabits_1";
    QTest::newRow("Odd") << QStringList{"Option2_2"} << "9600,O,8,1 " << false << "Option2_2";
    QTest::newRow("Odd then Mark") << QStringList{"Option2_2", "Option2_3"} << "9600,M,8,1 " << true << "Option2_3";
    QTest::newRow("Even then Space") << QStringList{"Option2_1", "Option2_4"} << "9600,S,8,1 " << true << "Option2_4";
    QTest::newRow("Odd then None") << QStringList{"Option2_2", "Option2_0"} << "9600,N,8,1 " << true << "Option2_0";
    QTest::newRow("2 stop bits keep parity")
        << QStringList{"Option2_3", "optStopbits_1"} << "9600,M,8,2 " << true << "optStopbits_1";
    QTest::newRow("7 data bits keep stop bits")
        << QStringList{"optStopbits_1", "optDatabits_0"} << "9600,N,7,2 " << true << "optDatabits_0 optStopbits_1";
    QTest::newRow("19200") << QStringList{"optBaud_4"} << "19200,N,8,1 " << true << "optBaud_4";
    QTest::newRow("1200") << QStringList{"optBaud_0"} << "1200,N,8,1 " << true << "optBaud_0";
}

void TestTransmitWindow::clicks()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, settings);
    QFETCH(bool, receiveEnabled);
    QFETCH(QString, checked);
    QVERIFY(f->open());
    for (const QString &name : clicks)
        f->option(name)->click();
    QCOMPARE(serialSettingsText(f->ctx.state.linkSettings.serial), settings);
    QCOMPARE(f->button(QStringLiteral("cmdReceive"))->isEnabled(), receiveEnabled);
    QCOMPARE(f->button(QStringLiteral("CmdVersion"))->isEnabled(), receiveEnabled);
    QVERIFY(f->button(QStringLiteral("cmdTransmit"))->isEnabled());
    for (const QString &name : checked.split(u' '))
        QVERIFY2(f->option(name)->isChecked(), qPrintable(name));
}

void TestTransmitWindow::loading_data()
{
    QTest::addColumn<int>("linkMode");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("saveOption");
    // Afterwards:
    QTest::addColumn<QString>("checked");
    QTest::addColumn<int>("linkModeAfter");
    QTest::addColumn<QString>("settingsAfter");
    QTest::addColumn<bool>("framesEnabled");

    QTest::newRow("start values") << 1 << 1 << "9600"
                                  << "N,8,1 " << true
                                  << "OptMode_1 OptPort_0 optBaud_3 optDatabits_1 optStopbits_0 Option2_0 Option1_1"
                                  << 1 << "9600,N,8,1 " << true;
    // The window opens showing the parity the next exchange uses.
    QTest::newRow("keyboard, COM 4, 2400, E,7,2, Not Save")
        << 0 << 4 << "2400"
        << "E,7,2 " << false << "OptMode_0 OptPort_3 optBaud_1 optDatabits_0 optStopbits_1 Option2_1 Option1_0" << 0
        << "2400,E,7,2 " << false;
    QTest::newRow("Odd kept") << 1 << 2 << "19200"
                              << "O,8,1 " << true << "OptPort_1 optBaud_4 Option2_2" << 1 << "19200,O,8,1 " << true;
    QTest::newRow("Mark kept") << 1 << 1 << "9600"
                               << "M,8,2 " << true << "optStopbits_1 Option2_3" << 1 << "9600,M,8,2 " << true;
    QTest::newRow("unknown baud rate") << 1 << 1 << "300"
                                       << "N,8,1 " << true << "optBaud_0" << 1 << "1200,N,8,1 " << true;
    QTest::newRow("other link mode means keyboard") << 7 << 1 << "9600"
                                                    << "N,8,1 " << true << "OptMode_0" << 0 << "9600,N,8,1 " << false;
}

void TestTransmitWindow::loading()
{
    QFETCH(int, linkMode);
    QFETCH(int, port);
    QFETCH(QString, baud);
    QFETCH(QString, frame);
    QFETCH(bool, saveOption);
    QFETCH(QString, checked);
    QFETCH(int, linkModeAfter);
    QFETCH(QString, settingsAfter);
    QFETCH(bool, framesEnabled);

    LinkSettings &l = f->ctx.state.linkSettings;
    l.linkMode = qint16(linkMode);
    l.portNumber = qint16(port);
    l.serial = parseSerialSettings(QString(u"9600," + frame)).value();
    l.serial.baud = baud.toInt();
    f->ctx.state.saveOption = saveOption;
    QVERIFY(f->open());
    for (const QString &name : checked.split(u' '))
        QVERIFY2(f->option(name)->isChecked(), qPrintable(name));
    QCOMPARE(int(l.linkMode), linkModeAfter);
    QCOMPARE(int(l.portNumber), port);
    QCOMPARE(serialSettingsText(l.serial), settingsAfter);
    QCOMPARE(f->ctx.state.saveOption, saveOption);
    for (const char *name : {"FraPort", "Frame2", "Frame3", "Frame4"})
        QCOMPARE(f->child(QLatin1String(name))->isEnabled(), framesEnabled);
    // Upload and version follow the parity shown.
    const bool receive = l.serial.parity != Parity::Even && l.serial.parity != Parity::Odd;
    QCOMPARE(f->button(QStringLiteral("cmdReceive"))->isEnabled(), receive);
    QCOMPARE(f->button(QStringLiteral("CmdVersion"))->isEnabled(), receive);
    QVERIFY(f->child(QStringLiteral("Frame5"))->isEnabled());
    QVERIFY(f->child(QStringLiteral("Frame6"))->isEnabled());
}

void TestTransmitWindow::reopenShowsStoredParity()
{
    QVERIFY(f->open());
    f->option(QStringLiteral("OptPort_2"))->click();
    f->option(QStringLiteral("Option2_2"))->click();
    f->option(QStringLiteral("optDatabits_0"))->click();
    QVERIFY(!f->button(QStringLiteral("cmdReceive"))->isEnabled());
    QVERIFY(f->closeWindow());
    QVERIFY(f->open());
    // Reopened: Odd is shown, stored and keeps upload and version disabled.
    QVERIFY(f->option(QStringLiteral("Option2_2"))->isChecked());
    QVERIFY(f->option(QStringLiteral("optDatabits_0"))->isChecked());
    QVERIFY(!f->button(QStringLiteral("cmdReceive"))->isEnabled());
    QVERIFY(!f->button(QStringLiteral("CmdVersion"))->isEnabled());
    QVERIFY(f->option(QStringLiteral("OptPort_2"))->isChecked());
    QCOMPARE(serialSettingsText(f->ctx.state.linkSettings.serial), QStringLiteral("9600,O,7,1 "));
    f->option(QStringLiteral("Option2_0"))->click();
    QVERIFY(f->button(QStringLiteral("cmdReceive"))->isEnabled());
    QCOMPARE(serialSettingsText(f->ctx.state.linkSettings.serial), QStringLiteral("9600,N,7,1 "));

    // A port number without an option selects none rather than a wrong one.
    QVERIFY(f->closeWindow());
    f->ctx.state.linkSettings.portNumber = 9;
    QVERIFY(f->open());
    for (int i = 0; i < 6; ++i)
        QVERIFY(!f->option(QStringLiteral("OptPort_%1").arg(i))->isChecked());
    QCOMPARE(f->ctx.state.linkSettings.portNumber, qint16(9));
}

void TestTransmitWindow::portTooltips()
{
    qputenv("Q5NCFG_COM2", "/dev/pts/77");
    QVERIFY(f->open());
    QVERIFY(f->option(QStringLiteral("OptPort_1"))->toolTip().contains(QStringLiteral("/dev/pts/77")));
    QVERIFY(f->option(QStringLiteral("OptPort_0"))->toolTip().contains(QStringLiteral("/nonexistent/com1")));
    qputenv("Q5NCFG_COM2", "/nonexistent/com2");
}

void TestTransmitWindow::tooltipShowsPathAsText()
{
    // A device path from the environment is shown as the text it is, never
    // interpreted as markup.
    qputenv("Q5NCFG_COM3", "/tmp/<b>x</b>&amp;<img src=y>");
    QVERIFY(f->open());
    const QString tip = f->option(QStringLiteral("OptPort_2"))->toolTip();
    qputenv("Q5NCFG_COM3", "/nonexistent/com3");
    QVERIFY(Qt::mightBeRichText(tip));
    QTextDocument doc;
    doc.setHtml(tip);
    QCOMPARE(doc.toPlainText(), QStringLiteral("COM 3: /tmp/<b>x</b>&amp;<img src=y>"));
}

void TestTransmitWindow::tabOrderFollowsScreen()
{
    // Tab walks the settings row by row, left to right, landing on each
    // group's selected option, then the buttons top to bottom.
    f->ctx.state.linkSettings.portNumber = 3;
    f->ctx.state.linkSettings.serial = {9600, Parity::Mark, DataBits::Seven, StopBits::Two};
    QVERIFY(f->open());
    const QStringList expected = {"OptMode_1",   "optDatabits_0", "optStopbits_1", "Option1_1",
                                  "OptPort_2",   "cmdPorts",      "optBaud_3",     "Option2_3",
                                  "cmdTransmit", "cmdReceive",    "CmdVersion",    "cmdClose"};
    QWidget *first = f->option(expected.first());
    first->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), first);
    QStringList walked = {QApplication::focusWidget()->objectName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(walked, expected);
    // Screen order: each stop's frame is right of or below the one before
    // (the Ports button stands below the numbers in their frame).
    for (int i = 1; i < 8; ++i) {
        const QRect a = f->child(expected[i - 1])->parentWidget()->geometry();
        const QRect b = f->child(expected[i])->parentWidget()->geometry();
        QVERIFY2(b == a || b.top() > a.top() || (b.top() == a.top() && b.left() > a.left()), qPrintable(expected[i]));
    }
}

void TestTransmitWindow::accessibilityActions()
{
    // A screen reader's press or toggle action has the effect of a click.
    QVERIFY(f->open());
    auto act = [this](const QString &name, const QString &action) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(f->option(name));
        QVERIFY(iface && iface->actionInterface());
        iface->actionInterface()->doAction(action);
    };
    act(QStringLiteral("Option1_0"), QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(f->option(QStringLiteral("Option1_0"))->isChecked());
    QCOMPARE(f->ctx.state.saveOption, false);
    act(QStringLiteral("Option2_1"), QAccessibleActionInterface::toggleAction());
    QTRY_VERIFY(f->option(QStringLiteral("Option2_1"))->isChecked());
    QCOMPARE(serialSettingsText(f->ctx.state.linkSettings.serial), QStringLiteral("9600,E,8,1 "));
    QVERIFY(!f->button(QStringLiteral("cmdReceive"))->isEnabled());
    QVERIFY(!f->button(QStringLiteral("CmdVersion"))->isEnabled());
    // The keyboard too: an arrow key moves the selection within the group.
    f->option(QStringLiteral("Option2_1"))->setFocus();
    QTest::keyClick(f->option(QStringLiteral("Option2_1")), Qt::Key_Down);
    QVERIFY(f->option(QStringLiteral("Option2_2"))->isChecked());
    QCOMPARE(serialSettingsText(f->ctx.state.linkSettings.serial), QStringLiteral("9600,O,8,1 "));

    // The download then sends the "Not Save" command.
    attachPeer(
        [](const QByteArray &all) { return all.size() == kDownloadFrameSize ? QByteArray("\x07", 1) : QByteArray(); });
    f->press(QStringLiteral("cmdTransmit"));
    QCOMPARE(peer->received(), downloadFrame(f->ctx.state.workingImage, false));
}

void TestTransmitWindow::notAvailable_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("detail");
    QTest::newRow("COM 1 missing, download") << 1 << "cmdTransmit"
                                             << "COM 1: not available."
                                             << "no such device";
    QTest::newRow("COM 3 missing, version") << 3 << "CmdVersion"
                                            << "COM 3: not available."
                                            << "no such device";
    QTest::newRow("COM 9, no such port") << 9 << "cmdTransmit"
                                         << "COM 9: not available."
                                         << "There is no serial port number 9";
}

void TestTransmitWindow::notAvailable()
{
    QFETCH(int, port);
    QFETCH(QString, button);
    QFETCH(QString, text);
    QFETCH(QString, detail);
    f->ctx.state.linkSettings.portNumber = qint16(port);
    QVERIFY(f->open());
    f->press(button);
    QCOMPARE(f->ctx.prompter.messages.size(), 1);
    const Prompter::Message &m = f->ctx.prompter.messages.first();
    QCOMPARE(m.title, QString());
    QCOMPARE(m.text, text);
    QCOMPARE(m.buttons, Prompter::Buttons(Prompter::Button::Ok));
    QCOMPARE(m.icon, Prompter::Icon::None);
    QVERIFY2(m.detailedText.contains(detail), qPrintable(m.detailedText));
    QVERIFY(!f->window->serialPort().portOpen());
    QVERIFY(f->commandsEnabled());
    QVERIFY(!f->window->busy());
}

// ---- RS232 ----------------------------------------------------------------

void TestTransmitWindow::rs232Download_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("text");
    QTest::newRow("Save, accepted") << true << QByteArray("\x07", 1) << "Download OK!";
    QTest::newRow("Not Save, accepted") << false << QByteArray("\x07", 1) << "Download OK!";
    QTest::newRow("refused") << true << QByteArray("\x06", 1) << "Download Failed!";
    QTest::newRow("accepted, more bytes") << true << QByteArray("\x07\x00\x15", 3) << "Download OK!";
    QTest::newRow("silent") << true << QByteArray() << "Time Out Error!";
}

void TestTransmitWindow::rs232Download()
{
    QFETCH(bool, save);
    QFETCH(QByteArray, answer);
    QFETCH(QString, text);
    f->ctx.state.workingImage = patternImage(3);
    f->ctx.state.savedImage = patternImage(1);
    f->ctx.state.saveOption = save;
    bool busyWhileWaiting = false;
    attachPeer([&](const QByteArray &all) {
        if (all.size() != kDownloadFrameSize)
            return QByteArray();
        busyWhileWaiting = f->commandsDisabled() && f->window->serialPort().portOpen();
        return answer;
    });
    // q5ntool's record of what was last verified on this port no longer
    // stands once the program downloads there, whatever the decoder answers.
    QTemporaryDir state;
    const QByteArray stateWas = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    const auto restoreState = qScopeGuard([&] { qputenv("XDG_STATE_HOME", stateWas); });
    QVERIFY(QDir().mkpath(stateFolder({})));
    QFile record(stateFolder({}) + QLatin1Char('/') + recordFileName(portKey(peer->slavePath())));
    QVERIFY(record.open(QIODevice::WriteOnly) && record.write("q5ntool apply record 1\nport x\n") > 0);
    record.close();
    QVERIFY(f->open());
    QTest::mouseClick(f->button(QStringLiteral("cmdTransmit")), Qt::LeftButton);
    f->settle();

    QVERIFY(record.open(QIODevice::ReadOnly));
    QVERIFY(record.readAll().startsWith(kRecordTakenAwayMark));
    QCOMPARE(peer->received(), downloadFrame(patternImage(3), save));
    QVERIFY(busyWhileWaiting);
    QCOMPARE(f->ctx.prompter.messages.size(), 1);
    const Prompter::Message &m = f->ctx.prompter.messages.first();
    QCOMPARE(m.title, QStringLiteral("CFG Message"));
    QCOMPARE(m.text, text);
    QCOMPARE(m.buttons, Prompter::Buttons(Prompter::Button::Ok));
    QCOMPARE(m.icon, Prompter::Icon::None);
    QVERIFY(!f->window->serialPort().portOpen());
    QVERIFY(f->commandsEnabled());
    QVERIFY(!f->child(QStringLiteral("ProgressBar1"))->isVisible());
    // A download changes no image.
    QCOMPARE(f->ctx.state.workingImage, patternImage(3));
    QCOMPARE(f->ctx.state.savedImage, patternImage(1));
}

void TestTransmitWindow::rs232Upload_data()
{
    QTest::addColumn<bool>("version");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("changedFirst"); // -1: image unchanged
    QTest::addColumn<QByteArray>("section");

    const QByteArray reader = sectionBytes(60, 5);
    const QByteArray decoder = sectionBytes(25, 8);
    const QByteArray v = kVersion22.toLatin1();
    QTest::newRow("reader section") << false << rs232Reply(60, reader, v, 84) << "   Upload OK!   " << 25 << reader;
    QTest::newRow("decoder section padded to 84")
        << false << rs232Reply(25, decoder, v, 84) << "   Upload OK!   " << 0 << decoder;
    QTest::newRow("n=9") << false << rs232Reply(9, decoder, v, 84) << "Upload Failed!" << -1 << QByteArray();
    QTest::newRow("bad check byte") << false << rs232Reply(60, reader, v, 84, true) << "Upload Failed!" << -1
                                    << QByteArray();
    QTest::newRow("length byte beyond the reply")
        << false << (QByteArray(1, char(90)) + sectionBytes(83, 1)) << "Upload Failed!" << -1 << QByteArray();
    QTest::newRow("version, reader reply")
        << true << rs232Reply(60, reader, v, 84) << kVersionText << -1 << QByteArray();
    QTest::newRow("version, decoder reply")
        << true << rs232Reply(25, decoder, v, 84) << kVersionText << -1 << QByteArray();
    QTest::newRow("version, bad reply") << true << rs232Reply(60, reader, v, 84, true) << "Upload Failed!" << -1
                                        << QByteArray();
    QTest::newRow("silent") << false << QByteArray() << "Time Out Error!" << -1 << QByteArray();
    QTest::newRow("short reply, silent afterwards")
        << false << rs232Reply(25, decoder, v, 0) << "Time Out Error!" << -1 << QByteArray();
}

void TestTransmitWindow::rs232Upload()
{
    QFETCH(bool, version);
    QFETCH(QByteArray, reply);
    QFETCH(QString, text);
    QFETCH(int, changedFirst);
    QFETCH(QByteArray, section);
    const ConfigImage before = patternImage(40);
    f->ctx.state.workingImage = before;
    f->ctx.state.savedImage = before;
    attachPeer([&](const QByteArray &all) { return all.size() == 4 ? reply : QByteArray(); });
    QVERIFY(f->open());
    f->press(version ? QStringLiteral("CmdVersion") : QStringLiteral("cmdReceive"));

    QCOMPARE(peer->received(), QByteArray::fromHex("02800381"));
    const QList<Prompter::Message> &msgs = f->ctx.prompter.messages;
    QCOMPARE(msgs.size(), version ? 1 : 2);
    if (!version) {
        QCOMPARE(msgs[0].title, QStringLiteral("Upload Message"));
        QCOMPARE(msgs[0].text, QStringLiteral("This will replace your current data with reader's data!"));
        QCOMPARE(msgs[0].buttons, Prompter::Button::Ok | Prompter::Button::Cancel);
    }
    QCOMPARE(msgs.last().title, QStringLiteral("Upload Message"));
    QCOMPARE(msgs.last().text, text);
    QCOMPARE(msgs.last().buttons, Prompter::Buttons(Prompter::Button::Ok));

    ConfigImage expected = before;
    for (int i = 0; changedFirst >= 0 && i < section.size(); ++i)
        expected[changedFirst + i] = quint8(section[i]);
    QCOMPARE(f->ctx.state.workingImage, expected);
    QCOMPARE(f->ctx.state.savedImage, before);
    QCOMPARE(f->ctx.state.hasUnsavedChanges(), changedFirst >= 0);
    QVERIFY(!f->window->serialPort().portOpen());
    QVERIFY(f->commandsEnabled());
}

void TestTransmitWindow::uploadCancelSendsNothing()
{
    attachPeer([](const QByteArray &) { return QByteArray(); });
    QVERIFY(f->open());
    f->ctx.prompter.answers.enqueue(Prompter::Button::Cancel);
    f->press(QStringLiteral("cmdReceive"));
    QCOMPARE(f->ctx.prompter.messages.size(), 1);
    QTest::qWait(50);
    QVERIFY(peer->received().isEmpty());
    QVERIFY(!f->window->serialPort().portOpen());
    QVERIFY(f->commandsEnabled());
}

void TestTransmitWindow::parityRuleKeptAfterExchange()
{
    // The buttons come back after an exchange, but Even and Odd still keep
    // upload and version disabled.
    attachPeer(
        [](const QByteArray &all) { return all.size() == kDownloadFrameSize ? QByteArray("\x07", 1) : QByteArray(); });
    QVERIFY(f->open());
    f->option(QStringLiteral("Option2_2"))->click();
    f->press(QStringLiteral("cmdTransmit"));
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Download OK!"));
    QVERIFY(f->button(QStringLiteral("cmdTransmit"))->isEnabled());
    QVERIFY(f->button(QStringLiteral("cmdClose"))->isEnabled());
    QVERIFY(!f->button(QStringLiteral("cmdReceive"))->isEnabled());
    QVERIFY(!f->button(QStringLiteral("CmdVersion"))->isEnabled());
}

void TestTransmitWindow::closeRefusedWhileBusy()
{
    attachPeer([](const QByteArray &) { return QByteArray(); });
    QVERIFY(f->open());
    bool subClosed = true, mainClosed = true, portOpenWhileWaiting = false, disabledWhileWaiting = false;
    TransmitFixture::later(100, [&] {
        portOpenWhileWaiting = f->window->serialPort().portOpen();
        // Choosing a parity that allows uploads does not bring the buttons back.
        f->option(QStringLiteral("Option2_3"))->click();
        disabledWhileWaiting = f->commandsDisabled();
        subClosed = f->window->parentWidget()->close();
        mainClosed = f->main->close();
        f->window->close();
    });
    f->press(QStringLiteral("cmdTransmit"));
    QVERIFY(portOpenWhileWaiting);
    QVERIFY(disabledWhileWaiting);
    QVERIFY(!subClosed);
    QVERIFY(!mainClosed);
    QVERIFY(f->window);
    QCOMPARE(f->ctx.prompter.messages.size(), 1);
    QCOMPARE(f->ctx.prompter.messages.first().text, QStringLiteral("Time Out Error!"));
    QVERIFY(!f->window->serialPort().portOpen());
    // Once the exchange is over the window closes as usual.
    QVERIFY(f->closeWindow());
    QTRY_VERIFY(!f->window);
    QCOMPARE(f->ctx.state.activePage, qint16(0));
}

void TestTransmitWindow::busyLocksConfigurationAndLink_data()
{
    QTest::addColumn<bool>("rs232");
    QTest::newRow("RS232") << true;
    QTest::newRow("keyboard line") << false;
}

void TestTransmitWindow::busyLocksConfigurationAndLink()
{
    // While an exchange waits nothing can change the configuration or the
    // link, and the window says what it waits for and how long it may wait.
    QFETCH(bool, rs232);
    f->ctx.context.timing.uploadReplyMs = 400;
    if (rs232)
        attachPeer([](const QByteArray &) { return QByteArray(); });
    else
        f->ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard;
    const ConfigImage before = patternImage(4);
    f->ctx.state.workingImage = before;
    f->ctx.state.savedImage = before;
    QVERIFY(f->open());
    const QStringList locked = {"mnuFileNew",      "mnuFileOpen",      "mnuFileSave",   "mnuFileSaveAs",
                                "mnuFileDefault",  "mnuConfigDefault", "mnuMagDefault", "mnuConfigInterface",
                                "mnuConfigComm",   "mnuConfigBar",     "mnuConfigMisc", "mnuConfigTransmit",
                                "mnuMagInterface", "mnuMagComm",       "mnuMagMisc",    "mnuMagTransmit"};
    const QStringList frames = {"Frame1", "FraPort", "Frame4", "Frame2", "Frame3", "Frame6", "Frame5"};
    QStringList enabledBefore;
    for (const QString &name : locked)
        if (QAction *a = f->main->menuAction(name); a && a->isEnabled())
            enabledBefore << name;
    QVERIFY(enabledBefore.contains(QStringLiteral("mnuFileNew")));
    QStringList enabledWhileBusy;
    QString status;
    int toolbarEnabled = -1;
    TransmitFixture::later(60, [&] {
        for (const QString &name : locked)
            if (QAction *a = f->main->menuAction(name); a && a->isEnabled())
                enabledWhileBusy << name;
        for (const QString &name : frames)
            if (f->child(name)->isEnabled())
                enabledWhileBusy << name;
        toolbarEnabled = 0;
        for (QAction *a : f->main->findChild<QToolBar *>(QStringLiteral("Toolbar1"))->actions())
            toolbarEnabled += !a->isSeparator() && a->isEnabled();
        status = f->child<QLabel>(QStringLiteral("LblWait"))->text();
        // New is refused: the upload lands in the configuration it started from.
        f->main->menuAction(QStringLiteral("mnuFileNew"))->trigger();
    });
    f->press(QStringLiteral("CmdVersion"));
    QCOMPARE(enabledWhileBusy, QStringList());
    QCOMPARE(toolbarEnabled, 0);
    QVERIFY2(status.contains(QStringLiteral("s left")), qPrintable(status));
    QVERIFY2(status.contains(rs232 ? QStringLiteral("answer") : QStringLiteral("keyboard line")), qPrintable(status));
    QCOMPARE(f->ctx.state.workingImage, before);
    QCOMPARE(f->ctx.prompter.messages.size(), 1);
    // Everything comes back as it was.
    QStringList enabledAfter;
    for (const QString &name : locked)
        if (QAction *a = f->main->menuAction(name); a && a->isEnabled())
            enabledAfter << name;
    QCOMPARE(enabledAfter, enabledBefore);
    for (const QString &name : frames)
        QCOMPARE(f->child(name)->isEnabled(), rs232 || name == u"Frame1" || name == u"Frame5" || name == u"Frame6");
    QVERIFY(f->child<QLabel>(QStringLiteral("LblWait"))->text().isEmpty());
}

void TestTransmitWindow::focusReturnsToStartingButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("rs232");
    QTest::newRow("download, RS232") << "cmdTransmit" << true;
    QTest::newRow("version, RS232") << "CmdVersion" << true;
    QTest::newRow("upload, keyboard line") << "cmdReceive" << false;
}

void TestTransmitWindow::focusReturnsToStartingButton()
{
    QFETCH(QString, button);
    QFETCH(bool, rs232);
    f->ctx.context.timing.keyboardTextMs = 100;
    if (rs232)
        attachPeer([](const QByteArray &) { return QByteArray(); });
    else
        f->ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard;
    ScriptedKeyboardDecoder decoder(f->ctx.portIo);
    decoder.dataAnswer = QString();
    QVERIFY(f->open());
    QPushButton *b = f->button(button);
    b->setFocus(Qt::TabFocusReason);
    QTest::keyClick(b, Qt::Key_Space);
    QTRY_VERIFY(!f->window->busy());
    QCOMPARE(QApplication::focusWidget(), b);
}

void TestTransmitWindow::hangUp_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("download") << "cmdTransmit"
                              << "CFG Message"
                              << "Download Failed!";
    QTest::newRow("upload") << "cmdReceive"
                            << "Upload Message"
                            << "Upload Failed!";
    QTest::newRow("version") << "CmdVersion"
                             << "Upload Message"
                             << "Upload Failed!";
}

void TestTransmitWindow::hangUp()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QString, text);
    // Real time-outs: the hang-up must end the exchange long before them.
    const ConfigImage before = patternImage(9);
    f->ctx.state.workingImage = before;
    attachPeer([this](const QByteArray &all) {
        if (all.size() == 4 || all.size() == kDownloadFrameSize) {
            // Half a reply, then the line goes dead.
            peer->send(rs232Reply(60, sectionBytes(60, 1), "v", 84).left(30));
            TransmitFixture::later(20, [this] { peer->hangUp(); });
        }
        return QByteArray();
    });
    QVERIFY(f->open());
    QElapsedTimer clock;
    clock.start();
    f->press(button);
    QVERIFY(clock.elapsed() < 2000);
    const QList<Prompter::Message> &msgs = f->ctx.prompter.messages;
    QCOMPARE(msgs.last().title, title);
    QCOMPARE(msgs.last().text, text);
    QCOMPARE(msgs.size(), button == u"cmdReceive" ? 2 : 1);
    QVERIFY(!f->window->serialPort().portOpen());
    QVERIFY(f->commandsEnabled());
    QCOMPARE(f->ctx.state.workingImage, before);
    // No second message arrives later.
    QTest::qWait(100);
    QCOMPARE(msgs.size(), button == u"cmdReceive" ? 2 : 1);
}

// ---- Keyboard port ----------------------------------------------------------

void TestTransmitWindow::keyboardDownload_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("text");
    QTest::newRow("Save, P") << true << "P"
                             << "Download OK!";
    QTest::newRow("Not Save, p") << false << "p"
                                 << "Download OK!";
    QTest::newRow("refused") << true << "E"
                             << "Download Failed!";
    QTest::newRow("no answer") << true << ""
                               << "Download Failed!";
}

void TestTransmitWindow::keyboardDownload()
{
    QFETCH(bool, save);
    QFETCH(QString, answer);
    QFETCH(QString, text);
    f->ctx.state.linkSettings.linkMode = 0;
    f->ctx.state.saveOption = save;
    f->ctx.state.workingImage = patternImage(17);
    ScriptedKeyboardDecoder watcher(f->ctx.portIo);
    watcher.dataAnswer = answer;
    watcher.tokensBeforeAnswer = 2;
    QVERIFY(f->open());
    int progressMax = -1;
    bool progressShown = false;
    // Watch the progress bar while the data goes out.
    auto *progress = f->child<QProgressBar>(QStringLiteral("ProgressBar1"));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (progress->isVisible()) {
            progressShown = true;
            progressMax = progress->maximum();
        }
    });
    poll.start(5);
    f->press(QStringLiteral("cmdTransmit"));
    poll.stop();

    const QString token = save ? QStringLiteral("AAAAA") : QStringLiteral("BBBBB");
    QCOMPARE(watcher.token(), token);
    QCOMPARE(watcher.data(), keyboardDownloadStream(patternImage(17)));
    // Bytes on the wire: three tokens, release, the 172 data characters, release.
    const QList<SimulatedPortIo::Write> &w = f->ctx.portIo.writes();
    QCOMPARE(w.size(), 15 + 1 + 172 + 1);
    for (int i = 0; i < 15; ++i)
        QCOMPARE(w[i].value, quint8(token[0].unicode()));
    QCOMPARE(w[15].port, PortIo::kInterruptMaskPort);
    QCOMPARE(w[15].value, quint8(0));
    const QString stream = keyboardDownloadStream(patternImage(17));
    for (int i = 0; i < 172; ++i) {
        QCOMPARE(w[16 + i].port, PortIo::kKeyboardDataPort);
        QCOMPARE(w[16 + i].value, quint8(stream[i].unicode()));
    }
    QCOMPARE(w.last().port, PortIo::kInterruptMaskPort);
    QVERIFY(progressShown);
    QCOMPARE(progressMax, 84);

    QCOMPARE(f->ctx.prompter.messages.size(), 1);
    QCOMPARE(f->ctx.prompter.messages.first().title, QStringLiteral("CFG Message"));
    QCOMPARE(f->ctx.prompter.messages.first().text, text);
    QVERIFY(f->commandsEnabled());
    QVERIFY(!progress->isVisible());
    QCOMPARE(f->ctx.state.workingImage, patternImage(17));
}

void TestTransmitWindow::keyboardUpload_data()
{
    QTest::addColumn<bool>("version");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("changedFirst");
    QTest::addColumn<QByteArray>("section");
    const QByteArray reader = sectionBytes(60, 3);
    const QByteArray decoder = sectionBytes(25, 6);
    QTest::newRow("reader section") << false << keyboardReply(true, reader, kVersion22) << "   Upload OK!   " << 25
                                    << reader;
    QTest::newRow("decoder section, lower case")
        << false << keyboardReply(false, decoder, kVersion22).toLower() << "   Upload OK!   " << 0 << decoder;
    QTest::newRow("version") << true << keyboardReply(true, reader, kVersion22) << kVersionText << -1 << QByteArray();
    QTest::newRow("bad flag") << false << QStringLiteral("7") + keyboardReply(true, reader, kVersion22).mid(1)
                              << "Upload Failed!" << -1 << QByteArray();
    QTest::newRow("short reply") << false << keyboardReply(true, reader, kVersion22).left(100) << "Upload Failed!" << -1
                                 << QByteArray();
}

void TestTransmitWindow::keyboardUpload()
{
    QFETCH(bool, version);
    QFETCH(QString, reply);
    QFETCH(QString, text);
    QFETCH(int, changedFirst);
    QFETCH(QByteArray, section);
    f->ctx.state.linkSettings.linkMode = 0;
    const ConfigImage before = patternImage(50);
    f->ctx.state.workingImage = before;
    ScriptedKeyboardDecoder decoder(f->ctx.portIo);
    decoder.dataAnswer = reply;
    QVERIFY(f->open());
    f->press(version ? QStringLiteral("CmdVersion") : QStringLiteral("cmdReceive"));

    QCOMPARE(decoder.token(), QStringLiteral("CCCCC"));
    const QList<Prompter::Message> &msgs = f->ctx.prompter.messages;
    QCOMPARE(msgs.size(), version ? 1 : 2);
    QCOMPARE(msgs.last().title, QStringLiteral("Upload Message"));
    QCOMPARE(msgs.last().text, text);
    ConfigImage expected = before;
    for (int i = 0; changedFirst >= 0 && i < section.size(); ++i)
        expected[changedFirst + i] = quint8(section[i]);
    QCOMPARE(f->ctx.state.workingImage, expected);
    // Released after the handshake and after the data phase.
    QCOMPARE(f->ctx.portIo.writes().last().port, PortIo::kInterruptMaskPort);
    QVERIFY(f->commandsEnabled());
    QVERIFY(!f->child(QStringLiteral("ProgressBar1"))->isVisible());
}

void TestTransmitWindow::keyboardHandshakeTimeout_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::newRow("download") << "cmdTransmit"
                              << "CFG Message";
    QTest::newRow("upload") << "cmdReceive"
                            << "Upload Message";
    QTest::newRow("version") << "CmdVersion"
                             << "Upload Message";
}

void TestTransmitWindow::keyboardHandshakeTimeout()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    f->ctx.context.timing.tokenTickMs = 8;
    f->ctx.state.linkSettings.linkMode = 0;
    QVERIFY(f->open());
    f->press(button);
    const Prompter::Message &m = f->ctx.prompter.messages.last();
    QCOMPARE(m.title, title);
    QCOMPARE(m.text, QStringLiteral("Times Out Error"));
    QCOMPARE(f->ctx.portIo.writes().size(), 15 * 5 + 1);
    QVERIFY(f->commandsEnabled());
}

QTEST_MAIN(TestTransmitWindow)
#include "tst_transmitwindow.moc"
