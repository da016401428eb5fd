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
#include "tool/CommandTable.h"
#include "tool/Commands.h"
#include "tool/FieldNames.h"
#include "tool/TerminalText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
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

bool parseOptions(const QStringList &given, Options &o, QString *error)
{
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("device"));
    const QCommandLineOption baud(QStringLiteral("baud"), {}, QStringLiteral("rate"), QStringLiteral("9600"));
    const QCommandLineOption parityOption(QStringLiteral("parity"), {}, QStringLiteral("N|E|O|M|S"),
                                          QStringLiteral("N"));
    const QCommandLineOption dataBitsOption(QStringLiteral("data-bits"), {}, QStringLiteral("7|8"),
                                            QStringLiteral("8"));
    const QCommandLineOption stopBitsOption(QStringLiteral("stop-bits"), {}, QStringLiteral("1|2"),
                                            QStringLiteral("1"));
    const QCommandLineOption output(QStringLiteral("o"), {}, QStringLiteral("file"));
    const QCommandLineOption into(QStringLiteral("into"), {}, QStringLiteral("file"));
    const QCommandLineOption json(QStringLiteral("json"), {});
    const QCommandLineOption notSave(QStringLiteral("not-save"), {});
    const QCommandLineOption verify(QStringLiteral("verify"), {});
    const QCommandLineOption check(QStringLiteral("check"), {});
    parser.addOptions(
        {port, baud, parityOption, dataBitsOption, stopBitsOption, output, into, json, notSave, verify, check});
    if (!parser.parse(QStringList{QStringLiteral("q5ntool")} + given)) {
        *error = parser.errorText();
        return false;
    }
    o.ports = parser.values(port);
    const QString baudText = parser.value(baud);
    const QString parity = parser.value(parityOption);
    const QString dataBits = parser.value(dataBitsOption);
    const QString stopBits = parser.value(stopBitsOption);
    o.output = parser.value(output);
    o.into = parser.value(into);
    o.json = parser.isSet(json);
    o.notSave = parser.isSet(notSave);
    o.verify = parser.isSet(verify);
    o.check = parser.isSet(check);
    o.positional = parser.positionalArguments();
    SerialSettings &serial = o.link.serial;
    if (const auto rate = parseBaudRate(baudText)) {
        serial.baud = *rate;
    } else {
        QStringList rates;
        for (qint32 r : kBaudRates)
            rates << QString::number(r);
        *error = QStringLiteral("--baud %1: use %2 or %3")
                     .arg(baudText, rates.mid(0, rates.size() - 1).join(u", "), rates.last());
        return false;
    }
    // A word does for the letter: "even" is E.
    if (const auto p = parseParity(parity.left(1))) {
        serial.parity = *p;
    } else {
        *error = QStringLiteral("--parity: use N, E, O, M or S");
        return false;
    }
    if (const auto d = parseDataBits(dataBits)) {
        serial.dataBits = *d;
    } else {
        *error = QStringLiteral("--data-bits: use 7 or 8");
        return false;
    }
    if (const auto s = parseStopBits(stopBits)) {
        serial.stopBits = *s;
    } else {
        *error = QStringLiteral("--stop-bits: use 1 or 2");
        return false;
    }
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

// One port's work: its own engine and its own chain of exchanges, run
// independently of every other port. A port's time is taken when its last
// exchange ended.
class PortJob
{
public:
    PortJob(const QString &port, const Options &options, const Timing &timing) : m_engine(m_portIo, timing, nullptr)
    {
        m_outcome.port = port;
        const PortName name = resolvePortName(port);
        m_outcome.device = name.device;
        m_portProblem = name.problem;
        const QString device = m_outcome.device;
        m_engine.serialPort().setResolver([device](int) { return device; });
        // The port stays open from one exchange of this decoder's chain to
        // the next (a download and its verifying upload), until the chain is done.
        m_engine.setHoldPort(true);
        m_link = options.link;
        // "com2" with no device says "port number 2", not the default 1.
        if (const int n = comNumber(port))
            m_link.portNumber = qint16(n);
        m_clock.start();
        QObject::connect(&m_engine, &LinkExchange::finished, &m_engine, [this](LinkResult r) {
            auto then = std::move(m_then);
            m_then = nullptr;
            if (then)
                then(r);
        });
        runningExchanges().push_back(&m_engine);
    }

