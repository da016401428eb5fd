// q5ntool monitor --port DEVICE...: prints what the decoders send until
// interrupted.
#include "link/SerialPort.h"
#include "model/TerminalText.h"
#include "model/Text8.h"
#include "tool/Command.h"
#include "tool/PortJob.h"

#include <QTimer>

#include <memory>

namespace q5n::tool {

namespace {

// monitor prints what it gathered at most this long after the first byte of a
// transmission, and at most this many bytes to a line.
constexpr int kMonitorGatherMs = 100;
constexpr qsizetype kMonitorLineBytes = 4096;

// One line per transmission: what arrives is gathered from its first byte on
// for a moment, as the test window gathers a batch, and then printed. A
// stream that never pauses is so printed every moment too, and a line never
// holds more than kMonitorLineBytes. Returns what prints the rest.
std::function<void()> printTransmissions(PortJob &job, const QString &prefix, QTextStream &out)
{
    LinkExchange *engine = &job.engine();
    auto *gather = new QTimer(engine);
    gather->setSingleShot(true);
    gather->setInterval(kMonitorGatherMs);
    auto held = std::make_shared<QByteArray>();
    const auto print = [held, prefix, &out](qsizetype bytes) {
        out << prefix << terminalText(decode8(held->left(bytes))) << '\n' << Qt::flush;
        held->remove(0, bytes);
    };
    const auto printAll = [held, print, gather] {
        gather->stop();
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
    return printAll;
}

} // namespace

int monitorCommand(Call &call)
{
    for (auto &job : call.jobs) {
        if (!job->engine().monitor(job->link())) {
            call.err << job->outcome().port << ": "
                     << "port not available: " << job->engine().portError() << '\n';
            return kPortUnavailable;
        }
    }
    int code = kDone;
    runEveryPort(call.jobs, [&](PortJob &job) {
        const QString name = job.outcome().port;
        const auto printRest =
            printTransmissions(job, call.jobs.size() > 1 ? name + QStringLiteral(": ") : QString(), call.out);
        QObject::connect(&job.engine().serialPort(), &SerialPort::portLost, &job.engine(),
                         [name, &call](const QString &why) {
                             call.err << name << ": the port went away: " << why << '\n' << Qt::flush;
                         });
        // The monitor runs already; its one step ends when it is interrupted or lost.
        return Steps{{[](LinkExchange &, const LinkSettings &) {},
                      [&, printRest](LinkResult r) {
                          printRest(); // what is held is printed before the end
                          // A lost port ends the whole monitor.
                          if (r == LinkResult::PortLost) {
                              code = kPortUnavailable;
                              for (auto &other : call.jobs)
                                  other->engine().abort();
                          }
                          return false;
                      }}};
    });
    return stopped() ? kDone : code;
}

} // namespace q5n::tool
