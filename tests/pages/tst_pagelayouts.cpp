#include "model/FieldNaming.h"
#include "model/PageTable.h"
#include "pages/SettingPages.h"
#include "pages/decoder/InterfacePage.h"
#include "support/PageTest.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QtTest>

Q_DECLARE_METATYPE(q5n::PageLayout)

using namespace q5n;
using namespace Qt::StringLiterals;

namespace {

// The Interface page's layout with one fault put in by `spoil`.
PageLayout spoiled(const std::function<void(PageLayout &)> &spoil)
{
    PageLayout l = InterfacePage::layout();
    spoil(l);
    return l;
}

} // namespace

class TestPageLayouts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyRegisteredLayoutIsSound()
    {
        const auto pages = settingPages();
        QVERIFY(!pages.empty());
        for (const SettingPageDeclaration &d : pages) {
            const PageLayout l = d.layout();
            QCOMPARE(l.window.page, d.page);
            const PageInfo *info = pageInfo(d.page);
            QVERIFY(info);
            QCOMPARE(l.window.title, info->title);
            QVERIFY2(layoutProblems(l).isEmpty(), qPrintable(layoutProblems(l).join(u'\n')));
            // A group of check boxes is read in the order its boxes stand,
            // and by the frames they stand in.
            for (const FieldEntry *e : fieldsOfPage(d.page)) {
                if (e->kind != FieldKind::BitSet)
                    continue;
                std::vector<int> onScreen, inOrder = e->screenOrder;
                QStringList frames, named;
                for (const FieldPlacement &f : l.fields)
                    if (f.field == e->name) {
                        for (const auto &row : f.arrangement)
                            onScreen.insert(onScreen.end(), row.begin(), row.end());
                        for (const BoxPlacement &b : l.boxes)
                            if (b.key == f.box)
                                frames << b.caption;
                    }
                if (inOrder.empty())
                    for (const FieldOption &o : e->options)
                        inOrder.push_back(o.index);
                QCOMPARE(onScreen, inOrder);
                for (const FieldFrame &frame : e->frames)
                    named << frame.caption;
                QCOMPARE(named, frames);
            }
            // The command line names a field by the tab (and box) it stands in.
            for (const FieldPlacement &f : l.fields) {
                const FieldEntry *e = findField(d.page, f.field);
                if (!e || !e->inImage())
                    continue;
                const QString frame = frameOf(*e);
                QCOMPARE(frame.section(u" \u203A "_s, 0, 0), spokenCaption(l.tabs.at(f.frame).caption));
                for (const BoxPlacement &b : l.boxes)
                    if (frame.contains(u'\u203A') && b.key == f.box)
                        QCOMPARE(frame.section(u" \u203A "_s, 1), b.caption);
            }
        }
    }

    void faultsAreNamed_data()
    {
        QTest::addColumn<PageLayout>("layout");
        QTest::addColumn<QString>("problem");
        QTest::newRow("unknown field") << spoiled([](PageLayout &l) { l.fields[0].field = QStringLiteral("txtNone"); })
                                       << "txtNone: no field of page 1";
        QTest::newRow("field of another page") << spoiled([](PageLayout &l) {
            l.fields.push_back({QStringLiteral("optCfg41A"), 1, {5, 0}});
        }) << "optCfg41A: no field of page 1";
        QTest::newRow("field left out") << spoiled([](PageLayout &l) { l.fields.erase(l.fields.begin() + 1); })
                                        << "txtUserName: not placed";
        QTest::newRow("box placed twice")
            << spoiled([](PageLayout &l) { l.fields.push_back(l.fields[0]); }) << "txtDeviceName: placed 2 times";
        QTest::newRow("option left out") << spoiled([](PageLayout &l) {
            l.fields[4].arrangement = {{0, 2}};
        }) << "OptCfg3_1: option 1 placed 0 times";
        QTest::newRow("option twice") << spoiled([](PageLayout &l) {
            l.fields[4].arrangement = {{0, 2}, {1, 0}};
        }) << "OptCfg3_1: option 0 placed 2 times";
        QTest::newRow("no such option") << spoiled([](PageLayout &l) {
            l.fields[4].arrangement = {{0, 2}, {1, 5}};
        }) << "OptCfg3_1: option 5 does not exist";
        QTest::newRow("unknown box") << spoiled([](PageLayout &l) { l.fields[5].box = QStringLiteral("reading"); })
                                     << "ChkRead: box reading does not exist";
        QTest::newRow("no such frame") << spoiled([](PageLayout &l) { l.fields[5].frame = 2; })
                                       << "ChkRead: frame 2 does not exist";
        QTest::newRow("unknown restore") << spoiled([](PageLayout &l) {
            l.buttons[0].restores.push_back(QStringLiteral("ChkReed"));
        }) << "cmdDefault31_2: restores ChkReed, no field of page 1";
    }
    void faultsAreNamed()
    {
        QFETCH(PageLayout, layout);
        QFETCH(QString, problem);
        const QStringList problems = layoutProblems(layout);
        QVERIFY2(problems.contains(problem), qPrintable(problems.join(u'\n')));
    }

    void pageTableIsConsistent()
    {
        QSet<int> numbers;
        QSet<QString> names, items;
        for (const PageInfo &p : pageTable()) {
            QVERIFY(!numbers.contains(p.number));
            numbers.insert(p.number);
            QVERIFY(!names.contains(p.objectName));
            names.insert(p.objectName);
            QVERIFY(!p.menuItems.empty());
            for (const PageMenuItem &m : p.menuItems) {
                QVERIFY(!items.contains(m.name));
                items.insert(m.name);
            }
            // The "mag" button swaps a page with its counterpart and back.
            if (p.counterpart != Page::None) {
                QVERIFY(pageInfo(p.counterpart));
                QCOMPARE(pageInfo(p.counterpart)->counterpart, p.number);
            }
            QCOMPARE(pageInfo(p.number), &p);
        }
        QCOMPARE(numbers, (QSet<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QCOMPARE(pageInfo(0), nullptr);
        QCOMPARE(pageInfo(10), nullptr);
    }

    // The hooks a page's rules are written with.
    void hooksForPageRules()
    {
        test::PageFixture f;
        f.working()[24] = 0x01;
        PageLayout l = InterfacePage::layout();
        QStringList seenAtShow;
        l.afterShow = [&seenAtShow](SettingPage &page) {
            // Every field is shown by now.
            auto *box = qobject_cast<QCheckBox *>(page.fieldControl(QStringLiteral("ChkRead")));
            seenAtShow << (box && box->isChecked() ? QStringLiteral("checked") : QStringLiteral("clear"));
            // A rule between fields: Read Memory Enable only in RS232 mode.
            QObject::connect(&page, &SettingPage::fieldWritten, &page, [&page](const QString &field) {
                if (field == QLatin1String("OptCfg3_1"))
                    page.setFieldEnabled(QStringLiteral("ChkRead"),
                                         page.binding<OptionGroupBinding>(field)->selectedOption() == 2);
            });
        };
        auto *page = new SettingPage(f.main, l);
        f.main.addPageWindow(l.window.page, page)->show();
        QCOMPARE(seenAtShow, QStringList{QStringLiteral("checked")});

        QSignalSpy written(page, &SettingPage::fieldWritten);
        qobject_cast<QRadioButton *>(page->fieldControl(QStringLiteral("OptCfg3_1"), 1))->click();
        QCOMPARE(written.count(), 1);
        QCOMPARE(written.at(0).at(0).toString(), QStringLiteral("OptCfg3_1"));
        QVERIFY(!page->fieldControl(QStringLiteral("ChkRead"))->isEnabled());
        page->fieldControl(QStringLiteral("OptCfg3_1"), 2)->setFocus();
        qobject_cast<QRadioButton *>(page->fieldControl(QStringLiteral("OptCfg3_1"), 2))->click();
        QVERIFY(page->fieldControl(QStringLiteral("ChkRead"))->isEnabled());

        // A text box and its label; the box that had the focus last.
        const QList<QWidget *> widgets = page->fieldWidgets(QStringLiteral("txtUserName"));
        QCOMPARE(widgets.size(), 2);
        QVERIFY(qobject_cast<QLabel *>(widgets[0]));
        QCOMPARE(widgets[1], page->fieldControl(QStringLiteral("txtUserName")));
        QCOMPARE(page->fieldControl(QStringLiteral("txtNone")), nullptr);
        page->tabStrip()->setCurrentIndex(0);
        QVERIFY(QTest::qWaitForWindowActive(&f.main));
        widgets[1]->setFocus();
        QTRY_COMPARE(page->lastFocusedField(), QStringLiteral("txtUserName"));
        qobject_cast<QLineEdit *>(widgets[1])->setText(QStringLiteral("Someone"));
        QCOMPARE(written.last().at(0).toString(), QStringLiteral("txtUserName"));
    }
};

QTEST_MAIN(TestPageLayouts)
#include "tst_pagelayouts.moc"
