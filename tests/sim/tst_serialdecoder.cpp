// The RS232 decoder simulator over a real pseudo-terminal, reached through the
// program's own serial port adapter.

#include "link/ComPorts.h"
#include "link/SerialPort.h"
#include "model/Defaults.h"
#include "sim/DeviceProtocol.h"
#include "sim/SerialDecoder.h"
#include "support/Builders.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using q5n::ConfigImage;
using q5n::SerialPort;
using namespace q5n::sim;

Q_DECLARE_METATYPE(q5n::sim::Fault)
Q_DECLARE_METATYPE(q5n::sim::Section)

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

quint8 xorAll(const QByteArray &b)
{
    quint8 x = 0;
    for (char c : b)
        x ^= quint8(c);
    return x;
}

using q5n::test::patternImage;

// A download frame built here from its layout: STX, command, 0x54, 85 bytes, ETX, XOR.
QByteArray downloadFrame(int command, const ConfigImage &image)
{
    QByteArray f = bytes({0x02, command, 0x54});
    for (quint8 b : image.bytes)
        f.append(char(b));
    f.append(char(0x03));
    f.append(char(xorAll(f)));
    return f;
}

const QByteArray kUploadRequest = bytes({0x02, 0x80, 0x03, 0x81});
const QByteArray kMemoryRead = bytes({0x02, 0x82, 0x03, 0x83});
const QByteArray kMemoryClear = bytes({0x02, 0x83, 0x03, 0x82});

} // namespace

class TestSerialDecoder : public QObject
{
    Q_OBJECT

private:
    // The decoder and the program's port on the two ends of one line.
    struct Line
    {
        SerialDecoder decoder;
        SerialPort port;

        bool open(const QString &settings = QStringLiteral("9600,N,8,1 "))
        {
            if (!decoder.open())
                return false;
            const QString path = decoder.devicePath();
            port.setResolver([path](int) { return path; });
            port.setCommPort(1);
            port.setSettings(q5n::parseSerialSettings(settings).value());
            if (!port.setPortOpen(true))
                return false;
            port.clearInBuffer();
            port.setInputMode(1);
            port.setInputLen(0);
            port.setRThreshold(1);
            return true;
        }

        // Sends `request` and collects what comes back until `expect` bytes
        // arrived or, when fewer come, the decoder has handled a request and
        // sent all it meant to (or, when it handles none, the line stays quiet
        // for `quietMs`).
        QByteArray exchange(const QByteArray &request, int expect, int quietMs = 400)
        {
            port.input();
            bool handled = false;
            const QMetaObject::Connection c =
                QObject::connect(&decoder, &SerialDecoder::requestHandled, [&handled] { handled = true; });
            port.output(request);
            QByteArray got;
            QElapsedTimer sinceLast;
            sinceLast.start();
            while (port.portOpen()) {
                QTest::qWait(5);
                const QByteArray more = port.input();
                if (!more.isEmpty()) {
                    got += more;
                    sinceLast.restart();
                }
                if (expect > 0 && got.size() >= expect)
                    break;
                if (handled && decoder.pendingOutput() == 0 && sinceLast.elapsed() > 40)
                    break;
                if (sinceLast.elapsed() > (got.isEmpty() && expect > 0 ? quietMs + 1500 : quietMs))
                    break;
            }
            QObject::disconnect(c);
            got += port.input();
            return got;
        }
    };

private Q_SLOTS:
    void devicePathAndLink();
    void programReopensTheLine();
    void download_data();
    void download();
    void adoptsTheDownloadedLine_data();
    void adoptsTheDownloadedLine();
    void refusedFrameTailIsDropped();
    void recoversFromLineNoise();
    void upload_data();
    void upload();
    void faults_data();
    void faults();
    void answerHeardAtAnotherRate_data();
    void answerHeardAtAnotherRate();
    void hangUpReopensWhenAsked();
    void lineSettingsMustMatch_data();
    void lineSettingsMustMatch();
    void memoryRead();
    void scanGoesOutUnasked();
    void nobodyListening();
    void memoryClear();
};

