#include "model/PageTable.h"
#include "pages/common/FieldBinding.h"
#include "support/PageTest.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

using namespace q5n;
using test::Act;

class TestBarCodesPage : public test::PageTest
{
    Q_OBJECT
    test::PageTables tables() const override
    {
        auto o = [](const char *group, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(group)).arg(i); };
        const QString checked = QStringLiteral("checked"), clear = QStringLiteral("clear");
        test::PageTables t{
            Page::DecoderBar,
            {
                {QStringLiteral("chkIsbn"), clear},
                {QStringLiteral("chkUpcAEan13"), clear},
                {QStringLiteral("optCfg52B"), QStringLiteral("Not Transmit")},
                {QStringLiteral("Optcheck"), QStringLiteral("Transmit")},
                {QStringLiteral("Optcode39"), QStringLiteral("Standard")},
                {QStringLiteral("OptStart_stop"), QStringLiteral("Not Optput ")},
                {QStringLiteral("opt53B"), QStringLiteral("Do Not Calculate Check Digit")},
                {QStringLiteral("opt54A"), QStringLiteral("Calculate Check Digit and Not Transmit")},
                {QStringLiteral("opt55A"), QStringLiteral("Do Not Calculate Check Digit")},
                {QStringLiteral("ChkBrazil"), clear},
                {QStringLiteral("chk58A"), clear},
            },
            {
                {"CodaBar off", o("chk51", 0), Act::Click, {}, 21, 0xFF, 0xFE},
                {"UPC-A off", o("chk51", 7), Act::Click, {}, 21, 0xFF, 0x7F},
                {"Code 39 on by Space", o("chk51", 3), Act::Space, {}, 21, 0x00, 0x08},
                {"ISBN", QStringLiteral("chkIsbn"), Act::Click, {}, 22, 0x22, 0x32},
                {"UPC-A=EAN-13", QStringLiteral("chkUpcAEan13"), Act::Click, {}, 22, 0x22, 0xA2},
                {"supplemental", o("optCfg52B", 1), Act::Click, {}, 22, 0x22, 0x62},
                {"UPC/EAN check digit", o("Optcheck", 0), Act::Click, {}, 22, 0x22, 0x02},
                {"full ASCII", o("Optcode39", 0), Act::Click, {}, 23, 0x66, 0x64},
                {"start/stop output", o("OptStart_stop", 1), Act::Click, {}, 23, 0x66, 0x67},
                {"Code 39 check digit transmitted", o("opt53B", 2), Act::Click, {}, 23, 0x66, 0xE6},
                {"Code 39 no check digit", o("opt53B", 0), Act::Click, {}, 23, 0xE6, 0x66},
                {"Code 39 code 0 stays while shown", o("opt53B", 0), Act::Click, {}, 23, 0x26, 0x26},
                {"Code 128 check digit transmitted", o("opt54A", 2), Act::AccessToggle, {}, 23, 0x66, 0x76},
                {"Interleave 25 check digit", o("opt55A", 1), Act::Click, {}, 23, 0x66, 0x6A},
                {"Brazil 25 only bit 0", QStringLiteral("ChkBrazil"), Act::Click, {}, 19, 0xFC, 0xFD},
                {"Codabar start/stop on", QStringLiteral("chk58A"), Act::Click, {}, 22, 0x22, 0x2A},
                {"Codabar stop A", o("ChkStart", 0), Act::Click, {}, 18, 0x00, 0x01},
                {"Codabar start A", o("ChkStart", 4), Act::Click, {}, 18, 0x00, 0x10},
                {"Codabar start D cleared", o("ChkStart", 7), Act::AccessToggle, {}, 18, 0xFF, 0x7F},
            },
            {
                {"symbologies", QStringLiteral("cmdSetAll"), 21, 0xFF, 0x00, 0xFF},
                {"symbologies from another default", QStringLiteral("cmdSetAll"), 21, 0x0F, 0xF0, 0x0F},
                {"Clear All Barcodes", QStringLiteral("Command1"), 21, 0xFF, 0xFF, 0x00},
                {"UPC/EAN", QStringLiteral("cmdDefault52C"), 22, 0x22, 0xF2, 0x22},
                {"Code 39", QStringLiteral("cmdDefault53"), 23, 0x66, 0xE5, 0x66},
                {"Code 39 default code 0 writes 1", QStringLiteral("cmdDefault53"), 23, 0x26, 0xE6, 0x66},
                {"Code 128", QStringLiteral("cmdDefault54"), 23, 0x66, 0x76, 0x66},
                {"Interleave 25 check digit", QStringLiteral("cmdDefault55"), 23, 0x66, 0x6E, 0x66},
                {"Brazil 25", QStringLiteral("cmdDefault55"), 19, 0xFC, 0xFD, 0xFC},
                {"Codabar start and stop", QStringLiteral("cmdDefault58"), 18, 0xFF, 0x00, 0xFF},
                {"Codabar transmission", QStringLiteral("cmdDefault58"), 22, 0x22, 0x2A, 0x22},
            }};
        for (int i = 0; i < 8; ++i) {
            t.factoryDisplay.push_back({o("chk51", i), checked});
            t.factoryDisplay.push_back({o("ChkStart", i), checked});
        }
        return t;
    }

