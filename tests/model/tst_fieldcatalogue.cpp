#include "model/DecoderLine.h"
#include "model/Defaults.h"
#include "model/FieldCatalogue.h"
#include "model/ProgramState.h"

#include <QtTest>

using namespace q5n;

namespace {

FieldEntry group(const char *name, int byte, int mask, std::vector<FieldOption> options, int design = 0)
{
    FieldEntry e;
    e.name = QString::fromLatin1(name);
    e.kind = FieldKind::Index;
    e.page = 1;
    e.byte = byte;
    e.mask = mask;
    e.options = std::move(options);
    e.designSelection = design;
    return e;
}

} // namespace

class TestFieldCatalogue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void catalogueIsConsistent()
    {
        const QStringList problems = catalogueProblems(fieldCatalogue());
        if (!problems.isEmpty())
            qWarning().noquote() << problems.join(QLatin1Char('\n'));
        QVERIFY(problems.isEmpty());
    }

    // The checker itself must notice what it is there to notice.
    void checkerFindsFaults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("expected");
        QTest::newRow("overlapping masks") << 0 << "overlaps";
        QTest::newRow("option outside the mask") << 1 << "outside mask";
        QTest::newRow("code shown by a missing option") << 2 << "missing option";
        QTest::newRow("design selection is no option") << 3 << "design selection";
        QTest::newRow("option not showing its own code") << 4 << "does not show";
        QTest::newRow("flag on two bits") << 5 << "more than one bit";
        QTest::newRow("sequence past the image") << 6 << "outside the image";
        QTest::newRow("bit-set box without a single bit") << 7 << "no single bit";
        QTest::newRow("frames sharing a box") << 8 << "shares boxes";
        QTest::newRow("box in no frame") << 9 << "frames hold boxes 0x1, the field 0x3";
    }
    void checkerFindsFaults()
    {
        QFETCH(int, fault);
        QFETCH(QString, expected);
        std::vector<FieldEntry> entries;
        entries.push_back(group("a", 22, 0x03, {{0, "x", 0}, {1, "y", 1}}));
        switch (fault) {
        case 0: entries.push_back(group("b", 22, 0x06, {{0, "x", 0}})); break;
        case 1: entries.push_back(group("b", 22, 0x0C, {{0, "x", 0}, {1, "y", 4}})); break;
        case 2: {
            FieldEntry e = group("b", 23, 0x07, {{0, "x", 0}});
            e.kind = FieldKind::Coded;
            e.shows = {{0, 0}, {7, 5}};
            entries.push_back(e);
            break;
        }
        case 3: entries.push_back(group("b", 23, 0x01, {{0, "x", 0}, {1, "y", 1}}, 4)); break;
        case 4: {
            FieldEntry e = group("b", 23, 0x70, {{0, "x", 0}, {1, "y", 7}});
            e.kind = FieldKind::Coded;
            e.shows = {{0, 0}, {4, 1}};
            entries.push_back(e);
            break;
        }
        case 5: {
            FieldEntry e = group("b", 24, 0x03, {});
            e.kind = FieldKind::Flag;
            entries.push_back(e);
            break;
        }
        case 6: {
            FieldEntry e = group("b", 80, 0xFF, {});
            e.kind = FieldKind::CharacterSequence;
            e.length = 8;
            entries.push_back(e);
            break;
        }
        case 7: {
            FieldEntry e = group("b", 21, 0xFF, {{0, "x", 1}, {1, "y", 6}});
            e.kind = FieldKind::BitSet;
            entries.push_back(e);
            break;
        }
        case 8:
        case 9: {
            FieldEntry e = group("b", 21, 0x03, {{0, "x", 1}, {1, "y", 2}});
            e.kind = FieldKind::BitSet;
            e.frames = {{"Stop", 0x01}, {"Start", fault == 8 ? 0x03 : 0x00}};
            entries.push_back(e);
            break;
        }
        }
        const QStringList problems = catalogueProblems(entries);
        QVERIFY2(!problems.isEmpty(), qPrintable(expected));
        QVERIFY2(problems.join(QLatin1Char(' ')).contains(expected), qPrintable(problems.join(QLatin1Char(' '))));
        // Without the faulty entry the list is sound.
        entries.pop_back();
        QVERIFY(catalogueProblems(entries).isEmpty());
    }

    void textFieldsNameTheirSetupText()
    {
        SetupInfo info;
        const std::pair<const char *, QString SetupInfo::*> bound[] = {
            {"txtDeviceName", &SetupInfo::deviceName},
            {"txtUserName", &SetupInfo::userName},
            {"txtDate", &SetupInfo::buildingDate},
            {"txtDescription", &SetupInfo::description},
        };
        for (const auto &[name, member] : bound) {
            const FieldEntry *e = findField(1, QString::fromLatin1(name));
            QVERIFY(e && e->text);
            setupText(info, *e->text) = QString::fromLatin1(name);
            QCOMPARE(info.*member, QString::fromLatin1(name));
        }
    }

    // Every page's fields read through the catalogue on the factory image.
    void factoryImageInWords_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("shown");
        const struct
        {
            int page;
            const char *field;
            const char *shown;
        } rows[] = {
            {1, "OptCfg3_1", "RS232 Mode"},
            {1, "ChkRead", "clear"},
            {2, "optCfg41A", "9600"},
            {2, "optCfg41B", "8 Data Bits"},
            {2, "optCfg41C", "1 Bit"},
            {2, "optCfg41D", "None"},
            {2, "optRTSCTS", "Disable"},
            {2, "optACKNCK", "Disable"},
            {2, "optXONXOFF", "Disable"},
            {2, "optCfg42A", "IBM PC/AT,PS/2"},
            {2, "Optcfg42b", "Upper Case"},
            {2, "optCfg42C", "Disable"},
            {2, "optCfg42D", "OFF"},
            {2, "optCfg43A", "CR+LF"},
            {2, "optCfg43B", "0 ms"},
            {3, "chk51",
             "0 CodaBar/NW7, 1 Interleave 25, 2 Code 128, 3 Code 39, 4 EAN-8/JAN-8, 5 EAN-13/JAN-13, "
             "6 UPC-E, 7 UPC-A"},
            {3, "chkIsbn", "clear"},
            {3, "chkUpcAEan13", "clear"},
            {3, "optCfg52B", "Not Transmit"},
            {3, "Optcheck", "Transmit"},
            {3, "Optcode39", "Standard"},
            {3, "OptStart_stop", "Not Optput "},
            {3, "opt53B", "Do Not Calculate Check Digit"},
            {3, "opt54A", "Calculate Check Digit and Not Transmit"},
            {3, "opt55A", "Do Not Calculate Check Digit"},
            {3, "ChkBrazil", "clear"},
            {3, "chk58A", "clear"},
            {3, "ChkStart", "0 A, 1 B, 2 C, 3 D, 4 A, 5 B, 6 C, 7 D"},
            {4, "opt61", "US English"},
            {4, "chk62", "clear"},
            {4, "txt62_0", "A"},
            {4, "txt62_7", "H"},
            {4, "cboTruncate1", "0"},
            {4, "CboTruncate2", "0"},
            {4, "txt694", ""},
            {4, "txt693", ""},
            {8, "OptCfg3_1", "Keyboard Mode"},
            {8, "ChkNotebook", "clear"},
            {8, "ChkMSRMem", "clear"},
            {6, "optCfg41A", "9600"},
            {6, "optCfg41B", "8 Data Bits"},
            {6, "optCfg41C", "1 Bit"},
            {6, "optCfg41D", "None"},
            {6, "optRTSCTS", "Disable"},
            {6, "optACKNCK", "Disable"},
            {6, "optXONXOFF", "Disable"},
            {6, "optCfg42A", "IBM PC/AT,PS/2"},
            {6, "Optcfg42b", "Upper Case"},
            {6, "optCfg42C", "Disable"},
            {6, "optCfg42D", "OFF"},
            {6, "optCfg43A", "CR+LF"},
            {6, "optCfg43B", "0 ms"},
            {6, "OptISO", "ISO"},
            {6, "optCfg45A", "Any"},
            {6, "chkCfg45B", "checked"},
            {6, "chkCfg45C", "clear"},
            {6, "cbo45D", "CR"},
            {7, "opt61", "US English"},
            {7, "txt694", ""},
            {7, "txt693", ""},
            {7, "txtChar_0", "%"},
            {7, "txtChar_1", "?"},
            {7, "txtChar_2", ";"},
            {7, "txtChar_3", "?"},
            {7, "txtChar_4", "+"},
            {7, "txtChar_5", "?"},
        };
        for (const auto &r : rows)
            QTest::addRow("%d %s", r.page, r.field)
                << r.page << QString::fromLatin1(r.field) << QString::fromLatin1(r.shown);
    }
    void factoryImageInWords()
    {
        QFETCH(int, page);
        QFETCH(QString, field);
        QFETCH(QString, shown);
        const FieldEntry *e = findField(page, field);
        QVERIFY(e);
        QCOMPARE(valueText(*e, factoryImage()), shown);
    }

    // Stored codes that an option shows under another code, and codes no option shows.
    void aliasCodes_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("byteValue");
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("designSelection");
        QTest::newRow("decoder parity code 4") << 2 << "optCfg41D" << 0x40 << 4 << 4;
        QTest::newRow("decoder parity code 5") << 2 << "optCfg41D" << 0x50 << -1 << 4;
        QTest::newRow("decoder terminator code 7") << 2 << "optCfg43A" << 0x07 << -1 << 0;
        QTest::newRow("interface code 3") << 1 << "OptCfg3_1" << 0x03 << -1 << 0;
        QTest::newRow("code 39 check digit code 0") << 3 << "opt53B" << 0x00 << 0 << 0;
        QTest::newRow("interleave 25 check digit code 0") << 3 << "opt55A" << 0x00 << 0 << 2;
        QTest::newRow("reader interface code 3") << 8 << "OptCfg3_1" << 0xC0 << 1 << 1;
        QTest::newRow("reader baud code 5") << 6 << "optCfg41A" << 0x05 << 5 << 5;
        QTest::newRow("reader baud code 6") << 6 << "optCfg41A" << 0x06 << -1 << 5;
        QTest::newRow("reader parity code 4") << 6 << "optCfg41D" << 0x80 << 4 << 4;
        QTest::newRow("reader terminator code 7") << 6 << "optCfg43A" << 0x07 << 6 << 2;
        QTest::newRow("track selection 13") << 6 << "optCfg45A" << 0x0D << -1 << 0;
        QTest::newRow("separator 0x23") << 6 << "cbo45D" << 0x23 << -1 << -1;
    }
    void aliasCodes()
    {
        QFETCH(int, page);
        QFETCH(QString, field);
        QFETCH(int, byteValue);
        QFETCH(int, option);
        QFETCH(int, designSelection);
        const FieldEntry *e = findField(page, field);
        QVERIFY(e);
        ConfigImage image;
        image[e->byte] = quint8(byteValue);
        QCOMPARE(shownOption(*e, image).value_or(-1), option);
        QCOMPARE(e->designSelection, designSelection);
    }

    // The decoder's own line as a configuration sets it (bytes 16 and 19 of
    // the Communication Parameters page): the settings text, or "" for none.
    void decoderLineOfAnImage_data()
    {
        QTest::addColumn<int>("byte16");
        QTest::addColumn<int>("byte19");
        QTest::addColumn<QString>("line");
        QTest::newRow("factory") << 0x08 << 0xFC << "9600,N,8,1 ";
        QTest::newRow("19200, language bits kept apart") << 0xFC << 0xFC << "19200,N,8,1 ";
        QTest::newRow("2400") << 0x00 << 0xFC << "2400,N,8,1 ";
        QTest::newRow("7 data bits, 2 stop bits, Even") << 0x04 << 0x24 << "4800,E,7,2 ";
        QTest::newRow("Odd") << 0x08 << 0xB8 << "9600,O,8,1 ";
        QTest::newRow("Mark") << 0x08 << 0x98 << "9600,M,8,1 ";
        QTest::newRow("parity code 4 shows None") << 0x08 << 0xC8 << "9600,N,8,1 ";
        QTest::newRow("parity code 5 shows no option") << 0x08 << 0xD8 << "";
    }
    void decoderLineOfAnImage()
    {
        QFETCH(int, byte16);
        QFETCH(int, byte19);
        QFETCH(QString, line);
        ConfigImage image = factoryImage();
        image[16] = quint8(byte16);
        image[19] = quint8(byte19);
        const auto got = decoderLine(image);
        QCOMPARE(got ? serialSettingsText(*got) : QString(), line);
    }
};

QTEST_APPLESS_MAIN(TestFieldCatalogue)
#include "tst_fieldcatalogue.moc"