    LinkExchange &engine() { return m_engine; }
    const LinkSettings &link() const { return m_link; }
    PortOutcome &outcome() { return m_outcome; }

    // Starts an exchange; `then` takes its result (and may start the next).
    void run(const std::function<void(LinkExchange &, const LinkSettings &)> &start,
             std::function<void(LinkResult)> then)
    {
        m_then = std::move(then);
        start(m_engine, m_link);
    }

    // Records a finished exchange; false when it failed.
    bool record(LinkResult r)
    {
        m_outcome.seconds = double(m_clock.elapsed()) / 1000.0;
        m_outcome.exit = exitOf(r);
        m_outcome.message = resultWords(r);
        // A Com number whose device is absent says which device that is.
        if (r == LinkResult::PortUnavailable && !m_portProblem.isEmpty())
            m_outcome.message += QStringLiteral(": ") + m_portProblem;
        else if (r == LinkResult::PortUnavailable && !m_engine.portError().isEmpty())
            m_outcome.message +=
                QStringLiteral(": ") + QString(m_engine.portError()).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return r == LinkResult::Good;
    }

private:
    SimulatedPortIo m_portIo{false}; // the keyboard line is never used here
    LinkExchange m_engine;
    LinkSettings m_link;
    PortOutcome m_outcome;
    QString m_portProblem;
    QElapsedTimer m_clock;
    std::function<void(LinkResult)> m_then;
};

using Jobs = std::vector<std::unique_ptr<PortJob>>;

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

// Puts the uploaded section into `base` and writes it to `path`.
void writeUpload(PortJob &job, LoadedConfig &base, const QString &path)
{
    const UploadReply &reply = job.engine().reply();
    applyUploadReply(reply, base.image);
    const QByteArray bytes = base.defaultsFile ? defaultsFileBytes(base.image)
                                               : setupFileBytes(base.setupInfo, base.linkSettings, base.image);
    const QString writeError = writeFileAtomically(path, bytes);
    if (!writeError.isEmpty()) {
        job.outcome().exit = kUsage;
        job.outcome().message = QStringLiteral("%1: %2").arg(path, writeError);
        return;
    }
    job.outcome().message =
        QStringLiteral("OK, %1 section written to %2")
            .arg(reply.section == UploadReply::Section::Reader ? QStringLiteral("reader") : QStringLiteral("decoder"),
                 path);
}

QString versionLine(const UploadReply &reply)
{
    return reply.versionPart1 + QLatin1Char(' ') + reply.versionPart2;
}

// Starts `work` on every port and runs the event loop until each port has
// called its `done`. Each port goes at its own pace: what one port waits for
// holds no other.
void runEveryPort(Jobs &jobs, const std::function<void(PortJob &, std::function<void()> done)> &work)
{
    if (jobs.empty())
        return;
    auto pending = std::make_shared<int>(int(jobs.size()));
    auto done = [pending] {
        if (--*pending == 0)
            QCoreApplication::exit(0);
    };
    for (auto &job : jobs) {
        PortJob *port = job.get();
        work(*port, [port, done] {
            port->engine().releasePort();
            done();
        });
    }
    if (*pending > 0)
        QCoreApplication::exec();
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

// The end of a per-port report: with --json the document of every port's
// object and the run's exit code; the exit code either way.
int endReport(const Options &o, const QJsonArray &list, int exit, QTextStream &out)
{
    if (o.json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("ports"), list}, {QStringLiteral("exit"), exit}})
                   .toJson(QJsonDocument::Indented);
    return exit;
}

