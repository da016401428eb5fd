#include "model/Defaults.h"
#include "pages/common/SettingPage.h"
#include "shell/MainWindow.h"
#include "support/TestContext.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

using namespace q5n;

namespace {

// A page declared the way the later pages are: captioned frames, boxes that
// group fields, a bit-set split over two boxes, combo fields, a flag with a
// label beside it, a "Set Default" button and a button with its own action.
PageLayout sampleLayout()
{
    PageLayout l;
    l.window = {3, QStringLiteral("Bar Codes and Others")};
    l.tabStrip = QStringLiteral("TabCFG2");
    l.frameGroup = QStringLiteral("fraCfg5");
    l.tabs = {{QStringLiteral("&Symboligies"), QStringLiteral("Symboligies Selection"),
               QStringLiteral("Symboligies Selection")},
              {QStringLiteral("Coda&bar"), QStringLiteral("CodaBar Parameters"), QStringLiteral("Codabar Parameters")},
              {QStringLiteral("Code &39"), QStringLiteral("Code 39 Parameters"), QStringLiteral("Code 39 Parameters")}};
    l.boxes = {{QStringLiteral("stop"), QStringLiteral("Transmission Type of Stop"), 1, {1, 0}},
               {QStringLiteral("start"), QStringLiteral("Transmission Type of Start"), 1, {1, 1}}};
    l.fields = {
        {QStringLiteral("chk51"), 0, {0, 0}, {{7, 6}, {5, 4}, {3, 2}, {1, 0}}},
        {QStringLiteral("chk58A"), 1, {0, 0, 1, 2}},
        {QStringLiteral("ChkStart"), 1, {0, 0}, {{0, 1, 2, 3}}, QStringLiteral("stop")},
        {QStringLiteral("ChkStart"), 1, {0, 0}, {{4, 5, 6, 7}}, QStringLiteral("start")},
        {QStringLiteral("opt53B"), 2, {0, 0}},
    };
    l.buttons = {
        {QStringLiteral("cmdSetAll"), QStringLiteral("Set Default"), 0, {4, 0}, {QStringLiteral("chk51")}},
        {QStringLiteral("Command1"),
         QStringLiteral("Clear All Barcodes"),
         0,
         {4, 1},
         {},
         [](SettingPage &page) { page.binding<BitSetBinding>(QStringLiteral("chk51"))->setBits(0); }},
        {QStringLiteral("cmdDefault58"),
         QStringLiteral("Set Default"),
         1,
         {2, 0},
         {QStringLiteral("ChkStart"), QStringLiteral("chk58A")}},
        {QStringLiteral("cmdDefault53"), QStringLiteral("Set Default"), 2, {1, 0}, {QStringLiteral("opt53B")}},
    };
    return l;
}

PageLayout comboLayout()
{
    PageLayout l;
    l.window = {6, QStringLiteral("Communication Parameters")};
    l.tabStrip = QStringLiteral("TabCFG1");
    l.frameGroup = QStringLiteral("fraCfg4");
    l.tabs = {{QStringLiteral("&Magnetic Reader"), QStringLiteral("Magnetic Reader Parameters"), {}}};
    l.fields = {
        {QStringLiteral("OptISO"), 0, {0, 0}, {{0, 1}}},
        {QStringLiteral("chkCfg45C"), 0, {1, 0}},
        {QStringLiteral("cbo45D"), 0, {2, 0}},
        {QStringLiteral("optCfg41A"), 0, {3, 0, 1, 2}, {{0, 1, 2}, {3, 4, 5}}},
    };
    return l;
}

struct Fixture
{
    test::TestContext t;
    MainWindow main{t.context};

    Fixture()
    {
        t.state.defaultImage = factoryImage();
        t.state.workingImage = t.state.defaultImage;
        t.state.savedImage = t.state.defaultImage;
    }
    ~Fixture() { qDeleteAll(main.mdiArea()->subWindowList()); }

    SettingPage *open(const PageLayout &layout)
    {
        auto *page = new SettingPage(main, layout);
        main.addPageWindow(layout.window.page, page)->show();
        return page;
    }
    ConfigImage &working() { return t.state.workingImage; }
};

template <class T> T *child(QWidget *page, const QString &name)
{
    T *w = page->findChild<T *>(name);
    if (!w)
        qWarning() << "missing" << name;
    return w;
}

} // namespace

