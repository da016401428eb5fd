#include "model/Comparison.h"
#include "model/Defaults.h"
#include "model/SettingsSheet.h"

#include <QtTest>

using namespace q5n;

namespace {

// Sets the masked bits of the bytes from `first` on.
void put(ConfigImage &image, int first, int mask, const QByteArray &bytes)
{
    for (int k = 0; k < bytes.size(); ++k)
        image[first + k] = quint8((image[first + k] & ~mask) | (quint8(bytes[k]) & mask));
}

} // namespace

class TestComparison : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // One setting differs: one row, named as its page names it, with both
    // values in words; taking the other value makes the two equal.
    void oneDifference_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QByteArray>("mine");
        QTest::addColumn<QByteArray>("theirs");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("thisValue");
        QTest::addColumn<QString>("otherValue");
        QTest::newRow("option group") << 16 << 0x0C << QByteArray("\x08") << QByteArray("\x0C")
                                      << "Bar Decoder › Communication Parameters › RS232 › Baud Rate"
                                      << "9600"
                                      << "19200";
        QTest::newRow("reader switch") << 25 << 0x02 << QByteArray(1, '\0') << QByteArray("\x02")
                                       << "Magnetic Reader › Interface › Interface › Read Memory Enable"
                                       << "clear"
                                       << "checked";
        QTest::newRow("one of three check digits") << 23 << 0x30 << QByteArray(1, '\0') << QByteArray("\x30")
                                                   << "Bar Decoder › Bar Codes and Others › Code 128 › Check Digit"
                                                   << "Do Not Calculate Check Digit"
                                                   << "Calculate Check Digit and Transmit";
        QTest::newRow("suffix")
            << 12 << 0xFF << QByteArray("\xFF\xFF\xFF\xFF") << QByteArray("\x0D\xFF\xFF\xFF")
            << "Bar Decoder › Miscellaneous Parameters › Characters Edit › Sufix › Characters to be "
               "Inserted (Only "
               "Four Charaters Available)"
            << "(empty)"
            << "{CR}";
        QTest::newRow("track slot")
            << 45 << 0xFF << QByteArray(8, '\xFF') << QByteArray("A\xFF\xFF\xFF\xFF\xFF\xFF\xFF")
            << "Magnetic Reader › Miscellaneous Parameters › Tracks Edit › Prefix › Characters to be "
               "Inserted (Only Eight Characters Available) › Track 2"
            << "(empty)"
            << "A";
        QTest::newRow("suffix with braces as characters")
            << 12 << 0xFF << QByteArray("\xFF\xFF\xFF\xFF") << QByteArray("{A}\xFF")
            << "Bar Decoder › Miscellaneous Parameters › Characters Edit › Sufix › Characters to be "
               "Inserted (Only Four Charaters Available)"
            << "(empty)"
            << "{A}";
        QTest::newRow("reader ON box, start/stop")
            << 28 << 0x10 << QByteArray(1, '\0') << QByteArray("\x10")
            << "Magnetic Reader › Communication Parameters › Magnetic Reader › Send Start/Stop Character"
            << "clear"
            << "checked";
        QTest::newRow("reader ON box, account number")
            << 28 << 0x08 << QByteArray(1, '\0') << QByteArray("\x08")
            << "Magnetic Reader › Communication Parameters › Magnetic Reader › Track 2 Account Number Only"
            << "clear"
            << "checked";
        QTest::newRow("Codabar stop characters")
            << 18 << 0x0F << QByteArray("\x0E") << QByteArray("\x0F")
            << "Bar Decoder › Bar Codes and Others › Codabar › Transmission Type of Stop"
            << "B, C, D"
            << "A, B, C, D";
        QTest::newRow("Codabar start characters")
            << 18 << 0xF0 << QByteArray(1, '\0') << QByteArray("\x90")
            << "Bar Decoder › Bar Codes and Others › Codabar › Transmission Type of Start"
            << "(none checked)"
            << "A, D";
        QTest::newRow("check boxes in screen order")
            << 21 << 0xFF << QByteArray("\xC8") << QByteArray("\x01")
            << "Bar Decoder › Bar Codes and Others › Symboligies › Symboligies Selection"
            << "UPC-A, UPC-E, Code 39"
            << "CodaBar/NW7";
        QTest::newRow("bits no page shows")
            << 24 << 0x80 << QByteArray(1, '\0') << QByteArray("\x80") << "Bits no page shows › Byte 24"
            << "0x00"
            << "0x80";
    }
    void oneDifference()
    {
        QFETCH(int, first);
        QFETCH(int, mask);
        QFETCH(QByteArray, mine);
        QFETCH(QByteArray, theirs);
        ConfigImage a = factoryImage();
        put(a, first, mask, mine);
        ConfigImage b = a;
        put(b, first, mask, theirs);
        SetupInfo texts;
        LinkSettings link;

        const auto diffs = settingDifferences({a, &texts, &link}, {b, &texts, &link});
        QCOMPARE(diffs.size(), std::size_t(1));
        QTEST(diffs[0].where, "where");
        QTEST(diffs[0].thisValue, "thisValue");
        QTEST(diffs[0].otherValue, "otherValue");

        useOtherValue(diffs[0], texts, link, a);
        QVERIFY(a == b);
    }

    // The setup file's port and link mode, as the "Transmit" window names them.
    void linkLines_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("port") << 3 << 1 << QStringList{"Transmit › Port | Com 1 | Com 3"};
        QTest::newRow("keyboard line") << 1 << 0 << QStringList{"Transmit › Interface | RS232 | Keyboard"};
        QTest::newRow("both, outside the window's options")
            << 9 << 2
            << QStringList{"Transmit › Interface | RS232 | Keyboard (mode 2)",
                           "Transmit › Port | Com 1 | (port 9: no option)"};
    }
    void linkLines()
    {
        QFETCH(int, port);
        QFETCH(int, mode);
        const ConfigImage image = factoryImage();
        SetupInfo texts;
        LinkSettings mine, theirs;
        theirs.portNumber = qint16(port);
        theirs.linkMode = qint16(mode);
        const auto diffs = settingDifferences({image, &texts, &mine}, {image, &texts, &theirs});
        QStringList rows;
        for (const SettingDifference &d : diffs)
            rows << d.where + " | " + d.thisValue + " | " + d.otherValue;
        QTEST(rows, "rows");
        ConfigImage taken = image;
        for (const SettingDifference &d : diffs)
            useOtherValue(d, texts, mine, taken);
        QCOMPARE(mine.portNumber, theirs.portNumber);
        QCOMPARE(mine.linkMode, theirs.linkMode);
        QCOMPARE(taken, image);
        // A decoder's upload has no link lines: nothing to compare.
        QVERIFY(settingDifferences({image, &texts, &theirs}, {image, nullptr, nullptr}).empty());
    }

    void setupTextsComeFirstAndAreTaken()
    {
        ConfigImage a = factoryImage(), b = a;
        put(b, 16, 0x0C, QByteArray("\x0C"));
        SetupInfo mine, theirs;
        mine.description = QStringLiteral("ours");
        theirs.description = QString();
        LinkSettings link;
        const auto diffs = settingDifferences({a, &mine, &link}, {b, &theirs, &link});
        QCOMPARE(diffs.size(), std::size_t(2));
        QCOMPARE(diffs[0].where, QStringLiteral("User Information › Description"));
        QCOMPARE(diffs[0].otherValue, QStringLiteral("(empty)"));
        QCOMPARE(diffs[0].page, 1);
        QCOMPARE(diffs[0].control, QStringLiteral("txtDescription"));
        useOtherValue(diffs[0], mine, link, a);
        QCOMPARE(mine.description, QString());
        // Without the other's texts (a decoder sends none) only the image counts.
        QCOMPARE(settingDifferences({a, &mine, &link}, {b}).size(), std::size_t(1));
    }

    // An upload brings one section: the other is not compared.
    void onlyTheRangeIsCompared()
    {
        ConfigImage a = factoryImage(), b = a;
        put(b, 25, 0x02, QByteArray("\x02"));
        put(b, 24, 0x80, QByteArray("\x80"));
        SetupInfo texts;
        QVERIFY(settingDifferences({a, &texts}, {b}, {kDecoderFirst, kDecoderLast}).size() == 1);
        QVERIFY(settingDifferences({a, &texts}, {b}, {kReaderFirst, kReaderLast}).size() == 1);
        QVERIFY(settingDifferences({a, &texts}, {a, &texts}).empty());
    }

    // The printed sheet's content is checked through its PDF; here what HTML makes of a name.
    void sheetEscapesTexts()
    {
        SetupInfo texts;
        texts.fileName = QStringLiteral("/tmp/a<b>.cfg");
        const SettingsSheet sheet = settingsSheet(texts, LinkSettings{}, factoryImage(), factoryImage());
        QCOMPARE(sheet.sections[1].title, QStringLiteral("Bar Decoder › Interface"));
        QVERIFY(sheetHtml(sheet).contains(QStringLiteral("/tmp/a&lt;b&gt;.cfg")));
    }
};

QTEST_APPLESS_MAIN(TestComparison)
#include "tst_comparison.moc"
