// The Transmit window: link settings, the opening procedure of the serial
// port, and download / upload / firmware version over RS232 (against a
// pseudo-terminal driven here) and over the keyboard port (against a scripted
// keyboard-line decoder).
#include "protocol/Hex.h"
#include "link/KeyboardChannel.h"
#include "protocol/Protocol.h"
#include "link/PtyPeer.h"
#include "link/ScriptedKeyboardDecoder.h"
#include "link/TransmitFixture.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>

#include <unistd.h>

using namespace q5n;
using namespace q5n::test;

namespace {

ConfigImage patternImage(int seed)
{
    ConfigImage image;
    for (int i = 0; i < kImageSize; ++i)
        image[i] = static_cast<quint8>(i * 7 + seed);
    return image;
}

QByteArray rs232Reply(int n, const QByteArray &data, const QByteArray &version22, int total, bool badCheck = false)
{
    QByteArray r(1, char(n));
    r += data.left(n).leftJustified(n, '\0');
    r += version22.leftJustified(22, ' ', true);
    quint8 x = 0;
    for (char c : r)
        x ^= quint8(c);
    r.append(char(badCheck ? x ^ 0x10 : x));
    if (r.size() < total)
        r += QByteArray(total - r.size(), '\0');
    return r;
}

QByteArray sectionBytes(int count, int seed)
{
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b.append(char((i * 29 + seed) & 0xFF));
    return b;
}

QString keyboardReply(bool reader, const QByteArray &data, const QString &version22)
{
    QString hex = reader ? QStringLiteral("0") : QStringLiteral("1");
    quint8 x = 0;
    for (char c : data) {
        x ^= quint8(c);
        hex += toHexPair(quint8(c));
    }
    hex += toHexPair(x);
    if (!reader)
        hex += QString(70, u'.');
    return hex + version22;
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

    void names_data();
    void names();
    void pageContract();
    void clicks_data();
    void clicks();
    void loading_data();
    void loading();
    void reopenShowsStoredParity();
    void portTooltips();
    void notAvailable_data();
    void notAvailable();

    void rs232Download_data();
    void rs232Download();
    void rs232Upload_data();
    void rs232Upload();
    void uploadCancelSendsNothing();
    void parityRuleKeptAfterExchange();
    void closeRefusedWhileBusy();
    void hangUp_data();
    void hangUp();

    void keyboardDownload_data();
    void keyboardDownload();
    void keyboardUpload_data();
    void keyboardUpload();
    void keyboardHandshakeTimeout_data();
    void keyboardHandshakeTimeout();

    void rs232DownloadTimeoutAtRealInterval();
    void rs232UploadTimeoutAtRealInterval();
    void keyboardUploadTimeoutAtRealInterval();

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

void TestTransmitWindow::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    const QList<std::pair<const char *, const char *>> rows = {
        {"Frame1", "Interface"},       {"FraPort", "Port"},           {"Frame4", "Baud Rate"},
        {"Frame2", "Data Bits"},       {"Frame3", "Stop Bits"},       {"Frame6", "Parity"},
        {"Frame5", "Download Option"}, {"OptMode_0", "Keyboard"},     {"OptMode_1", "RS232"},
        {"OptPort_0", "Com 1"},        {"OptPort_5", "Com 6"},        {"optBaud_0", "1200"},
        {"optBaud_1", "2400"},         {"optBaud_2", "4800"},         {"optBaud_3", "9600"},
        {"optBaud_4", "19200"},        {"optDatabits_0", "7 Data Bits"}, {"optDatabits_1", "8 Data Bits"},
        {"optStopbits_0", "1 Stop Bit"}, {"optStopbits_1", "2 Stop Bit"}, {"Option2_0", "None"},
        {"Option2_1", "Even"},         {"Option2_2", "Odd"},          {"Option2_3", "Mark"},
        {"Option2_4", "Space"},        {"Option1_0", "Not Save"},     {"Option1_1", "Save"},
        {"cmdTransmit", "Download to Decoder"}, {"cmdReceive", "Upload To PC"},
        {"CmdVersion", "Get Firmware Version"}, {"cmdClose", "Close"},
    };
    for (const auto &[name, caption] : rows)
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption);
}

