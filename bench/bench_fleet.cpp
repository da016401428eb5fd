// The command line against a fleet of simulated decoders, each on its own
// pseudo-terminal at the real wire pace of 9600 baud:
//
//  1. 16 decoders, one of them silent, download with verify: each good port's
//     own time (goal <= 0.3 s) and the whole run against the silent one's
//     time-out plus one exchange.
//  2. 64 decoders, download with verify, against one decoder (goal <= 1.1x).
//  3. CPU that each decoder beyond the first adds to q5ntool (goal <= 0.3 ms),
//     from the process's own usage totals (wait4), not a 10 ms-granular timer.
//
// The decoders of a fleet live in one host process (this program started
// again with --host), so that what is measured is q5ntool: the host's own CPU
// per run is printed beside it, and it takes one core at most instead of
// sixty-four processes' worth of wake-ups. The machine's load averages and the
// cost of the serial lock file that every port opening writes and removes are
// printed too, since both move the figures.
//
// Prints figures and ratios to the goals; never fails on a figure.
//   bench_fleet [q5ntool]      (default: the q5ntool of this build)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include "sim/SerialDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Run
{
    double wall = 0;    // seconds
    double cpu = 0;     // user + system seconds of q5ntool
    double hostCpu = 0; // CPU seconds of the simulated decoders meanwhile
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

double ownCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// --host DIR COUNT SILENT: the decoders dec0..dec<COUNT-1> in DIR (SILENT, if
// not -1, never answers). Prints "ready" once all lines are open, then answers
// each line "cpu" on stdin with its own CPU seconds so far; ends when stdin closes.
int host(const QString &dir, int count, int silent)
{
    std::vector<std::unique_ptr<q5n::sim::SerialDecoder>> decoders;
    for (int i = 0; i < count; ++i) {
        auto d = std::make_unique<q5n::sim::SerialDecoder>();
        if (i == silent)
            d->setFault(q5n::sim::Fault::Silent);
        if (!d->open(QDir(dir).filePath(QStringLiteral("dec%1").arg(i)))) {
            std::fprintf(stderr, "%s\n", qPrintable(d->errorString()));
            return 1;
        }
        decoders.push_back(std::move(d));
    }
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        for (ssize_t i = 0; i < n; ++i)
            if (buf[i] == '\n')
                std::printf("%.6f\n", ownCpuSeconds());
        std::fflush(stdout);
    });
    return QCoreApplication::exec();
}

struct Fleet
{
    QTemporaryDir dir;
    QProcess hostProcess;
    QString tool;

    QString port(int i) const { return dir.filePath(QStringLiteral("dec%1").arg(i)); }

    bool start(int count, int silent = -1)
    {
        hostProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        hostProcess.start(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--host"), dir.path(), QString::number(count), QString::number(silent)});
        return hostProcess.waitForReadyRead(10000) && hostProcess.readLine().trimmed() == "ready";
    }
    // The host's CPU seconds so far.
    double hostCpu()
    {
        hostProcess.write("cpu\n");
        while (!hostProcess.canReadLine())
            if (!hostProcess.waitForReadyRead(5000))
                return 0;
        return hostProcess.readLine().trimmed().toDouble();
    }
    ~Fleet()
    {
        hostProcess.closeWriteChannel();
        if (!hostProcess.waitForFinished(5000))
            hostProcess.kill();
        hostProcess.waitForFinished(2000);
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

    // One decoder and `count` decoders, `runs` times each, one after the
    // other so that a drift of the machine falls on both alike: the medians
    // of each figure, taken apart (the run of median wall time need not be
    // the run of median CPU). `hostCpu` is the simulated decoders' CPU.
    std::pair<Run, Run> medians(int count, int runs)
    {
        std::vector<Run> one, many;
        for (int i = 0; i < runs; ++i)
            for (auto [n, into] : {std::pair{1, &one}, std::pair{count, &many}}) {
                const double before = hostCpu();
                Run r = runTool(tool, downloadArgs(n, false));
                r.hostCpu = hostCpu() - before;
                into->push_back(r);
            }
        return {medianOf(one), medianOf(many)};
    }
    static Run medianOf(std::vector<Run> runs)
    {
        Run m;
        const auto middle = [&](double Run::*figure) {
            std::sort(runs.begin(), runs.end(), [&](const Run &a, const Run &b) { return a.*figure < b.*figure; });
            return runs[runs.size() / 2].*figure;
        };
        m.wall = middle(&Run::wall);
        m.cpu = middle(&Run::cpu);
        m.hostCpu = middle(&Run::hostCpu);
        return m;
    }
};

// The kind of file system a folder is on, by its magic number.
QString fileSystemOf(const QString &folder)
{
    struct statfs fs
    {
    };
    if (::statfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return QStringLiteral("unknown");
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x01021994UL: return QStringLiteral("tmpfs");
    case 0xEF53UL: return QStringLiteral("ext2/3/4");
    case 0x58465342UL: return QStringLiteral("xfs");
    case 0x9123683EUL: return QStringLiteral("btrfs");
    case 0x794C7630UL: return QStringLiteral("overlay");
    default: return QStringLiteral("type 0x%1").arg(qulonglong(fs.f_type), 0, 16);
    }
}

QString loadText()
{
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) != 3)
        return QStringLiteral("unknown");
    return QStringLiteral("%1 %2 %3").arg(load[0], 0, 'f', 2).arg(load[1], 0, 'f', 2).arg(load[2], 0, 'f', 2);
}

