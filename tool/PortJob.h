#pragma once

#include "link/ComPorts.h"
#include "link/LinkExchange.h"
#include "link/PortIo.h"
#include "model/ProgramState.h"
#include "tool/Apply.h"
#include "tool/Command.h"

#include <QElapsedTimer>
#include <QJsonObject>

#include <functional>
#include <optional>

namespace q5n::tool {

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
    // The firmware version text the decoder's upload carried: with answeredAt
    // below, the inventory of a fleet.
    QString firmware;
    // apply: what the decoder held, and how the port ended.
    std::optional<SectionComparison> comparison;
    ApplyResult applied = ApplyResult::Failed;
    bool verified = false;
    // The settings at which the decoder gave a good answer to the port's last
    // exchange; nothing when that exchange got none.
    std::optional<SerialSettings> answeredAt;
};

// "OK", "time-out: no answer", ...; and the exit code of a result.
QString resultWords(LinkResult r);
int exitOf(LinkResult r);

// One exchange of a port's chain: how to start it, and what to do with its
// result; `then` says whether the chain goes on to its next step.
struct Step
{
    std::function<void(LinkExchange &, const LinkSettings &)> start;
    std::function<bool(LinkResult)> then;
};
using Steps = std::vector<Step>;

// The usual starts.
void uploadStep(LinkExchange &e, const LinkSettings &l);

// One port's work: its own engine and its own chain of exchanges, run
// independently of every other port. A port's time is taken when its last
// exchange ended.
class PortJob
{
public:
    PortJob(const QString &port, const LinkSettings &link, const Timing &timing);
    // With the port's name already resolved.
    PortJob(const QString &port, const PortName &name, const LinkSettings &link, const Timing &timing);

    LinkExchange &engine() { return m_engine; }
    const LinkSettings &link() const { return m_link; }
    // The settings the next steps use: the link's until answerAt() says others.
    const LinkSettings &stepLink() const { return m_stepLink; }
    void answerAt(const SerialSettings &settings) { m_stepLink.serial = settings; }
    PortOutcome &outcome() { return m_outcome; }
    const UploadReply &reply() const { return m_engine.reply(); }

    // Runs the steps one after the other, each once the one before has
    // finished and asked for it (and no Ctrl+C came); then releases the port
    // and calls `done`.
    void runSteps(Steps steps, std::function<void()> done);

    // Records a finished exchange; false when it failed.
    bool record(LinkResult r);

private:
    void runStep(std::size_t index);

    SimulatedPortIo m_portIo{false}; // the keyboard line is never used here
    LinkExchange m_engine;
    LinkSettings m_link;
    LinkSettings m_stepLink;
    PortOutcome m_outcome;
    QString m_portProblem;
    QElapsedTimer m_clock;
    Steps m_steps;
    std::size_t m_step = 0;
    std::function<void()> m_done;
};

// Makes the jobs of a command on decoders: its serial options into one
// LinkSettings, one job per distinct --port. False (with the usage error said)
// when an option is bad or no --port is given.
bool prepareJobs(Call &call);

// Runs the chain `stepsOf` gives each port, every port at once on the event
// loop, until each is through. What one port waits for holds no other.
void runEveryPort(Jobs &jobs, const std::function<Steps(PortJob &)> &stepsOf);

// Whether Ctrl+C stopped the exchanges; stopping them all (their ports close).
bool stopped();
void stopAllExchanges();
// A command's own engines, stopped by Ctrl+C as the ports' jobs are (a new
// command's start: no stop counts yet).
void stopWith(const QList<LinkExchange *> &engines);

// The firmware version text an upload reply carries: its two parts, a blank between.
QString firmwareText(const UploadReply &reply);

// The fields of the returned section that differ from what was sent.
QStringList mismatchedFields(const ConfigImage &sent, const UploadReply &reply);

// What a command adds to the common report of a port: its result word
// ("ok"/"failed" when not given), its JSON members, and the lines under the
// port's line (before its mismatches).
struct PortReport
{
    std::function<QString(const PortOutcome &)> word;
    std::function<void(const PortOutcome &, QJsonObject &)> extra;
    std::function<QStringList(const PortOutcome &)> details;
};

// The report of a command on decoders: one line per port ("PORT  OK  MESSAGE
// 0.12 s", the word upper-cased, then its details and mismatches), or with
// --json one document of the ports' objects (port, device, exit, result,
// message, seconds, answered_at (null when no good answer), firmware, mismatches and the command's own)
// and the exit code. Returns the largest exit code of the ports.
int summarize(Call &call, const PortReport &how = {});
// With --json the document of `ports` and the exit code; `exit` either way.
int endReport(Call &call, const QJsonArray &ports, int exit);
// The port's "answered_at" member: "19200,N,8,1", or null.
void addAnsweredAt(const PortOutcome &p, QJsonObject &j);

} // namespace q5n::tool
