#pragma once

// A main window with the Transmit page open, for the link window's tests and
// the exchange end-to-end tests.

#include "link/SerialPort.h"
#include "shell/MainWindow.h"
#include "support/Exchanges.h"
#include "support/TestContext.h"
#include "windows/TransmitWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace q5n::test {

struct TransmitFixture
{
    TransmitFixture()
    {
        main = std::make_unique<MainWindow>(ctx.context);
        useFastTiming();
        if (!main->hasPage(TransmitWindow::kPage))
            main->registerPage(TransmitWindow::kPage, &createTransmitWindow);
        main->show();
        main->activateWindow();
    }
    ~TransmitFixture()
    {
        if (window)
            main->closePage(TransmitWindow::kPage);
        main.reset();
    }

    // Shortened pauses and time-outs (the default here): the tests named
    // tst_slow_* run the real ones.
    void useFastTiming()
    {
        Timing &t = ctx.context.timing;
        t.tokenTickMs = 40;
        t.keyboardBytePauseMs = 0;
        t.afterHandshakeMs = 2;
        t.downloadAnswerMs = 300;
        t.keyboardDownloadAnswerMs = 250;
        t.uploadReplyMs = 300;
        t.keyboardTextMs = 500;
    }
    void useRealTiming() { ctx.context.timing = Timing{}; }

    TransmitWindow *open()
    {
        window = qobject_cast<TransmitWindow *>(main->showPage(TransmitWindow::kPage));
        if (window) {
            (void)QTest::qWaitForWindowExposed(window.data());
            QApplication::setActiveWindow(main.get());
        }
        return window;
    }

    bool closeWindow() { return main->closePage(TransmitWindow::kPage); }

    template <typename T = QWidget> T *child(const QString &name) const
    {
        return window ? window->findChild<T *>(name) : nullptr;
    }
    QAbstractButton *option(const QString &name) const { return child<QAbstractButton>(name); }
    QPushButton *button(const QString &name) const { return child<QPushButton>(name); }
    // Clicks a button and runs the events until the exchange it started has ended.
    void press(const QString &name)
    {
        button(name)->click();
        settle();
    }
    bool settle() { return test::settle(window); }

    // Runs `action` once the event loop runs (used to act while an exchange waits).
    static void later(int ms, std::function<void()> action) { QTimer::singleShot(ms, std::move(action)); }

    bool commandsEnabled() const
    {
        for (const char *name : {"cmdTransmit", "cmdReceive", "CmdVersion", "cmdClose"})
            if (!button(QLatin1String(name))->isEnabled())
                return false;
        return true;
    }
    bool commandsDisabled() const
    {
        for (const char *name : {"cmdTransmit", "cmdReceive", "CmdVersion", "cmdClose"})
            if (button(QLatin1String(name))->isEnabled())
                return false;
        return true;
    }

    TestContext ctx;
    std::unique_ptr<MainWindow> main;
    QPointer<TransmitWindow> window;
};

} // namespace q5n::test
