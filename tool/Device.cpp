#include "tool/Device.h"

#include "files/SetupFile.h"
#include "link/ComPorts.h"
#include "link/LinkExchange.h"
#include "link/PortIo.h"
#include "link/SerialPort.h"
#include "model/Defaults.h"
#include "model/Text8.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "protocol/Memory.h"
#include "tool/Apply.h"
#include "tool/Commands.h"
#include "tool/FieldNames.h"
#include "tool/TerminalText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace q5n::tool {

namespace {

// The exchanges that run now, for Ctrl+C.
std::vector<QPointer<LinkExchange>> &runningExchanges()
{
    static std::vector<QPointer<LinkExchange>> list;
    return list;
}
// Ports opened by monitor.
std::vector<QPointer<SerialPort>> &monitoredPorts()
{
    static std::vector<QPointer<SerialPort>> list;
    return list;
}
bool g_stopped = false;

// monitor prints what it gathered at most this long after the first byte of a
// transmission, and at most this many bytes to a line.
constexpr int kMonitorGatherMs = 100;
constexpr qsizetype kMonitorLineBytes = 4096;

struct Options
{
    QStringList ports;
    LinkSettings link;
    bool json = false;
    bool notSave = false;
    bool verify = false;
    bool check = false; // apply: compare only
    QString output;     // -o
    QString into;       // --into
    QStringList positional;
};

const char *usageOf(const QString &command)
{
    if (command == QLatin1String("download"))
        return "usage: q5ntool download FILE --port DEVICE... [--not-save] [--verify] [--json] [serial options]\n";
    if (command == QLatin1String("upload"))
        return "usage: q5ntool upload -o FILE [--into BASE] --port DEVICE [--json] [serial options]\n";
    if (command == QLatin1String("version"))
        return "usage: q5ntool version --port DEVICE... [--json] [serial options]\n";
    if (command == QLatin1String("read-memory"))
        return "usage: q5ntool read-memory --port DEVICE [-o FILE.txt] [--json] [serial options]\n";
    if (command == QLatin1String("clear-memory"))
        return "usage: q5ntool clear-memory --port DEVICE... [--json] [serial options]\n";
    if (command == QLatin1String("apply"))
        return "usage: q5ntool apply FILE --port DEVICE... [--check] [--not-save] [--json] [serial options]\n";
    return "usage: q5ntool monitor --port DEVICE... [serial options]\n";
}

bool parseOptions(const QStringList &given, Options &o, QString *error)
{
    // "--port=com1" is "--port com1".
    QStringList args;
    for (const QString &a : given) {
        const int eq = a.indexOf(QLatin1Char('='));
        if (a.startsWith(QLatin1String("--")) && eq > 2)
            args << a.left(eq) << a.mid(eq + 1);
        else
            args << a;
    }
    QString parity = QStringLiteral("N");
    QString dataBits = QStringLiteral("8");
    QString stopBits = QStringLiteral("1");
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        auto value = [&](QString *into) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            *into = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--port")) {
            if (!value(&v))
                return false;
            o.ports << v;
        } else if (a == QLatin1String("--baud")) {
            if (!value(&o.link.baudRate))
                return false;
        } else if (a == QLatin1String("--parity")) {
            if (!value(&parity))
                return false;
        } else if (a == QLatin1String("--data-bits")) {
            if (!value(&dataBits))
                return false;
        } else if (a == QLatin1String("--stop-bits")) {
            if (!value(&stopBits))
                return false;
        } else if (a == QLatin1String("-o")) {
            if (!value(&o.output))
                return false;
        } else if (a == QLatin1String("--into")) {
            if (!value(&o.into))
                return false;
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--not-save")) {
            o.notSave = true;
        } else if (a == QLatin1String("--verify")) {
            o.verify = true;
        } else if (a == QLatin1String("--check")) {
            o.check = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option %1").arg(a);
            return false;
        } else {
            o.positional << a;
        }
    }
    static const QStringList bauds = {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                                      QStringLiteral("9600"), QStringLiteral("19200")};
    if (!bauds.contains(o.link.baudRate)) {
        *error = QStringLiteral("--baud %1: use 1200, 2400, 4800, 9600 or 19200").arg(o.link.baudRate);
        return false;
    }
    parity = parity.toUpper().left(1);
    if (parity.isEmpty() || !QStringLiteral("NEOMS").contains(parity)) {
        *error = QStringLiteral("--parity: use N, E, O, M or S");
        return false;
    }
    if (dataBits != QLatin1String("7") && dataBits != QLatin1String("8")) {
        *error = QStringLiteral("--data-bits: use 7 or 8");
        return false;
    }
    if (stopBits != QLatin1String("1") && stopBits != QLatin1String("2")) {
        *error = QStringLiteral("--stop-bits: use 1 or 2");
        return false;
    }
    o.link.setFrameSettings(parity + QLatin1Char(',') + dataBits + QLatin1Char(',') + stopBits);
    o.link.linkMode = LinkSettings::kRs232;
    o.link.portNumber = 1;
    if (o.ports.isEmpty()) {
        *error = QStringLiteral("--port is required");
        return false;
    }
    return true;
}

