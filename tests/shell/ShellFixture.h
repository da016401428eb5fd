#pragma once

// A main window with stand-in windows for pages 1..9, for the shell tests.

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

#include <memory>

namespace q5n::test {

// The page contract of each page number: window name, title, menu item
// checked while open, menu item disabled while open.
inline PageWindow::Definition standInDefinition(int page)
{
    switch (page) {
    case 1: return {1, QStringLiteral("Interface"), QStringLiteral("mnuConfigInterface"), QStringLiteral("mnuConfigDefault")};
    case 2: return {2, QStringLiteral("Communication Parameters"), QStringLiteral("mnuConfigComm"), QStringLiteral("mnuConfigDefault")};
    case 3: return {3, QStringLiteral("Bar Codes and Others"), QStringLiteral("mnuConfigBar"), QStringLiteral("mnuConfigDefault")};
    case 4: return {4, QStringLiteral("Miscellaneous Parameters"), QStringLiteral("mnuConfigMisc"), QStringLiteral("mnuConfigDefault")};
    case 5: return {5, QStringLiteral("Transmit"), QString(), QStringLiteral("mnuConfigDefault")};
    case 6: return {6, QStringLiteral("Communication Parameters"), QStringLiteral("mnuMagComm"), QStringLiteral("mnuMagDefault")};
    case 7: return {7, QStringLiteral("Miscellaneous Parameters"), QStringLiteral("mnuMagMisc"), QStringLiteral("mnuMagDefault")};
    case 8: return {8, QStringLiteral("Interface"), QStringLiteral("mnuMagInterface"), QStringLiteral("mnuMagDefault")};
    case 9: return {9, QStringLiteral("Read Decoder Memory"), QString(), QString()};
    }
    return {};
}

inline QString standInName(int page)
{
    static const char *const names[] = {"",        "cfg3",    "cfg4",    "cfg5",    "cfg6",
                                         "frmTransmit", "magcfg4", "magcfg6", "magcfg3", "frmReadMemory"};
    return QLatin1String(names[page]);
}

// A page window with one text box, which can be made to refuse closing.
class StandInPage : public PageWindow
{
public:
    StandInPage(MainWindow &main, int page) : PageWindow(main, standInDefinition(page))
    {
        setObjectName(standInName(page));
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
    // `pages`: register stand-ins for pages 1..9.
    explicit ShellFixture(bool pages = true)
    {
        window = std::make_unique<MainWindow>(ctx.context);
        if (pages)
            for (int page = 1; page <= 9; ++page)
                window->registerPage(page, [this, page](MainWindow &m) -> PageWindow * {
                    activeAtCreation[page] = ctx.state.activePage;
                    ++created[page];
                    return new StandInPage(m, page);
                });
        window->show();
    }
    ~ShellFixture()
    {
        // Close without the closing question of a real run.
        ctx.state.savedImage = ctx.state.workingImage;
        for (StandInPage *p : window->findChildren<StandInPage *>())
            p->busy = false;
        window->closeSettingPages();
        window->closePage(9);
        settle();
        window.reset();
    }

    MainWindow &main() { return *window; }
    ProgramState &state() { return ctx.state; }

    // The pages whose windows are open.
    QList<int> openPages() const
    {
        QList<int> open;
        for (int page = 1; page <= 9; ++page)
            if (window->pageWindow(page))
                open.append(page);
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
