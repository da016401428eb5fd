#pragma once

// A main window with stand-in windows for every page of the page table, for
// the shell tests.

#include "model/PageTable.h"
#include "shell/MainWindow.h"
#include "shell/PageWindow.h"
#include "support/TestContext.h"

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace q5n::test {

// A page window with one text box, which can be made to refuse closing.
class StandInPage : public PageWindow
{
public:
    StandInPage(ProgramHost &host, int page) : PageWindow(host, definitionOf(page))
    {
        edit = new QLineEdit(QStringLiteral("some text"), this);
        edit->setObjectName(QStringLiteral("txtStandIn"));
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(edit);
    }
    bool canClose() const override { return !busy; }

    QLineEdit *edit;
    bool busy = false;
};

struct ShellFixture
{
    // `pages`: register a stand-in for every page.
    explicit ShellFixture(bool pages = true)
    {
        window = std::make_unique<MainWindow>(ctx.context);
        if (pages)
            for (const PageInfo &info : pageTable())
                window->registerPage(info.number, [this, page = info.number](ProgramHost &m) -> PageWindow * {
                    activeAtCreation[page] = ctx.state.activePage;
                    ++created[page];
                    return new StandInPage(m, page);
                });
        window->show();
    }
    ~ShellFixture()
    {
        // Close without the closing question of a real run.
        ctx.state.markSaved();
        for (StandInPage *p : window->findChildren<StandInPage *>())
            p->busy = false;
        window->closeSettingPages();
        window->closePage(Page::ReadMemory);
        settle();
        window.reset();
    }

    MainWindow &main() { return *window; }
    ProgramState &state() { return ctx.state; }

    // The pages whose windows are open.
    QList<int> openPages() const
    {
        QList<int> open;
        for (const PageInfo &info : pageTable())
            if (window->pageWindow(info.number))
                open.append(info.number);
        std::sort(open.begin(), open.end());
        return open;
    }
    StandInPage *page(int number) const
    {
        QMdiSubWindow *sub = window->pageWindow(number);
        return sub ? static_cast<StandInPage *>(sub->widget()) : nullptr;
    }
    // Runs a menu item (by objectName) or clicks a toolbar button ("tbr_<key>").
    void command(const QString &name)
    {
        if (name.startsWith(QLatin1String("tbr_"))) {
            QAction *a = window->toolbarButton(name.mid(4));
            QVERIFY(a);
            QWidget *button = window->toolBar()->widgetForAction(a);
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            QAction *a = window->menuAction(name);
            QVERIFY(a);
            a->trigger();
        }
    }
    // Lets closed windows be deleted.
    static void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    TestContext ctx;
    std::unique_ptr<MainWindow> window;
    int activeAtCreation[10] = {};
    int created[10] = {};
};

} // namespace q5n::test