void TestTransmitWindow::names()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QVERIFY(f->open());
    QWidget *w = f->child(name);
    QVERIFY2(w, qPrintable(name));
    if (auto *box = qobject_cast<QGroupBox *>(w))
        QCOMPARE(box->title(), caption);
    else
        QCOMPARE(qobject_cast<QAbstractButton *>(w)->text(), caption);
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
    QTest::addColumn<QString>("settings"); // LinkSettings::settingsText()
    QTest::addColumn<bool>("receiveEnabled");
    QTest::addColumn<QString>("checked");  // options that must show selected afterwards

    QTest::newRow("start values") << QStringList() << "9600,N,8,1 " << true << "OptMode_1 Option1_1 Option2_0";
    // A data-bits choice keeps the parity that is shown: what is shown is used.
    QTest::newRow("Even then 7 data bits") << QStringList{"Option2_1", "optDatabits_0"} << "9600,E,7,1 " << false
                                           << "Option2_1 optDatabits_0";
    QTest::newRow("Odd, 7 then 8 data bits") << QStringList{"Option2_2", "optDatabits_0", "optDatabits_1"}
                                             << "9600,O,8,1 " << false << "Option2_2 optDatabits_1";
    QTest::newRow("Odd") << QStringList{"Option2_2"} << "9600,O,8,1 " << false << "Option2_2";
    QTest::newRow("Odd then Mark") << QStringList{"Option2_2", "Option2_3"} << "9600,M,8,1 " << true << "Option2_3";
    QTest::newRow("Even then Space") << QStringList{"Option2_1", "Option2_4"} << "9600,S,8,1 " << true
                                     << "Option2_4";
    QTest::newRow("Odd then None") << QStringList{"Option2_2", "Option2_0"} << "9600,N,8,1 " << true << "Option2_0";
    QTest::newRow("2 stop bits keep parity") << QStringList{"Option2_3", "optStopbits_1"} << "9600,M,8,2 " << true
                                             << "optStopbits_1";
    QTest::newRow("7 data bits keep stop bits") << QStringList{"optStopbits_1", "optDatabits_0"} << "9600,N,7,2 "
                                                << true << "optDatabits_0 optStopbits_1";
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
    QCOMPARE(f->ctx.state.linkSettings.settingsText(), settings);
    QCOMPARE(f->ctx.state.linkSettings.frameSettings.size(), 6);
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

    QTest::newRow("start values") << 1 << 1 << "9600" << "N,8,1 " << true
                                  << "OptMode_1 OptPort_0 optBaud_3 optDatabits_1 optStopbits_0 Option2_0 Option1_1"
                                  << 1 << "9600,N,8,1 " << true;
    // The window opens showing the parity the next exchange uses.
    QTest::newRow("keyboard, COM 4, 2400, E,7,2, Not Save")
        << 0 << 4 << "2400" << "E,7,2 " << false
        << "OptMode_0 OptPort_3 optBaud_1 optDatabits_0 optStopbits_1 Option2_1 Option1_0" << 0 << "2400,E,7,2 "
        << false;
    QTest::newRow("Odd kept") << 1 << 2 << "19200" << "O,8,1 " << true << "OptPort_1 optBaud_4 Option2_2" << 1
                              << "19200,O,8,1 " << true;
    QTest::newRow("Mark kept") << 1 << 1 << "9600" << "M,8,2 " << true << "optStopbits_1 Option2_3" << 1
                               << "9600,M,8,2 " << true;
    QTest::newRow("unknown baud rate") << 1 << 1 << "300" << "N,8,1 " << true << "optBaud_0" << 1 << "1200,N,8,1 "
                                       << true;
    QTest::newRow("other link mode means keyboard") << 7 << 1 << "9600" << "N,8,1 " << true << "OptMode_0" << 0
                                                    << "9600,N,8,1 " << false;
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
    l.baudRate = baud;
    l.setFrameSettings(frame);
    f->ctx.state.saveOption = saveOption;
    QVERIFY(f->open());
    for (const QString &name : checked.split(u' '))
        QVERIFY2(f->option(name)->isChecked(), qPrintable(name));
    QCOMPARE(int(l.linkMode), linkModeAfter);
    QCOMPARE(int(l.portNumber), port);
    QCOMPARE(l.settingsText(), settingsAfter);
    QCOMPARE(f->ctx.state.saveOption, saveOption);
    for (const char *name : {"FraPort", "Frame2", "Frame3", "Frame4"})
        QCOMPARE(f->child(QLatin1String(name))->isEnabled(), framesEnabled);
    // Upload and version follow the parity shown.
    const bool receive = l.frameSettings[0] != u'E' && l.frameSettings[0] != u'O';
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
    QCOMPARE(f->ctx.state.linkSettings.frameSettings, QStringLiteral("O,7,1 "));
    f->option(QStringLiteral("Option2_0"))->click();
    QVERIFY(f->button(QStringLiteral("cmdReceive"))->isEnabled());
    QCOMPARE(f->ctx.state.linkSettings.frameSettings, QStringLiteral("N,7,1 "));

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