// What one serial lock file costs here: every opening creates one in the lock
// directory (never through a link, never blocking) and the closing removes
// it. Median milliseconds of 21, or -1 when there is no such directory.
double lockFileMs()
{
    const QByteArray path = "/var/lock/LCK..q5n-bench-" + QByteArray::number(::getpid());
    std::vector<double> ms;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer t;
        t.start();
        const int fd =
            ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0)
            return -1;
        [[maybe_unused]] const auto n = ::write(fd, "      4242\n", 11);
        ::close(fd);
        ::unlink(path.constData());
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--host"))
        return host(args[2], args[3].toInt(), args[4].toInt());

    const QString here = QCoreApplication::applicationDirPath();
    // Another q5ntool (an earlier build, to compare) may be named as the argument.
    const QString tool = args.size() == 2 ? args[1] : QDir(here).absoluteFilePath(QStringLiteral("../tool/q5ntool"));
    if (!QFile::exists(tool)) {
        std::fprintf(stderr, "needs %s\n", qPrintable(tool));
        return 1;
    }
    std::printf("load averages at the start: %s (2 cores or more wanted free; the figures move with the load)\n",
                qPrintable(loadText()));
    // The ports' records of q5ntool go to a folder of this run, not the user's.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    std::printf("file systems: serial lock files %s (tmpfs on most systems), ports' records %s\n",
                qPrintable(fileSystemOf(QStringLiteral("/var/lock/"))), qPrintable(fileSystemOf(state.path())));
    const double lockMs = lockFileMs();
    if (lockMs >= 0)
        std::printf("serial lock file, written and removed with every port opening: %.3f ms here\n", lockMs);

    // 1. Sixteen decoders, one silent: the median of three runs by the slowest good port.
    {
        Fleet f;
        f.tool = tool;
        const int silent = 7;
        if (!f.start(16, silent))
            return 1;
        runTool(tool, {QStringLiteral("new"), f.dir.filePath(QStringLiteral("site.cfg"))});
        struct Silent
        {
            double worstGood = 0, silentSeconds = 0, wall = 0, cpu = 0;
            int good = 0;
        };
        std::vector<Silent> runs;
        for (int k = 0; k < 3; ++k) {
            const Run r = runTool(tool, f.downloadArgs(16, true));
            const QJsonArray ports = QJsonDocument::fromJson(r.out)[QStringLiteral("ports")].toArray();
            Silent s;
            s.wall = r.wall;
            s.cpu = r.cpu;
            for (int i = 0; i < ports.size(); ++i) {
                if (i == silent)
                    continue;
                const QJsonObject p = ports[i].toObject();
                s.good += p[QStringLiteral("exit")].toInt() == 0;
                s.worstGood = std::max(s.worstGood, p[QStringLiteral("seconds")].toDouble());
            }
            s.silentSeconds = ports.size() > silent ? ports[silent][QStringLiteral("seconds")].toDouble() : 0;
            runs.push_back(s);
        }
        std::sort(runs.begin(), runs.end(), [](const Silent &a, const Silent &b) { return a.worstGood < b.worstGood; });
        const Silent &m = runs[1];
        std::printf("16 decoders, one silent (download --verify, median of 3)\n");
        std::printf("  %d good ports verified, slowest good port %.3f s   goal <= 0.3 s   ratio to goal %.2f\n", m.good,
                    m.worstGood, m.worstGood / 0.3);
        std::printf("  silent port given up after %.3f s; whole run %.3f s = time-out + %.3f s   goal: + one exchange "
                    "(about %.2f s)\n",
                    m.silentSeconds, m.wall, m.wall - 3.0, m.worstGood);
    }

    // 2 and 3. One decoder against 64.
    {
        Fleet f;
        f.tool = tool;
        if (!f.start(64))
            return 1;
        runTool(tool, {QStringLiteral("new"), f.dir.filePath(QStringLiteral("site.cfg"))});
        runTool(tool, f.downloadArgs(64, false)); // the ports' records made once, as a fleet has them
        const auto [one, many] = f.medians(64, 9);
        std::printf("64 decoders against one (download --verify, medians of 9, taken in turn)\n");
        std::printf("   1 decoder:  wall %.3f s, q5ntool CPU %.4f s (simulated decoder %.4f s)\n", one.wall, one.cpu,
                    one.hostCpu);
        std::printf("  64 decoders: wall %.3f s = %.2fx one decoder   goal <= 1.1x   (simulated decoders %.4f s CPU)\n",
                    many.wall, many.wall / one.wall, many.hostCpu);
        const double perDecoderMs = (many.cpu - one.cpu) / 63 * 1000;
        std::printf(
            "  q5ntool CPU %.4f s: %.3f ms per decoder beyond the first   goal <= 0.3 ms   ratio to goal %.2f\n",
            many.cpu, perDecoderMs, perDecoderMs / 0.3);
        if (lockMs >= 0)
            std::printf(
                "  at the lock-file cost measured above, the 64 openings wait about %.0f ms in all (one after the "
                "other)\n",
                64 * lockMs);
    }
    std::printf("load averages at the end: %s\n", qPrintable(loadText()));
    return 0;
}