void TestSerialDecoder::devicePathAndLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("decoder"));
    {
        SerialDecoder decoder;
        QVERIFY2(decoder.open(link), qPrintable(decoder.errorString()));
        QVERIFY(decoder.devicePath().startsWith(u"/dev/pts/"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), decoder.devicePath());

        // The program reaches it through the symlink as COM1.
        SerialPort port;
        port.setResolver([link](int) { return link; });
        QVERIFY(port.setPortOpen(true));
        port.setRThreshold(1);
        port.output(kUploadRequest);
        QTRY_COMPARE(port.inBufferCount(), 84);
    }
    QVERIFY2(!QFileInfo(link).isSymLink(), "closing removes the symlink");

    // A file that is not a symlink is never replaced.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    SerialDecoder decoder;
    QVERIFY(!decoder.open(plain.fileName()));
    QVERIFY(!decoder.isOpen());
    QVERIFY(QFileInfo(plain.fileName()).isFile());
}

void TestSerialDecoder::programReopensTheLine()
{
    // The program opens the port for each exchange and closes it afterwards;
    // the line keeps serving (also for a user without the right to reopen an
    // exclusively held terminal), whatever was answered while the port was closed.
    Line line;
    QVERIFY(line.open());
    for (int round = 0; round < 3; ++round) {
        QVERIFY(line.port.setPortOpen(true));
        line.port.clearInBuffer();
        line.port.setRThreshold(1);
        const QByteArray reply = line.exchange(kUploadRequest, 84);
        QCOMPARE(reply.size(), 84);
        QCOMPARE(int(quint8(reply[0])), 25);
        line.port.output(kMemoryClear); // answered after the port is closed
        QTest::qWait(5);
        line.port.setPortOpen(false);
        QTest::qWait(100);
    }
}

void TestSerialDecoder::download_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("held");

    const ConfigImage image = patternImage(5);
    const QByteArray save = downloadFrame(1, image);
    const QByteArray noSave = downloadFrame(2, image);
    QByteArray badCheck = save;
    badCheck[89] = char(quint8(badCheck[89]) ^ 0x01);
    QByteArray noEtx = save;
    noEtx[88] = 0x04;
    noEtx[89] = char(quint8(noEtx[89]) ^ 0x03 ^ 0x04); // check byte still right
    QByteArray badStx = save;
    badStx[0] = 0x01;

    QTest::newRow("save") << save << 0x07 << true;
    QTest::newRow("not save") << noSave << 0x07 << true;
    QTest::newRow("wrong check byte") << badCheck << 0x15 << false;
    QTest::newRow("no ETX") << noEtx << 0x15 << false;
    QTest::newRow("length byte 0x55") << downloadFrame(1, image).replace(2, 1, bytes({0x55})) << 0x15 << false;
    QTest::newRow("command 3") << downloadFrame(3, image) << 0x15 << false;
    QTest::newRow("no STX") << badStx << -1 << false;
    QTest::newRow("cut short: refused once the line stays quiet") << save.left(60) << 0x15 << false;
    QTest::newRow("all-zero image") << downloadFrame(1, ConfigImage{}) << 0x07 << true;
}

void TestSerialDecoder::download()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, answer);
    QFETCH(bool, held);

    Line line;
    QVERIFY(line.open());
    line.decoder.setPacing(false);
    QSignalSpy downloads(&line.decoder, &SerialDecoder::downloadReceived);
    const ConfigImage before = line.decoder.model().image;

    const QByteArray got = line.exchange(frame, 1);
    QCOMPARE(got, answer < 0 ? QByteArray() : QByteArray(1, char(answer)));
    if (!held) {
        QCOMPARE(line.decoder.model().image, before);
    } else {
        ConfigImage sent;
        for (int i = 0; i < q5n::kImageSize; ++i)
            sent[i] = quint8(frame[3 + i]);
        QCOMPARE(line.decoder.model().image, sent);
        QCOMPARE(downloads.size(), 1);
        QCOMPARE(downloads[0][1].toInt(), int(quint8(frame[1])));
        QCOMPARE(line.decoder.model().lastDownloadCommand, int(quint8(frame[1])));
    }
}

