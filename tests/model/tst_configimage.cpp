#include "model/ProgramState.h"

#include <QtTest>

using namespace q5n;

class TestConfigImage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void setBits_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("error");
        QTest::newRow("two-bit field") << 0xFD << 22 << 0x03 << 2 << 0xFE << int(BitsError::None);
        QTest::newRow("bits 2..3 keep the rest") << 0xFF << 16 << 0x0C << 8 << 0xFB << int(BitsError::None);
        QTest::newRow("value outside the mask is set") << 0x00 << 0 << 0x01 << 2 << 0x02 << int(BitsError::None);
        QTest::newRow("last byte") << 0x00 << 84 << 0xFF << 255 << 0xFF << int(BitsError::None);
        QTest::newRow("index 85") << 0x11 << 85 << 0xFF << 1 << 0x11 << int(BitsError::IndexOutOfRange);
        QTest::newRow("negative index") << 0x11 << -1 << 0xFF << 1 << 0x11 << int(BitsError::IndexOutOfRange);
        QTest::newRow("negative value") << 0x11 << 3 << 0x01 << -1 << 0x11 << int(BitsError::Overflow);
        QTest::newRow("bits above 7") << 0x11 << 3 << 0x01 << 0x100 << 0x11 << int(BitsError::Overflow);
    }
    void setBits()
    {
        QFETCH(int, before);
        QFETCH(int, index);
        QFETCH(int, mask);
        QFETCH(int, value);
        QFETCH(int, after);
        QFETCH(int, error);
        ProgramState s;
        for (int i = 0; i < kImageSize; ++i)
            s.workingImage[i] = quint8(before);
        const ConfigImage untouched = s.workingImage;
        QCOMPARE(int(s.setBits(index, mask, value)), error);
        if (ConfigImage::validIndex(index))
            QCOMPARE(int(s.workingImage[index]), after);
        for (int i = 0; i < kImageSize; ++i)
            if (i != index)
                QCOMPARE(s.workingImage[i], untouched[i]);
        QCOMPARE(s.savedImage, ConfigImage{});
    }

    void getBitsReturnsUnshifted()
    {
        ProgramState s;
        s.workingImage[22] = 0xFE;
        s.defaultImage[22] = 0x20;
        QCOMPARE(int(s.getBits(22, 0x03)), 2);
        QCOMPARE(int(s.getDefaultBits(22, 0x30)), 0x20);
        BitsError e = BitsError::None;
        QCOMPARE(int(s.getBits(85, 0xFF, &e)), 0);
        QCOMPARE(e, BitsError::IndexOutOfRange);
        QCOMPARE(int(s.getDefaultBits(-3, 0xFF, &e)), 0);
        QCOMPARE(e, BitsError::IndexOutOfRange);
    }

    void sectionCopies()
    {
        ProgramState s;
        for (int i = 0; i < kImageSize; ++i) {
            s.defaultImage[i] = quint8(i + 1);
            s.workingImage[i] = 0xEE;
        }
        s.copyDecoderDefaults();
        for (int i = 0; i < kImageSize; ++i)
            QCOMPARE(int(s.workingImage[i]), i <= 24 ? i + 1 : 0xEE);
        for (int i = 0; i < kImageSize; ++i)
            s.workingImage[i] = 0xEE;
        s.copyReaderDefaults();
        for (int i = 0; i < kImageSize; ++i)
            QCOMPARE(int(s.workingImage[i]), i >= 25 ? i + 1 : 0xEE);
    }

    // Every value the setup file stores counts; the other link settings and
    // the file name do not.
    void unsavedChangesCountEveryStoredValue_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<bool>("counts");
        const char *names[] = {"device name", "user name",     "building date", "description", "port number",
                               "link mode",   "image byte 84", "baud rate",     "frame",       "file name"};
        for (int i = 0; i < 10; ++i)
            QTest::newRow(names[i]) << i << (i < 7);
    }
    void unsavedChangesCountEveryStoredValue()
    {
        QFETCH(int, which);
        QFETCH(bool, counts);
        ProgramState s;
        s.setupInfo.deviceName = QStringLiteral("saved");
        s.markSaved();
        QVERIFY(!s.hasUnsavedChanges());
        const auto edit = [&](bool back) {
            const QString text = back ? QString() : QStringLiteral("changed");
            switch (which) {
            case 0: s.setupInfo.deviceName = back ? QStringLiteral("saved") : text; break;
            case 1: s.setupInfo.userName = text; break;
            case 2: s.setupInfo.buildingDate = text; break;
            case 3: s.setupInfo.description = text; break;
            case 4: s.linkSettings.portNumber = back ? 1 : 4; break;
            case 5: s.linkSettings.linkMode = back ? 1 : 0; break;
            case 6: s.setBits(84, 0x01, back ? 0 : 1); break;
            case 7: s.linkSettings.serial.baud = back ? 9600 : 1200; break;
            case 8: s.linkSettings.serial.parity = back ? Parity::None : Parity::Even; break;
            case 9: s.setupInfo.fileName = back ? SetupInfo::kNewFile : text; break;
            }
        };
        edit(false);
        QCOMPARE(s.hasUnsavedChanges(), counts);
        edit(true); // back to the saved value: nothing to save
        QVERIFY(!s.hasUnsavedChanges());
        edit(false);
        s.markSaved();
        QVERIFY(!s.hasUnsavedChanges());
    }

    // A settings text read back as SerialSettings, and the text those make;
    // an empty "shown" where the text is refused.
    void settingsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<SerialSettings>("settings");
        QTest::addColumn<QString>("shown");
        const std::pair<char, Parity> parities[] = {
            {'N', Parity::None}, {'E', Parity::Even}, {'O', Parity::Odd}, {'M', Parity::Mark}, {'S', Parity::Space}};
        for (int baud : {1200, 2400, 4800, 9600, 19200})
            for (const auto &[letter, parity] : parities)
                for (int data : {7, 8})
                    for (int stop : {1, 2}) {
                        const QString text = QStringLiteral("%1,%2,%3,%4 ").arg(baud).arg(letter).arg(data).arg(stop);
                        QTest::newRow(qPrintable(text))
                            << text << SerialSettings{baud, parity, DataBits(data), StopBits(stop)} << text;
                    }
        QTest::newRow("start values") << "9600,N,8,1 " << LinkSettings{}.serial << "9600,N,8,1 ";
        QTest::newRow("no trailing blank")
            << "2400,E,7,2" << SerialSettings{2400, Parity::Even, DataBits::Seven, StopBits::Two} << "2400,E,7,2 ";
        QTest::newRow("lower case, blanks")
            << " 4800 , o , 8 , 1 " << SerialSettings{4800, Parity::Odd, DataBits::Eight, StopBits::One}
            << "4800,O,8,1 ";
        for (const char *bad : {"", "      ", "9600,O,8,1 extra", "300,N,8,1 ", "09600,N,8,1 ", "+9600,N,8,1 ",
                                "9600,X,8,1 ", "9600,NE,8,1 ", "9600,,8,1 ", "9600,N,6,1 ", "9600,N,8,1.5", "9600,N,8",
                                "9600,N,8,1,", "9600;N;8;1", "N,8,1 "})
            QTest::newRow(bad) << QString::fromLatin1(bad) << SerialSettings{} << QString();
    }
    void settingsText()
    {
        QFETCH(QString, text);
        QFETCH(SerialSettings, settings);
        QFETCH(QString, shown);
        const auto parsed = parseSerialSettings(text);
        QCOMPARE(parsed.has_value(), !shown.isEmpty());
        if (parsed) {
            QVERIFY(*parsed == settings);
            QCOMPARE(serialSettingsText(settings), shown);
        }
    }
};

QTEST_APPLESS_MAIN(TestConfigImage)
#include "tst_configimage.moc"