int summarize(const Jobs &jobs, const Options &o, QTextStream &out,
              const std::function<void(const PortOutcome &, QJsonObject &)> &extra = {})
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
    return endReport(o, list, exit, out);
}

int monitor(Jobs &jobs, QTextStream &out, QTextStream &err)
{
    for (auto &job : jobs) {
        const QString name = job->outcome().port;
        if (!job->engine().monitor(job->link())) {
            err << name << ": "
                << "port not available: " << job->engine().portError() << '\n';
            return kPortUnavailable;
        }
    }
    int code = kDone;
    runEveryPort(jobs, [&](PortJob &job, std::function<void()> done) {
        const QString name = job.outcome().port;
        const QString prefix = jobs.size() > 1 ? name + QStringLiteral(": ") : QString();
        LinkExchange *engine = &job.engine();
        // One line per transmission: what arrives is gathered from its first
        // byte on for a moment, as the test window gathers a batch, and then
        // printed. A stream that never pauses is so printed every moment too,
        // and a line never holds more than kMonitorLineBytes.
        auto *gather = new QTimer(engine);
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
        QObject::connect(engine, &LinkExchange::received, engine, [held, gather, print](const QByteArray &in) {
            if (held->isEmpty())
                gather->start();
            *held += in;
            while (held->size() >= kMonitorLineBytes)
                print(kMonitorLineBytes);
        });
        QObject::connect(gather, &QTimer::timeout, engine, printAll);
        QObject::connect(&engine->serialPort(), &SerialPort::portLost, engine, [name, &err](const QString &why) {
            err << name << ": the port went away: " << why << '\n' << Qt::flush;
        });
        job.run([](LinkExchange &, const LinkSettings &) {},
                [&jobs, &code, done, printAll, gather](LinkResult r) {
                    // Interrupted or lost: what is held is printed before the end.
                    gather->stop();
                    printAll();
                    // A lost port ends the whole monitor.
                    if (r == LinkResult::PortLost) {
                        code = kPortUnavailable;
                        for (auto &other : jobs)
                            other->engine().abort();
                    }
                    done();
                });
    });
    return g_stopped ? kDone : code;
}

// The one FILE argument of download and apply, read as Open reads it; false
// (with the usage line or the file's error said) when it is missing or unusable.
bool loadFileArgument(const QString &command, const Options &o, bool verifyAllowed, ConfigImage &image,
                      QTextStream &err)
{
    if (o.positional.size() != 1 || (o.verify && !verifyAllowed)) {
        err << usageLine(command);
        return false;
    }
    LoadedConfig config;
    QString error;
    if (!loadConfig(o.positional[0], config, &error)) {
        err << "q5ntool: " << error << '\n';
        return false;
    }
    image = config.image;
    return true;
}

int downloadCommand(const QString &command, const Options &o, Jobs &jobs, QTextStream &out, QTextStream &err)
{
    ConfigImage image;
    if (!loadFileArgument(command, o, /*verifyAllowed*/ true, image, err))
        return kUsage;
    const bool save = !o.notSave;
    const bool verify = o.verify;
    // Each port verifies as soon as its own download has finished.
    runEveryPort(jobs, [&image, save, verify](PortJob &job, std::function<void()> done) {
        job.run([&image, save](LinkExchange &e, const LinkSettings &l) { e.download(l, image, save); },
                [&job, &image, verify, done](LinkResult r) {
                    job.outcome().downloaded = job.record(r);
                    if (!verify || !job.outcome().downloaded || g_stopped) {
                        done();
                        return;
                    }
                    job.run([](LinkExchange &e, const LinkSettings &l) { e.upload(l); },
                            [&job, &image, done](LinkResult r) {
                                if (job.record(r)) {
                                    const UploadReply &reply = job.engine().reply();
                                    job.outcome().mismatches = mismatchedFields(image, reply);
                                    if (!job.outcome().mismatches.isEmpty()) {
                                        job.outcome().exit = kDiffer;
                                        job.outcome().message = QStringLiteral("verification found a mismatch");
                                    } else {
                                        // The decoder returns one section; the other was sent but cannot be
                                        // read back.
                                        const bool reader = reply.section == UploadReply::Section::Reader;
                                        job.outcome().message =
                                            reader ? QStringLiteral("OK, verified (reader section, bytes 25..84, "
                                                                    "compared; the decoder section, bytes 0..24, was "
                                                                    "sent but not read back)")
                                                   : QStringLiteral("OK, verified (decoder section, bytes 0..24, "
                                                                    "compared; the reader section, bytes 25..84, was "
                                                                    "sent but not read back)");
                                    }
                                }
                                done();
                            });
                });
    });
    return summarize(jobs, o, out);
}

