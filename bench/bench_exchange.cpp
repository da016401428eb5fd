// Costs of the link window's exchanges, against the decoder simulator on a
// real pseudo-terminal, through the real Transmit window:
//
//  1. Exchange overhead: from the click on "Download to Decoder" to the result
//     message, minus the wire time of the 90-byte frame and the 1-byte answer
//     at 9600 baud. Goal: below 5 ms.
//  2. CPU while waiting: the process's CPU time during a silent decoder's
//     3000 ms time-out (RS232) and during a keyboard handshake that runs out
//     (about 2.4 s of token ticks). Goal: below 1 % of one core.
//
// Prints figures and ratios to the goals; never fails on a figure.

#include "link/PortIo.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "protocol/Protocol.h"
#include "shell/AppContext.h"
#include "shell/MainWindow.h"
#include "sim/SerialDecoder.h"
#include "windows/TransmitWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

using namespace q5n;

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Answers every box with OK and notes when the last one came.
class TimingPrompter : public Prompter
{
public:
    Button ask(const Message &m) override
    {
        lastAt = clock.nsecsElapsed();
        lastText = m.text;
        return Button::Ok;
    }
    std::optional<QString> openFile(const FileDialog &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileDialog &) override { return std::nullopt; }

    QElapsedTimer clock;
    qint64 lastAt = 0;
    QString lastText;
};

struct Setup
{
    explicit Setup(qint16 linkMode = LinkSettings::kRs232)
    {
        state.linkSettings.linkMode = linkMode;
        paths.workingDir = dir.path();
        paths.programDir = dir.path();
        paths.userDataDir = dir.path();
        prompter.clock.start();
        main = new MainWindow(context);
        main->registerPage(TransmitWindow::kPage, &createTransmitWindow);
        main->show();
        window = qobject_cast<TransmitWindow *>(main->showPage(TransmitWindow::kPage));
    }
    ~Setup() { delete main; }

    // Clicks and runs the events until the exchange has ended and the window
    // has shown its message.
    void click(const char *name)
    {
        QEventLoop loop;
        QObject::connect(&window->link(), &LinkExchange::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        window->findChild<QAbstractButton *>(QLatin1String(name))->click();
        if (window->busy())
            loop.exec();
    }

    QTemporaryDir dir;
    ProgramState state;
    TimingPrompter prompter;
    SimulatedPortIo portIo{true};
    Clock clock;
    Paths paths;
    AppContext context{state, prompter, portIo, clock, paths, {}};
    MainWindow *main = nullptr;
    TransmitWindow *window = nullptr;
};

} // namespace

int main(int argc, char *argv[])
{
    // Never reach a real serial port; COM 1 is the simulator's line.
    for (int n = 1; n <= 6; ++n)
        qputenv(QByteArray(QByteArray("Q5NCFG_COM") + QByteArray::number(n)).constData(), "/nonexistent/bench");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    sim::SerialDecoder decoder;
    decoder.setResponseDelayMs(0);
    if (!decoder.open()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(decoder.errorString()));
        return 1;
    }
    qputenv("Q5NCFG_COM1", decoder.devicePath().toLocal8Bit());

    // 1. Exchange overhead.
    {
        Setup s;
        for (int i = 0; i < kImageSize; ++i)
            s.state.workingImage[i] = quint8(i * 3);
        const int rounds = 20;
        const double wireMs = (kDownloadFrameSize + 1) * 10 * 1000.0 / 9600;
        double totalMs = 0, worstMs = 0;
        int ok = 0;
        for (int r = 0; r < rounds; ++r) {
            const qint64 start = s.prompter.clock.nsecsElapsed();
            s.click("cmdTransmit");
            const double ms = (s.prompter.lastAt - start) / 1e6;
            ok += s.prompter.lastText == QStringLiteral("Download OK!");
            totalMs += ms;
            worstMs = std::max(worstMs, ms);
        }
        const double overhead = totalMs / rounds - wireMs;
        std::printf("exchange overhead (RS232 download at 9600, %d rounds, %d OK)\n", rounds, ok);
        std::printf("  click to message  %8.2f ms (worst %.2f)\n", totalMs / rounds, worstMs);
        std::printf("  wire time         %8.2f ms (91 bytes x 10 bits)\n", wireMs);
        std::printf("  overhead          %8.2f ms   goal < 5 ms   ratio to goal %.2f\n", overhead, overhead / 5.0);
    }

    // For comparison: the same frame and answer through the bare serial port
    // adapter (port opened and closed each round, as the window does): what
    // the simulator and the pseudo-terminal take beyond the wire time.
    {
        ConfigImage image;
        const QByteArray frame = downloadFrame(image, true);
        const QString path = decoder.devicePath();
        const int rounds = 20;
        double totalMs = 0;
        for (int r = 0; r < rounds; ++r) {
            SerialPort port;
            port.setResolver([path](int) { return path; });
            QElapsedTimer t;
            t.start();
            if (!port.setPortOpen(true))
                return 1;
            port.output(frame);
            port.setRThreshold(1);
            QEventLoop loop;
            QObject::connect(&port, &SerialPort::onComm, &loop, &QEventLoop::quit);
            QTimer::singleShot(3000, &loop, &QEventLoop::quit);
            loop.exec();
            port.setPortOpen(false);
            totalMs += t.nsecsElapsed() / 1e6;
        }
        const double wireMs = (kDownloadFrameSize + 1) * 10 * 1000.0 / 9600;
        std::printf("  for comparison, the bare adapter and simulator: %.2f ms beyond the wire time\n",
                    totalMs / rounds - wireMs);
    }

    // 2. CPU while waiting.
    {
        Setup s;
        decoder.setFault(sim::Fault::Silent);
        const double cpu0 = cpuSeconds();
        const qint64 start = s.prompter.clock.nsecsElapsed();
        s.click("cmdTransmit");
        const double wall = (s.prompter.lastAt - start) / 1e9;
        const double cpu = cpuSeconds() - cpu0;
        const double share = 100.0 * cpu / wall;
        std::printf("CPU while waiting (RS232 time-out, \"%s\")\n", qPrintable(s.prompter.lastText));
        std::printf("  wall %.3f s, CPU %.4f s = %.3f %% of one core   goal < 1 %%   ratio to goal %.3f\n", wall, cpu,
                    share, share / 1.0);
        decoder.setFault(sim::Fault::None);
    }
    {
        Setup s(LinkSettings::kKeyboard);
        const double cpu0 = cpuSeconds();
        const qint64 start = s.prompter.clock.nsecsElapsed();
        s.click("cmdTransmit");
        const double wall = (s.prompter.lastAt - start) / 1e9;
        const double cpu = cpuSeconds() - cpu0;
        const double share = 100.0 * cpu / wall;
        std::printf("CPU while waiting (keyboard handshake of 15 tokens, \"%s\")\n", qPrintable(s.prompter.lastText));
        std::printf("  wall %.3f s, CPU %.4f s = %.3f %% of one core   goal < 1 %%   ratio to goal %.3f\n", wall, cpu,
                    share, share / 1.0);
    }
    return 0;
}
