#include "tool/PortJob.h"

#include "link/ComPorts.h"

#include "link/SerialPort.h"
#include "model/FieldNaming.h"
#include "model/TerminalText.h"
#include "tool/Options.h"
#include "tool/PortNames.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include <unistd.h>

namespace q5n::tool {

namespace {

// The exchanges that run now, for Ctrl+C.
std::vector<QPointer<LinkExchange>> &runningExchanges()
{
    static std::vector<QPointer<LinkExchange>> list;
    return list;
}
bool g_stopped = false;

// The serial options into `link`; false with the reason.
bool serialOptions(const Call &call, LinkSettings &link, QString *error)
{
    const QString baudText = call.value(option::baud());
    const QString parity = call.value(option::parity());
    SerialSettings &serial = link.serial;
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
    if (const auto d = parseDataBits(call.value(option::dataBits()))) {
        serial.dataBits = *d;
    } else {
        *error = QStringLiteral("--data-bits: use 7 or 8");
        return false;
    }
    if (const auto s = parseStopBits(call.value(option::stopBits()))) {
        serial.stopBits = *s;
    } else {
        *error = QStringLiteral("--stop-bits: use 1 or 2");
        return false;
    }
    link.linkMode = LinkSettings::kRs232;
    link.portNumber = 1;
    return true;
}

// With Even or Odd parity the decoder cannot answer: a command that needs its
// answer is refused before any port is opened. Sending alone (download without
// --verify, clear-memory) and listening (monitor) stay allowed.
QString parityRefusal(const Call &call, Parity parity)
{
    if (parityAllowsReceive(parity))
        return {};
    const QString name = call.command.name;
    const bool download = name == QLatin1String("download");
    if (download ? !call.isSet(option::verify()) : name == QLatin1String("clear-memory") || name == u"monitor")
        return {};
    return QStringLiteral("--parity %1: the decoder cannot answer with %2 parity, and %3 needs its answer; use "
                          "--parity N (None) for exchanges that need an answer%4")
        .arg(parityLetter(parity), parity == Parity::Even ? QStringLiteral("Even") : QStringLiteral("Odd"),
             download ? QStringLiteral("download --verify") : name,
             download ? QStringLiteral(", or download without --verify") : QString());
}

// On a terminal, what each port waits for, once a second.
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

} // namespace

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

void uploadStep(LinkExchange &e, const LinkSettings &l)
{
    e.upload(l);
}

PortJob::PortJob(const QString &port, const LinkSettings &link, const Timing &timing)
    : PortJob(port, resolvePortName(port), link, timing)
{
}

PortJob::PortJob(const QString &port, const PortName &name, const LinkSettings &link, const Timing &timing)
    : m_engine(m_portIo, timing, nullptr), m_link(link)
{
    m_outcome.port = port;
    m_outcome.device = name.device;
    m_portProblem = name.problem;
    const QString device = m_outcome.device;
    m_engine.serialPort().setResolver([device](int) { return device; });
    // The port stays open from one exchange of this decoder's chain to the
    // next (a download and its verifying upload), until the chain is done.
    m_engine.setHoldPort(true);
    // "com2" with no device says "port number 2", not the default 1.
    if (const int n = comNumber(port))
        m_link.portNumber = qint16(n);
    m_stepLink = m_link;
    m_clock.start();
    QObject::connect(&m_engine, &LinkExchange::finished, &m_engine, [this](LinkResult r) {
        if (m_step >= m_steps.size())
            return;
        const bool more = m_steps[m_step].then(r);
        if (more && !g_stopped && m_step + 1 < m_steps.size()) {
            runStep(m_step + 1);
            return;
        }
        m_steps.clear();
        m_engine.releasePort();
        if (auto done = std::move(m_done))
            done();
    });
    runningExchanges().push_back(&m_engine);
}

void PortJob::runSteps(Steps steps, std::function<void()> done)
{
    m_steps = std::move(steps);
    m_done = std::move(done);
    runStep(0);
}

void PortJob::runStep(std::size_t index)
{
    m_step = index;
    m_steps[index].start(m_engine, m_stepLink);
}

bool PortJob::record(LinkResult r)
{
    m_outcome.seconds = double(m_clock.elapsed()) / 1000.0;
    m_outcome.exit = exitOf(r);
    m_outcome.message = resultWords(r);
    // Part of an answer is not no answer: how much of it came.
    if (const auto [came, wanted] = m_engine.shortAnswer(); r == LinkResult::TimeOut && came > 0)
        m_outcome.message = QStringLiteral("time-out: %1 of the %2 bytes of an answer came").arg(came).arg(wanted);
    m_outcome.answeredAt = r == LinkResult::Good ? std::optional<SerialSettings>(m_stepLink.serial) : std::nullopt;
    // A Com number whose device is absent says which device that is.
    if (r == LinkResult::PortUnavailable && !m_portProblem.isEmpty())
        m_outcome.message += QStringLiteral(": ") + m_portProblem;
    else if (r == LinkResult::PortUnavailable && !m_engine.portError().isEmpty())
        m_outcome.message +=
            QStringLiteral(": ") + QString(m_engine.portError()).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return r == LinkResult::Good;
}

bool prepareJobs(Call &call)
{
    g_stopped = false; // a command run before in this process was stopped, not this one
    LinkSettings link;
    QString error;
    const QStringList ports = call.parser.values(option::port());
    if (ports.isEmpty())
        error = QStringLiteral("--port is required");
    if (!error.isEmpty() || !serialOptions(call, link, &error) ||
        !(error = parityRefusal(call, link.serial.parity)).isEmpty()) {
        call.usageError(error);
        return false;
    }
    // Each name resolved once: a fleet names many ports.
    QList<NamedPort> named;
    for (const QString &port : ports) {
        named.append({port, resolvePortName(port)});
        if (named.back().name.usageError) {
            call.usageError(QStringLiteral("--port ") + named.back().name.problem);
            return false;
        }
    }
    for (const NamedPort &port : distinctPorts(named, call.err)) {
        call.jobs.push_back(std::make_unique<PortJob>(port.port, port.name, link, call.timing));
        progressTo(call.err, *call.jobs.back());
    }
    return true;
}

void runEveryPort(Jobs &jobs, const std::function<Steps(PortJob &)> &stepsOf)
{
    if (jobs.empty())
        return;
    auto pending = std::make_shared<int>(int(jobs.size()));
    for (auto &job : jobs)
        job->runSteps(stepsOf(*job), [pending] {
            if (--*pending == 0)
                QCoreApplication::exit(0);
        });
    if (*pending > 0)
        QCoreApplication::exec();
}

bool stopped()
{
    return g_stopped;
}

void stopWith(const QList<LinkExchange *> &engines)
{
    g_stopped = false;
    for (LinkExchange *e : engines)
        runningExchanges().push_back(e);
}

void stopAllExchanges()
{
    g_stopped = true;
    for (const QPointer<LinkExchange> &e : runningExchanges())
        if (e)
            e->abort();
}

QString firmwareText(const UploadReply &reply)
{
    return reply.versionPart1 + QLatin1Char(' ') + reply.versionPart2;
}

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

void addAnsweredAt(const PortOutcome &p, QJsonObject &j)
{
    j[QStringLiteral("answered_at")] =
        p.answeredAt ? QJsonValue(serialSettingsText(*p.answeredAt).trimmed()) : QJsonValue(QJsonValue::Null);
}

int summarize(Call &call, const PortReport &how)
{
    const bool json = call.isSet(option::json());
    int exit = kDone;
    QJsonArray list;
    for (const auto &job : call.jobs) {
        const PortOutcome &p = job->outcome();
        exit = std::max(exit, p.exit);
        const QString word = how.word ? how.word(p) : p.exit == kDone ? QStringLiteral("ok") : QStringLiteral("failed");
        if (json) {
            QJsonObject j{
                {QStringLiteral("port"), p.port},       {QStringLiteral("device"), p.device},
                {QStringLiteral("exit"), p.exit},       {QStringLiteral("result"), word},
                {QStringLiteral("message"), p.message}, {QStringLiteral("seconds"), qRound(p.seconds * 1000) / 1000.0}};
            addAnsweredAt(p, j);
            if (!p.firmware.isEmpty())
                j[QStringLiteral("firmware")] = p.firmware;
            if (!p.mismatches.isEmpty())
                j[QStringLiteral("mismatches")] = QJsonArray::fromStringList(p.mismatches);
            if (how.extra)
                how.extra(p, j);
            list.append(j);
            continue;
        }
        call.out << terminalText(p.port) << "  " << word.toUpper() << "  " << terminalText(p.message) << "  "
                 << QString::number(p.seconds, 'f', 2) << " s\n";
        if (how.details)
            for (const QString &line : how.details(p))
                call.out << "    " << terminalText(line) << '\n';
        for (const QString &m : p.mismatches)
            call.out << "    mismatch: " << terminalText(m) << '\n';
    }
    return endReport(call, list, exit);
}

int endReport(Call &call, const QJsonArray &ports, int exit)
{
    if (call.isSet(option::json()))
        call.out << QJsonDocument(QJsonObject{{QStringLiteral("ports"), ports}, {QStringLiteral("exit"), exit}})
                        .toJson(QJsonDocument::Indented);
    return exit;
}

} // namespace q5n::tool
