#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/Text8.h"
#include "platform/Paths.h"
#include "support/FormatsContext.h"

#include "model/TextItems.h"

#include <QtTest>

using namespace q5n;

namespace {

QByteArray join(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &l : lines)
        out += l + "\r\n";
    return out;
}

QList<QByteArray> goodLines(const ConfigImage &image)
{
    QList<QByteArray> lines{"vuro", "Dev", "User", "7.12.26", "Desc", " 2 ", " 0 "};
    for (quint8 b : image.bytes)
        lines.append(" " + QByteArray::number(b) + " ");
    return lines;
}

ConfigImage rampImage()
{
    ConfigImage image;
    for (int i = 0; i < kImageSize; ++i)
        image[i] = quint8(i * 3);
    return image;
}

} // namespace

// A sequential device that never ends: `head` once, then `body` for ever.
class EndlessDevice : public QIODevice
{
public:
    EndlessDevice(QByteArray head, QByteArray body) : m_head(std::move(head)), m_body(std::move(body))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 taken = 0;

protected:
    qint64 readData(char *data, qint64 max) override
    {
        for (qint64 i = 0; i < max; ++i, ++taken) {
            const qint64 at = taken < m_head.size() ? taken : (taken - m_head.size()) % m_body.size();
            data[i] = taken < m_head.size() ? m_head[at] : m_body[at];
        }
        return max;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_head, m_body;
};

class TestSetupFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Whatever a device holds, the reader takes a bounded part of it.
    void boundedReading_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("lines");
        QTest::newRow("endless short lines") << QByteArray("vuro\r\n") << QByteArray(" 1 \r\n") << 0 << 92;
        QTest::newRow("endless line") << QByteArray("vuro\r\n") << QByteArray("x") << int(LineRead::Status::LineTooLong)
                                      << 0;
        QTest::newRow("endless zero bytes")
            << QByteArray() << QByteArray(1, '\0') << int(LineRead::Status::LineTooLong) << 0;
        QTest::newRow("endless lone CRs") << QByteArray() << QByteArray("\r") << 0 << 92;
    }
    void boundedReading()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(int, lines);
        EndlessDevice device(head, body);
        const LineRead read = readLines(device, kSetupFileLines);
        QCOMPARE(int(read.status), status);
        QCOMPARE(read.lines.size(), lines);
        QVERIFY(device.taken <= 92 * (32767 + 2) + 65536);
    }

    // The building date is written as 8-bit text: the locale's short date
    // when it fits, else yyyy-MM-dd.
    void dateText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("localeForm");
        QTest::newRow("English (US)") << "en_US" << true;
        QTest::newRow("German") << "de_DE" << true;
        QTest::newRow("French") << "fr_FR" << true;
        QTest::newRow("Arabic (Egypt)") << "ar_EG" << false;
        QTest::newRow("Persian") << "fa_IR" << false;
        QTest::newRow("Bengali") << "bn_BD" << false;
        QTest::newRow("Chinese") << "zh_CN" << true;
    }
    void dateText()
    {
        QFETCH(QString, locale);
        QFETCH(bool, localeForm);
        const QDate date(2026, 12, 7);
        const QLocale l(locale);
        const QString text = dateText8(date, l);
        QVERIFY(encodable8(text));
        QCOMPARE(text, localeForm ? l.toString(date, QLocale::ShortFormat) : QStringLiteral("2026-12-07"));
        SetupInfo info;
        info.buildingDate = text;
        QVERIFY(!setupFileBytes(info, LinkSettings{}, ConfigImage{}).contains('?'));
    }

    // Line length: 32,767 characters is the most a line may hold; lines after
    // the last one the file has are not looked at.
    void lineLimits_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("read");
        const QByteArray good = setupFileBytes(SetupInfo{}, LinkSettings{}, ConfigImage{});
        QList<QByteArray> lines = good.split('\n');
        lines.removeLast();
        auto with = [&](int line, const QByteArray &text) -> QByteArray {
            QList<QByteArray> l = lines;
            l[line - 1] = text + "\r";
            return l.join('\n') + "\n";
        };
        QTest::newRow("description of 32767") << with(5, QByteArray(32767, 'd')) << true;
        QTest::newRow("description of 32768") << with(5, QByteArray(32768, 'd')) << false;
        QTest::newRow("last byte line of 32768") << with(92, QByteArray(32768, ' ')) << false;
        QTest::newRow("line 93 of 100000") << good + QByteArray(100000, 'x') + "\r\n" << true;
        QTest::newRow("no line ends at all") << QByteArray(40000, 'v') << false;
    }
    void lineLimits()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, read);
        SetupFileContent content;
        QCOMPARE(parseSetupFile(file, content), read);
        // The defaults reader has the same limit; it stops after line 86.
        QByteArray defaults = defaultsFileBytes(factoryImage());
        QVERIFY(parseDefaultsFile(defaults + QByteArray(100000, '7')));
        QVERIFY(!parseDefaultsFile(defaults.insert(14, QByteArray(32768, ' '))));
    }

    void startUpImageIsWrittenByteForByte()
    {
        SetupInfo info;
        info.deviceName = QStringLiteral("Device Name");
        info.userName = QStringLiteral("User's Name");
        info.buildingDate = QStringLiteral("12/7/26");
        info.description = QStringLiteral("Your description about this configuration file");
        QByteArray expected = "vuro\r\nDevice Name\r\nUser's Name\r\n12/7/26\r\n"
                              "Your description about this configuration file\r\n 1 \r\n 1 \r\n";
        const char *bytes[] = {"65",  "66",  "67",  "68",  "69",  "70",  "71",  "72", // code IDs
                               "255", "255", "255", "255", "255", "255", "255", "255", "8",
                               "0",   "255", "252", "2",   "255", "34",  "102", "0", // 16..24
                               "0",   "48",  "226", "23"};
        for (const char *b : bytes)
            expected += QByteArray(" ") + b + " \r\n";
        for (int i = 29; i <= 76; ++i)
            expected += " 255 \r\n";
        for (const char *b : {"37", "63", "59", "63", "43", "63", "15", "13"})
            expected += QByteArray(" ") + b + " \r\n";
        const QByteArray written = setupFileBytes(info, LinkSettings{}, factoryImage());
        QCOMPARE(written, expected);
        QCOMPARE(written.count("\r\n"), kSetupFileLines);
        QVERIFY(written.endsWith(" 13 \r\n"));
    }

    void numberLines_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("lines6and7");
        QTest::newRow("start") << 1 << 1 << QByteArray(" 1 \r\n 1 \r\n");
        QTest::newRow("negative") << -3 << 0 << QByteArray("-3 \r\n 0 \r\n");
        QTest::newRow("extremes") << 32767 << -32768 << QByteArray(" 32767 \r\n-32768 \r\n");
    }
    void numberLines()
    {
        QFETCH(int, port);
        QFETCH(int, mode);
        QFETCH(QByteArray, lines6and7);
        LinkSettings link;
        link.portNumber = qint16(port);
        link.linkMode = qint16(mode);
        const QByteArray bytes = setupFileBytes(SetupInfo{}, link, ConfigImage{});
        QVERIFY(bytes.contains(QByteArray("\r\n" + lines6and7 + " 0 \r\n")));
        SetupFileContent back;
        QVERIFY(parseSetupFile(bytes, back));
        QCOMPARE(int(back.portNumber), port);
        QCOMPARE(int(back.linkMode), mode);
    }

    void textsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("commas and quotes") << QStringLiteral("a, \"quoted\", b,,");
        QTest::newRow("leading and trailing blanks") << QStringLiteral("   lead and trail   ");
        QTest::newRow("empty") << QString();
        QTest::newRow("looks like a number") << QStringLiteral(" 255 ");
        QTest::newRow("signature") << QStringLiteral("vuro");
        QString all;
        for (int b = 0; b < 256; ++b)
            if (b != '\r' && b != '\n')
                all.append(charFromByte(quint8(b)));
        QTest::newRow("every 8-bit character") << all;
    }
    void textsRoundTrip()
    {
        QFETCH(QString, text);
        SetupInfo info;
        info.deviceName = text;
        info.userName = text;
        info.buildingDate = text;
        info.description = text;
        const ConfigImage image = rampImage();
        const QByteArray bytes = setupFileBytes(info, LinkSettings{}, image);
        QCOMPARE(bytes.count("\r\n"), kSetupFileLines);
        SetupFileContent back;
        QVERIFY(parseSetupFile(bytes, back));
        QCOMPARE(back.deviceName, text);
        QCOMPARE(back.userName, text);
        QCOMPARE(back.buildingDate, text);
        QCOMPARE(back.description, text);
        QCOMPARE(back.image, image);
    }

    void lineBreaksInTextsBecomeBlanks()
    {
        SetupInfo info;
        info.description = QStringLiteral("two\r\nlines\rand\nmore");
        const QByteArray bytes = setupFileBytes(info, LinkSettings{}, rampImage());
        QCOMPARE(bytes.count("\r\n"), kSetupFileLines);
        SetupFileContent back;
        QVERIFY(parseSetupFile(bytes, back));
        QCOMPARE(back.description, QStringLiteral("two  lines and more"));
        QCOMPARE(back.image, rampImage());
    }

    void readerTolerance_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QList<int>>("keptBytes"); // bytes that keep their previous value
        const QList<QByteArray> good = goodLines(rampImage());
        QTest::newRow("complete") << join(good) << true << QList<int>{};
        QList<int> tail;
        for (int i = 50; i < kImageSize; ++i)
            tail.append(i);
        QList<int> all;
        for (int i = 0; i < kImageSize; ++i)
            all.append(i);
        QTest::newRow("only 50 byte lines") << join(good.mid(0, 57)) << true << tail;
        QList<QByteArray> bad = good;
        bad[7 + 9] = " 300 ";
        QTest::newRow("300 on a byte line") << join(bad) << true << QList<int>{9};
        bad = good;
        bad[7 + 3] = "x";
        bad[7 + 4] = "";
        bad[7 + 5] = "-1";
        QTest::newRow("text, empty and negative byte lines") << join(bad) << true << QList<int>{3, 4, 5};
        QList<QByteArray> extra = good;
        extra << "99"
              << "garbage";
        QTest::newRow("lines after 92 ignored") << join(extra) << true << QList<int>{};
        QTest::newRow("LF line ends") << QByteArray(join(good)).replace("\r\n", "\n") << true << QList<int>{};
        QTest::newRow("no final line end") << join(good).chopped(2) << true << QList<int>{};
        QTest::newRow("capitalised signature") << QByteArray("VURO\r\n") + join(good.mid(1)) << false << QList<int>{};
        QTest::newRow("signature with a blank") << QByteArray("vuro \r\n") + join(good.mid(1)) << false << QList<int>{};
        QTest::newRow("empty file") << QByteArray() << false << QList<int>{};
        QTest::newRow("signature only") << QByteArray("vuro\r\n") << true << all;
    }
    void readerTolerance()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, accepted);
        QFETCH(QList<int>, keptBytes);
        SetupFileContent content;
        content.image.bytes.fill(0xAA);
        content.deviceName = QStringLiteral("previous");
        QCOMPARE(parseSetupFile(file, content), accepted);
        if (!accepted) {
            QCOMPARE(content.deviceName, QStringLiteral("previous"));
            return;
        }
        const ConfigImage expected = rampImage();
        for (int i = 0; i < kImageSize; ++i)
            QCOMPARE(int(content.image[i]), keptBytes.contains(i) ? 0xAA : int(expected[i]));
    }

    void readSetupFileAppliesToTheState()
    {
        test::FormatsContext t;
        ProgramState &s = t.state;
        s.workingImage.bytes.fill(0x11);
        s.savedImage.bytes.fill(0x22);
        s.linkSettings.serial.baud = 19200;
        const QString path = t.path(QStringLiteral("short.cfg"));
        QCOMPARE(writeFileAtomically(path, join(goodLines(rampImage()).mid(0, 57))), QString());
        QCOMPARE(readSetupFile(s, path), ReadSetupResult::Read);
        QCOMPARE(s.setupInfo.fileName, path);
        QCOMPARE(s.setupInfo.deviceName, QStringLiteral("Dev"));
        QCOMPARE(int(s.linkSettings.portNumber), 2);
        QCOMPARE(int(s.linkSettings.linkMode), 0);
        QCOMPARE(s.linkSettings.serial.baud, 19200);
        QCOMPARE(int(s.workingImage[49]), 49 * 3);
        QCOMPARE(int(s.workingImage[50]), 0x11);
        QVERIFY(!s.hasUnsavedChanges());

        QString reason;
        QCOMPARE(readSetupFile(s, t.path(QStringLiteral("missing.cfg")), &reason), ReadSetupResult::Unreadable);
        QVERIFY(!reason.isEmpty());
        QCOMPARE(s.setupInfo.fileName, path);
    }

    void writeFailureKeepsStateAndOldFile()
    {
        test::FormatsContext t;
        ProgramState &s = t.state;
        s.workingImage = rampImage();
        const QString missingDir = t.path(QStringLiteral("no/such/dir/x.cfg"));
        QVERIFY(!writeSetupFile(s, missingDir).isEmpty());
        // A file one may write in a folder that takes no new file is not rewritten in place.
        QCOMPARE(writeSetupFile(s, "/proc/self/comm"), "You may not create files in the folder \"/proc/self\".");
        QVERIFY(s.hasUnsavedChanges());
        const QString path = t.path(QStringLiteral("ok.cfg"));
        QCOMPARE(writeSetupFile(s, path), QString());
        QVERIFY(!s.hasUnsavedChanges());
        QByteArray onDisk;
        QVERIFY(readWholeFile(path, &onDisk));
        QCOMPARE(onDisk, setupFileBytes(s.setupInfo, s.linkSettings, s.workingImage));
        // A save over a file keeps its permissions and leaves nothing beside it.
        const auto kept = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(path, kept));
        QCOMPARE(writeSetupFile(s, path), QString());
        const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup |
                         QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(path) & all, kept);
        QCOMPARE(QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden), QStringList{"ok.cfg"});
    }
};

QTEST_APPLESS_MAIN(TestSetupFile)
#include "tst_setupfile.moc"