void TestTransmitWindow::notAvailable_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("detail");
    QTest::newRow("COM 1 missing, download") << 1 << "cmdTransmit" << "COM 1: not available." << "no such device";
    QTest::newRow("COM 3 missing, version") << 3 << "CmdVersion" << "COM 3: not available." << "no such device";
    QTest::newRow("COM 9, no such port") << 9 << "cmdTransmit" << "COM 9: not available."
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
    f->button(button)->click();
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
    f->useFastTiming();
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
    QVERIFY(f->open());
    QTest::mouseClick(f->button(QStringLiteral("cmdTransmit")), Qt::LeftButton);

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
    QTest::newRow("decoder section padded to 84") << false << rs232Reply(25, decoder, v, 84) << "   Upload OK!   "
                                                  << 0 << decoder;
    QTest::newRow("n=9") << false << rs232Reply(9, decoder, v, 84) << "Upload Failed!" << -1 << QByteArray();
    QTest::newRow("bad check byte") << false << rs232Reply(60, reader, v, 84, true) << "Upload Failed!" << -1
                                    << QByteArray();
    QTest::newRow("length byte beyond the reply")
        << false << (QByteArray(1, char(90)) + sectionBytes(83, 1)) << "Upload Failed!" << -1 << QByteArray();
    QTest::newRow("version, reader reply") << true << rs232Reply(60, reader, v, 84) << kVersionText << -1
                                           << QByteArray();
    QTest::newRow("version, decoder reply") << true << rs232Reply(25, decoder, v, 84) << kVersionText << -1
                                            << QByteArray();
    QTest::newRow("version, bad reply") << true << rs232Reply(60, reader, v, 84, true) << "Upload Failed!" << -1
                                        << QByteArray();
    QTest::newRow("silent") << false << QByteArray() << "Time Out Error!" << -1 << QByteArray();
    QTest::newRow("short reply, silent afterwards") << false << rs232Reply(25, decoder, v, 0) << "Time Out Error!"
                                                    << -1 << QByteArray();
}

void TestTransmitWindow::rs232Upload()
{
    QFETCH(bool, version);
    QFETCH(QByteArray, reply);
    QFETCH(QString, text);
    QFETCH(int, changedFirst);
    QFETCH(QByteArray, section);
    f->useFastTiming();
    const ConfigImage before = patternImage(40);
    f->ctx.state.workingImage = before;
    f->ctx.state.savedImage = before;
    attachPeer([&](const QByteArray &all) { return all.size() == 4 ? reply : QByteArray(); });
    QVERIFY(f->open());
    f->button(version ? QStringLiteral("CmdVersion") : QStringLiteral("cmdReceive"))->click();

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
    f->useFastTiming();
    attachPeer([](const QByteArray &) { return QByteArray(); });
    QVERIFY(f->open());
    f->ctx.prompter.answers.enqueue(Prompter::Button::Cancel);
    f->button(QStringLiteral("cmdReceive"))->click();
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
    f->useFastTiming();
    attachPeer([](const QByteArray &all) {
        return all.size() == kDownloadFrameSize ? QByteArray("\x07", 1) : QByteArray();
    });
    QVERIFY(f->open());
    f->option(QStringLiteral("Option2_2"))->click();
    f->button(QStringLiteral("cmdTransmit"))->click();
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Download OK!"));
    QVERIFY(f->button(QStringLiteral("cmdTransmit"))->isEnabled());
    QVERIFY(f->button(QStringLiteral("cmdClose"))->isEnabled());
    QVERIFY(!f->button(QStringLiteral("cmdReceive"))->isEnabled());
    QVERIFY(!f->button(QStringLiteral("CmdVersion"))->isEnabled());
}

void TestTransmitWindow::closeRefusedWhileBusy()
{
    f->useFastTiming();
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
    f->button(QStringLiteral("cmdTransmit"))->click();
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

void TestTransmitWindow::hangUp_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("download") << "cmdTransmit" << "CFG Message" << "Download Failed!";
    QTest::newRow("upload") << "cmdReceive" << "Upload Message" << "Upload Failed!";
    QTest::newRow("version") << "CmdVersion" << "Upload Message" << "Upload Failed!";
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
    f->button(button)->click();
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
    QTest::newRow("Save, P") << true << "P" << "Download OK!";
    QTest::newRow("Not Save, p") << false << "p" << "Download OK!";
    QTest::newRow("refused") << true << "E" << "Download Failed!";
    QTest::newRow("no answer") << true << "" << "Download Failed!";
}