// With adopt on, a download the decoder takes sets its line to the frame
// the image names, once its acknowledgement has gone out at the old one.
void TestSerialDecoder::adoptsTheDownloadedLine_data()
{
    QTest::addColumn<bool>("adopt");
    QTest::addColumn<int>("byte16");
    QTest::addColumn<int>("byte19");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("lineAfter");
    QTest::newRow("off: kept") << false << 0x0C << 0xFC << false << "9600,N,8,1 ";
    QTest::newRow("19200") << true << 0x0C << 0xFC << false << "19200,N,8,1 ";
    QTest::newRow("2400, Odd, 7 data bits, 2 stop bits") << true << 0x00 << 0x34 << false << "2400,O,7,2 ";
    QTest::newRow("the same line") << true << 0x08 << 0xFC << false << "9600,N,8,1 ";
    QTest::newRow("parity code 5: kept") << true << 0x0C << 0xDC << false << "9600,N,8,1 ";
    QTest::newRow("refused download: kept") << true << 0x0C << 0xFC << true << "9600,N,8,1 ";
}

void TestSerialDecoder::adoptsTheDownloadedLine()
{
    QFETCH(bool, adopt);
    QFETCH(int, byte16);
    QFETCH(int, byte19);
    QFETCH(bool, refused);
    QFETCH(QString, lineAfter);
    Line line;
    QVERIFY(line.open());
    line.decoder.setAdoptSettings(adopt);
    ConfigImage image = q5n::factoryImage();
    image[16] = quint8(byte16);
    image[19] = quint8(byte19);
    QByteArray frame = downloadFrame(1, image);
    if (refused)
        frame[89] = char(quint8(frame[89]) ^ 0x01);
    QCOMPARE(line.exchange(frame, 1), QByteArray(1, char(refused ? 0x15 : 0x07)));
    QCOMPARE(q5n::serialSettingsText(line.decoder.lineSettings()), lineAfter);
    // At the line it had before, it answers only when it kept it.
    QCOMPARE(line.exchange(kUploadRequest, 84, 150).size(), lineAfter == u"9600,N,8,1 " ? 84 : 0);
}

void TestSerialDecoder::refusedFrameTailIsDropped()
{
    // A frame refused at its length byte must not have its image bytes read
    // as further requests (a 0x02 among them would start one).
    Line line;
    QVERIFY(line.open());
    line.decoder.setPacing(false);
    ConfigImage image;
    image.bytes.fill(0x02);
    QByteArray frame = downloadFrame(1, image);
    frame[2] = 0x20;
    QCOMPARE(line.exchange(frame, 2, 500), bytes({0x15}));

    // The line works normally afterwards.
    QTest::qWait(200);
    QCOMPARE(line.exchange(kUploadRequest, 84).size(), 84);
}

void TestSerialDecoder::recoversFromLineNoise()
{
    // Whatever arrives, the decoder neither crashes nor stays stuck: once the
    // line has been quiet, a request is answered.
    Line line;
    QVERIFY(line.open());
    line.decoder.setPacing(false);
    QByteArray noise;
    quint32 seed = 12345;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const quint8 b = quint8(seed >> 16);
        // Plenty of STX and command bytes, so that requests start everywhere.
        noise.append(char(i % 7 == 0 ? 0x02 : i % 11 == 0 ? 0x01 : b));
    }
    line.port.output(noise);
    QTest::qWait(1600);
    line.port.clearInBuffer();
    const QByteArray reply = line.exchange(kUploadRequest, 84);
    QCOMPARE(reply.size(), 84);
    QCOMPARE(int(quint8(reply[0])), 25);
    // Far more than the line could carry, written at once: a request right
    // after it is answered once the line is quiet, not after the flood's wire time.
    line.decoder.setPacing(true);
    line.port.output(QByteArray(256 * 1024, 'x'));
    QCOMPARE(line.exchange(kUploadRequest, 84).size(), 84);
}

