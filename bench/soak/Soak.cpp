#include "soak/Soak.h"

#include "app/PageRegistry.h"
#include "link/PortIo.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "protocol/Memory.h"
#include "protocol/Protocol.h"
#include "shell/AppContext.h"
#include "shell/MainWindow.h"
#include "shell/ProgramStyle.h"
#include "sim/SerialDecoder.h"
#include "windows/MemoryWindow.h"
#include "windows/TransmitWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMdiSubWindow>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <malloc.h>
#include <memory>
#include <random>

namespace q5n::soak {

namespace {

using R = LinkResult;
using sim::Fault;
using sim::MemoryFault;

// ---- What each fault calls for ------------------------------------------------

// One row per line fault: how each exchange ends with it. A new fault of the
// simulator is one more row.
struct LineFaultRow
{
    Fault fault;
    R download, upload, read, clear; // the firmware version runs the upload
};

const LineFaultRow kLineFaults[] = {
    {Fault::None, R::Good, R::Good, R::Good, R::Good},
    {Fault::Silent, R::TimeOut, R::TimeOut, R::TimeOut, R::TimeOut},
    // A refusal is one byte: the whole answer of a download or a clear, short
    // of an upload reply or a memory block.
    {Fault::Refuse, R::Bad, R::TimeOut, R::TimeOut, R::Bad},
    // Only upload replies and memory blocks carry a check byte.
    {Fault::BadCheck, R::Good, R::Bad, R::Bad, R::Good},
    {Fault::ShortReply, R::TimeOut, R::TimeOut, R::TimeOut, R::TimeOut},
    {Fault::HangUp, R::PortLost, R::PortLost, R::PortLost, R::PortLost},
    {Fault::Remove, R::PortLost, R::PortLost, R::PortLost, R::PortLost},
    // 1 MB of garbage, or an answer at a quarter of the rate: bytes that are
    // no answer.
    {Fault::Flood, R::Bad, R::Bad, R::Bad, R::Bad},
    {Fault::OtherRate, R::Bad, R::Bad, R::Bad, R::Bad},
    // One byte every 50 ms: a one-byte answer comes in time, a longer one
    // not within the soak's shortened time-outs.
    {Fault::Drip, R::Good, R::TimeOut, R::TimeOut, R::Good},
};

// A memory fault touches the memory read alone.
struct MemoryFaultRow
{
    MemoryFault fault;
    R read;
};

const MemoryFaultRow kMemoryFaults[] = {
    {MemoryFault::BadCheck, R::Bad},
    {MemoryFault::Silent, R::TimeOut},
    {MemoryFault::HangUp, R::PortLost},
    {MemoryFault::OverLong, R::Bad},
};

const LineFaultRow *lineRow(Fault fault)
{
    for (const LineFaultRow &row : kLineFaults)
        if (row.fault == fault)
            return &row;
    return nullptr;
}

QString resultName(LinkResult result)
{
    switch (result) {
    case R::Good: return QStringLiteral("good");
    case R::Bad: return QStringLiteral("bad reply");
    case R::TimeOut: return QStringLiteral("time-out");
    case R::Aborted: return QStringLiteral("aborted");
    case R::PortLost: return QStringLiteral("port lost");
    case R::PortUnavailable: return QStringLiteral("port unavailable");
    }
    return QStringLiteral("?");
}

const QList<QByteArray> kMemoryLines = {QByteArrayLiteral("4006381333931"), QByteArrayLiteral("CODE39-TEST"),
                                        QByteArrayLiteral("%B1234567890123456^DOE/JOHN^2912?")};

// ---- Waiting without spinning ----------------------------------------------------

// Runs events until `done` holds, looking again at each `signal` of `sender`,
// for at most `timeoutMs`.
template <typename Sender, typename Signal>
bool waitUntil(const Sender *sender, Signal signal, int timeoutMs, const std::function<bool()> &done)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    limit.start(timeoutMs);
    loop.exec();
    return done();
}

// ---- The simulated decoder --------------------------------------------------------

// The decoder on COM 1, answering at once, coming back right after a hang-up.
// It runs in a thread of its own, as a real decoder answers whatever the
// program's event loop is doing: a program busy painting a new window must
// not hold the decoder's answer back, or a short time-out would run out on
// the decoder instead of the program.
class Decoder
{
public:
    Decoder()
    {
        clock.start();
        m_home.moveToThread(&m_thread);
        m_thread.start();
        run([this] { m_serial = new sim::SerialDecoder(&m_home); });
        QObject::connect(m_serial, &sim::SerialDecoder::reopened, &m_here, [this] { ++reopens; });
        QObject::connect(m_serial, &sim::SerialDecoder::logMessage, &m_here,
                         [this](const QString &text) { mark(text); });
        run([this] {
            m_serial->setPacing(false);
            m_serial->setResponseDelayMs(0);
            m_serial->setReopenAfterHangUpMs(0);
            opened = m_serial->openAsComPort(1);
            error = m_serial->errorString();
        });
    }
    ~Decoder()
    {
        run([this] { delete m_serial; });
        m_thread.quit();
        m_thread.wait();
    }