class TestSettingPage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void framesCarryCaptionsAndMembersTheirIndex()
    {
        Fixture f;
        SettingPage *page = f.open(sampleLayout());
        QCOMPARE(page->frameCount(), 3);
        auto *frame1 = qobject_cast<QGroupBox *>(page->frame(1));
        QVERIFY(frame1);
        QCOMPARE(frame1->objectName(), QStringLiteral("fraCfg5_1"));
        QCOMPARE(frame1->title(), QStringLiteral("Codabar Parameters"));
        QCOMPARE(page->tabStrip()->tabToolTip(2), QStringLiteral("Code 39 Parameters"));

        // One bit-set over two boxes: stop A..D in one, start A..D in the other.
        for (int i = 0; i < 8; ++i) {
            auto *box = child<QCheckBox>(page, QStringLiteral("ChkStart_%1").arg(i));
            QVERIFY(box);
            auto *group = qobject_cast<QGroupBox *>(box->parentWidget());
            QVERIFY(group);
            QCOMPARE(group->title(), i < 4 ? QStringLiteral("Transmission Type of Stop")
                                           : QStringLiteral("Transmission Type of Start"));
            QCOMPARE(box->text(), QString(QChar(u'A' + i % 4)));
        }
        // The symbology boxes stand in the rows given: UPC-A left of UPC-E.
        f.main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.main));
        const QRect upcA = child<QCheckBox>(page, QStringLiteral("chk51_7"))->geometry();
        const QRect upcE = child<QCheckBox>(page, QStringLiteral("chk51_6"))->geometry();
        const QRect codabar = child<QCheckBox>(page, QStringLiteral("chk51_0"))->geometry();
        QCOMPARE(upcA.top(), upcE.top());
        QVERIFY(upcA.right() < upcE.left());
        QVERIFY(codabar.top() > upcA.bottom());
        QVERIFY(!f.t.state.hasUnsavedChanges());
    }

    void bitSetSplitOverBoxesWritesEachBit_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<int>("after");
        QTest::newRow("start A") << 4 << 0xEF;
        QTest::newRow("stop A") << 0 << 0xFE;
        QTest::newRow("start D") << 7 << 0x7F;
    }
    void bitSetSplitOverBoxesWritesEachBit()
    {
        QFETCH(int, box);
        QFETCH(int, after);
        Fixture f;
        SettingPage *page = f.open(sampleLayout());
        child<QCheckBox>(page, QStringLiteral("ChkStart_%1").arg(box))->click();
        QCOMPARE(int(f.working()[18]), after);
        // Set Default covers the eight boxes and the flag, nothing else.
        f.working()[21] = 0x0F;
        child<QCheckBox>(page, QStringLiteral("chk58A"))->click();
        QCOMPARE(int(f.working()[22]), 0x2A);
        page->button(QStringLiteral("cmdDefault58"))->click();
        QCOMPARE(int(f.working()[18]), 0xFF);
        QCOMPARE(int(f.working()[22]), 0x22);
        QCOMPARE(int(f.working()[21]), 0x0F);
    }

    void actionButtonsGoThroughTheBoxes()
    {
        Fixture f;
        SettingPage *page = f.open(sampleLayout());
        const ConfigImage before = f.working();
        page->button(QStringLiteral("Command1"))->click();
        QCOMPARE(int(f.working()[21]), 0x00);
        for (int i = 0; i < 8; ++i)
            QVERIFY(!child<QCheckBox>(page, QStringLiteral("chk51_%1").arg(i))->isChecked());
        page->button(QStringLiteral("cmdSetAll"))->click();
        QCOMPARE(f.working(), before);
    }

    void checkDigitAliasStaysUntilChosen()
    {
        Fixture f;
        f.working()[23] = 0x26; // Code 39 check digit code 0
        SettingPage *page = f.open(sampleLayout());
        QVERIFY(child<QRadioButton>(page, QStringLiteral("opt53B_0"))->isChecked());
        QCOMPARE(int(f.working()[23]), 0x26);
        // "Set Default" selects the option already selected: nothing written.
        f.t.state.defaultImage[23] = 0x00;
        page->button(QStringLiteral("cmdDefault53"))->click();
        QCOMPARE(int(f.working()[23]), 0x26);
        child<QRadioButton>(page, QStringLiteral("opt53B_2"))->click();
        QCOMPARE(int(f.working()[23]), 0xE6);
        child<QRadioButton>(page, QStringLiteral("opt53B_0"))->click();
        QCOMPARE(int(f.working()[23]), 0x66);
        // From another option, the default's code 0 arrives as code 1.
        child<QRadioButton>(page, QStringLiteral("opt53B_1"))->click();
        page->button(QStringLiteral("cmdDefault53"))->click();
        QCOMPARE(int(f.working()[23]), 0x66);
    }

    void labelsBesideControlsAreBuddies()
    {
        Fixture f;
        SettingPage *page = f.open(comboLayout());
        auto *label = child<QLabel>(page, QStringLiteral("chkCfg45CLabel"));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Track 2 Account Number Only"));
        QCOMPARE(label->buddy(), child<QCheckBox>(page, QStringLiteral("chkCfg45C")));
        QCOMPARE(child<QCheckBox>(page, QStringLiteral("chkCfg45C"))->text(), QStringLiteral("ON"));
        auto *iso = child<QLabel>(page, QStringLiteral("OptISOLabel"));
        QCOMPARE(iso->text(), QStringLiteral("Select Magnetic Card Standard :"));
        QCOMPARE(iso->buddy(), child<QRadioButton>(page, QStringLiteral("OptISO_0")));
        auto *separator = child<QComboBox>(page, QStringLiteral("cbo45D"));
        QCOMPARE(child<QLabel>(page, QStringLiteral("cbo45DLabel"))->buddy(), separator);
        QCOMPARE(separator->currentText(), QStringLiteral("CR"));
        QVERIFY(child<QRadioButton>(page, QStringLiteral("optCfg41A_5"))->isChecked());
        QCOMPARE(child<QRadioButton>(page, QStringLiteral("optCfg41A_5"))->text(), QStringLiteral("9600"));
        QVERIFY(!f.t.state.hasUnsavedChanges());
    }

    void tabSwitchingOverThreeFrames_data()
    {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<int>("frame");
        QTest::newRow("third") << QList<int>{2} << 2;
        QTest::newRow("third then second") << QList<int>{2, 1} << 1;
        QTest::newRow("there and back") << QList<int>{1, 0} << 0;
        QTest::newRow("same twice") << QList<int>{2, 2} << 2;
    }
    void tabSwitchingOverThreeFrames()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(int, frame);
        Fixture f;
        SettingPage *page = f.open(sampleLayout());
        for (int tab : clicks)
            page->tabStrip()->setCurrentIndex(tab);
        QCOMPARE(page->currentFrame(), frame);
        for (int k = 0; k < page->frameCount(); ++k)
            QCOMPARE(page->frame(k)->isHidden(), k != frame);
    }
};

QTEST_MAIN(TestSettingPage)
#include "tst_settingpage.moc"
