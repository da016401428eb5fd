// Page-opening benchmark: time from a page's menu command to the first paint
// of its window, for the bar decoder and magnetic reader pages, several runs each, in one
// process with the main window shown; prints medians.
//
//   bench_pages [runs]          (runs under the current QT_QPA_PLATFORM / DISPLAY)
//
// Goal: under 16 ms (one frame at 60 Hz) for every page.
#include "app/PageRegistry.h"
#include "link/PortIo.h"
#include "model/ProgramState.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "shell/MainWindow.h"
#include "shell/Resources.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Ends a wait at the first paint of any widget inside a page window.
class FirstPaint : public QObject
{
public:
    QMdiArea *area = nullptr;
    QEventLoop *loop = nullptr;
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(object);
        if (event->type() == QEvent::Paint && loop && widget && area) {
            for (QWidget *w = widget; w; w = w->parentWidget()) {
                if (qobject_cast<QMdiSubWindow *>(w)) {
                    loop->quit();
                    loop = nullptr;
                    break;
                }
            }
        }
        return false;
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 9;
    q5n::initResources();
    q5n::ProgramState state;
    q5n::QtPrompter prompter;
    q5n::SimulatedPortIo portIo(true);
    q5n::Clock clock;
    q5n::AppContext context{state, prompter, portIo, clock, q5n::Paths::system(), {}};
    q5n::MainWindow window(context);
    q5n::registerStandardPages(window);
    window.startUp();
    window.show();
    FirstPaint probe;
    probe.area = window.mdiArea();
    app.installEventFilter(&probe);
    {
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
    }

    const std::pair<const char *, const char *> pages[] = {
        {"mnuConfigInterface", "Interface"},      {"mnuConfigComm", "Communication Parameters"},
        {"mnuConfigBar", "Bar Codes and Others"}, {"mnuConfigMisc", "Miscellaneous Parameters"},
        {"mnuMagInterface", "Reader Interface"},  {"mnuMagComm", "Reader Communication"},
        {"mnuMagMisc", "Reader Miscellaneous"}};
    std::printf("menu command to first paint of the page, median of %d runs (goal < 16 ms)\n", runs);
    for (const auto &[item, title] : pages) {
        QAction *action = window.menuAction(QString::fromLatin1(item));
        if (!action || !action->isEnabled()) {
            std::printf("  %-26s : not available\n", title);
            continue;
        }
        std::vector<double> ms;
        for (int i = 0; i < runs + 1; ++i) {
            QEventLoop loop;
            probe.loop = &loop;
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            QElapsedTimer timer;
            timer.start();
            action->trigger();
            loop.exec();
            const double elapsed = timer.nsecsElapsed() / 1e6;
            if (i > 0)
                ms.push_back(elapsed);
            window.closeActivePage();
            QEventLoop settle;
            QTimer::singleShot(20, &settle, &QEventLoop::quit);
            settle.exec();
        }
        std::printf("  %-26s : %6.1f ms\n", title, median(ms));
    }
    return 0;
}