    // Runs `f` in the decoder's thread and waits for it.
    void run(const std::function<void()> &f) { QMetaObject::invokeMethod(&m_home, f, Qt::BlockingQueuedConnection); }

    // A copy of what the decoder holds.
    sim::DecoderModel model()
    {
        sim::DecoderModel m;
        run([&] { m = m_serial->model(); });
        return m;
    }

    // Sets the fault of the next exchange, with a full memory.
    void prepare(const FaultSetting &setting)
    {
        run([&] {
            m_serial->setFault(setting.fault);
            sim::DecoderModel &m = m_serial->model();
            m.memoryFault = setting.memoryFault;
            m.memoryFaultBlock = 0;
            m.memoryLines = kMemoryLines;
        });
        reopensBefore = reopens;
        mark(QStringLiteral("(next exchange, %1)").arg(setting.name()));
    }

    // After an exchange that hangs the line up: waits until it is back.
    bool comeBack()
    {
        return waitUntil(m_serial, &sim::SerialDecoder::reopened, 3000, [this] { return reopens > reopensBefore; });
    }

    void mark(const QString &text)
    {
        recent.append(QStringLiteral("%1 ms  %2").arg(clock.elapsed(), 8).arg(text));
        if (recent.size() > kRecent)
            recent.removeFirst();
    }

    // The simulator's last lines of log, shown with a wrong outcome.
    static constexpr int kRecent = 16;
    QStringList recent;
    QElapsedTimer clock;

    bool opened = false;
    QString error;
    int reopens = 0;
    int reopensBefore = 0;

private:
    QThread m_thread;
    QObject m_home; // lives in m_thread, and with it the simulator
    QObject m_here; // receives the simulator's signals in this thread
    sim::SerialDecoder *m_serial = nullptr;
};

// The shortened intervals of a soak: the engine waits `timeOutMs` for every answer.
Timing soakTiming(int timeOutMs)
{
    Timing t;
    t.downloadAnswerMs = timeOutMs;
    t.uploadReplyMs = timeOutMs;
    t.memoryAnswerMs = timeOutMs;
    return t;
}

ConfigImage randomImage(std::mt19937 &rng)
{
    ConfigImage image;
    for (int i = 0; i < kImageSize; ++i)
        image[i] = quint8(rng());
    return image;
}

struct Draw
{
    Exchange exchange;
    FaultSetting setting;
};

// An answer at another rate is garbage, but garbage that arrives at once (the
// soak sends without pacing) may now and then pass an upload reply's one-byte
// check, as it could from a real decoder: counted apart, not as wrong.
const QString kByChance = QStringLiteral("(by chance) ");

bool mayPassByChance(const Draw &d)
{
    return d.setting.fault == Fault::OtherRate && d.setting.memoryFault == MemoryFault::None &&
           (d.exchange == Exchange::Upload || d.exchange == Exchange::Version);
}

class Soak
{
public:
    explicit Soak(const Options &options) : m_options(options), m_rng(options.seed)
    {
        m_settings = faultSettings(&m_result.unknownFaults);
    }

    Draw draw(const QList<Exchange> &exchanges)
    {
        const auto e = exchanges[int(m_rng() % quint32(exchanges.size()))];
        const auto s = m_settings[int(m_rng() % quint32(m_settings.size()))];
        return {e, s};
    }