// 1..6 for "com1".."com6", else 0.
int comNumber(const QString &value)
{
    static const QRegularExpression com(QStringLiteral("^com([1-6])$"), QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(value);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// The --port values without repeats: two names of one device (com1 and its
// path, two links to one adapter) are one port, used once under its first name.
QStringList distinctPorts(const QStringList &ports, QTextStream &err)
{
    QStringList kept;
    std::map<QString, QString> firstName; // device -> the name that came first
    for (const QString &port : ports) {
        const QString device = portDevice(port);
        const QString canonical = QFileInfo(device).canonicalFilePath();
        const QString key = canonical.isEmpty() ? device : canonical;
        if (key.isEmpty()) {
            kept << port;
            continue;
        }
        const auto [at, inserted] = firstName.emplace(key, port);
        if (inserted)
            kept << port;
        else
            err << "q5ntool: " << port << " and " << at->second << " name one device (" << key
                << "); it is used once, as " << at->second << '\n';
    }
    return kept;
}

// What became of one port.
struct PortOutcome
{
    QString port;
    QString device;
    int exit = kDone;
    QString message;
    QStringList mismatches;
    double seconds = 0;
    bool downloaded = false;
    // apply: what the decoder held, and how the port ended.
    std::optional<SectionComparison> comparison;
    ApplyResult applied = ApplyResult::Failed;
    bool verified = false;
};

QString resultWords(LinkResult r)
{
    switch (r) {
    case LinkResult::Good: return QStringLiteral("OK");
    case LinkResult::Bad: return QStringLiteral("the decoder refused or answered badly");
    case LinkResult::TimeOut: return QStringLiteral("time-out: no answer");
    case LinkResult::Aborted: return QStringLiteral("stopped");
    case LinkResult::PortLost: return QStringLiteral("the port went away during the exchange");
    case LinkResult::PortUnavailable: return QStringLiteral("port not available");
    }
    return QString();
}

int exitOf(LinkResult r)
{
    switch (r) {
    case LinkResult::Good: return kDone;
    case LinkResult::TimeOut: return kTimeOut;
    case LinkResult::PortUnavailable:
    case LinkResult::PortLost: return kPortUnavailable;
    case LinkResult::Aborted: return 130;
    case LinkResult::Bad: return kRefused;
    }
    return kRefused;
}

// One port's work: its own engine; the time is taken when its last answer came
// (or its time-out ran out), so ports waiting on each other's nested waits do
// not make each other look slow.
class PortJob
{
public:
    PortJob(const QString &port, const Options &options, const Timing &timing) : m_engine(m_portIo, timing, nullptr)
    {
        m_outcome.port = port;
        m_outcome.device = portDevice(port);
        const QString device = m_outcome.device;
        m_engine.serialPort().setResolver([device](int) { return device; });
        m_link = options.link;
        // "com2" with no device says "port number 2", not the default 1.
        if (const int n = comNumber(port))
            m_link.portNumber = qint16(n);
        m_clock.start();
        QObject::connect(&m_engine.serialPort(), &SerialPort::onComm, &m_engine,
                         [this] { m_answeredAt = m_clock.elapsed(); });
        QObject::connect(&m_engine, &LinkExchange::waiting, &m_engine, [this](LinkExchange::Waiting what, int left) {
            if (what != LinkExchange::Waiting::Nothing && left >= 0)
                m_deadline = m_clock.elapsed() + left;
        });
        runningExchanges().push_back(&m_engine);
    }

    LinkExchange &engine() { return m_engine; }
    const LinkSettings &link() const { return m_link; }
    PortOutcome &outcome() { return m_outcome; }

    // Records a finished exchange; false when it failed.
    bool record(LinkResult r)
    {
        m_outcome.seconds = double(r == LinkResult::TimeOut                        ? m_deadline
                                   : r == LinkResult::Good || r == LinkResult::Bad ? m_answeredAt
                                                                                   : m_clock.elapsed()) /
                            1000.0;
        m_outcome.exit = exitOf(r);
        m_outcome.message = resultWords(r);
        if (r == LinkResult::PortUnavailable && !m_engine.portError().isEmpty())
            m_outcome.message +=
                QStringLiteral(": ") + QString(m_engine.portError()).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return r == LinkResult::Good;
    }

private:
    SimulatedPortIo m_portIo{false}; // the keyboard line is never used here
    LinkExchange m_engine;
    LinkSettings m_link;
    PortOutcome m_outcome;
    QElapsedTimer m_clock;
    qint64 m_answeredAt = 0;
    qint64 m_deadline = 0;
};

// The fields of the returned section that differ from what was sent.
QStringList mismatchedFields(const ConfigImage &sent, const UploadReply &reply)
{
    ConfigImage back = sent;
    applyUploadReply(reply, back);
    QStringList names;
    for (const FieldRef &ref : imageFields())
        if (storedBits(ref, sent) != storedBits(ref, back))
            names << QStringLiteral("%1 (%2: sent %3, decoder has %4)")
                         .arg(captionPath(ref), qualifiedName(ref), valueOf(ref, sent), valueOf(ref, back));
    for (int i = reply.firstImageByte(); i < reply.firstImageByte() + reply.data.size(); ++i)
        if (sent[i] != back[i] && names.isEmpty())
            names << QStringLiteral("byte %1").arg(i);
    return names;
}

QString versionLine(const UploadReply &reply)
{
    return reply.versionPart1 + QLatin1Char(' ') + reply.versionPart2;
}

// Runs `work` for every port at once and waits for all of them.
//
// The engine's exchanges wait in nested event loops: a port whose answer came
// returns only once the exchanges started after it have returned. So a phase
// ends when all its exchanges have, and a command with two exchanges per port
// runs them as two phases.
void runAll(std::vector<std::unique_ptr<PortJob>> &jobs, const std::function<void(PortJob &)> &work)
{
    if (jobs.empty())
        return;
    int pending = int(jobs.size());
    QEventLoop all;
    // Each port's work is a queued call that first queues the next port's and
    // then starts its exchange. Queuing from inside the running call matters:
    // the event loop delivers, inside a waiting exchange, only calls queued
    // after that exchange's own call was delivered.
    std::function<void(size_t)> start = [&](size_t i) {
        PortJob *job = jobs[i].get();
        QMetaObject::invokeMethod(
            &job->engine(),
            [&, i, job] {
                if (i + 1 < jobs.size())
                    start(i + 1);
                work(*job);
                if (--pending == 0)
                    all.quit();
            },
            Qt::QueuedConnection);
    };
    start(0);
    all.exec();
}

void progressTo(QTextStream &err, PortJob &job)
{
    if (!::isatty(STDERR_FILENO))
        return;
    QObject::connect(&job.engine(), &LinkExchange::waiting, &job.engine(),
                     [&err, port = job.outcome().port](LinkExchange::Waiting what, int left) {
                         if (what == LinkExchange::Waiting::SerialAnswer && left >= 0 && left % 1000 < 100)
                             err << port << ": waiting for the decoder, " << (left + 999) / 1000 << " s left\n"
                                 << Qt::flush;
                     });
}

int summarize(const std::vector<std::unique_ptr<PortJob>> &jobs, const Options &o, QTextStream &out,
              const std::function<void(const PortOutcome &, QJsonObject &)> &extra = {})
{
    int exit = kDone;
    QJsonArray list;
    for (const auto &job : jobs) {
        const PortOutcome &p = const_cast<PortJob &>(*job).outcome();
        exit = std::max(exit, p.exit);
        if (o.json) {
            QJsonObject j{{QStringLiteral("port"), p.port},
                          {QStringLiteral("device"), p.device},
                          {QStringLiteral("exit"), p.exit},
                          {QStringLiteral("result"), p.exit == kDone ? QStringLiteral("ok") : QStringLiteral("failed")},
                          {QStringLiteral("message"), p.message},
                          {QStringLiteral("seconds"), qRound(p.seconds * 1000) / 1000.0}};
            if (!p.mismatches.isEmpty())
                j[QStringLiteral("mismatches")] = QJsonArray::fromStringList(p.mismatches);
            if (extra)
                extra(p, j);
            list.append(j);
        } else {
            out << terminalText(p.port) << "  " << (p.exit == kDone ? QStringLiteral("OK") : QStringLiteral("FAILED"))
                << "  " << terminalText(p.message) << "  " << QString::number(p.seconds, 'f', 2) << " s\n";
            for (const QString &m : p.mismatches)
                out << "    mismatch: " << terminalText(m) << '\n';
        }
    }
    if (o.json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("ports"), list}, {QStringLiteral("exit"), exit}})
                   .toJson(QJsonDocument::Indented);
    return exit;
}

