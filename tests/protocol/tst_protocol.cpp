// Frames, streams and reply parsing of the download, upload and firmware
// version exchanges.
#include "protocol/Hex.h"
#include "protocol/Protocol.h"
#include "support/Builders.h"

#include <QtTest>

#include <tuple>

using namespace q5n;
using q5n::test::bytesFrom;
using q5n::test::makeKeyboardReply;
using q5n::test::makeRs232Reply;

namespace {

ConfigImage patternImage()
{
    return q5n::test::patternImage(11, 37);
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void downloadFrame_data();
    void downloadFrame();
    void keyboardStream_data();
    void keyboardStream();
    void uploadRequestBytes();
    void rs232Reply_data();
    void rs232Reply();
    void rs232ReplyApply();
    void keyboardReply_data();
    void keyboardReply();
    void keyboardReplyApply();
    void versionTextSameForBothChannels();
};

void TestProtocol::downloadFrame_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("zero");
    QTest::addColumn<quint8>("command");
    QTest::newRow("save, pattern") << true << false << quint8(0x01);
    QTest::newRow("not save, pattern") << false << false << quint8(0x02);
    QTest::newRow("save, all zero") << true << true << quint8(0x01);
    QTest::newRow("not save, all zero") << false << true << quint8(0x02);
}

void TestProtocol::downloadFrame()
{
    QFETCH(bool, save);
    QFETCH(bool, zero);
    QFETCH(quint8, command);
    const ConfigImage image = zero ? ConfigImage{} : patternImage();
    const QByteArray f = q5n::downloadFrame(image, save);

    QCOMPARE(f.size(), 90);
    QCOMPARE(quint8(f[0]), quint8(0x02));
    QCOMPARE(quint8(f[1]), command);
    QCOMPARE(quint8(f[2]), quint8(0x54));
    for (int i = 0; i < kImageSize; ++i)
        QCOMPARE(quint8(f[3 + i]), image[i]);
    QCOMPARE(quint8(f[88]), quint8(0x03));
    // 0x02 ^ command ^ 0x54 ^ 0x03 is 0x54 for "Save" and 0x57 for "Not Save".
    const quint8 expected = imageCheck(image) ^ (save ? 0x54 : 0x57);
    QCOMPARE(quint8(f[89]), expected);
    if (zero)
        QCOMPARE(quint8(f[89]), quint8(save ? 0x54 : 0x57));
    quint8 all = 0;
    for (char c : f)
        all ^= quint8(c);
    QCOMPARE(all, quint8(0));
}

void TestProtocol::keyboardStream_data()
{
    QTest::addColumn<bool>("zero");
    QTest::newRow("all zero") << true;
    QTest::newRow("pattern") << false;
}

void TestProtocol::keyboardStream()
{
    QFETCH(bool, zero);
    const ConfigImage image = zero ? ConfigImage{} : patternImage();
    const QString s = keyboardDownloadStream(image);
    QCOMPARE(s.size(), 172);
    if (zero) {
        QCOMPARE(s, QString(172, u'0'));
        return;
    }
    // Pairs of upper-case hex, high digit first; the last pair is the XOR of the data only.
    for (int i = 0; i < kImageSize; ++i) {
        bool ok = false;
        QCOMPARE(s.mid(2 * i, 2).toInt(&ok, 16), int(image[i]));
        QVERIFY(ok);
    }
    QCOMPARE(s.right(2), toHexPair(imageCheck(image)));
    QCOMPARE(s, s.toUpper());
}

void TestProtocol::uploadRequestBytes()
{
    QCOMPARE(uploadRequest(), QByteArray::fromHex("02800381"));
    QCOMPARE(downloadToken(true), QStringLiteral("AAAAA"));
    QCOMPARE(downloadToken(false), QStringLiteral("BBBBB"));
    QCOMPARE(uploadToken(), QStringLiteral("CCCCC"));
}