    void wrong(int index, const Draw &d, const QString &what, const QStringList &log)
    {
        QString line =
            QStringLiteral("#%1 %2 with %3: %4").arg(index).arg(exchangeName(d.exchange), d.setting.name(), what);
        if (m_options.simulatorLog)
            line += QStringLiteral("\n      simulator: ") + log.join(QStringLiteral("\n      simulator: "));
        if (what.startsWith(kByChance)) {
            m_result.byChance << line;
            return;
        }
        m_result.wrong << line;
        if (m_options.onWrong)
            m_options.onWrong(line);
    }

    // The drawn exchanges after the warm-up, with the figures before, halfway
    // and after; `run` runs one and says what went wrong with it.
    void measure(const QList<Exchange> &exchanges, int index, const QStringList &simulatorLog,
                 const std::function<QStringList(const Draw &)> &run, const std::function<ProcessFigures()> &figures)
    {
        m_result.warmUp = index;
        m_result.before = figures();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < m_options.exchanges; ++i) {
            if (i == m_options.exchanges / 2)
                m_result.halfway = figures();
            const Draw d = draw(exchanges);
            for (const QString &w : run(d))
                wrong(index, d, w, simulatorLog);
            ++index;
        }
        m_result.elapsedMs = clock.elapsed();
        m_result.exchanges = m_options.exchanges;
        m_result.after = figures();
    }

    const Options &m_options;
    std::mt19937 m_rng;
    QList<FaultSetting> m_settings;
    Result m_result;
};

// ---- Through the engine -----------------------------------------------------------

const QList<Exchange> kEngineExchanges = {Exchange::Download, Exchange::DownloadNoSave, Exchange::Upload,
                                          Exchange::Version,  Exchange::ReadMemory,     Exchange::ClearMemory};

// Runs one exchange through `link`; a text for each thing that went wrong.
QStringList engineExchange(LinkExchange &link, Decoder &decoder, const Draw &d, std::mt19937 &rng, int timeOutMs)
{
    QStringList wrong;
    decoder.prepare(d.setting);
    const LinkSettings settings; // RS232, COM 1, 9600,N,8,1
    const ConfigImage image = randomImage(rng);
    const int clearsBefore = decoder.model().memoryClears;
    QList<QByteArray> lines;
    bool ended = false;
    LinkResult result = R::Aborted;
    const auto connection = QObject::connect(&link, &LinkExchange::finished, [&](LinkResult r) {
        result = r;
        ended = true;
    });
    switch (d.exchange) {
    case Exchange::Download:
    case Exchange::DownloadNoSave: link.download(settings, image, d.exchange == Exchange::Download); break;
    case Exchange::Upload:
    case Exchange::Version: link.upload(settings); break;
    case Exchange::ReadMemory:
        link.readMemory(settings, [&lines](const QList<QByteArray> &more) { lines += more; });
        break;
    case Exchange::ClearMemory: link.clearMemory(settings); break;
    }
    // A memory read waits once per block; nothing else takes more than one wait.
    if (!waitUntil(&link, &LinkExchange::finished, 10 * timeOutMs + 5000, [&] { return ended; }))
        wrong << QStringLiteral("no end");
    QObject::disconnect(connection);
    decoder.mark(QStringLiteral("(the program has its result)"));

    const LinkResult expected = expectedResult(d.exchange, d.setting);
    if (ended && result == R::Good && expected != R::Good && mayPassByChance(d)) {
        link.serialPort().portOpen() ? wrong << QStringLiteral("port left open")
                                     : wrong << kByChance + QStringLiteral("a garbled answer passed the check");
        return wrong;
    }
    if (ended && result != expected)
        wrong << QStringLiteral("%1, expected %2").arg(resultName(result), resultName(expected));
    if (link.serialPort().portOpen())
        wrong << QStringLiteral("port left open");
    if (result == R::Good) {
        const sim::DecoderModel m = decoder.model();
        switch (d.exchange) {
        case Exchange::Download:
        case Exchange::DownloadNoSave:
            if (m.image != image || m.lastDownloadCommand != (d.exchange == Exchange::Download ? 1 : 2))
                wrong << QStringLiteral("the decoder holds another image or command");
            break;
        case Exchange::Upload:
        case Exchange::Version:
            if (link.reply().versionPart1 + link.reply().versionPart2 != m.versionText() ||
                link.reply().data.size() != 25)
                wrong << QStringLiteral("another reply");
            break;
        case Exchange::ReadMemory:
            if (lines != kMemoryLines)
                wrong << QStringLiteral("other lines");
            break;
        case Exchange::ClearMemory:
            if (m.memoryClears != clearsBefore + 1)
                wrong << QStringLiteral("memory not cleared");
            break;
        }
    }
    if (expected == R::PortLost && !decoder.comeBack())
        wrong << QStringLiteral("the simulator did not come back after its hang-up");
    return wrong;
}