private Q_SLOTS:
    void tabsAndFrames()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderBar);
        QVERIFY(page);
        QTabBar *tabs = page->findChild<QTabBar *>(QStringLiteral("TabCFG2"));
        QVERIFY(tabs);
        const char *expected[][3] = {{"&Symboligies", "Symboligies Selection", "Symboligies Selection"},
                                     {"&UPC/EAN/JAN", "UPC/EAN/JAN Parameters", "UPC/EAN/JAN Parameters"},
                                     {"Code &39", "Code 39 Parameters", "Code 39 Parameters"},
                                     {"Code 12&8", "Code 128 Parameters", "Code 128 Parameters"},
                                     {"&Interleave 25", "Interleave 25 Parameters", "Interleave 25 Parameters"},
                                     {"Coda&bar", "CodaBar Parameters", "Codabar Parameters"}};
        QCOMPARE(tabs->count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(tabs->tabText(i), QString::fromLatin1(expected[i][0]));
            QCOMPARE(tabs->tabToolTip(i), QString::fromLatin1(expected[i][1]));
            auto *frame = qobject_cast<QGroupBox *>(page->frame(i));
            QVERIFY(frame);
            QCOMPARE(frame->title(), QString::fromLatin1(expected[i][2]));
        }
    }

    // The eight Codabar boxes are one group: stop A..D in one frame, start A..D in the other.
    void codabarBoxesStandInTwoFrames()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderBar);
        QVERIFY(page->binding<BitSetBinding>(QStringLiteral("ChkStart")));
        for (int i = 0; i < 8; ++i) {
            auto *box = page->findChild<QCheckBox *>(QStringLiteral("ChkStart_%1").arg(i));
            QVERIFY(box);
            QCOMPARE(box->text(), QString(QChar('A' + i % 4)));
            auto *frame = qobject_cast<QGroupBox *>(box->parentWidget());
            QVERIFY(frame);
            QCOMPARE(frame->title(), i < 4 ? QStringLiteral("Transmission Type of Stop")
                                           : QStringLiteral("Transmission Type of Start"));
        }
    }

    // A stored check-digit code 0: Interleave 25 holds code 1 once the page
    // has opened; Code 39 and Code 128 keep it. Nothing else is written.
    void checkDigitCodeZeroAtOpen_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("opened");
        QTest::newRow("Interleave 25") << 0x60 << 0x64;
        QTest::newRow("Code 39 and Code 128") << 0x06 << 0x06;
        QTest::newRow("all three") << 0x00 << 0x04;
    }
    void checkDigitCodeZeroAtOpen()
    {
        QFETCH(int, stored);
        QFETCH(int, opened);
        test::PageFixture f;
        f.working()[23] = quint8(stored);
        ConfigImage expected = f.working();
        expected[23] = quint8(opened);
        SettingPage *page = f.open(Page::DecoderBar);
        QVERIFY(page);
        QCOMPARE(f.working(), expected);
        // Code 0 shows "Do Not Calculate Check Digit" in each field.
        const std::pair<const char *, int> fields[] = {{"opt53B", 6}, {"opt54A", 4}, {"opt55A", 2}};
        for (const auto &[field, shift] : fields)
            if (((stored >> shift) & 3) == 0)
                QCOMPARE(page->binding<OptionGroupBinding>(QString::fromLatin1(field))->selectedOption(),
                         std::optional<int>(0));
    }

    // The group buttons work through the boxes: byte 21 only, each box by its own handling.
    void clearAllThenSetDefault()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderBar);
        const ConfigImage factory = f.working();
        page->button(QStringLiteral("Command1"))->click();
        for (int i = 0; i < 8; ++i)
            QVERIFY(!page->findChild<QCheckBox *>(QStringLiteral("chk51_%1").arg(i))->isChecked());
        ConfigImage cleared = factory;
        cleared[21] = 0;
        QCOMPARE(f.working(), cleared);
        page->button(QStringLiteral("cmdSetAll"))->click();
        QCOMPARE(f.working(), factory);
    }
};

QTEST_MAIN(TestBarCodesPage)
#include "tst_barcodespage.moc"