void TestProtocol::rs232Reply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("first"); // first image byte replaced
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("v1");
    QTest::addColumn<QString>("v2");

    const QByteArray reader = bytesFrom(60, 5);
    const QByteArray decoder = bytesFrom(25, 9);
    QTest::newRow("n=60 reader section") << makeRs232Reply(60, reader, "Q5N V1.23   ", "2026-12-07") << true << 25
                                         << reader << "Q5N V1.23   "
                                         << "2026-12-07";
    QTest::newRow("n=25 padded to 84: check covers 0..48 only")
        << makeRs232Reply(25, decoder, "FIRMWARE ABC", "0123456789", 84) << true << 0 << decoder << "FIRMWARE ABC"
        << "0123456789";
    // n = 40: a decoder section of which only bytes 1..25 count.
    const QByteArray forty = bytesFrom(40, 3);
    QTest::newRow("n=40 decoder section, first 25 data bytes")
        << makeRs232Reply(40, forty, "abcdefghijkl", "mnopqrstuv", 84) << true << 0 << forty.left(25) << "abcdefghijkl"
        << "mnopqrstuv";
    // A decoder section needs 25 bytes: shorter lengths with a good check are
    // refused rather than taking version or check bytes as settings.
    for (int n : {10, 12, 24})
        QTest::newRow(qPrintable(QStringLiteral("n=%1 refused").arg(n)))
            << makeRs232Reply(n, bytesFrom(n, 1), "v1", "v2", 84) << false << 0 << QByteArray() << QString()
            << QString();
    QTest::newRow("n=9 refused without check")
        << makeRs232Reply(9, bytesFrom(9, 1), "v1", "v2", 84) << false << 0 << QByteArray() << QString() << QString();
    QTest::newRow("n=0") << QByteArray(84, '\0') << false << 0 << QByteArray() << QString() << QString();
    QTest::newRow("bad check byte") << makeRs232Reply(60, reader, "v1", "v2", 0, true) << false << 0 << QByteArray()
                                    << QString() << QString();
    QTest::newRow("length byte asks for more than arrived")
        << makeRs232Reply(60, reader, "v1", "v2").left(83) << false << 0 << QByteArray() << QString() << QString();
    QTest::newRow("n=100 in an 84-byte reply")
        << (QByteArray(1, char(100)) + QByteArray(83, '\0')) << false << 0 << QByteArray() << QString() << QString();
    QTest::newRow("empty") << QByteArray() << false << 0 << QByteArray() << QString() << QString();
    QTest::newRow("8-bit version characters")
        << makeRs232Reply(60, reader, QByteArray("\xE9t\xE9\x80", 4), "\x81") << true << 25 << reader
        << QStringLiteral("\u00e9t\u00e9\u20ac        ") << QStringLiteral("\u0081         ");
}

void TestProtocol::rs232Reply()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, valid);
    const UploadReply r = parseRs232UploadReply(reply);
    QCOMPARE(r.valid, valid);
    if (!valid)
        return;
    QFETCH(int, first);
    QFETCH(QByteArray, data);
    QFETCH(QString, v1);
    QFETCH(QString, v2);
    QCOMPARE(r.firstImageByte(), first);
    QCOMPARE(r.data, data);
    QCOMPARE(r.versionPart1, v1);
    QCOMPARE(r.versionPart2, v2);
}

void TestProtocol::rs232ReplyApply()
{
    const ConfigImage before = patternImage();
    ConfigImage image = before;
    const QByteArray reader = bytesFrom(60, 77);
    applyUploadReply(parseRs232UploadReply(makeRs232Reply(60, reader, "v", "w")), image);
    for (int i = 0; i < 25; ++i)
        QCOMPARE(image[i], before[i]);
    for (int i = 25; i < 85; ++i)
        QCOMPARE(image[i], quint8(reader[i - 25]));

    image = before;
    const QByteArray decoder = bytesFrom(25, 1);
    applyUploadReply(parseRs232UploadReply(makeRs232Reply(25, decoder, "v", "w", 84)), image);
    for (int i = 0; i < 25; ++i)
        QCOMPARE(image[i], quint8(decoder[i]));
    for (int i = 25; i < 85; ++i)
        QCOMPARE(image[i], before[i]);

    image = before;
    applyUploadReply(parseRs232UploadReply(makeRs232Reply(60, reader, "v", "w", 0, true)), image);
    QCOMPARE(image, before);
}