// apply, one port: upload the section the decoder sends and compare it with
// the file; when they differ (and not --check) download the file and verify
// it. Each port goes on to its next exchange as soon as its own last one
// ended. Each step takes the result of its exchange and says whether the next
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

int applyReport(const Jobs &jobs, const Options &o, QTextStream &out)
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
    return endReport(o, list, exit, out);
}

int applyCommand(const QString &command, const Options &o, Jobs &jobs, QTextStream &out, QTextStream &err)
{
    ConfigImage image;
    if (!loadFileArgument(command, o, /*verifyAllowed*/ false, image, err))
        return kUsage;
    const bool check = o.check;
    const bool save = !o.notSave;
    runEveryPort(jobs, [&image, check, save](PortJob &job, std::function<void()> done) {
        const auto upload = [](LinkExchange &e, const LinkSettings &l) { e.upload(l); };
        job.run(upload, [&job, &image, check, save, upload, done](LinkResult r) {
            if (!applyCompared(job, r, job.engine().reply(), image, check) || g_stopped) {
                done();
                return;
            }
            job.run([&image, save](LinkExchange &e, const LinkSettings &l) { e.download(l, image, save); },
                    [&job, &image, upload, done](LinkResult r) {
                        if (!applyDownloaded(job, r) || g_stopped) {
                            done();
                            return;
                        }
                        job.run(upload, [&job, &image, done](LinkResult r) {
                            applyVerified(job, r, job.engine().reply(), image);
                            done();
                        });
                    });
        });
    });
    for (auto &job : jobs)
        applyStopped(*job);
    return applyReport(jobs, o, out);
}

int versionCommand(const QString &command, const Options &o, Jobs &jobs, QTextStream &out, QTextStream &err)
{
    QString error;
    if (!o.positional.isEmpty()) {
        err << usageLine(command);
        return kUsage;
    }
    std::map<QString, QString> versions;
    runEveryPort(jobs, [&versions](PortJob &job, std::function<void()> done) {
        job.run([](LinkExchange &e, const LinkSettings &l) { e.upload(l); },
                [&job, &versions, done](LinkResult r) {
                    if (job.record(r)) {
                        versions[job.outcome().port] = versionLine(job.engine().reply());
                        job.outcome().message = versionLine(job.engine().reply());
                    }
                    done();
                });
    });
    return summarize(jobs, o, out, [&versions](const PortOutcome &p, QJsonObject &j) {
        if (versions.count(p.port))
            j[QStringLiteral("version")] = versions[p.port];
    });
}

int clearMemoryCommand(const QString &command, const Options &o, Jobs &jobs, QTextStream &out, QTextStream &err)
{
    QString error;
    if (!o.positional.isEmpty()) {
        err << usageLine(command);
        return kUsage;
    }
    runEveryPort(jobs, [](PortJob &job, std::function<void()> done) {
        job.run([](LinkExchange &e, const LinkSettings &l) { e.clearMemory(l); },
                [&job, done](LinkResult r) {
                    job.record(r);
                    done();
                });
    });
    return summarize(jobs, o, out);
}