// apply, one port: upload the section the decoder sends and compare it with
// the file; when they differ (and not --check) download the file and verify
// it. Each step takes the result of its exchange and says whether the next
// exchange is due.

// After the upload: true when the decoder differs and a download is due.
bool applyCompared(PortJob &job, LinkResult r, const UploadReply &reply, const ConfigImage &image, bool check)
{
    PortOutcome &p = job.outcome();
    if (!job.record(r))
        return false;
    p.comparison = compareSection(image, reply);
    p.applied = p.comparison->changes.isEmpty() ? ApplyResult::Unchanged
                : check                         ? ApplyResult::WouldChange
                                                : ApplyResult::Changed; // once downloaded and verified
    if (p.applied == ApplyResult::WouldChange)
        p.exit = kDiffer;
    p.message = applySummary(p.applied, *p.comparison);
    return p.applied == ApplyResult::Changed;
}

// After the download: true when it was taken and the verifying upload is due.
bool applyDownloaded(PortJob &job, LinkResult r)
{
    PortOutcome &p = job.outcome();
    p.downloaded = job.record(r);
    if (!p.downloaded) {
        p.applied = ApplyResult::Failed;
        p.message = QStringLiteral("download: ") + p.message;
    }
    return p.downloaded;
}

void applyVerified(PortJob &job, LinkResult r, const UploadReply &reply, const ConfigImage &image)
{
    PortOutcome &p = job.outcome();
    if (!job.record(r)) {
        p.applied = ApplyResult::Failed;
        p.message = QStringLiteral("verification: ") + p.message;
        return;
    }
    p.mismatches = mismatchedFields(image, reply);
    if (!p.mismatches.isEmpty()) {
        p.applied = ApplyResult::Failed;
        p.exit = kDiffer;
        p.message = QStringLiteral("verification found a mismatch");
    } else {
        p.verified = true;
        p.message = applySummary(ApplyResult::Changed, *p.comparison);
    }
}

