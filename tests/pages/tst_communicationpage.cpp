#include "model/PageTable.h"
#include "pages/common/FieldBinding.h"
#include "support/PageTest.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QTabBar>
#include <QtTest>

using namespace q5n;
using test::Act;

class TestCommunicationPage : public test::PageTest
{
    Q_OBJECT
    test::PageTables tables() const override
    {
        auto o = [](const char *group, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(group)).arg(i); };
        const QString set41 = QStringLiteral("cmdDefault41"), set42 = QStringLiteral("cmdDefault42"),
                      set43 = QStringLiteral("cmdDefault43");
        return {
            Page::DecoderComm,
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
            },
            {
                {"19200 keeps terminal type and language", o("optCfg41A", 3), Act::Click, {}, 16, 0x08, 0x0C},
                {"2400", o("optCfg41A", 0), Act::Click, {}, 16, 0xFB, 0xF3},
                {"4800 by Space", o("optCfg41A", 1), Act::Space, {}, 16, 0x08, 0x04},
                {"7 data bits", o("optCfg41B", 0), Act::Click, {}, 19, 0xFC, 0xF4},
                {"2 stop bits", o("optCfg41C", 0), Act::Click, {}, 19, 0xFC, 0x7C},
                {"1 stop bit", o("optCfg41C", 1), Act::Click, {}, 19, 0x7C, 0xFC},
                {"parity Space", o("optCfg41D", 0), Act::Click, {}, 19, 0xFC, 0x8C},
                {"parity Mark", o("optCfg41D", 1), Act::Click, {}, 19, 0xFC, 0x9C},
                {"parity Even", o("optCfg41D", 2), Act::Click, {}, 19, 0xFC, 0xAC},
                {"parity Odd by accessibility", o("optCfg41D", 3), Act::AccessToggle, {}, 19, 0xFC, 0xBC},
                {"parity None writes 7", o("optCfg41D", 4), Act::Click, {}, 19, 0x8C, 0xFC},
                {"parity code 4 stays while None is shown", o("optCfg41D", 4), Act::Click, {}, 19, 0xCC, 0xCC},
                {"parity code 5, then None", o("optCfg41D", 4), Act::Click, {}, 19, 0xDC, 0xFC},
                {"RTS/CTS", o("optRTSCTS", 1), Act::Click, {}, 20, 0x02, 0x0A},
                {"ACK/NAK", o("optACKNCK", 1), Act::Click, {}, 20, 0x02, 0x12},
                {"XON/XOFF", o("optXONXOFF", 1), Act::Space, {}, 20, 0x02, 0x22},
                {"NEC 9800", o("optCfg42A", 3), Act::Click, {}, 16, 0x08, 0x0B},
                {"lower case", o("Optcfg42b", 0), Act::Click, {}, 19, 0xFC, 0xF8},
                {"ALT method", o("optCfg42C", 1), Act::Click, {}, 20, 0x02, 0x42},
                {"numerical pad", o("optCfg42D", 1), Act::AccessToggle, {}, 20, 0x02, 0x82},
                {"terminator None", o("optCfg43A", 6), Act::Click, {}, 20, 0x02, 0x06},
                {"terminator STX-ETX", o("optCfg43A", 5), Act::Click, {}, 20, 0x02, 0x05},
                {"terminator code 7, then CR", o("optCfg43A", 0), Act::Click, {}, 20, 0x07, 0x00},
                {"15 ms", o("optCfg43B", 1), Act::Click, {}, 19, 0xFC, 0xFE},
            },
            {
                {"RS232: baud", set41, 16, 0x08, 0xFC, 0xF8},
                {"RS232: stop, parity, data bits", set41, 19, 0xFC, 0x0D, 0xFD},
                {"RS232: handshakes only", set41, 20, 0x02, 0xFA, 0xC2},
                {"RS232: default parity code 4 shows None", set41, 19, 0xCC, 0x8C, 0xFC},
                {"RS232: default parity code 5 is copied", set41, 19, 0xDC, 0x8C, 0xDC},
                {"keyboard: terminal type", set42, 16, 0x08, 0x0B, 0x08},
                {"keyboard: case", set42, 19, 0xFC, 0xF8, 0xFC},
                {"keyboard: ALT and pad only", set42, 20, 0x02, 0xFD, 0x3D},
                {"output: terminator only", set43, 20, 0x02, 0xFD, 0xFA},
                {"output: time-out only", set43, 19, 0xFC, 0x03, 0x01},
            },
        };
    }

private Q_SLOTS:
    void tabs()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderComm);
        QVERIFY(page);
        QTabBar *tabs = page->findChild<QTabBar *>(QStringLiteral("TabCFG1"));
        QVERIFY(tabs);
        const std::pair<const char *, const char *> expected[] = {
            {"&RS232", "RS232 Mode Parameters"},
            {"&Keyboard", "Keyboard Wedge Mode Parameters"},
            {"&Output Character", "Output Characters Parameters"}};
        QCOMPARE(tabs->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(tabs->tabText(i), QString::fromLatin1(expected[i].first));
            QCOMPARE(tabs->tabToolTip(i), QString::fromLatin1(expected[i].second));
        }
    }

    // Codes no option shows: nothing is selected and the byte stays.
    void unshownCodes_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("value");
        QTest::newRow("parity 5") << "optCfg41D" << 19 << 0xDC;
        QTest::newRow("parity 6") << "optCfg41D" << 19 << 0xEC;
        QTest::newRow("terminator 7") << "optCfg43A" << 20 << 0x07;
    }
    void unshownCodes()
    {
        QFETCH(QString, field);
        QFETCH(int, byte);
        QFETCH(int, value);
        test::PageFixture f;
        f.working()[byte] = quint8(value);
        SettingPage *page = f.open(Page::DecoderComm);
        QVERIFY(page);
        auto *group = page->binding<OptionGroupBinding>(field);
        QVERIFY(group);
        QCOMPARE(group->selectedOption(), std::nullopt);
        QCOMPARE(int(f.working()[byte]), value);
    }
};

QTEST_MAIN(TestCommunicationPage)
#include "tst_communicationpage.moc"
