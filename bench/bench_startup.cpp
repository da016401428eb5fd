// Start-up benchmark: time from launch to the main window's first paint, and
// peak memory, for q5ncfg's main window beside a bare Qt main window built
// here, in the same run, alternating, several runs; prints medians and ratios.
//
//   bench_startup [runs]          (runs under the current QT_QPA_PLATFORM / DISPLAY)
//
// Goal: at most 1.3x the bare window's time and at most 8 MiB more memory.
#include "app/PageRegistry.h"
#include "link/PortIo.h"
#include "model/ProgramState.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "shell/MainWindow.h"
#include "shell/Resources.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

long long nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

// Reports the first paint of any widget of the watched window, then ends the process.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(long long launchNs) : m_launchNs(launchNs) {}
    QWidget *window = nullptr;
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(object);
        if (event->type() == QEvent::Paint && !m_done && widget && widget->window() == window) {
            m_done = true;
            const long long shown = nowNs() - m_launchNs;
            QTimer::singleShot(0, [shown] {
                std::printf("%lld\n", shown);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    long long m_launchNs;
    bool m_done = false;
};

int child(const std::string &kind, long long launchNs, int argc, char **argv)
{
    QApplication app(argc, argv);
    FirstPaint probe(launchNs);
    if (kind == "bare") {
        QMainWindow window;
        window.resize(900, 640);
        probe.window = &window;
        app.installEventFilter(&probe);
        window.show();
        return app.exec();
    }
    q5n::initResources();
    q5n::ProgramState state;
    q5n::QtPrompter prompter;
    q5n::SimulatedPortIo portIo(true); // a modal start-up message would stop the clock
    q5n::Clock clock;
    q5n::AppContext context{state, prompter, portIo, clock, q5n::Paths::system(), {}};
    q5n::MainWindow window(context);
    q5n::registerStandardPages(window);
    window.startUp();
    probe.window = &window;
    app.installEventFilter(&probe);
    window.show();
    return app.exec();
}

struct Sample
{
    double ms = 0;
    double maxRssMiB = 0;
};

bool runChild(const char *self, const char *kind, Sample *out)
{
    const long long launch = nowNs();
    int pipeFd[2];
    if (pipe(pipeFd) != 0)
        return false;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFd[1], 1);
        close(pipeFd[0]);
        const std::string launchText = std::to_string(launch);
        execl(self, self, "--child", kind, launchText.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipeFd[1]);
    std::string text;
    char buf[64];
    ssize_t n;
    while ((n = read(pipeFd[0], buf, sizeof buf)) > 0)
        text.append(buf, size_t(n));
    close(pipeFd[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    out->ms = std::atoll(text.c_str()) / 1e6;
    out->maxRssMiB = usage.ru_maxrss / 1024.0;
    return out->ms > 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && std::string(argv[1]) == "--child")
        return child(argv[2], std::atoll(argv[3]), 1, argv);

    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<double> bareMs, bareMem, appMs, appMem;
    for (int i = 0; i < runs + 1; ++i) {
        Sample bare, app;
        if (!runChild(argv[0], "bare", &bare) || !runChild(argv[0], "q5ncfg", &app)) {
            std::fprintf(stderr, "bench_startup: a child run failed\n");
            return 1;
        }
        if (i == 0)
            continue; // warm-up: fills the file cache for both
        bareMs.push_back(bare.ms);
        bareMem.push_back(bare.maxRssMiB);
        appMs.push_back(app.ms);
        appMem.push_back(app.maxRssMiB);
    }
    const double bt = median(bareMs), at = median(appMs), bm = median(bareMem), am = median(appMem);
    std::printf("start-up to first paint, median of %d runs (platform %s)\n", runs,
                qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ? qgetenv("QT_QPA_PLATFORM").constData() : "default");
    std::printf("  bare Qt main window : %8.1f ms  %7.1f MiB peak\n", bt, bm);
    std::printf("  q5ncfg main window  : %8.1f ms  %7.1f MiB peak\n", at, am);
    std::printf("  time ratio          : %8.2fx   (goal <= 1.30x)\n", at / bt);
    std::printf("  extra memory        : %8.1f MiB (goal <= 8 MiB)\n", am - bm);
    return 0;
}