// A port stopped (Ctrl+C) before its download or its verification.
void applyStopped(PortJob &job)
{
    PortOutcome &p = job.outcome();
    if (p.applied == ApplyResult::Changed && !p.verified) {
        p.applied = ApplyResult::Failed;
        p.exit = exitOf(LinkResult::Aborted);
        p.message = resultWords(LinkResult::Aborted) +
                    (p.downloaded ? QStringLiteral(" after the download, before its verification") : QString());
    }
}

int applyReport(const std::vector<std::unique_ptr<PortJob>> &jobs, const Options &o, QTextStream &out)
{
    int exit = kDone;
    QJsonArray list;
    for (const auto &job : jobs) {
        const PortOutcome &p = job->outcome();
        exit = std::max(exit, p.exit);
        if (o.json) {
            QJsonObject j{{QStringLiteral("port"), p.port},
                          {QStringLiteral("device"), p.device},
                          {QStringLiteral("exit"), p.exit},
                          {QStringLiteral("result"), applyResultWord(p.applied)},
                          {QStringLiteral("message"), p.message},
                          {QStringLiteral("downloaded"), p.downloaded},
                          {QStringLiteral("seconds"), qRound(p.seconds * 1000) / 1000.0}};
            if (p.comparison)
                addComparison(*p.comparison, j);
            if (!p.mismatches.isEmpty())
                j[QStringLiteral("mismatches")] = QJsonArray::fromStringList(p.mismatches);
            list.append(j);
            continue;
        }
        out << terminalText(p.port) << "  " << applyResultWord(p.applied).toUpper() << "  " << terminalText(p.message)
            << "  " << QString::number(p.seconds, 'f', 2) << " s\n";
        if (p.comparison && p.applied != ApplyResult::Unchanged)
            for (const FieldChange &c : p.comparison->changes)
                out << "    " << terminalText(changeLine(c)) << '\n';
        for (const QString &m : p.mismatches)
            out << "    mismatch: " << terminalText(m) << '\n';
    }
    if (o.json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("ports"), list}, {QStringLiteral("exit"), exit}})
                   .toJson(QJsonDocument::Indented);
    return exit;
}

