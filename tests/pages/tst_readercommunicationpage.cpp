#include "model/PageTable.h"
#include "pages/common/FieldBinding.h"
#include "pages/reader/ReaderCommunicationPage.h"
#include "support/PageTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

using namespace q5n;
using test::Act;

class TestReaderCommunicationPage : public test::PageTest
{
    Q_OBJECT
    test::PageTables tables() const override
    {
        auto o = [](const char *group, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(group)).arg(i); };
        const QString set41 = QStringLiteral("cmdDefault41"), set42 = QStringLiteral("cmdDefault42"),
                      set43 = QStringLiteral("cmdDefault43"), set45 = QStringLiteral("cmdDefault45");
        const QString separator = QStringLiteral("cbo45D");
        return {
            Page::ReaderComm,
            {
                {QStringLiteral("optCfg41A"), QStringLiteral("9600")},
                {QStringLiteral("optCfg41B"), QStringLiteral("8 Data Bits")},
                {QStringLiteral("optCfg41C"), QStringLiteral("1 Bit")},
                {QStringLiteral("optCfg41D"), QStringLiteral("None")},
                {QStringLiteral("optRTSCTS"), QStringLiteral("Disable")},
                {QStringLiteral("optACKNCK"), QStringLiteral("Disable")},
                {QStringLiteral("optXONXOFF"), QStringLiteral("Disable")},
                {QStringLiteral("optCfg42A"), QStringLiteral("IBM PC/AT,PS/2")},
                {QStringLiteral("Optcfg42b"), QStringLiteral("Upper Case")},
                {QStringLiteral("optCfg42C"), QStringLiteral("Disable")},
                {QStringLiteral("optCfg42D"), QStringLiteral("OFF")},
                {QStringLiteral("optCfg43A"), QStringLiteral("CR+LF")},
                {QStringLiteral("optCfg43B"), QStringLiteral("0 ms")},
                {QStringLiteral("OptISO"), QStringLiteral("ISO")},
                {QStringLiteral("optCfg45A"), QStringLiteral("Any")},
                {QStringLiteral("chkCfg45B"), QStringLiteral("checked")},
                {QStringLiteral("chkCfg45C"), QStringLiteral("clear")},
                {separator, QStringLiteral("CR")},
            },
            {
                {"9600 writes 7", o("optCfg41A", 5), Act::Click, {}, 28, 0x10, 0x17},
                {"19200", o("optCfg41A", 4), Act::Click, {}, 28, 0x17, 0x14},
                {"600 by Space", o("optCfg41A", 0), Act::Space, {}, 28, 0x14, 0x10},
                {"1200", o("optCfg41A", 1), Act::Click, {}, 28, 0x17, 0x11},
                {"2400", o("optCfg41A", 2), Act::Click, {}, 28, 0x17, 0x12},
                {"4800", o("optCfg41A", 3), Act::AccessToggle, {}, 28, 0x17, 0x13},
                {"baud code 5 stays while 9600 is shown", o("optCfg41A", 5), Act::Click, {}, 28, 0x15, 0x15},
                {"baud code 6, then 9600", o("optCfg41A", 5), Act::Click, {}, 28, 0x16, 0x17},
                {"7 data bits", o("optCfg41B", 0), Act::Click, {}, 26, 0x30, 0x10},
                {"2 stop bits", o("optCfg41C", 0), Act::Click, {}, 26, 0x30, 0x20},
                {"parity None writes 0xE0", o("optCfg41D", 4), Act::Click, {}, 27, 0x02, 0xE2},
                {"parity Odd", o("optCfg41D", 3), Act::Click, {}, 27, 0xE2, 0x62},
                {"parity Space", o("optCfg41D", 0), Act::Click, {}, 27, 0xE2, 0x02},
                {"parity Mark", o("optCfg41D", 1), Act::Click, {}, 27, 0xE2, 0x22},
                {"parity Even", o("optCfg41D", 2), Act::Click, {}, 27, 0xE2, 0x42},
                {"parity code 4 stays while None is shown", o("optCfg41D", 4), Act::Click, {}, 27, 0x82, 0x82},
                {"RTS/CTS", o("optRTSCTS", 1), Act::Click, {}, 27, 0xE2, 0xF2},
                {"ACK/NAK", o("optACKNCK", 1), Act::Click, {}, 27, 0xE2, 0xEA},
                {"XON/XOFF", o("optXONXOFF", 1), Act::Space, {}, 26, 0x30, 0x38},
                {"NEC 9800", o("optCfg42A", 3), Act::Click, {}, 26, 0x30, 0x33},
                {"Lower Case", o("Optcfg42b", 1), Act::Click, {}, 28, 0x17, 0x97},
                {"ALT Enable", o("optCfg42C", 1), Act::Click, {}, 28, 0x97, 0xB7},
                {"pad ON", o("optCfg42D", 1), Act::AccessToggle, {}, 28, 0xB7, 0xF7},
                {"terminator None", o("optCfg43A", 6), Act::Click, {}, 27, 0xE2, 0xE6},
                {"terminator CR", o("optCfg43A", 0), Act::Click, {}, 27, 0xE2, 0xE0},
                {"terminator STX-ETX", o("optCfg43A", 5), Act::Click, {}, 27, 0xE2, 0xE5},
                {"15 ms", o("optCfg43B", 1), Act::Click, {}, 26, 0x30, 0x34},
                {"JIS2", o("OptISO", 1), Act::Click, {}, 25, 0x0A, 0x0B},
                {"ISO", o("OptISO", 0), Act::Click, {}, 25, 0x0B, 0x0A},
                {"Any keeps the language", o("optCfg45A", 15), Act::Click, {}, 83, 0x90, 0x9F},
                {"Auto", o("optCfg45A", 12), Act::Click, {}, 83, 0x9F, 0x9C},
                {"Single Track", o("optCfg45A", 0), Act::Space, {}, 83, 0x9F, 0x90},
                {"start/stop cleared", QStringLiteral("chkCfg45B"), Act::Click, {}, 28, 0x17, 0x07},
                {"account number only", QStringLiteral("chkCfg45C"), Act::AccessToggle, {}, 28, 0x17, 0x1F},
                {"separator US picked", separator, Act::Pick, QStringLiteral("US"), 84, 0x0D, 0x1F},
                {"separator NUL picked", separator, Act::Pick, QStringLiteral("NUL"), 84, 0x23, 0x00},
                {"separator # typed", separator, Act::Type, QStringLiteral("#"), 84, 0x0D, 0x23},
                {"separator: the first letter of CR", separator, Act::Type, QStringLiteral("CR"), 84, 0x0D, 0x43},
                {"separator emptied keeps the byte", separator, Act::Type, {}, 84, 0x23, 0x23},
                {"separator: CR typed, then Tab", separator, Act::TypeTab, QStringLiteral("CR"), 84, 0x23, 0x43},
                {"separator: ESC typed, then Enter", separator, Act::TypeEnter, QStringLiteral("ESC"), 84, 0x23, 0x45},
                {"separator: LF typed, then a click", separator, Act::TypeClickAway, QStringLiteral("LF"), 84, 0x23,
                 0x4C},
            },
            {
                {"RS232: baud", set41, 28, 0x17, 0x94, 0x97},
                {"RS232: parity and handshakes", set41, 27, 0xE2, 0x7A, 0xE2},
                {"RS232: data, stop, XON/XOFF", set41, 26, 0x30, 0x0F, 0x37},
                {"RS232: default baud code 5 keeps 7", set41, 28, 0x15, 0x17, 0x17},
                {"keyboard: case, ALT, pad", set42, 28, 0x17, 0xE7, 0x07},
                {"keyboard: terminal type", set42, 26, 0x30, 0x3F, 0x3C},
                {"output: terminator", set43, 27, 0xE2, 0xFD, 0xFA},
                {"output: time-out only", set43, 26, 0x30, 0x3F, 0x3B},
                {"output: other tabs stay", set43, 28, 0x17, 0x14, 0x14},
                {"card: tracks", set45, 83, 0x0F, 0x91, 0x9F},
                {"card: switches", set45, 28, 0x17, 0x0C, 0x14},
                {"card: separator", set45, 84, 0x0D, 0x23, 0x0D},
                {"card: typed separator", set45, 84, 0x2C, 0x0D, 0x2C},
                {"card: standard", set45, 25, 0x01, 0x0A, 0x0B},
            },
        };
    }

    static QStringList enabledOf(SettingPage &page)
    {
        QStringList on;
        for (const char *name : {"fraCfg45A", "optCfg45A_15", "chkCfg45C", "Label5", "cbo45D", "Label6"}) {
            QWidget *w = page.findChild<QWidget *>(QLatin1String(name));
            if (!w)
                return {QStringLiteral("missing ") + QLatin1String(name)};
            if (w->isEnabled())
                on << QLatin1String(name);
        }
        return on;
    }

