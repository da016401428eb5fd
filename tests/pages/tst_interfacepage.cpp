#include "model/PageTable.h"
#include "support/PageTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

using namespace q5n;
using test::Act;

namespace {

QRadioButton *option(QWidget *page, int i)
{
    return page->findChild<QRadioButton *>(QStringLiteral("OptCfg3_1_%1").arg(i));
}

QCheckBox *chkRead(QWidget *page)
{
    return page->findChild<QCheckBox *>(QStringLiteral("ChkRead"));
}

int selectedOption(QWidget *page)
{
    int selected = -1;
    for (int i = 0; i < 3; ++i)
        if (option(page, i)->isChecked())
            selected = selected == -1 ? i : -2; // -2: more than one selected
    return selected;
}

} // namespace

class TestInterfacePage : public test::PageTest
{
    Q_OBJECT
    test::PageTables tables() const override
    {
        const QString opt0 = QStringLiteral("OptCfg3_1_0"), opt1 = QStringLiteral("OptCfg3_1_1"),
                      opt2 = QStringLiteral("OptCfg3_1_2"), read = QStringLiteral("ChkRead");
        return {
            Page::DecoderInterface,
            {
                {QStringLiteral("OptCfg3_1"), QStringLiteral("RS232 Mode")},
                {read, QStringLiteral("clear")},
                {QStringLiteral("txtDeviceName"), QStringLiteral("Device Name")},
                {QStringLiteral("txtUserName"), QStringLiteral("User's Name")},
                {QStringLiteral("txtDate"), QStringLiteral("07.12.2026")},
                {QStringLiteral("txtDescription"), QStringLiteral("Your description about this configuration file")},
            },
            {
                // Only bits 0 and 1 of byte 22 change.
                {"USB on 0x22", opt1, Act::Click, {}, 22, 0x22, 0x21},
                {"Keyboard on 0xFE", opt0, Act::Click, {}, 22, 0xFE, 0xFC},
                {"RS232 on 0xFC", opt2, Act::Click, {}, 22, 0xFC, 0xFE},
                {"selected option writes nothing", opt2, Act::Click, {}, 22, 0x26, 0x26},
                {"code 3, then USB", opt1, Act::Click, {}, 22, 0x23, 0x21},
                {"Keyboard by Space", opt0, Act::Space, {}, 22, 0x22, 0x20},
                {"USB by accessibility", opt1, Act::AccessToggle, {}, 22, 0x22, 0x21},
                {"read memory on a clear byte", read, Act::Click, {}, 24, 0x00, 0x01},
                {"read memory keeps other bits", read, Act::Click, {}, 24, 0xFE, 0xFF},
                {"read memory cleared", read, Act::Click, {}, 24, 0x81, 0x80},
                {"read memory by Space", read, Act::Space, {}, 24, 0x00, 0x01},
                {"read memory by accessibility", read, Act::AccessToggle, {}, 24, 0x81, 0x80},
            },
            {
                {"interface default", QStringLiteral("cmdDefault31_2"), 22, 0x20, 0x22, 0x20},
                {"other default bits are not copied", QStringLiteral("cmdDefault31_2"), 22, 0xFD, 0x22, 0x21},
                {"already default", QStringLiteral("cmdDefault31_2"), 22, 0x22, 0x22, 0x22},
                {"from code 3", QStringLiteral("cmdDefault31_2"), 22, 0x22, 0x23, 0x22},
                {"default code 3 is copied", QStringLiteral("cmdDefault31_2"), 22, 0x03, 0x21, 0x23},
                {"read memory default", QStringLiteral("cmdDefault31_2"), 24, 0x01, 0x00, 0x01},
                {"read memory default keeps other bits", QStringLiteral("cmdDefault31_2"), 24, 0xFF, 0x80, 0x81},
            },
        };
    }

private Q_SLOTS:
    void setDefaultLeavesTheTexts()
    {
        test::PageFixture f;
        f.t.state.defaultImage[22] = 0x03;
        SettingPage *page = f.open(Page::DecoderInterface);
        page->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("Someone"));
        page->tabStrip()->setCurrentIndex(1);
        page->button(QStringLiteral("cmdDefault31_2"))->click();
        // A default that no option shows is copied and shown by none.
        QCOMPARE(selectedOption(page), -1);
        QCOMPARE(f.t.state.setupInfo.userName, QStringLiteral("Someone"));
        QCOMPARE(f.t.state.setupInfo.deviceName, QStringLiteral("Device Name"));
        QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->text(), QStringLiteral("Someone"));
    }

    void controlsCarryTheirTexts()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderInterface);
        QTabBar *tabs = page->findChild<QTabBar *>(QStringLiteral("TabCFG"));
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("&User Information"));
        QCOMPARE(tabs->tabToolTip(0), QStringLiteral("User's Name,building date and other informations"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("&Interface"));
        QCOMPARE(tabs->tabToolTip(1), QStringLiteral("Interface Selection and 2nd Port Input Device Selection"));
        QVERIFY(page->findChild<QWidget *>(QStringLiteral("fraCfg3_0")));
        QVERIFY(page->findChild<QWidget *>(QStringLiteral("fraCfg3_1")));

        const std::pair<const char *, const char *> labels[] = {{"txtDeviceName", "Device Name: "},
                                                                {"txtUserName", "User's Name: "},
                                                                {"txtDate", "Building Date:"},
                                                                {"txtDescription", "Description:"}};
        for (const auto &[box, text] : labels) {
            auto *edit = page->findChild<QLineEdit *>(QString::fromLatin1(box));
            QVERIFY(edit);
            QLabel *label = nullptr;
            for (QLabel *l : page->findChildren<QLabel *>())
                if (l->buddy() == edit)
                    label = l;
            QVERIFY2(label, box);
            QCOMPARE(label->text(), QString::fromLatin1(text));
            QVERIFY(label->geometry().right() < edit->geometry().left());
        }

        QCOMPARE(option(page, 0)->text(), QStringLiteral("Keyboard Mode"));
        QCOMPARE(option(page, 1)->text(), QStringLiteral("USB Mode"));
        QCOMPARE(chkRead(page)->text(), QStringLiteral("Read Memory Enable"));
        auto *groupBox = qobject_cast<QGroupBox *>(option(page, 0)->parentWidget());
        QVERIFY(groupBox);
        QCOMPARE(groupBox->title(), QStringLiteral("Interface"));
        QCOMPARE(page->findChild<QPushButton *>(QStringLiteral("cmdDefault31_2"))->text(),
                 QStringLiteral("Set Default"));

        // Keyboard and RS232 side by side, USB below Keyboard.
        f.main.show();
        page->tabStrip()->setCurrentIndex(1);
        QVERIFY(QTest::qWaitForWindowExposed(&f.main));
        const QRect kb = option(page, 0)->geometry(), usb = option(page, 1)->geometry(),
                    rs = option(page, 2)->geometry();
        QCOMPARE(rs.top(), kb.top());
        QVERIFY(rs.left() > kb.right());
        QCOMPARE(usb.left(), kb.left());
        QVERIFY(usb.top() > kb.bottom());
    }

    void storedCodeThreeShowsNoOption()
    {
        test::PageFixture f;
        f.working()[22] = 0x23;
        SettingPage *page = f.open(Page::DecoderInterface);
        QCOMPARE(selectedOption(page), -1);
        QCOMPARE(int(f.working()[22]), 0x23);
        // Switching tabs, checking the box: still untouched.
        page->tabStrip()->setCurrentIndex(1);
        chkRead(page)->click();
        QCOMPARE(int(f.working()[22]), 0x23);
        QCOMPARE(int(f.working()[24]), 0x01);
        // The keyboard moves among the options and chooses one.
        option(page, 0)->click();
        QCOMPARE(int(f.working()[22]), 0x20);
        QCOMPARE(selectedOption(page), 0);
    }

    void textFieldsWriteAtEveryKeystroke_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("which");
        QTest::newRow("device name") << "txtDeviceName" << int(SetupText::DeviceName);
        QTest::newRow("user name") << "txtUserName" << int(SetupText::UserName);
        QTest::newRow("building date") << "txtDate" << int(SetupText::BuildingDate);
        QTest::newRow("description") << "txtDescription" << int(SetupText::Description);
    }

    void textFieldsWriteAtEveryKeystroke()
    {
        QFETCH(QString, box);
        QFETCH(int, which);
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderInterface);
        auto *edit = page->findChild<QLineEdit *>(box);
        const QString &stored = setupText(f.t.state.setupInfo, SetupText(which));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QCOMPARE(stored, QString());
        const QString typed = QStringLiteral("Ab 1,é");
        for (qsizetype i = 0; i < typed.size(); ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed.mid(i, 1));
            QApplication::sendEvent(edit, &press);
            QCOMPARE(stored, typed.left(i + 1));
        }
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(stored, QStringLiteral("Ab 1,"));
        // A line break cannot be typed into a single-line box.
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(stored, QStringLiteral("Ab 1,"));
        // A text edit is a change of the configuration, not of the image.
        QCOMPARE(f.t.state.workingImage, f.t.state.savedImage);
        QVERIFY(f.t.state.hasUnsavedChanges());
    }

    void longTextsAreKeptWhole()
    {
        // As long as a file line may be, and not a character more.
        test::PageFixture f;
        const QString longText = QString(32764, QLatin1Char('d')) + QStringLiteral("end");
        f.t.state.setupInfo.description = longText;
        SettingPage *page = f.open(Page::DecoderInterface);
        auto *box = page->findChild<QLineEdit *>(QStringLiteral("txtDescription"));
        QCOMPARE(box->maxLength(), 32767);
        QCOMPARE(box->text(), longText);
        QCOMPARE(f.t.state.setupInfo.description, longText);
        box->end(false);
        QTest::keyClick(box, Qt::Key_X);
        QCOMPARE(f.t.state.setupInfo.description, longText);
    }

    void charactersWithoutAByteAreRefused()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderInterface);
        auto *edit = page->findChild<QLineEdit *>(QStringLiteral("txtDescription"));
        edit->setText(QStringLiteral("x"));
        for (const QString &text : {QStringLiteral("\u03A9"), QStringLiteral("\u4E2D")}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
            QApplication::sendEvent(edit, &press);
        }
        QCOMPARE(edit->text(), QStringLiteral("x"));
        QCOMPARE(f.t.state.setupInfo.description, QStringLiteral("x"));
        // The euro sign has a byte (0x80) and is accepted.
        QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u20AC"));
        QApplication::sendEvent(edit, &euro);
        QCOMPARE(f.t.state.setupInfo.description, QStringLiteral("x\u20AC"));
    }

    void accessKeysSwitchTabs()
    {
        test::PageFixture f;
        f.main.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.main));
        SettingPage *page = f.open(Page::DecoderInterface);
        QVERIFY(QTest::qWaitForWindowExposed(page));
        page->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"))->setFocus();
        QTest::keyClick(page, Qt::Key_I, Qt::AltModifier);
        QCOMPARE(page->currentFrame(), 1);
        QTest::keyClick(page, Qt::Key_U, Qt::AltModifier);
        QCOMPARE(page->currentFrame(), 0);
    }

    void closingWritesNothingAndReopeningShowsAfresh()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderInterface);
        option(page, 1)->click();
        page->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"))->setText(QStringLiteral("Scanner 7"));
        const ConfigImage edited = f.working();
        QVERIFY(f.close(Page::DecoderInterface));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(f.working(), edited);
        f.working()[24] = 0x01;
        page = f.open(Page::DecoderInterface);
        QCOMPARE(selectedOption(page), 1);
        QVERIFY(chkRead(page)->isChecked());
        QCOMPARE(page->currentFrame(), 0);
        QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"))->text(), QStringLiteral("Scanner 7"));
    }

    void tabOrderFollowsTheFrames()
    {
        test::PageFixture f;
        f.main.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.main));
        SettingPage *page = f.open(Page::DecoderInterface);
        QVERIFY(QTest::qWaitForWindowExposed(page));
        auto *first = page->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"));
        // Opening puts the caret into the first box.
        QTRY_COMPARE(QApplication::focusWidget(), first);
        QStringList order;
        QWidget *w = first;
        for (int i = 0; i < 4; ++i) {
            order << w->objectName();
            w = w->nextInFocusChain();
            while (w && (!w->isVisibleTo(page) || !(w->focusPolicy() & Qt::TabFocus)))
                w = w->nextInFocusChain();
        }
        QCOMPARE(order, (QStringList{"txtDeviceName", "txtUserName", "txtDate", "txtDescription"}));
    }
};

QTEST_MAIN(TestInterfacePage)
#include "tst_interfacepage.moc"
