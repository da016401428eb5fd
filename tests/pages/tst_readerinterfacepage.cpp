#include "model/PageTable.h"
#include "pages/common/FieldBinding.h"
#include "support/PageTest.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTabBar>
#include <QtTest>

using namespace q5n;
using test::Act;

class TestReaderInterfacePage : public test::PageTest
{
    Q_OBJECT
    test::PageTables tables() const override
    {
        auto o = [](int i) { return QStringLiteral("OptCfg3_1_%1").arg(i); };
        const QString set = QStringLiteral("cmdDefault31_2");
        return {
            Page::ReaderInterface,
            {
                {QStringLiteral("txtDeviceName"), QStringLiteral("Device Name")},
                {QStringLiteral("txtUserName"), QStringLiteral("User's Name")},
                {QStringLiteral("txtDate"), QStringLiteral("07.12.2026")},
                {QStringLiteral("txtDescription"), QStringLiteral("Your description about this configuration file")},
                {QStringLiteral("OptCfg3_1"), QStringLiteral("Keyboard Mode")},
                {QStringLiteral("ChkNotebook"), QStringLiteral("clear")},
                {QStringLiteral("ChkMSRMem"), QStringLiteral("clear")},
            },
            {
                {"RS232 Mode keeps the other bits", o(2), Act::Click, {}, 26, 0x30, 0xB0},
                {"USB Mode", o(1), Act::Click, {}, 26, 0xB0, 0x70},
                {"Keyboard Mode by Space", o(0), Act::Space, {}, 26, 0x70, 0x30},
                {"code 3 stays while USB Mode is shown", o(1), Act::Click, {}, 26, 0xF0, 0xF0},
                {"code 3, then Keyboard Mode", o(0), Act::AccessToggle, {}, 26, 0xF0, 0x30},
                {"Disable  External Keyboard", QStringLiteral("ChkNotebook"), Act::Click, {}, 25, 0x01, 0x09},
                {"Read Memory Enable", QStringLiteral("ChkMSRMem"), Act::Click, {}, 25, 0x09, 0x0B},
                {"Read Memory cleared by accessibility",
                 QStringLiteral("ChkMSRMem"),
                 Act::AccessToggle,
                 {},
                 25,
                 0x0B,
                 0x09},
            },
            {
                // a default code 3 arrives as USB Mode's code 1; other bits stay
                {"interface code 3", set, 26, 0xC0, 0x30, 0x70},
                {"both switches", set, 25, 0x0A, 0x01, 0x0B},
                {"both switches cleared", set, 25, 0x00, 0xFA, 0xF0},
            },
        };
    }

private Q_SLOTS:
    void tabs()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::ReaderInterface);
        QVERIFY(page);
        QTabBar *tabs = page->findChild<QTabBar *>(QStringLiteral("TabCFG"));
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("&User Informations"));
        QCOMPARE(tabs->tabToolTip(0), QStringLiteral("User's Name,building date and other informations"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("&Interface"));
        QCOMPARE(tabs->tabToolTip(1), QStringLiteral("Interface and Code ID Selection"));
    }

    // The setup texts are the ones the decoder's Interface page edits.
    void setupTextsShared()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::ReaderInterface);
        QVERIFY(page);
        auto *name = page->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"));
        name->selectAll();
        QTest::keyClicks(name, "Reader 7");
        QCOMPARE(f.t.state.setupInfo.deviceName, QStringLiteral("Reader 7"));
        SettingPage *decoder = f.open(Page::DecoderInterface);
        QVERIFY(decoder);
        QCOMPARE(decoder->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"))->text(), QStringLiteral("Reader 7"));
    }

    // The "mag" button puts each reader page in place of its decoder
    // counterpart and back.
    void magButtonSwitches_data()
    {
        QTest::addColumn<int>("decoder");
        QTest::addColumn<int>("reader");
        QTest::newRow("Interface") << int(Page::DecoderInterface) << int(Page::ReaderInterface);
        QTest::newRow("Communication") << int(Page::DecoderComm) << int(Page::ReaderComm);
        QTest::newRow("Miscellaneous") << int(Page::DecoderMisc) << int(Page::ReaderMisc);
    }
    void magButtonSwitches()
    {
        QFETCH(int, decoder);
        QFETCH(int, reader);
        test::PageFixture f;
        QVERIFY(f.open(reader));
        QAction *mag = f.main.toolbarButton(QStringLiteral("mag"));
        QVERIFY(mag);
        mag->trigger();
        QVERIFY(!f.main.pageWindow(reader));
        QVERIFY(f.main.pageWindow(decoder));
        QCOMPARE(f.t.state.activePage, decoder);
        QVERIFY(!f.t.state.readerMode);
        mag->trigger();
        QVERIFY(!f.main.pageWindow(decoder));
        QVERIFY(f.main.pageWindow(reader));
        QCOMPARE(f.t.state.activePage, reader);
        QVERIFY(f.t.state.readerMode);
    }
};

QTEST_MAIN(TestReaderInterfacePage)
#include "tst_readerinterfacepage.moc"
