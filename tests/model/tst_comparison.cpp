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

        const auto diffs = settingDifferences(texts, a, &texts, b);
        QCOMPARE(diffs.size(), std::size_t(1));
        QTEST(diffs[0].where, "where");
        QTEST(diffs[0].thisValue, "thisValue");
        QTEST(diffs[0].otherValue, "otherValue");

        useOtherValue(diffs[0], texts, a);
        QVERIFY(a == b);
    }

    void setupTextsComeFirstAndAreTaken()
    {
        ConfigImage a = factoryImage(), b = a;
        put(b, 16, 0x0C, QByteArray("\x0C"));
        SetupInfo mine, theirs;
        mine.description = QStringLiteral("ours");
        theirs.description = QString();
        const auto diffs = settingDifferences(mine, a, &theirs, b);
        QCOMPARE(diffs.size(), std::size_t(2));
        QCOMPARE(diffs[0].where, QStringLiteral("User Information › Description"));
        QCOMPARE(diffs[0].otherValue, QStringLiteral("(empty)"));
        QCOMPARE(diffs[0].page, 1);
        QCOMPARE(diffs[0].control, QStringLiteral("txtDescription"));
        useOtherValue(diffs[0], mine, a);
        QCOMPARE(mine.description, QString());
        // Without the other's texts (a decoder sends none) only the image counts.
        QCOMPARE(settingDifferences(mine, a, nullptr, b).size(), std::size_t(1));
    }

    // An upload brings one section: the other is not compared.
    void onlyTheRangeIsCompared()
    {
        ConfigImage a = factoryImage(), b = a;
        put(b, 25, 0x02, QByteArray("\x02"));
        put(b, 24, 0x80, QByteArray("\x80"));
        SetupInfo texts;
        QVERIFY(settingDifferences(texts, a, nullptr, b, {kDecoderFirst, kDecoderLast}).size() == 1);
        QVERIFY(settingDifferences(texts, a, nullptr, b, {kReaderFirst, kReaderLast}).size() == 1);
        QVERIFY(settingDifferences(texts, a, &texts, a).empty());
    }

    // The printed sheet's content is checked through its PDF; here what HTML makes of a name.
    void sheetEscapesTexts()
    {
        SetupInfo texts;
        texts.fileName = QStringLiteral("/tmp/a<b>.cfg");
        const SettingsSheet sheet = settingsSheet(texts, factoryImage(), factoryImage());
        QCOMPARE(sheet.sections[1].title, QStringLiteral("Bar Decoder › Interface"));
        QVERIFY(sheetHtml(sheet).contains(QStringLiteral("/tmp/a&lt;b&gt;.cfg")));
    }
};

QTEST_APPLESS_MAIN(TestComparison)
#include "tst_comparison.moc"