void TestSerialDecoder::upload_data()
{
    QTest::addColumn<Section>("section");
    QTest::addColumn<QString>("version");
    QTest::newRow("decoder section") << Section::Decoder << QStringLiteral("ABCDEFGHIJKLmnopqrstuv");
    QTest::newRow("reader section") << Section::Reader << QStringLiteral("ABCDEFGHIJKLmnopqrstuv");
    QTest::newRow("short version padded") << Section::Reader << QStringLiteral("V1");
}

void TestSerialDecoder::upload()
{
    QFETCH(Section, section);
    QFETCH(QString, version);

    Line line;
    QVERIFY(line.open());
    const ConfigImage image = patternImage(9);
    line.decoder.setImage(image);
    line.decoder.setSection(section);
    line.decoder.setVersionText(version);

    const QByteArray reply = line.exchange(kUploadRequest, 84);
    QCOMPARE(reply.size(), 84); // exactly one receive threshold's worth, for both sections

    const bool reader = section == Section::Reader;
    const int n = reader ? 60 : 25;
    QCOMPARE(int(quint8(reply[0])), n);
    for (int i = 0; i < n; ++i)
        QCOMPARE(quint8(reply[1 + i]), image[(reader ? 25 : 0) + i]);
    const QByteArray paddedVersion = version.toLatin1().leftJustified(22, ' ');
    QCOMPARE(reply.mid(n + 1, 22), paddedVersion);
    QCOMPARE(xorAll(reply.left(n + 24)), quint8(0));
    if (!reader)
        QCOMPARE(reply.mid(49), QByteArray(84 - 49, '\0'));
    QCOMPARE(line.decoder.model().uploadsServed, 1);
}

void TestSerialDecoder::faults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("replySize"); // bytes that arrive
    QTest::addColumn<int>("firstByte"); // -1: not checked
    QTest::addColumn<bool>("checkOk");  // upload replies: does the check byte hold
    QTest::addColumn<bool>("lineLost"); // the program's port is closed by a hang-up

    const QByteArray download = downloadFrame(1, patternImage(3));
    QTest::newRow("silent upload") << Fault::Silent << kUploadRequest << 0 << -1 << false << false;
    QTest::newRow("silent download") << Fault::Silent << download << 0 << -1 << false << false;
    QTest::newRow("refuse upload") << Fault::Refuse << kUploadRequest << 1 << 0x15 << false << false;
    QTest::newRow("refuse download") << Fault::Refuse << download << 1 << 0x15 << false << false;
    QTest::newRow("bad check upload") << Fault::BadCheck << kUploadRequest << 84 << 25 << false << false;
    QTest::newRow("short upload") << Fault::ShortReply << kUploadRequest << 42 << 25 << false << false;
    QTest::newRow("short download") << Fault::ShortReply << download << 0 << -1 << false << false;
    QTest::newRow("hang-up upload") << Fault::HangUp << kUploadRequest << 42 << 25 << false << true;
    QTest::newRow("hang-up download") << Fault::HangUp << download << 0 << -1 << false << true;
    QTest::newRow("removed at the request") << Fault::Remove << kUploadRequest << 0 << -1 << false << true;
    // 0x07 sent at 2400 baud, heard at 9600: F8 00 00 FF (worked out bit by bit).
    QTest::newRow("other-rate download") << Fault::OtherRate << download << 4 << 0xF8 << false << false;
    QTest::newRow("drip download") << Fault::Drip << download << 1 << 0x07 << false << false;
}