// ---- Through the windows ------------------------------------------------------------

// Answers a question with `confirm` (OK or Cancel), the question on closing
// with No, every message with OK; keeps the boxes of one exchange.
class SoakPrompter : public Prompter
{
public:
    Button ask(const Message &message) override
    {
        messages.append(message);
        if (message.buttons & Button::No)
            return Button::No;
        if (message.buttons & Button::Cancel)
            return confirm;
        return Button::Ok;
    }
    std::optional<QString> openFile(const FileDialog &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileDialog &) override { return std::nullopt; }

    QList<Message> messages;
    Button confirm = Button::Ok;
};

const QList<Exchange> kWindowExchanges = kEngineExchanges;

struct WindowExchange
{
    Exchange exchange;
    bool memoryWindow;
    const char *button;
    const char *question; // asked first, or null
    const char *title;
    const char *failed;
};

const WindowExchange kButtons[] = {
    {Exchange::Download, false, "cmdTransmit", nullptr, "CFG Message", "Download Failed!"},
    {Exchange::DownloadNoSave, false, "cmdTransmit", nullptr, "CFG Message", "Download Failed!"},
    {Exchange::Upload, false, "cmdReceive", "This will replace your current data with reader's data!", "Upload Message",
     "Upload Failed!"},
    {Exchange::Version, false, "CmdVersion", nullptr, "Upload Message", "Upload Failed!"},
    {Exchange::ReadMemory, true, "CmdRead", "This will read decoder memory data!", "Read Memory Message",
     "Read Decoder Memory Failed!"},
    {Exchange::ClearMemory, true, "cmdClear", "This will Clear decoder memory data!", "Clear Memory Message",
     "Clear Decoder Memory Failed!"},
};

const WindowExchange &buttonOf(Exchange exchange)
{
    for (const WindowExchange &b : kButtons)
        if (b.exchange == exchange)
            return b;
    return kButtons[0];
}

const char *const kTransmitItem = "mnuConfigTransmit";
const char *const kMemoryItem = "mnuToolsRDM";

// The program as a user has it: the main window, where the Transmit and the
// memory window are opened from the menu, one at a time.
struct Program
{
    explicit Program(int timeOutMs)
    {
        // Drawn as the program draws.
        installProgramStyle();
        paths.workingDir = dir.path();
        paths.programDir = dir.path();
        paths.userDataDir = dir.path();
        context.timing = soakTiming(timeOutMs);
        main = std::make_unique<MainWindow>(context);
        registerStandardPages(*main);
        main->show();
        QApplication::setActiveWindow(main.get());
    }
    ~Program()
    {
        main->closeActivePage();
        main.reset();
    }

    // The Transmit or the memory window. One page is open at a time: the
    // other one's menu item closes the window open and opens its own.
    LinkWindow *bring(bool memoryWindow)
    {
        const int page = memoryWindow ? MemoryWindow::kPage : TransmitWindow::kPage;
        if (!main->pageWindow(page)) {
            if (QAction *item = main->menuAction(QLatin1String(memoryWindow ? kMemoryItem : kTransmitItem)))
                item->trigger();
        }
        QMdiSubWindow *sub = main->pageWindow(page);
        return sub ? qobject_cast<LinkWindow *>(sub->widget()) : nullptr;
    }

    QTemporaryDir dir;
    ProgramState state;
    SoakPrompter prompter;
    SimulatedPortIo portIo{false};
    Clock clock;
    Paths paths;
    AppContext context{state, prompter, portIo, clock, paths, {}};
    std::unique_ptr<MainWindow> main;
};