int monitor(const Options &o, QTextStream &out, QTextStream &err)
{
    std::vector<std::unique_ptr<SerialPort>> ports;
    std::vector<std::function<void()>> printHeld;
    for (const QString &name : o.ports) {
        auto port = std::make_unique<SerialPort>();
        port->setCommPort(comNumber(name) ? comNumber(name) : 1);
        const QString device = portDevice(name);
        port->setResolver([device](int) { return device; });
        port->setSettings(o.link.settingsText());
        if (!port->setPortOpen(true)) {
            err << name << ": "
                << "port not available: " << port->openErrorText() << '\n';
            return kPortUnavailable;
        }
        port->setInputLen(0);
        port->clearInBuffer();
        port->setRThreshold(1);
        port->setInputMode(1);
        SerialPort *p = port.get();
        const QString prefix = o.ports.size() > 1 ? name + QStringLiteral(": ") : QString();
        // One line per transmission: what arrives is gathered from its first
        // byte on for a moment, as the test window gathers a batch, and then
        // printed. A stream that never pauses is so printed every moment too,
        // and a line never holds more than kMonitorLineBytes.
        auto *gather = new QTimer(p);
        gather->setSingleShot(true);
        gather->setInterval(kMonitorGatherMs);
        auto held = std::make_shared<QByteArray>();
        const auto print = [held, prefix, &out](qsizetype bytes) {
            out << prefix << terminalText(decode8(held->left(bytes))) << '\n' << Qt::flush;
            held->remove(0, bytes);
        };
        const auto printAll = [held, print] {
            if (!held->isEmpty())
                print(held->size());
        };
        QObject::connect(p, &SerialPort::onComm, p, [p, held, gather, print] {
            if (held->isEmpty())
                gather->start();
            *held += p->input();
            while (held->size() >= kMonitorLineBytes)
                print(kMonitorLineBytes);
        });
        QObject::connect(gather, &QTimer::timeout, p, printAll);
        printHeld.push_back(printAll); // interrupted: printed before the port closes
        QObject::connect(p, &SerialPort::portLost, p, [name, &err](const QString &why) {
            err << name << ": the port went away: " << why << '\n' << Qt::flush;
            QCoreApplication::exit(kPortUnavailable);
        });
        monitoredPorts().push_back(p);
        ports.push_back(std::move(port));
    }
    const int code = QCoreApplication::exec();
    for (const auto &print : printHeld)
        print();
    for (auto &p : ports)
        p->setPortOpen(false);
    monitoredPorts().clear();
    return g_stopped ? kDone : code;
}

} // namespace

bool isDeviceCommand(const QString &command)
{
    return command == QLatin1String("download") || command == QLatin1String("upload") ||
           command == QLatin1String("version") || command == QLatin1String("monitor") ||
           command == QLatin1String("read-memory") || command == QLatin1String("clear-memory") ||
           command == QLatin1String("apply");
}

QString portDevice(const QString &value)
{
    if (const int n = comNumber(value))
        return comDevicePath(n);
    return value;
}