int readMemoryCommand(const QString &command, const Options &o, Jobs &jobs, QTextStream &out, QTextStream &err)
{
    QString error;
    if (!o.positional.isEmpty() || jobs.size() != 1) {
        err << usageLine(command);
        return kUsage;
    }
    QList<QByteArray> lines;
    runEveryPort(jobs, [&lines](PortJob &job, std::function<void()> done) {
        job.run(
            [&lines](LinkExchange &e, const LinkSettings &l) {
                e.readMemory(l, [&lines](const QList<QByteArray> &more) { lines += more; });
            },
            [&job, done](LinkResult r) {
                job.record(r);
                done();
            });
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
    return summarize(jobs, o, out, [&text](const PortOutcome &, QJsonObject &j) { j[QStringLiteral("text")] = text; });
}

int uploadCommand(const QString &command, const Options &o, Jobs &jobs, QTextStream &out, QTextStream &err)
{
    QString error;
    if (!o.positional.isEmpty() || o.output.isEmpty() || jobs.size() != 1) {
        err << usageLine(command);
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
    runEveryPort(jobs, [&](PortJob &job, std::function<void()> done) {
        job.run([](LinkExchange &e, const LinkSettings &l) { e.upload(l); },
                [&, done](LinkResult r) {
                    if (job.record(r))
                        writeUpload(job, base, o.output);
                    done();
                });
    });
    return summarize(jobs, o, out);
}

int monitorCommand(const QString &command, const Options &o, Jobs &jobs, QTextStream &out, QTextStream &err)
{
    if (!o.positional.isEmpty()) {
        err << usageLine(command);
        return kUsage;
    }
    return monitor(jobs, out, err);
}

// The commands that talk to decoders: one line each.
struct DeviceCommand
{
    const char *name;
    int (*run)(const QString &command, const Options &o, Jobs &jobs, QTextStream &out, QTextStream &err);
};
const DeviceCommand kDeviceCommands[] = {
    {"download", &downloadCommand},
    {"upload", &uploadCommand},
    {"version", &versionCommand},
    {"read-memory", &readMemoryCommand},
    {"clear-memory", &clearMemoryCommand},
    {"monitor", &monitorCommand},
    {"apply", &applyCommand},
};

const DeviceCommand *findDeviceCommand(const QString &name)
{
    for (const DeviceCommand &c : kDeviceCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

} // namespace

bool isDeviceCommand(const QString &command)
{
    return findDeviceCommand(command) != nullptr;
}

QString portDevice(const QString &value)
{
    return resolvePortName(value).device;
}

void stopAllExchanges()
{
    g_stopped = true;
    for (const QPointer<LinkExchange> &e : runningExchanges())
        if (e)
            e->abort();
}

int deviceCommand(const QString &command, const QStringList &args, QTextStream &out, QTextStream &err)
{
    return deviceCommand(command, args, out, err, Timing{});
}

int deviceCommand(const QString &command, const QStringList &args, QTextStream &out, QTextStream &err,
                  const Timing &timing)
{
    g_stopped = false; // a command run before in this process was stopped, not this one
    const DeviceCommand *c = findDeviceCommand(command);
    Options o;
    QString error;
    if (!c || !parseOptions(args, o, &error)) {
        err << "q5ntool " << command << ": " << error << '\n' << usageLine(command);
        return kUsage;
    }
    for (const QString &port : std::as_const(o.ports))
        if (const PortName name = resolvePortName(port); name.usageError) {
            err << "q5ntool " << command << ": --port " << name.problem << '\n' << usageLine(command);
            return kUsage;
        }
    o.ports = distinctPorts(o.ports, err);
    Jobs jobs;
    for (const QString &port : o.ports)
        jobs.push_back(std::make_unique<PortJob>(port, o, timing));
    if (c->run != &monitorCommand)
        for (auto &job : jobs)
            progressTo(err, *job);
    return c->run(command, o, jobs, out, err);
}

} // namespace q5n::tool
