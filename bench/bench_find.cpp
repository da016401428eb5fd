// q5ntool find over six simulated ports, each asked at the five rates of the
// link settings: a decoder at 1200 baud, one at 19200, four silent lines. The
// simulators send at the wire time of their rates. Prints the wall time of
// the whole command (goal: at most 2 s) and whether both decoders were found
// at their own rates.

#include "sim/SerialDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::vector<std::unique_ptr<q5n::sim::SerialDecoder>> lines;
    QStringList args{QStringLiteral("find"), QStringLiteral("--json")};
    QStringList expected; // per port: the settings a decoder answers at, or empty
    const int rates[] = {1200, 0, 0, 19200, 0, 0};
    for (int rate : rates) {
        auto d = std::make_unique<q5n::sim::SerialDecoder>();
        if (!d->open()) {
            std::fprintf(stderr, "%s\n", qPrintable(d->errorString()));
            return 1;
        }
        q5n::SerialSettings line;
        line.baud = rate > 0 ? rate : 9600;
        d->setLineSettings(line);
        if (rate == 0)
            d->setFault(q5n::sim::Fault::Silent);
        args << QStringLiteral("--port") << d->devicePath();
        expected << (rate > 0 ? QStringLiteral("%1,N,8,1").arg(rate) : QString());
        lines.push_back(std::move(d));
    }

    std::printf("%-4s %10s  %s\n", "run", "wall s", "found");
    double worst = 0;
    bool allRight = true;
    for (int run = 1; run <= 3; ++run) {
        QProcess tool;
        QByteArray out;
        QObject::connect(&tool, &QProcess::readyReadStandardOutput, [&] { out += tool.readAllStandardOutput(); });
        QObject::connect(&tool, &QProcess::finished, &app, [] { QCoreApplication::exit(0); });
        QElapsedTimer clock;
        clock.start();
        tool.start(QStringLiteral(Q5N_TOOL), args);
        QCoreApplication::exec(); // the simulators answer while the tool runs
        const double seconds = clock.nsecsElapsed() / 1e9;
        out += tool.readAllStandardOutput();
        worst = std::max(worst, seconds);
        const QJsonArray ports = QJsonDocument::fromJson(out).object()[QStringLiteral("ports")].toArray();
        QStringList found;
        bool right = ports.size() == int(expected.size()) && tool.exitCode() == 0;
        for (int i = 0; i < ports.size() && right; ++i) {
            const QString at = ports[i][QStringLiteral("answered_at")].toString();
            right = at == expected[i];
            if (!at.isEmpty())
                found << QStringLiteral("port %1 at %2").arg(i + 1).arg(at);
        }
        allRight = allRight && right;
        std::printf("%-4d %10.2f  %s%s\n", run, seconds, qPrintable(found.join(QStringLiteral(", "))),
                    right ? "" : "  (WRONG)");
    }
    std::printf("find, 6 ports x 5 rates (decoders at 1200 and 19200, 4 silent): worst %.2f s wall, goal <= 2 s "
                "(%.2f of the goal); %s\n",
                worst, worst / 2.0, allRight ? "both decoders found at their rates" : "NOT as expected");
    return 0;
}