void stopAllExchanges()
{
    g_stopped = true;
    for (const QPointer<LinkExchange> &e : runningExchanges())
        if (e)
            e->abort();
    if (!monitoredPorts().empty())
        QCoreApplication::exit(kDone);
}

int deviceCommand(const QString &command, const QStringList &args, QTextStream &out, QTextStream &err)
{
    return deviceCommand(command, args, out, err, Timing{});
}

int deviceCommand(const QString &command, const QStringList &args, QTextStream &out, QTextStream &err,
                  const Timing &timing)
{
    g_stopped = false; // a command run before in this process was stopped, not this one
    Options o;
    QString error;
    if (!parseOptions(args, o, &error)) {
        err << "q5ntool " << command << ": " << error << '\n' << usageOf(command);
        return kUsage;
    }
    o.ports = distinctPorts(o.ports, err);
    if (command == QLatin1String("monitor")) {
        if (!o.positional.isEmpty()) {
            err << usageOf(command);
            return kUsage;
        }
        return monitor(o, out, err);
    }

    std::vector<std::unique_ptr<PortJob>> jobs;
    for (const QString &port : o.ports)
        jobs.push_back(std::make_unique<PortJob>(port, o, timing));
    for (auto &job : jobs)
        progressTo(err, *job);

    if (command == QLatin1String("download")) {
        if (o.positional.size() != 1) {
            err << usageOf(command);
            return kUsage;
        }
        LoadedConfig config;
        if (!loadConfig(o.positional[0], config, &error)) {
            err << "q5ntool: " << error << '\n';
            return kUsage;
        }
        const ConfigImage image = config.image;
        const bool save = !o.notSave;
        const bool verify = o.verify;
        // Every port's download, then every port's verification: each phase
        // runs all its exchanges at once, so the whole takes about as long as
        // one decoder's download and upload.
        runAll(jobs, [&](PortJob &job) {
            job.outcome().downloaded = job.record(job.engine().download(job.link(), image, save));
        });
        if (verify && !g_stopped)
            runAll(jobs, [&image](PortJob &job) {
                if (!job.outcome().downloaded)
                    return;
                UploadReply reply;
                if (!job.record(job.engine().upload(job.link(), &reply)))
                    return;
                job.outcome().mismatches = mismatchedFields(image, reply);
                if (!job.outcome().mismatches.isEmpty()) {
                    job.outcome().exit = kDiffer;
                    job.outcome().message = QStringLiteral("verification found a mismatch");
                } else {
                    // The decoder returns one section; the other was sent but cannot be read back.
                    const bool reader = reply.section == UploadReply::Section::Reader;
                    job.outcome().message =
                        reader ? QStringLiteral("OK, verified (reader section, bytes 25..84, compared; the decoder "
                                                "section, bytes 0..24, was sent but not read back)")
                               : QStringLiteral("OK, verified (decoder section, bytes 0..24, compared; the reader "
                                                "section, bytes 25..84, was sent but not read back)");
                }
            });
        return summarize(jobs, o, out);
    }

    if (command == QLatin1String("apply")) {
        if (o.positional.size() != 1 || o.verify) {
            err << usageOf(command);
            return kUsage;
        }
        LoadedConfig config;
        if (!loadConfig(o.positional[0], config, &error)) {
            err << "q5ntool: " << error << '\n';
            return kUsage;
        }
        const ConfigImage image = config.image;
        // Three phases of all ports at once (see runAll); the last two only
        // when some decoder differs.
        std::vector<PortJob *> due;
        runAll(jobs, [&](PortJob &job) {
            UploadReply reply;
            const LinkResult r = job.engine().upload(job.link(), &reply);
            if (applyCompared(job, r, reply, image, o.check))
                due.push_back(&job);
        });
        if (!due.empty() && !g_stopped) {
            runAll(jobs, [&](PortJob &job) {
                if (std::find(due.begin(), due.end(), &job) != due.end() &&
                    !applyDownloaded(job, job.engine().download(job.link(), image, !o.notSave)))
                    due.erase(std::find(due.begin(), due.end(), &job));
            });
            if (!g_stopped)
                runAll(jobs, [&](PortJob &job) {
                    if (std::find(due.begin(), due.end(), &job) == due.end())
                        return;
                    UploadReply reply;
                    const LinkResult r = job.engine().upload(job.link(), &reply);
                    applyVerified(job, r, reply, image);
                });
        }
        for (auto &job : jobs)
            applyStopped(*job);
        return applyReport(jobs, o, out);
    }

    if (command == QLatin1String("version")) {
        if (!o.positional.isEmpty()) {
            err << usageOf(command);
            return kUsage;
        }
        std::map<QString, QString> versions;
        runAll(jobs, [&versions](PortJob &job) {
            UploadReply reply;
            if (job.record(job.engine().upload(job.link(), &reply))) {
                versions[job.outcome().port] = versionLine(reply);
                job.outcome().message = versionLine(reply);
            }
        });
        return summarize(jobs, o, out, [&versions](const PortOutcome &p, QJsonObject &j) {
            if (versions.count(p.port))
                j[QStringLiteral("version")] = versions[p.port];
        });
    }

    if (command == QLatin1String("clear-memory")) {
        if (!o.positional.isEmpty()) {
            err << usageOf(command);
            return kUsage;
        }
        runAll(jobs, [](PortJob &job) { job.record(job.engine().clearMemory(job.link())); });
        return summarize(jobs, o, out);
    }

    if (command == QLatin1String("read-memory")) {
        if (!o.positional.isEmpty() || jobs.size() != 1) {
            err << usageOf(command);
            return kUsage;
        }
        QList<QByteArray> lines;
        runAll(jobs, [&lines](PortJob &job) {
            job.record(job.engine().readMemory(job.link(), [&lines](const QList<QByteArray> &more) { lines += more; }));
        });
        PortOutcome &p = jobs.front()->outcome();
        const QString text = memoryLinesText(lines);
        if (p.exit == kDone)
            p.message = QStringLiteral("OK, %1 line(s) read").arg(lines.size());
        if (!o.output.isEmpty() && p.exit == kDone) {
            const QString writeError = writeFileAtomically(o.output, memoryDataFileBytes(text));
            if (!writeError.isEmpty()) {
                p.exit = kUsage;
                p.message = QStringLiteral("%1: %2").arg(o.output, writeError);
            }
        } else {
            // A failed read leaves the file as it was (an earlier complete read
            // stays); the lines that came before the failure are printed.
            if (!o.json)
                for (const QByteArray &line : lines)
                    out << terminalText(decode8(line)) << '\n';
            if (!o.output.isEmpty())
                p.message += QStringLiteral("; %1 left as it was").arg(o.output);
        }
        return summarize(jobs, o, out,
                         [&text](const PortOutcome &, QJsonObject &j) { j[QStringLiteral("text")] = text; });
    }

    // upload
    if (!o.positional.isEmpty() || o.output.isEmpty() || jobs.size() != 1) {
        err << usageOf(command);
        return kUsage;
    }
    LoadedConfig base;
    if (!o.into.isEmpty()) {
        if (!loadConfig(o.into, base, &error)) {
            err << "q5ntool: " << error << '\n';
            return kUsage;
        }
    } else {
        base.image = factoryImage();
        ProgramState fresh;
        fresh.resetSetupInfo(Clock().shortDateText(), ProgramState::kNewDescription);
        base.setupInfo = fresh.setupInfo;
    }
    runAll(jobs, [&](PortJob &job) {
        UploadReply reply;
        if (!job.record(job.engine().upload(job.link(), &reply)))
            return;
        applyUploadReply(reply, base.image);
        const QByteArray bytes = base.defaultsFile ? defaultsFileBytes(base.image)
                                                   : setupFileBytes(base.setupInfo, base.linkSettings, base.image);
        const QString writeError = writeFileAtomically(o.output, bytes);
        if (!writeError.isEmpty()) {
            job.outcome().exit = kUsage;
            job.outcome().message = QStringLiteral("%1: %2").arg(o.output, writeError);
            return;
        }
        job.outcome().message = QStringLiteral("OK, %1 section written to %2")
                                    .arg(reply.section == UploadReply::Section::Reader ? QStringLiteral("reader")
                                                                                       : QStringLiteral("decoder"),
                                         o.output);
    });
    return summarize(jobs, o, out);
}

} // namespace q5n::tool