// What the window shows at the end of an exchange that ends with `result`.
QString resultText(const WindowExchange &b, LinkResult result, const sim::DecoderModel &m)
{
    switch (result) {
    case R::TimeOut: return QStringLiteral("Time Out Error!");
    case R::Bad:
    case R::PortLost: return QLatin1String(b.failed);
    case R::Good: break;
    case R::Aborted:
    case R::PortUnavailable: return {};
    }
    switch (b.exchange) {
    case Exchange::Download:
    case Exchange::DownloadNoSave: return QStringLiteral("Download OK!");
    case Exchange::Upload: return QStringLiteral("   Upload OK!   ");
    case Exchange::Version:
        return firmwareVersionText(m.versionText().left(sim::DecoderModel::kVersionPart1Size),
                                   m.versionText().mid(sim::DecoderModel::kVersionPart1Size));
    case Exchange::ReadMemory: return memoryReadOkText();
    case Exchange::ClearMemory: return QStringLiteral("Clear Decoder Memory OK!");
    }
    return {};
}

Prompter::Message box(const QString &title, const QString &text)
{
    Prompter::Message m;
    m.title = title;
    m.text = text;
    return m;
}

QString messagesText(const QList<Prompter::Message> &messages)
{
    QStringList parts;
    for (const Prompter::Message &m : messages)
        parts << QStringLiteral("\"%1\"/\"%2\"").arg(m.title, QString(m.text).replace(u'\r', u' '));
    return parts.isEmpty() ? QStringLiteral("no box") : parts.join(u", ");
}

// A user's exchange: the window brought forward from its menu item, the
// download option chosen with a click, the button clicked or pressed with
// the space bar, the question answered with OK or Cancel.
QStringList windowExchange(Program &p, Decoder &decoder, const Draw &d, std::mt19937 &rng, bool cancel, bool byKey,
                           int timeOutMs)
{
    QStringList wrong;
    decoder.prepare(d.setting);
    const WindowExchange &b = buttonOf(d.exchange);
    LinkWindow *window = p.bring(b.memoryWindow);
    if (!window) {
        wrong << QStringLiteral("the window did not open");
        return wrong;
    }
    p.state.workingImage = randomImage(rng);
    if (d.exchange == Exchange::Download || d.exchange == Exchange::DownloadNoSave) {
        const bool save = d.exchange == Exchange::Download;
        auto *option =
            window->findChild<QAbstractButton *>(save ? QStringLiteral("Option1_1") : QStringLiteral("Option1_0"));
        if (option) {
            // On the label, where a click takes (the button may be wider).
            QStyleOptionButton style;
            style.initFrom(option);
            style.text = option->text();
            const QRect target = option->style()->subElementRect(QStyle::SE_RadioButtonClickRect, &style, option);
            QTest::mouseClick(option, Qt::LeftButton, {}, target.center());
        }
        if (p.state.saveOption != save)
            wrong << QStringLiteral("the download option did not take the click");
    }
    p.prompter.messages.clear();
    p.prompter.confirm = cancel ? Prompter::Button::Cancel : Prompter::Button::Ok;
    const ConfigImage sent = p.state.workingImage;
    auto *button = window->findChild<QAbstractButton *>(QLatin1String(b.button));
    bool ended = false;
    const auto connection = QObject::connect(&window->link(), &LinkExchange::finished, [&] { ended = true; });
    if (byKey) {
        button->setFocus(Qt::TabFocusReason);
        if (QApplication::focusWidget() != button)
            wrong << QStringLiteral("the button did not take the focus");
        QTest::keyClick(button, Qt::Key_Space);
    } else {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    const bool asked = b.question != nullptr;
    const bool runs = !(asked && cancel);
    if (runs && !waitUntil(&window->link(), &LinkExchange::finished, 10 * timeOutMs + 5000, [&] { return ended; }))
        wrong << QStringLiteral("no end");
    QObject::disconnect(connection);
    decoder.mark(QStringLiteral("(the window has its result)"));
    if (!runs && ended)
        wrong << QStringLiteral("ran though cancelled");

    const sim::DecoderModel m = decoder.model();
    const LinkResult expected = expectedResult(d.exchange, d.setting);
    QList<Prompter::Message> want;
    if (asked)
        want.append(box(QLatin1String(b.title), QLatin1String(b.question)));
    if (runs)
        want.append(box(QLatin1String(b.title), resultText(b, expected, m)));
    bool same = want.size() == p.prompter.messages.size();
    for (int i = 0; same && i < want.size(); ++i)
        same = want[i].title == p.prompter.messages[i].title && want[i].text == p.prompter.messages[i].text;
    const auto passedByChance = [&] {
        const QString last = p.prompter.messages.isEmpty() ? QString() : p.prompter.messages.last().text;
        return runs && mayPassByChance(d) &&
               (last == QLatin1String("   Upload OK!   ") ||
                last.startsWith(QLatin1String("Get Firmware Version OK!")));
    };
    if (!same && passedByChance())
        wrong << kByChance + QStringLiteral("a garbled answer passed the check");
    else if (!same)
        wrong << QStringLiteral("%1, expected %2").arg(messagesText(p.prompter.messages), messagesText(want));
    if (window->serialPort().portOpen())
        wrong << QStringLiteral("port left open");
    if (window->busy())
        wrong << QStringLiteral("window still busy");
    if (runs && expected == R::Good) {
        if ((d.exchange == Exchange::Download || d.exchange == Exchange::DownloadNoSave) && m.image != sent)
            wrong << QStringLiteral("the decoder holds another image");
        if (d.exchange == Exchange::ReadMemory &&
            static_cast<MemoryWindow *>(window)->memoryText() != memoryLinesText(kMemoryLines))
            wrong << QStringLiteral("the memory box shows other lines");
    }
    if (runs && expected == R::PortLost && !decoder.comeBack())
        wrong << QStringLiteral("the simulator did not come back after its hang-up");
    return wrong;
}

} // namespace

