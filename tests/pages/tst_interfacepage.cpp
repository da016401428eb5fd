#include "model/Defaults.h"
#include "pages/decoder/DecoderPages.h"
#include "pages/decoder/InterfacePage.h"
#include "shell/MainWindow.h"
#include "support/TestContext.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

#include <memory>

using namespace q5n;

namespace {

// A main window on a fresh factory configuration, with the two menu items
// the page touches (made here when the shell has not made them).
struct Fixture
{
    test::TestContext t;
    MainWindow main{t.context};

    Fixture()
    {
        for (const char *name : {"mnuConfigInterface", "mnuConfigDefault"}) {
            if (!main.menuAction(QString::fromLatin1(name))) {
                auto *a = new QAction(QString::fromLatin1(name), &main);
                a->setObjectName(QString::fromLatin1(name));
            }
        }
        t.state.defaultImage = factoryImage();
        t.state.workingImage = t.state.defaultImage;
        t.state.savedImage = t.state.defaultImage;
        t.state.setupInfo.deviceName = QStringLiteral("Device Name");
        t.state.setupInfo.userName = QStringLiteral("User's Name");
        t.state.setupInfo.buildingDate = QStringLiteral("07.12.2026");
        t.state.setupInfo.description = QStringLiteral("Your description about this configuration file");
        t.state.markSaved();
        registerDecoderPages(main);
    }

    // Page windows go before the main window does, while it can still hear
    // that they are gone.
    ~Fixture() { qDeleteAll(main.mdiArea()->subWindowList()); }

    InterfacePage *open()
    {
        return qobject_cast<InterfacePage *>(main.showPage(InterfacePage::kPage));
    }

    ConfigImage &working() { return t.state.workingImage; }
};

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

class TestInterfacePage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opensOnFactoryImage()
    {
        Fixture f;
        const ConfigImage before = f.working();
        InterfacePage *page = f.open();
        QVERIFY(page);
        QCOMPARE(page->windowTitle(), QStringLiteral("Interface"));
        QCOMPARE(f.t.state.activePage, qint16(1));

