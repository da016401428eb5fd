#include "model/PageTable.h"
#include "pages/common/SettingPage.h"
#include "pages/decoder/ControlKeyPicker.h"
#include "shell/AboutWindow.h"
#include "shell/HelpWindow.h"
#include "support/FocusOrder.h"
#include "support/PageTest.h"
#include "windows/KrTestWindow.h"
#include "windows/MemoryWindow.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

using namespace q5n;

class TestFocusOrder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The check itself: it sees a chain that runs against the screen, a
    // group entered away from its selection and Shift+Tab taking another way
    // back, and accepts the mended window.
    void problemsAreFound()
    {
        QWidget window;
        auto *grid = new QGridLayout(&window);
        // Made right to left: the chain runs against the screen.
        auto *right = new QLineEdit(&window);
        right->setObjectName(QStringLiteral("right"));
        auto *left = new QLineEdit(&window);
        left->setObjectName(QStringLiteral("left"));
        grid->addWidget(left, 0, 0);
        grid->addWidget(right, 0, 1);
        auto *group = new QButtonGroup(&window);
        QRadioButton *options[2];
        for (int i = 0; i < 2; ++i) {
            options[i] = new QRadioButton(QStringLiteral("option %1").arg(i), &window);
            options[i]->setObjectName(QStringLiteral("option%1").arg(i));
            group->addButton(options[i], i);
            grid->addWidget(options[i], 1, i);
        }
        options[1]->setChecked(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QStringList problems = test::focusOrderProblems(&window);
        QCOMPARE(problems.size(), 3);
        QVERIFY2(problems[0].contains(QStringLiteral("Shift+Tab order")), qPrintable(problems[0]));
        QVERIFY2(problems[1].contains(QStringLiteral("group of option1 at option0")), qPrintable(problems[1]));
        QVERIFY2(problems[2].contains(QStringLiteral("Tab order: left, option1, right")), qPrintable(problems[2]));

        QWidget::setTabOrder(left, right);
        QWidget::setTabOrder(right, options[0]);
        options[0]->setFocusPolicy(Qt::ClickFocus);
        problems = test::focusOrderProblems(&window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    // Every window the main window opens, on every tab.
    void everyPageWindow_data()
    {
        QTest::addColumn<int>("page");
        for (const PageInfo &p : pageTable())
            QTest::newRow(qPrintable(p.objectName)) << p.number;
    }
    void everyPageWindow()
    {
        QFETCH(int, page);
        test::PageFixture f;
        if (!f.main.hasPage(page))
            QSKIP("the page has no window yet");
        f.main.openPage(page);
        QMdiSubWindow *sub = f.main.pageWindow(page);
        QVERIFY(sub);
        QVERIFY(QTest::qWaitForWindowExposed(&f.main));
        auto *settings = qobject_cast<SettingPage *>(sub->widget());
        const int tabs = settings ? settings->frameCount() : 1;
        for (int k = 0; k < tabs; ++k) {
            if (settings)
                settings->tabStrip()->setCurrentIndex(k);
            const QStringList problems = test::focusOrderProblems(sub->widget());
            QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("tab %1: ").arg(k) + problems.join(u'\n')));
        }
    }

    // The windows besides the pages, the memory window with its text shown
    // and then its options again.
    void everyOtherWindow_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *w : {"DDT", "DlgCtrl", "frmAbout", "frmHelp", "TxtMemory", "CmdDisplay"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }
    void everyOtherWindow()
    {
        QFETCH(QString, window);
        test::PageFixture f;
        f.main.showAbout();
        f.main.helpContents();
        f.main.aboutWindow()->hide(); // shown again when its row's turn comes
        f.main.helpWindow()->hide();
        const QHash<QString, QWidget *> windows{{"DDT", new KrTestWindow(f.t.context, &f.main)},
                                                {"DlgCtrl", new ControlKeyPicker(f.main, &f.main)},
                                                {"frmAbout", f.main.aboutWindow()},
                                                {"frmHelp", f.main.helpWindow()}};
        QWidget *w = windows.value(window);
        if (!w) {
            f.main.openPage(MemoryWindow::kPage);
            auto *memory = static_cast<MemoryWindow *>(f.main.pageWindow(MemoryWindow::kPage)->widget());
            memory->saveAs(); // cancelled: the text box is shown
            if (window == u"CmdDisplay")
                memory->showOptions();
            w = memory;
        }
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QStringList problems = test::focusOrderProblems(w);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }
};

QTEST_MAIN(TestFocusOrder)
#include "tst_focusorder.moc"