// ---- Figures ---------------------------------------------------------------------

ProcessFigures processFigures()
{
    ProcessFigures f;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        f.descriptorTargets << fd.symLinkTarget();
    f.descriptors = int(f.descriptorTargets.size());
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                f.rssKiB = line.mid(6).trimmed().split(' ').value(0).toLongLong();
            else if (line.startsWith("Threads:"))
                f.threads = line.mid(8).trimmed().toInt();
        }
    }
    const struct mallinfo2 heap = ::mallinfo2();
    f.heapInUseKiB = qint64(heap.uordblks + heap.hblkhd) / 1024;
    f.heapHeldKiB = qint64(heap.arena + heap.hblkhd) / 1024;
    return f;
}

QString exchangeName(Exchange exchange)
{
    switch (exchange) {
    case Exchange::Download: return QStringLiteral("download");
    case Exchange::DownloadNoSave: return QStringLiteral("download not save");
    case Exchange::Upload: return QStringLiteral("upload");
    case Exchange::Version: return QStringLiteral("firmware version");
    case Exchange::ReadMemory: return QStringLiteral("memory read");
    case Exchange::ClearMemory: return QStringLiteral("memory clear");
    }
    return {};
}

QString FaultSetting::name() const
{
    if (memoryFault != MemoryFault::None)
        return QStringLiteral("memory fault ") + sim::memoryFaultName(memoryFault);
    return QStringLiteral("fault ") + sim::faultName(fault);
}

QList<FaultSetting> faultSettings(QStringList *unknown)
{
    QList<FaultSetting> settings;
    // Every fault the simulator has a name for, in the order of its values.
    for (int i = 0; !sim::faultName(Fault(i)).isEmpty(); ++i) {
        if (lineRow(Fault(i)))
            settings.append({Fault(i), MemoryFault::None});
        else if (unknown)
            unknown->append(QStringLiteral("fault ") + sim::faultName(Fault(i)));
    }
    for (int i = 1; !sim::memoryFaultName(MemoryFault(i)).isEmpty(); ++i) {
        const auto *row = std::find_if(std::begin(kMemoryFaults), std::end(kMemoryFaults),
                                       [i](const MemoryFaultRow &r) { return r.fault == MemoryFault(i); });
        if (row != std::end(kMemoryFaults))
            settings.append({Fault::None, MemoryFault(i)});
        else if (unknown)
            unknown->append(QStringLiteral("memory fault ") + sim::memoryFaultName(MemoryFault(i)));
    }
    return settings;
}