        QCOMPARE(selectedOption(page), 2);
        QCOMPARE(option(page, 2)->text(), QStringLiteral("RS232 Mode"));
        QVERIFY(!chkRead(page)->isChecked());
        QCOMPARE(page->currentFrame(), 0);
        QVERIFY(!page->frame(0)->isHidden());
        QVERIFY(page->frame(1)->isHidden());
        QCOMPARE(page->tabStrip()->currentIndex(), 0);
        QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("txtDate"))->text(), QStringLiteral("07.12.2026"));
        QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->text(), QStringLiteral("User's Name"));
        // Opening writes nothing.
        QCOMPARE(f.working(), before);
        QVERIFY(!f.t.state.hasUnsavedChanges());
    }

    void controlsCarryTheirTexts()
    {
        Fixture f;
        InterfacePage *page = f.open();
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

    void choosingAnOptionWritesOnlyBitsZeroAndOne_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("after");
        QTest::newRow("USB on 0x22") << 0x22 << 1 << 0x21;
        QTest::newRow("Keyboard on 0xFE") << 0xFE << 0 << 0xFC;
        QTest::newRow("RS232 on 0xFC") << 0xFC << 2 << 0xFE;
        QTest::newRow("selected option writes nothing") << 0x26 << 2 << 0x26;
        QTest::newRow("code 3, then USB") << 0x23 << 1 << 0x21;
    }
    void choosingAnOptionWritesOnlyBitsZeroAndOne()
    {
        QFETCH(int, before);
        QFETCH(int, choice);
        QFETCH(int, after);
        Fixture f;
        f.working()[22] = quint8(before);
        const ConfigImage snapshot = f.working();
        InterfacePage *page = f.open();
        QCOMPARE(f.working(), snapshot);
        option(page, choice)->click();
        QCOMPARE(int(f.working()[22]), after);
        QCOMPARE(selectedOption(page), choice);
        for (int i = 0; i < kImageSize; ++i)
            if (i != 22)
                QCOMPARE(f.working()[i], snapshot[i]);
    }

    void storedCodeThreeShowsNoOption()
    {
        Fixture f;
        f.working()[22] = 0x23;
        InterfacePage *page = f.open();
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

    void readMemoryBox_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("afterFirstClick");
        QTest::addColumn<int>("afterSecondClick");
        QTest::newRow("clear byte") << 0x00 << 0x01 << 0x00;
        QTest::newRow("other bits stay") << 0xFE << 0xFF << 0xFE;
        QTest::newRow("set bit") << 0x81 << 0x80 << 0x81;
    }
    void readMemoryBox()
    {
        QFETCH(int, before);
        QFETCH(int, afterFirstClick);
        QFETCH(int, afterSecondClick);
        Fixture f;
        f.working()[24] = quint8(before);
        InterfacePage *page = f.open();
        QCOMPARE(chkRead(page)->isChecked(), bool(before & 1));
        QCOMPARE(int(f.working()[24]), before);
        chkRead(page)->click();
        QCOMPARE(int(f.working()[24]), afterFirstClick);
        chkRead(page)->click();
        QCOMPARE(int(f.working()[24]), afterSecondClick);
    }

    void setDefault_data()
    {
        QTest::addColumn<int>("working22");
        QTest::addColumn<int>("working24");
        QTest::addColumn<int>("default22");
        QTest::addColumn<int>("default24");
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("after22");
        QTest::addColumn<int>("after24");
        QTest::newRow("changed defaults") << 0x22 << 0x00 << 0x20 << 0x01 << 0 << true << 0x20 << 0x01;
        QTest::newRow("other default bits are not copied") << 0x22 << 0x80 << 0xFD << 0xFF << 1 << true << 0x21 << 0x81;
        QTest::newRow("already default") << 0x22 << 0x00 << 0x22 << 0x00 << 2 << false << 0x22 << 0x00;
        QTest::newRow("from code 3") << 0x23 << 0x01 << 0x22 << 0x00 << 2 << false << 0x22 << 0x00;
        QTest::newRow("default code 3 is copied") << 0x21 << 0x00 << 0x03 << 0x00 << -1 << false << 0x23 << 0x00;
    }
    void setDefault()
    {
        QFETCH(int, working22);
        QFETCH(int, working24);
        QFETCH(int, default22);
        QFETCH(int, default24);
        QFETCH(int, shown);
        QFETCH(bool, checked);
        QFETCH(int, after22);
        QFETCH(int, after24);
        Fixture f;
        f.working()[22] = quint8(working22);
        f.working()[24] = quint8(working24);
        f.t.state.defaultImage[22] = quint8(default22);
        f.t.state.defaultImage[24] = quint8(default24);
        const ConfigImage snapshot = f.working();
        const SetupInfo texts = f.t.state.setupInfo;
        InterfacePage *page = f.open();
        page->tabStrip()->setCurrentIndex(1);
        page->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("Someone"));
        page->findChild<QPushButton *>(QStringLiteral("cmdDefault31_2"))->click();

        QCOMPARE(selectedOption(page), shown);
        QCOMPARE(chkRead(page)->isChecked(), checked);
        QCOMPARE(int(f.working()[22]), after22);
        QCOMPARE(int(f.working()[24]), after24);
        for (int i = 0; i < kImageSize; ++i)
            if (i != 22 && i != 24)
                QCOMPARE(f.working()[i], snapshot[i]);
        QCOMPARE(f.t.state.setupInfo.userName, QStringLiteral("Someone"));
        QCOMPARE(f.t.state.setupInfo.deviceName, texts.deviceName);
        QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->text(), QStringLiteral("Someone"));
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
        Fixture f;
        InterfacePage *page = f.open();
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
        Fixture f;
        const QString longText = QString(32764, QLatin1Char('d')) + QStringLiteral("end");
        f.t.state.setupInfo.description = longText;
        InterfacePage *page = f.open();
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
        Fixture f;
        InterfacePage *page = f.open();
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

    void tabSwitching()
    {
        Fixture f;
        InterfacePage *page = f.open();
        QTabBar *tabs = page->tabStrip();
        tabs->setCurrentIndex(0); // the tab already selected
        QCOMPARE(page->currentFrame(), 0);
        QVERIFY(!page->frame(0)->isHidden());
        QVERIFY(page->frame(1)->isHidden());

        tabs->setCurrentIndex(1);
        QCOMPARE(page->currentFrame(), 1);
        QVERIFY(!page->frame(1)->isHidden());
        QVERIFY(page->frame(0)->isHidden());

        tabs->setCurrentIndex(0);
        QCOMPARE(page->currentFrame(), 0);
        QVERIFY(!page->frame(0)->isHidden());
        QVERIFY(page->frame(1)->isHidden());
    }

    void accessKeysSwitchTabs()
    {
        Fixture f;
        f.main.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.main));
        InterfacePage *page = f.open();
        QVERIFY(QTest::qWaitForWindowExposed(page));
        page->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"))->setFocus();
        QTest::keyClick(page, Qt::Key_I, Qt::AltModifier);
        QCOMPARE(page->currentFrame(), 1);
        QTest::keyClick(page, Qt::Key_U, Qt::AltModifier);
        QCOMPARE(page->currentFrame(), 0);
    }

    void menuItemsWhileOpen()
    {
        Fixture f;
        QAction *item = f.main.menuAction(QStringLiteral("mnuConfigInterface"));
        QAction *setAll = f.main.menuAction(QStringLiteral("mnuConfigDefault"));
        QVERIFY(setAll->isEnabled());
        InterfacePage *page = f.open();
        QVERIFY(item->isChecked());
        QVERIFY(!setAll->isEnabled());
        QCOMPARE(f.t.state.activePage, qint16(1));
        QPointer<InterfacePage> guard(page);
        QVERIFY(f.main.closePage(InterfacePage::kPage));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        QVERIFY(!item->isChecked());
        QVERIFY(setAll->isEnabled());
        QCOMPARE(f.t.state.activePage, qint16(0));
    }

    void closingWritesNothingAndReopeningShowsAfresh()
    {
        Fixture f;
        InterfacePage *page = f.open();
        option(page, 1)->click();
        page->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"))->setText(QStringLiteral("Scanner 7"));
        const ConfigImage edited = f.working();
        QVERIFY(f.main.closePage(InterfacePage::kPage));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(f.working(), edited);
        f.working()[24] = 0x01;
        page = f.open();
        QCOMPARE(selectedOption(page), 1);
        QVERIFY(chkRead(page)->isChecked());
        QCOMPARE(page->currentFrame(), 0);
        QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"))->text(), QStringLiteral("Scanner 7"));
    }

    void tabOrderFollowsTheFrames()
    {
        Fixture f;
        f.main.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.main));
        InterfacePage *page = f.open();
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