void TestSerialDecoder::faults()
{
    QFETCH(Fault, fault);
    QFETCH(QByteArray, request);
    QFETCH(int, replySize);
    QFETCH(int, firstByte);
    QFETCH(bool, checkOk);
    QFETCH(bool, lineLost);

    Line line;
    QVERIFY(line.open());
    line.decoder.setFault(fault);
    QSignalSpy lost(&line.port, &SerialPort::portLost);
    QSignalSpy hungUp(&line.decoder, &SerialDecoder::hungUp);

    const QByteArray reply = line.exchange(request, replySize == 0 ? 0 : 84);
    QCOMPARE(reply.size(), replySize);
    if (firstByte >= 0)
        QCOMPARE(int(quint8(reply[0])), firstByte);
    if (reply.size() == 84)
        QCOMPARE(xorAll(reply.left(quint8(reply[0]) + 24)) == 0, checkOk);
    if (lineLost) {
        QTRY_COMPARE(lost.size(), 1);
        QCOMPARE(hungUp.size(), 1);
        // The decoder's end of the line is closed, so its device is gone as an
        // unplugged adapter's (its name is not looked at: another test running
        // at the same time may be given the same pseudo-terminal number).
        QVERIFY(!line.port.portOpen());
        QVERIFY(!line.decoder.isOpen());
    } else {
        QVERIFY(line.port.portOpen());
        QVERIFY(line.decoder.isOpen());
    }
}

void TestSerialDecoder::answerHeardAtAnotherRate_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("sentBaud");
    QTest::addColumn<int>("heardBaud");
    QTest::addColumn<QByteArray>("heard");
    // Each sent bit lasts four heard bits: a low line is a start bit again
    // wherever a stop bit is missed.
    QTest::newRow("0x00 four times slower") << bytes({0x00}) << 2400 << 9600 << bytes({0x00, 0x00, 0x00, 0xC0});
    QTest::newRow("0xFF four times slower") << bytes({0xFF}) << 2400 << 9600 << bytes({0xF8});
    // Two bytes in the time of one heard byte.
    QTest::newRow("two 0x00 twice as fast") << bytes({0x00, 0x00}) << 19200 << 9600 << bytes({0x08});
    QTest::newRow("the same rate") << bytes({0x07, 0x15}) << 9600 << 9600 << bytes({0x07, 0x15});
}

void TestSerialDecoder::answerHeardAtAnotherRate()
{
    QFETCH(QByteArray, sent);
    QFETCH(int, sentBaud);
    QFETCH(int, heardBaud);
    QFETCH(QByteArray, heard);
    QCOMPARE(heardAtRate(sent, sentBaud, heardBaud).toHex(' '), heard.toHex(' '));
}

void TestSerialDecoder::hangUpReopensWhenAsked()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    SerialDecoder decoder;
    decoder.setFault(Fault::HangUp);
    decoder.setReopenAfterHangUpMs(50);
    QVERIFY(decoder.openAsComPort(3, link));
    QCOMPARE(q5n::comDevicePath(3), decoder.devicePath());
    QSignalSpy reopened(&decoder, &SerialDecoder::reopened);

    SerialPort port;
    port.setResolver([link](int) { return link; });
    QVERIFY(port.setPortOpen(true));
    port.output(kUploadRequest);
    QTRY_VERIFY(!port.portOpen());
    QTRY_COMPARE(reopened.size(), 1);
    QVERIFY(decoder.isOpen());
    QCOMPARE(QFileInfo(link).symLinkTarget(), decoder.devicePath());
    QCOMPARE(q5n::comDevicePath(3), decoder.devicePath());

    // The fresh line serves again once the fault is gone.
    decoder.setFault(Fault::None);
    QVERIFY(port.setPortOpen(true));
    port.setRThreshold(1);
    port.output(kUploadRequest);
    QTRY_COMPARE(port.inBufferCount(), 84);
}

void TestSerialDecoder::lineSettingsMustMatch_data()
{
    QTest::addColumn<QString>("programSettings");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("answered");
    QTest::newRow("same") << QStringLiteral("9600,N,8,1 ") << true << true;
    QTest::newRow("other baud") << QStringLiteral("19200,N,8,1 ") << true << false;
    QTest::newRow("2 stop bits") << QStringLiteral("9600,N,8,2 ") << true << false;
    QTest::newRow("other baud, check off") << QStringLiteral("19200,N,8,1 ") << false << true;
}