LinkResult expectedResult(Exchange exchange, const FaultSetting &setting)
{
    if (setting.memoryFault != MemoryFault::None) {
        if (exchange != Exchange::ReadMemory)
            return expectedResult(exchange, {setting.fault, MemoryFault::None});
        for (const MemoryFaultRow &row : kMemoryFaults)
            if (row.fault == setting.memoryFault)
                return row.read;
        return R::Aborted;
    }
    const LineFaultRow *row = lineRow(setting.fault);
    if (!row)
        return R::Aborted;
    switch (exchange) {
    case Exchange::Download:
    case Exchange::DownloadNoSave: return row->download;
    case Exchange::Upload:
    case Exchange::Version: return row->upload;
    case Exchange::ReadMemory: return row->read;
    case Exchange::ClearMemory: return row->clear;
    }
    return R::Aborted;
}

Result soakEngine(const Options &options)
{
    Soak soak(options);
    Decoder decoder;
    if (!decoder.opened) {
        soak.m_result.wrong << QStringLiteral("the simulator did not open: ") + decoder.error;
        return soak.m_result;
    }
    SimulatedPortIo portIo(false);
    LinkExchange link(portIo, soakTiming(options.timeOutMs), nullptr);

    // A first exchange of each kind, so that what the first ones set up for
    // good is in the figures before.
    int index = 0;
    for (Exchange e : kEngineExchanges) {
        const Draw d{e, {}};
        for (const QString &w : engineExchange(link, decoder, d, soak.m_rng, options.timeOutMs))
            soak.wrong(index, d, w, decoder.recent);
        ++index;
    }
    soak.measure(
        kEngineExchanges, index, decoder.recent,
        [&](const Draw &d) { return engineExchange(link, decoder, d, soak.m_rng, options.timeOutMs); }, processFigures);
    return soak.m_result;
}

Result soakWindows(const Options &options)
{
    Soak soak(options);
    Decoder decoder;
    if (!decoder.opened) {
        soak.m_result.wrong << QStringLiteral("the simulator did not open: ") + decoder.error;
        return soak.m_result;
    }
    Program program(options.timeOutMs);

    int index = 0;
    for (Exchange e : kWindowExchanges) {
        const Draw d{e, {}};
        for (const QString &w : windowExchange(program, decoder, d, soak.m_rng, false, index % 2, options.timeOutMs))
            soak.wrong(index, d, w, decoder.recent);
        ++index;
    }
    // A window closed by the last exchange is deleted at the event loop's
    // next turn, with what it holds (its port-folder watch among them): the
    // figures are taken once it is gone.
    const auto figures = [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return processFigures();
    };
    // Qt's pixmap cache starts empty, so what it holds at the end is what the
    // run put there: the windows' own few button faces and icons, as many
    // after a hundred exchanges as after thousands, and anything that grows
    // with each window or paint (as the title bar's icons did, made anew for
    // each paint until the program's style shared them). The figures after
    // are taken again once it is emptied.
    QPixmapCache::clear();
    soak.measure(
        kWindowExchanges, index, decoder.recent,
        [&](const Draw &d) {
            // One question in ten is answered Cancel; half the buttons are pressed with the space bar.
            const bool cancel = soak.m_rng() % 10 == 0;
            const bool byKey = soak.m_rng() % 2 == 0;
            return windowExchange(program, decoder, d, soak.m_rng, cancel, byKey, options.timeOutMs);
        },
        figures);
    QPixmapCache::clear();
    soak.m_result.afterCacheEmptied = figures();
    soak.m_result.pixmapCache = true;
    return soak.m_result;
}

