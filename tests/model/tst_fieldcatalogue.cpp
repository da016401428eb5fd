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
        }
        const QStringList problems = catalogueProblems(entries);
        QVERIFY2(!problems.isEmpty(), qPrintable(expected));
        QVERIFY2(problems.join(QLatin1Char(' ')).contains(expected), qPrintable(problems.join(QLatin1Char(' '))));
        // Without the faulty entry the list is sound.
        entries.pop_back();
        QVERIFY(catalogueProblems(entries).isEmpty());
    }

    void interfacePageEntries_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("caption");
        QTest::newRow("device name") << "txtDeviceName" << int(FieldKind::Text) << -1 << 0 << "Device Name: ";
        QTest::newRow("user name") << "txtUserName" << int(FieldKind::Text) << -1 << 0 << "User's Name: ";
        QTest::newRow("date") << "txtDate" << int(FieldKind::Text) << -1 << 0 << "Building Date:";
        QTest::newRow("description") << "txtDescription" << int(FieldKind::Text) << -1 << 0 << "Description:";
        QTest::newRow("interface") << "OptCfg3_1" << int(FieldKind::Index) << 22 << 0x03 << "Interface";
        QTest::newRow("read memory") << "ChkRead" << int(FieldKind::Flag) << 24 << 0x01 << "Read Memory Enable";
    }
    void interfacePageEntries()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(int, byte);
        QFETCH(int, mask);
        QFETCH(QString, caption);
        const FieldEntry *e = findField(1, name);
        QVERIFY(e);
        QCOMPARE(int(e->kind), kind);
        QCOMPARE(e->caption, caption);
        if (e->kind != FieldKind::Text) {
            QCOMPARE(e->byte, byte);
            QCOMPARE(e->mask, mask);
        }
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

    void interfaceOptionsWriteTheirIndex()
    {
        const FieldEntry *e = findField(1, QStringLiteral("OptCfg3_1"));
        QVERIFY(e);
        const QStringList captions{"Keyboard Mode", "USB Mode", "RS232 Mode"};
        QCOMPARE(int(e->options.size()), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(e->option(i)->caption, captions[i]);
            QCOMPARE(e->valueOf(i), i);
            QCOMPARE(e->optionForCode(i), std::optional<int>(i));
        }
        QCOMPARE(e->optionForCode(3), std::nullopt);
    }

    void unitIsTheLowestMaskBit_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("unit");
        QTest::newRow("0x03") << 0x03 << 1;
        QTest::newRow("0x0C") << 0x0C << 4;
        QTest::newRow("0x70") << 0x70 << 16;
        QTest::newRow("0xC0") << 0xC0 << 64;
        QTest::newRow("0x80") << 0x80 << 128;
    }
    void unitIsTheLowestMaskBit()
    {
        QFETCH(int, mask);
        QFETCH(int, unit);
        FieldEntry e;
        e.mask = mask;
        QCOMPARE(e.unit(), unit);
    }
};

QTEST_APPLESS_MAIN(TestFieldCatalogue)
#include "tst_fieldcatalogue.moc"
