// The command line against a fleet of simulated decoders, each a q5nsim
// process on its own pseudo-terminal at the real wire pace of 9600 baud:
//
//  1. 16 decoders, one of them silent, download with verify: each good port's
//     own time (goal <= 0.3 s) and the whole run against the silent one's
//     time-out plus one exchange.
//  2. 64 decoders, download with verify, against one decoder (goal <= 1.2x).
//  3. CPU that each decoder beyond the first adds to q5ntool (goal <= 0.5 ms),
//     from the process's own usage totals (wait4), not a 10 ms-granular timer.
//
// Prints figures and ratios to the goals; never fails on a figure.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Run
{
    double wall = 0; // seconds
    double cpu = 0;  // user + system seconds of q5ntool
    QByteArray out;
};

double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// Runs q5ntool with `args`; its output, wall time and its own CPU totals.
Run runTool(const QString &tool, const QStringList &args)
{
    Run r;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return r;
    std::vector<QByteArray> owned{tool.toLocal8Bit()};
    for (const QString &a : args)
        owned.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        ::close(pipeFds[0]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0)
        r.out.append(buf, n);
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    r.wall = clock.nsecsElapsed() / 1e9;
    r.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return r;
}

struct Fleet
{
    QTemporaryDir dir;
    std::vector<QProcess *> sims;
    QString sim, tool;

    QString port(int i) const { return dir.filePath(QStringLiteral("dec%1").arg(i)); }

    bool start(int count, int silent = -1)
    {
        for (int i = 0; i < count; ++i) {
            auto *p = new QProcess;
            QStringList args{QStringLiteral("--link"), port(i)};
            if (i == silent)
                args << QStringLiteral("--fault") << QStringLiteral("silent");
            p->setStandardOutputFile(QProcess::nullDevice());
            p->setStandardErrorFile(QProcess::nullDevice());
            p->start(sim, args);
            sims.push_back(p);
        }
        for (int tries = 0; tries < 200; ++tries) {
            bool all = true;
            for (int i = 0; i < count; ++i)
                all = all && QFile::exists(port(i));
            if (all)
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    ~Fleet()
    {
        for (QProcess *p : sims) {
            p->terminate();
            p->waitForFinished(2000);
            delete p;
        }
    }

    QStringList downloadArgs(int count, bool json) const
    {
        QStringList args{QStringLiteral("download"), dir.filePath(QStringLiteral("site.cfg"))};
        for (int i = 0; i < count; ++i)
            args << QStringLiteral("--port") << port(i);
        args << QStringLiteral("--verify");
        if (json)
            args << QStringLiteral("--json");
        return args;
    }

    // The median of five runs by wall time.
    Run median(int count)
    {
        std::vector<Run> runs;
        for (int i = 0; i < 5; ++i)
            runs.push_back(runTool(tool, downloadArgs(count, false)));
        std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.wall < b.wall; });
        return runs[2];
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString here = QCoreApplication::applicationDirPath();
    const QString sim = QDir(here).absoluteFilePath(QStringLiteral("../sim/q5nsim"));
    const QString tool = QDir(here).absoluteFilePath(QStringLiteral("../tool/q5ntool"));
    if (!QFile::exists(sim) || !QFile::exists(tool)) {
        std::fprintf(stderr, "needs %s and %s\n", qPrintable(sim), qPrintable(tool));
        return 1;
    }

    // 1. Sixteen decoders, one silent.
    {
        Fleet f;
        f.sim = sim;
        f.tool = tool;
        const int silent = 7;
        if (!f.start(16, silent))
            return 1;
        runTool(tool, {QStringLiteral("new"), f.dir.filePath(QStringLiteral("site.cfg"))});
        const Run r = runTool(tool, f.downloadArgs(16, true));
        const QJsonArray ports = QJsonDocument::fromJson(r.out)[QStringLiteral("ports")].toArray();
        double worstGood = 0;
        int good = 0;
        for (int i = 0; i < ports.size(); ++i) {
            if (i == silent)
                continue;
            const QJsonObject p = ports[i].toObject();
            good += p[QStringLiteral("exit")].toInt() == 0;
            worstGood = std::max(worstGood, p[QStringLiteral("seconds")].toDouble());
        }
        const double silentSeconds = ports.size() > silent ? ports[silent][QStringLiteral("seconds")].toDouble() : 0;
        std::printf("16 decoders, one silent (download --verify)\n");
        std::printf("  %d good ports verified, slowest good port %.3f s   goal <= 0.3 s   ratio to goal %.2f\n", good,
                    worstGood, worstGood / 0.3);
        std::printf("  silent port given up after %.3f s; whole run %.3f s = time-out + %.3f s (goal: + one exchange, "
                    "about %.2f s)\n",
                    silentSeconds, r.wall, r.wall - 3.0, worstGood);
    }

    // 2 and 3. One decoder against 64.
    {
        Fleet f;
        f.sim = sim;
        f.tool = tool;
        if (!f.start(64))
            return 1;
        runTool(tool, {QStringLiteral("new"), f.dir.filePath(QStringLiteral("site.cfg"))});
        const Run one = f.median(1);
        const Run many = f.median(64);
        std::printf("64 decoders against one (download --verify, median of 5)\n");
        std::printf("   1 decoder:  wall %.3f s, CPU %.4f s\n", one.wall, one.cpu);
        std::printf("  64 decoders: wall %.3f s = %.2fx one decoder   goal <= 1.2x\n", many.wall, many.wall / one.wall);
        const double perDecoderMs = (many.cpu - one.cpu) / 63 * 1000;
        std::printf("  CPU %.4f s: %.3f ms per decoder beyond the first   goal <= 0.5 ms   ratio to goal %.2f\n",
                    many.cpu, perDecoderMs, perDecoderMs / 0.5);
    }
    return 0;
}
