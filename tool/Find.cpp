// q5ntool find [--port DEVICE...]: which port a decoder answers on, and at
// which settings.
#include "link/DecoderFinder.h"
#include "link/LinkExchange.h"
#include "model/TerminalText.h"
#include "tool/Command.h"
#include "tool/Options.h"
#include "tool/PortJob.h"
#include "tool/PortNames.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

namespace q5n::tool {

namespace {

// The frame from the serial options (the rate is the probe's own); false
// with the usage error said.
bool frameOptions(Call &call, SerialSettings &frame)
{
    const auto parity = parseParity(call.value(option::parity()).left(1));
    if (!parity) {
        call.usageError(QStringLiteral("--parity: use N, M or S"));
        return false;
    }
    if (!parityAllowsReceive(*parity)) {
        call.usageError(QStringLiteral("--parity %1: a decoder cannot answer the version request with even or odd "
                                       "parity, so it cannot be found with it; use N, M or S")
                            .arg(parityLetter(*parity)));
        return false;
    }
    const auto dataBits = parseDataBits(call.value(option::dataBits()));
    const auto stopBits = parseStopBits(call.value(option::stopBits()));
    if (!dataBits || !stopBits) {
        call.usageError(!dataBits ? QStringLiteral("--data-bits: use 7 or 8")
                                  : QStringLiteral("--stop-bits: use 1 or 2"));
        return false;
    }
    frame.parity = *parity;
    frame.dataBits = *dataBits;
    frame.stopBits = *stopBits;
    return true;
}

// The named ports, each device once; false with the usage error said.
bool namedPorts(Call &call, QList<FindPort> &ports)
{
    const QStringList values = call.parser.values(option::port());
    for (const QString &value : values)
        if (const PortName name = resolvePortName(value); name.usageError) {
            call.usageError(QStringLiteral("--port ") + name.problem);
            return false;
        }
    for (const QString &value : distinctPorts(values, call.err)) {
        const PortName name = resolvePortName(value);
        FindPort port{value, name.device, name.comNumber, {}};
        port.skipped =
            name.device.isEmpty() ? QStringLiteral("not available: ") + name.problem : probeRefusal(name.device);
        ports << port;
    }
    return true;
}

QString resultText(const FindResult &r)
{
    switch (r.kind) {
    case FindResult::Kind::Found: return QStringLiteral("answered at %1  %2").arg(answeredAtText(r.at), r.firmware);
    case FindResult::Kind::NoDecoder: return QStringLiteral("no decoder (%1)").arg(r.why);
    case FindResult::Kind::Skipped: return QStringLiteral("no decoder (skipped: %1)").arg(r.why);
    case FindResult::Kind::Unavailable:
    case FindResult::Kind::Stopped: return QStringLiteral("no decoder (%1)").arg(r.why);
    }
    return QString();
}

QString kindWord(FindResult::Kind kind)
{
    switch (kind) {
    case FindResult::Kind::Found: return QStringLiteral("found");
    case FindResult::Kind::NoDecoder: return QStringLiteral("no decoder");
    case FindResult::Kind::Skipped: return QStringLiteral("skipped");
    case FindResult::Kind::Unavailable: return QStringLiteral("unavailable");
    case FindResult::Kind::Stopped: return QStringLiteral("stopped");
    }
    return QString();
}

} // namespace

int findCommand(Call &call)
{
    SerialSettings frame;
    if (!frameOptions(call, frame))
        return kUsage;
    QList<FindPort> ports;
    if (call.isSet(option::port())) {
        if (!namedPorts(call, ports))
            return kUsage;
    } else {
        ports = findCandidates();
    }

    DecoderFinder finder(call.timing);
    QObject::connect(&finder, &DecoderFinder::finished, &finder, [] { QCoreApplication::exit(0); });
    finder.start(ports, frame);
    // Ctrl+C ends the probes as it ends every exchange.
    stopWith(finder.engines());
    if (finder.running())
        QCoreApplication::exec();

    const bool json = call.isSet(option::json());
    QJsonArray list;
    for (int i = 0; i < ports.size(); ++i) {
        const FindResult &r = finder.results().at(i);
        if (json) {
            QJsonObject j{{QStringLiteral("port"), ports[i].name},
                          {QStringLiteral("device"), ports[i].device},
                          {QStringLiteral("result"), kindWord(r.kind)}};
            if (r.kind == FindResult::Kind::Found) {
                j[QStringLiteral("answered_at")] = answeredAtText(r.at);
                j[QStringLiteral("firmware")] = r.firmware;
            } else {
                j[QStringLiteral("message")] = r.why;
            }
            list.append(j);
        } else {
            call.out << terminalText(ports[i].name) << "  " << terminalText(resultText(r)) << '\n';
        }
    }
    if (ports.isEmpty() && !json)
        call.out << "No serial ports found.\n";
    if (stopped())
        return endReport(call, list, 130);
    return endReport(call, list, finder.foundCount() > 0 ? kDone : kTimeOut);
}

} // namespace q5n::tool