void TestSerialDecoder::lineSettingsMustMatch()
{
    QFETCH(QString, programSettings);
    QFETCH(bool, checked);
    QFETCH(bool, answered);
    Line line;
    QVERIFY(line.open(programSettings));
    line.decoder.setCheckLineSettings(checked);
    QCOMPARE(line.exchange(kUploadRequest, answered ? 84 : 0).size(), answered ? 84 : 0);
}

void TestSerialDecoder::memoryRead()
{
    Line line;
    QVERIFY(line.open());
    // Two lines need two blocks: 3 + 40 + 3 + 30 + 1 bytes of stream.
    const QByteArray a(1, 'A'), first = QByteArray(40, 'x'), second = QByteArray(30, 'y');
    line.decoder.model().memoryLines = {a, first, second};

    QByteArray block1 = line.exchange(kMemoryRead, 65);
    QCOMPARE(block1.size(), 65);
    QCOMPARE(xorAll(block1), quint8(0));
    QCOMPARE(block1.left(4), bytes({3, 'A', 'A', 42}));
    QCOMPARE(block1.mid(4, 40), first);
    QCOMPARE(int(quint8(block1[44])), 0);     // 40 equal characters XOR to 0
    QCOMPARE(quint8(block1[45]), quint8(32)); // the next record's length byte

    // No second block before the program answers.
    QTest::qWait(150);
    QCOMPARE(line.port.inBufferCount(), 0);
    const QByteArray block2 = line.exchange(QByteArray("S"), 65);
    QCOMPARE(block2.size(), 65);
    QCOMPARE(xorAll(block2), quint8(0));
    // 18 of the 30 'y' were in block 1; the rest, the check byte and the end mark follow.
    QCOMPARE(block2.left(12), QByteArray(12, 'y'));
    QCOMPARE(int(quint8(block2[12])), 0);
    QCOMPARE(int(quint8(block2[13])), 0);
    QCOMPARE(line.exchange(QByteArray("P"), 0), QByteArray());
    QCOMPARE(line.decoder.model().memoryReads, 1);

    // "E" ends a read as well, and the line takes requests again.
    line.exchange(kMemoryRead, 65);
    QCOMPARE(line.exchange(QByteArray("E"), 0), QByteArray());
    QCOMPARE(line.exchange(kUploadRequest, 84).size(), 84);
}

void TestSerialDecoder::memoryClear()
{
    Line line;
    QVERIFY(line.open());
    QVERIFY(!line.decoder.model().memoryLines.isEmpty());
    QCOMPARE(line.exchange(kMemoryClear, 1), bytes({0x07}));
    QVERIFY(line.decoder.model().memoryLines.isEmpty());
    // An empty memory is a single block holding the end mark.
    const QByteArray block = line.exchange(kMemoryRead, 65);
    QCOMPARE(block, QByteArray(65, '\0'));
}

void TestSerialDecoder::scanGoesOutUnasked()
{
    Line line;
    QVERIFY(line.open());
    line.decoder.setFault(Fault::Silent); // a scan is no answer
    line.decoder.sendScan(QByteArray("4006381333931\r\n"));
    QTRY_COMPARE(line.port.inBufferCount(), 15);
    QCOMPARE(line.port.input(), QByteArray("4006381333931\r\n"));
}

void TestSerialDecoder::nobodyListening()
{
    // With no program on the line, what the decoder sends piles up nowhere:
    // output the line cannot take is dropped, and nothing keeps running.
    SerialDecoder decoder;
    decoder.setPacing(false);
    QVERIFY(decoder.open());
    QStringList log;
    connect(&decoder, &SerialDecoder::logMessage, this, [&log](const QString &t) { log.append(t); });
    for (int i = 0; i < 40; ++i)
        decoder.sendScan(QByteArray(1000, 'x'));
    QTRY_COMPARE(decoder.pendingOutput(), 0);
    QVERIFY(!log.filter(QStringLiteral("lost")).isEmpty());
    QVERIFY(decoder.isOpen());
}

QTEST_GUILESS_MAIN(TestSerialDecoder)
#include "tst_serialdecoder.moc"