QStringList figuresText(const Result &r)
{
    QStringList lines;
    const qint64 growth = r.after.rssKiB - r.before.rssKiB;
    const double per10k = r.exchanges > 0 ? growth * 10000.0 / r.exchanges : 0;
    lines << QStringLiteral("  %1 exchanges in %2 s (%3 ms each; after %4 to warm up)")
                 .arg(r.exchanges)
                 .arg(r.elapsedMs / 1000.0, 0, 'f', 1)
                 .arg(r.exchanges > 0 ? double(r.elapsedMs) / r.exchanges : 0, 0, 'f', 2)
                 .arg(r.warmUp);
    lines << QStringLiteral("  descriptors  %1 -> %2   goal: equal   %3")
                 .arg(r.before.descriptors)
                 .arg(r.after.descriptors)
                 .arg(r.before.descriptors == r.after.descriptors ? "met" : "MISSED");
    // (The same number on other lines is the simulator's line, reopened after a hang-up.)
    if (r.before.descriptors != r.after.descriptors) {
        QStringList gone = r.before.descriptorTargets, added = r.after.descriptorTargets;
        for (const QString &t : r.before.descriptorTargets)
            added.removeOne(t);
        for (const QString &t : r.after.descriptorTargets)
            gone.removeOne(t);
        lines << QStringLiteral("    open after, not before: %1; before, not after: %2")
                     .arg(added.join(u", "), gone.join(u", "));
    }
    lines << QStringLiteral("  threads      %1 -> %2   goal: equal   %3")
                 .arg(r.before.threads)
                 .arg(r.after.threads)
                 .arg(r.before.threads == r.after.threads ? "met" : "MISSED");
    lines << QStringLiteral("  RSS          %1 KiB -> %2 KiB (%3 KiB, %4 KiB per 10,000)   goal: < 1024 KiB per "
                            "10,000   ratio to goal %5")
                 .arg(r.before.rssKiB)
                 .arg(r.after.rssKiB)
                 .arg(growth)
                 .arg(per10k, 0, 'f', 0)
                 .arg(per10k / 1024.0, 0, 'f', 2);
    // Growth that goes on with every exchange shows in the second half as in
    // the first; what fills once (caches, the allocator's pools) does not.
    if (const int second = r.exchanges - r.exchanges / 2; second > 0 && r.halfway.rssKiB > 0) {
        const qint64 late = r.after.rssKiB - r.halfway.rssKiB;
        const double latePer10k = late * 10000.0 / second;
        lines << QStringLiteral("  RSS over the last %1 exchanges: %2 KiB -> %3 KiB (%4 KiB, %5 KiB per 10,000)   "
                                "ratio to goal %6")
                     .arg(second)
                     .arg(r.halfway.rssKiB)
                     .arg(r.after.rssKiB)
                     .arg(late)
                     .arg(latePer10k, 0, 'f', 0)
                     .arg(latePer10k / 1024.0, 0, 'f', 2);
    }
    lines << QStringLiteral("  heap in use  %1 KiB -> %2 KiB (%3 KiB); held from the system %4 KiB -> %5 KiB")
                 .arg(r.before.heapInUseKiB)
                 .arg(r.after.heapInUseKiB)
                 .arg(r.after.heapInUseKiB - r.before.heapInUseKiB)
                 .arg(r.before.heapHeldKiB)
                 .arg(r.after.heapHeldKiB);
    if (r.pixmapCache) {
        const qint64 cached = r.after.heapInUseKiB - r.afterCacheEmptied.heapInUseKiB;
        const qint64 own = r.afterCacheEmptied.heapInUseKiB - r.before.heapInUseKiB;
        const double ownPer10k = r.exchanges > 0 ? own * 10000.0 / r.exchanges : 0;
        lines << QStringLiteral(
                     "  of the heap, Qt's pixmap cache %1 KiB; with the cache emptied the heap in use grew %2 "
                     "KiB (%3 KiB per 10,000)   ratio to goal %4")
                     .arg(cached)
                     .arg(own)
                     .arg(ownPer10k, 0, 'f', 0)
                     .arg(ownPer10k / 1024.0, 0, 'f', 2);
    }
    lines << QStringLiteral("  garbled answers at another rate that passed the reply's one-byte check: %1")
                 .arg(r.byChance.size());
    lines << QStringLiteral("  wrong outcomes %1   goal: 0").arg(r.wrong.size());
    for (const QString &w : r.wrong)
        lines << QStringLiteral("    ") + w;
    for (const QString &f : r.unknownFaults)
        lines << QStringLiteral("  not soaked (no expected outcome): ") + f;
    return lines;
}

} // namespace q5n::soak