void TestTransmitWindow::keyboardDownload()
{
    QFETCH(bool, save);
    QFETCH(QString, answer);
    QFETCH(QString, text);
    f->useFastTiming();
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
    f->button(QStringLiteral("cmdTransmit"))->click();
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
    QTest::newRow("version") << true << keyboardReply(true, reader, kVersion22) << kVersionText << -1
                             << QByteArray();
    QTest::newRow("bad flag") << false << QStringLiteral("7") + keyboardReply(true, reader, kVersion22).mid(1)
                              << "Upload Failed!" << -1 << QByteArray();
    QTest::newRow("short reply") << false << keyboardReply(true, reader, kVersion22).left(100) << "Upload Failed!"
                                 << -1 << QByteArray();
}

void TestTransmitWindow::keyboardUpload()
{
    QFETCH(bool, version);
    QFETCH(QString, reply);
    QFETCH(QString, text);
    QFETCH(int, changedFirst);
    QFETCH(QByteArray, section);
    f->useFastTiming();
    f->ctx.state.linkSettings.linkMode = 0;
    const ConfigImage before = patternImage(50);
    f->ctx.state.workingImage = before;
    ScriptedKeyboardDecoder decoder(f->ctx.portIo);
    decoder.dataAnswer = reply;
    QVERIFY(f->open());
    f->button(version ? QStringLiteral("CmdVersion") : QStringLiteral("cmdReceive"))->click();

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
    QTest::newRow("download") << "cmdTransmit" << "CFG Message";
    QTest::newRow("upload") << "cmdReceive" << "Upload Message";
    QTest::newRow("version") << "CmdVersion" << "Upload Message";
}

void TestTransmitWindow::keyboardHandshakeTimeout()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    f->useFastTiming();
    f->ctx.state.linkSettings.linkMode = 0;
    QVERIFY(f->open());
    f->button(button)->click();
    const Prompter::Message &m = f->ctx.prompter.messages.last();
    QCOMPARE(m.title, title);
    QCOMPARE(m.text, QStringLiteral("Times Out Error"));
    QCOMPARE(f->ctx.portIo.writes().size(), 15 * 5 + 1);
    QVERIFY(f->commandsEnabled());
}

// ---- Time-outs at their real intervals ----------------------------------------

void TestTransmitWindow::rs232DownloadTimeoutAtRealInterval()
{
    attachPeer([](const QByteArray &) { return QByteArray(); });
    QVERIFY(f->open());
    QElapsedTimer clock;
    clock.start();
    f->button(QStringLiteral("cmdTransmit"))->click();
    QVERIFY(clock.elapsed() >= 3000 - 20);
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Time Out Error!"));
    QCOMPARE(f->ctx.prompter.messages.last().title, QStringLiteral("CFG Message"));
}

void TestTransmitWindow::rs232UploadTimeoutAtRealInterval()
{
    attachPeer([](const QByteArray &) { return QByteArray(); });
    QVERIFY(f->open());
    QElapsedTimer clock;
    clock.start();
    f->button(QStringLiteral("CmdVersion"))->click();
    QVERIFY(clock.elapsed() >= 7000 - 20);
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Time Out Error!"));
    QCOMPARE(f->ctx.prompter.messages.last().title, QStringLiteral("Upload Message"));
}

void TestTransmitWindow::keyboardUploadTimeoutAtRealInterval()
{
    f->ctx.context.timing.tokenTickMs = 15;
    f->ctx.state.linkSettings.linkMode = 0;
    ScriptedKeyboardDecoder decoder(f->ctx.portIo);
    decoder.dataAnswer = QString(); // answers the handshake, then sends nothing
    QVERIFY(f->open());
    QElapsedTimer clock;
    f->ctx.prompter.onAsk = [&](const Prompter::Message &m) {
        if (m.text.startsWith(u"This will"))
            clock.start();
    };
    f->button(QStringLiteral("cmdReceive"))->click();
    QVERIFY(clock.elapsed() >= 5000 - 20);
    QCOMPARE(f->ctx.prompter.messages.last().text, QStringLiteral("Upload Failed!"));
}

QTEST_MAIN(TestTransmitWindow)
#include "tst_transmitwindow.moc"