private Q_SLOTS:
    void tabs()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::ReaderComm);
        QVERIFY(page);
        QTabBar *tabs = page->findChild<QTabBar *>(QStringLiteral("TabCFG1"));
        QVERIFY(tabs);
        const std::pair<const char *, const char *> expected[] = {
            {"&RS232", "RS232 Mode Parameters"},
            {"&Keyboard", "Keyboard Wedge Mode Parameters"},
            {"&Output Characters", "Output Characters Parameters"},
            {"&Magnetic Reader", "Magnetic Reader Parameters"}};
        QCOMPARE(tabs->count(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(tabs->tabText(i), QString::fromLatin1(expected[i].first));
            QCOMPARE(tabs->tabToolTip(i), QString::fromLatin1(expected[i].second));
        }
        QCOMPARE(page->findChild<QLabel *>(QStringLiteral("Label5"))->text(),
                 QStringLiteral("Track 2 Account Number Only"));
        QCOMPARE(page->findChild<QLabel *>(QStringLiteral("Label6"))->text(),
                 QStringLiteral("Separator Character (For Dual Or Triple Tracks)"));
    }

    // Aliases at open: a stored terminator code 7 is shown by "None", which
    // the page does not start with, and so is rewritten as 6; the other codes
    // that no option writes stay until the user chooses.
    void aliasesAtOpen_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shows");
        QTest::addColumn<int>("after");
        QTest::newRow("terminator 7") << "optCfg43A" << 27 << 0xE7 << "None" << 0xE6;
        QTest::newRow("baud 5") << "optCfg41A" << 28 << 0x15 << "9600" << 0x15;
        QTest::newRow("baud 6") << "optCfg41A" << 28 << 0x16 << "" << 0x16;
        QTest::newRow("parity 4") << "optCfg41D" << 27 << 0x82 << "None" << 0x82;
        QTest::newRow("parity 5") << "optCfg41D" << 27 << 0xA2 << "" << 0xA2;
        QTest::newRow("parity 6") << "optCfg41D" << 27 << 0xC2 << "" << 0xC2;
        QTest::newRow("tracks 13") << "optCfg45A" << 83 << 0x0D << "" << 0x0D;
        QTest::newRow("tracks 14") << "optCfg45A" << 83 << 0x0E << "" << 0x0E;
    }
    void aliasesAtOpen()
    {
        QFETCH(QString, group);
        QFETCH(int, byte);
        QFETCH(int, stored);
        QFETCH(QString, shows);
        QFETCH(int, after);
        test::PageFixture f;
        f.working()[byte] = quint8(stored);
        SettingPage *page = f.open(Page::ReaderComm);
        QVERIFY(page);
        auto *options = page->binding<OptionGroupBinding>(group);
        QVERIFY(options);
        const auto selected = options->selectedOption();
        QCOMPARE(selected ? page->fieldControl(group, *selected)->property("text").toString() : QString(), shows);
        ConfigImage expected = f.t.state.defaultImage;
        expected[byte] = quint8(after);
        QCOMPARE(f.working(), expected);
    }

    // JIS2 disables the track selection, the account number box and the
    // separator box with their labels, at open, on a choice (click or arrow
    // key) and on "Set Default"; ISO enables them again. Only bit 0 of byte 25
    // changes.
    void cardStandard()
    {
        test::PageFixture f;
        f.working()[25] = 0x01;
        SettingPage *page = f.open(Page::ReaderComm);
        QVERIFY(page);
        const QStringList all = {"fraCfg45A", "optCfg45A_15", "chkCfg45C", "Label5", "cbo45D", "Label6"};
        QCOMPARE(enabledOf(*page), QStringList{});
        QVERIFY(page->findChild<QCheckBox *>(QStringLiteral("chkCfg45B"))->isEnabled());

        ConfigImage image = f.working();
        page->tabStrip()->setCurrentIndex(3);
        auto *iso = page->findChild<QRadioButton *>(QStringLiteral("OptISO_0"));
        iso->click();
        QCOMPARE(enabledOf(*page), all);
        image[25] = 0x00;
        QCOMPARE(f.working(), image);

        QVERIFY(QTest::qWaitForWindowExposed(&f.main));
        iso->setFocus();
        QTest::keyClick(iso, Qt::Key_Right);
        QVERIFY(page->findChild<QRadioButton *>(QStringLiteral("OptISO_1"))->isChecked());
        QCOMPARE(enabledOf(*page), QStringList{});
        image[25] = 0x01;
        QCOMPARE(f.working(), image);

        // "Set Default" brings ISO from the factory default, then JIS2 from
        // a default that holds it.
        page->button(QStringLiteral("cmdDefault45"))->click();
        QCOMPARE(enabledOf(*page), all);
        QCOMPARE(int(f.working()[25]), 0x00);
        f.t.state.defaultImage[25] = 0x01;
        page->button(QStringLiteral("cmdDefault45"))->click();
        QCOMPARE(enabledOf(*page), QStringList{});
        QCOMPARE(int(f.working()[25]), 0x01);
    }

    // The separator box shows a byte above 31 as its character with no list
    // item, and a control code as its name picked from the list.
    void separatorShown_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("item");
        QTest::newRow("#") << 0x23 << "#" << -1;
        QTest::newRow("CR") << 0x0D << "CR" << 13;
        QTest::newRow("NUL") << 0x00 << "NUL" << 0;
        QTest::newRow("US") << 0x1F << "US" << 31;
        QTest::newRow("space") << 0x20 << " " << -1;
        QTest::newRow("e acute") << 0xE9 << QString(QChar(0xE9)) << -1;
    }
    void separatorShown()
    {
        QFETCH(int, stored);
        QFETCH(QString, text);
        QFETCH(int, item);
        test::PageFixture f;
        f.working()[84] = quint8(stored);
        SettingPage *page = f.open(Page::ReaderComm);
        QVERIFY(page);
        auto *box = page->findChild<QComboBox *>(QStringLiteral("cbo45D"));
        QCOMPARE(box->count(), 32);
        QCOMPARE(box->itemText(27), QStringLiteral("ESC"));
        QCOMPARE(box->currentText(), text);
        QCOMPARE(box->currentIndex(), item);
        QCOMPARE(int(f.working()[84]), stored);
    }
};

QTEST_MAIN(TestReaderCommunicationPage)
#include "tst_readercommunicationpage.moc"