void TestProtocol::keyboardReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("first");
    QTest::addColumn<QByteArray>("data");

    const QByteArray reader = bytesFrom(60, 21);
    const QByteArray decoder = bytesFrom(25, 4);
    const QString version = QStringLiteral("Q5N-FW 2.01 20261207AB");
    const QString filler70(70, u'z');
    QTest::newRow("reader section") << makeKeyboardReply(u'0', reader, {}, version) << true << 25 << reader;
    QTest::newRow("decoder section, 70 characters ignored")
        << makeKeyboardReply(u'1', decoder, filler70, version) << true << 0 << decoder;
    QTest::newRow("lower-case hex") << makeKeyboardReply(u'0', bytesFrom(60, 0xAB), {}, version, true) << true << 25
                                    << bytesFrom(60, 0xAB);
    QTest::newRow("bad flag") << makeKeyboardReply(u'2', reader, {}, version) << false << 0 << QByteArray();
    QTest::newRow("flag for the wrong section")
        << makeKeyboardReply(u'1', reader, {}, version) << false << 0 << QByteArray();
    QTest::newRow("144 characters") << makeKeyboardReply(u'0', reader, {}, version).left(144) << false << 0
                                    << QByteArray();
    QTest::newRow("146 characters") << makeKeyboardReply(u'0', reader, {}, version) + u'x' << false << 0
                                    << QByteArray();
    QTest::newRow("bad check") << makeKeyboardReply(u'0', reader, {}, version, false, true) << false << 0
                               << QByteArray();
    QString nonHex = makeKeyboardReply(u'0', reader, {}, version);
    nonHex[7] = u'G';
    QTest::newRow("non-hex digit") << nonHex << false << 0 << QByteArray();
    QString blank = makeKeyboardReply(u'1', decoder, filler70, version);
    blank[1] = u' ';
    QTest::newRow("blank in the hex text") << blank << false << 0 << QByteArray();
    // Characters that the decoder's digit arithmetic would read as digits:
    // ':' as 10, ';' as 11, the control codes 0..15 as themselves.
    QByteArray damaged = bytesFrom(60, 21);
    damaged[0] = char(0xA3);
    damaged[1] = char(0xB7);
    const QString good = makeKeyboardReply(u'0', damaged, {}, version);
    QTest::newRow("damaged reply, valid with real digits") << good << true << 25 << damaged;
    for (const auto &[name, at, ch] : {std::tuple{"':' for A", 1, QChar(u':')}, std::tuple{"';' for B", 3, QChar(u';')},
                                       std::tuple{"code 3 for 3", 2, QChar(3)}}) {
        QString bad = good;
        bad[at] = ch;
        QTest::newRow(name) << bad << false << 0 << QByteArray();
    }
    QTest::newRow("empty") << QString() << false << 0 << QByteArray();
}

void TestProtocol::keyboardReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, valid);
    const UploadReply r = parseKeyboardUploadReply(reply);
    QCOMPARE(r.valid, valid);
    if (!valid)
        return;
    QFETCH(int, first);
    QFETCH(QByteArray, data);
    QCOMPARE(reply.size(), 145);
    QCOMPARE(r.firstImageByte(), first);
    QCOMPARE(r.data, data);
    QCOMPARE(r.versionPart1, reply.mid(123, 12));
    QCOMPARE(r.versionPart2, reply.right(10));
}

void TestProtocol::keyboardReplyApply()
{
    const ConfigImage before = patternImage();
    ConfigImage image = before;
    const QByteArray decoder = bytesFrom(25, 99);
    applyUploadReply(parseKeyboardUploadReply(makeKeyboardReply(u'1', decoder, QString(70, u'#'), QString(22, u'v'))),
                     image);
    for (int i = 0; i < 25; ++i)
        QCOMPARE(image[i], quint8(decoder[i]));
    for (int i = 25; i < 85; ++i)
        QCOMPARE(image[i], before[i]);
}

void TestProtocol::versionTextSameForBothChannels()
{
    const QByteArray reader = bytesFrom(60, 2);
    const UploadReply a = parseRs232UploadReply(makeRs232Reply(60, reader, "Q5N V3.10 XY", "2026/12/07"));
    const UploadReply b =
        parseKeyboardUploadReply(makeKeyboardReply(u'0', reader, {}, QStringLiteral("Q5N V3.10 XY2026/12/07")));
    QVERIFY(a.valid && b.valid);
    const QString expected = QStringLiteral("Get Firmware Version OK!\r\r   Q5N V3.10 XY\n\r   2026/12/07");
    QCOMPARE(firmwareVersionText(a.versionPart1, a.versionPart2), expected);
    QCOMPARE(firmwareVersionText(b.versionPart1, b.versionPart2), expected);
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
