// q5nsim: a bar-code decoder on a serial line, for trying the program (and
// testing it) without the device. It opens a pseudo-terminal, prints its path
// on stdout and serves download, upload, firmware version and memory requests
// until it is stopped; what it receives and sends is logged on stderr.

#include "files/SetupFile.h"
#include "sim/SerialDecoder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

void printErr(const QString &text)
{
    std::fprintf(stderr, "q5nsim: %s\n", qPrintable(text));
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("q5nsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(Q5N_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the bar-code decoder on a serial line: prints the pseudo-terminal's path, then answers\n"
        "download, upload, firmware version and memory requests until stopped."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOpt(QStringLiteral("link"),
                                     QStringLiteral("Also make <path> a symlink to the pseudo-terminal."),
                                     QStringLiteral("path"));
    const QCommandLineOption baudOpt(QStringLiteral("baud"), QStringLiteral("Baud rate of the decoder (default 9600)."),
                                     QStringLiteral("rate"), QStringLiteral("9600"));
    const QCommandLineOption frameOpt(QStringLiteral("frame"),
                                      QStringLiteral("Parity, data and stop bits, e.g. N,8,1 (the default)."),
                                      QStringLiteral("p,d,s"), QStringLiteral("N,8,1"));
    const QCommandLineOption sectionOpt(QStringLiteral("section"),
                                        QStringLiteral("Section an upload sends: decoder (default) or reader."),
                                        QStringLiteral("decoder|reader"), QStringLiteral("decoder"));
    const QCommandLineOption faultOpt(QStringLiteral("fault"),
                                      QStringLiteral("Misbehave: none, silent, refuse, bad-check, short or hangup."),
                                      QStringLiteral("name"), QStringLiteral("none"));
    const QCommandLineOption versionOpt(QStringLiteral("version-text"),
                                        QStringLiteral("Firmware version: 12 + 10 characters (padded with blanks)."),
                                        QStringLiteral("text"));
    const QCommandLineOption memoryOpt(QStringLiteral("memory-line"),
                                       QStringLiteral("A data line held in the decoder's memory (repeatable; "
                                                      "replaces the sample lines)."),
                                       QStringLiteral("text"));
    const QCommandLineOption imageOpt(QStringLiteral("image"),
                                      QStringLiteral("Start with the configuration of a setup file (*.cfg) instead "
                                                     "of the factory values."),
                                      QStringLiteral("file"));
    const QCommandLineOption scanOpt(QStringLiteral("scan"),
                                     QStringLiteral("Data the decoder sends as if scanned, followed by CR LF "
                                                    "(repeatable: sent in turn)."),
                                     QStringLiteral("text"));
    const QCommandLineOption scanEveryOpt(QStringLiteral("scan-every"),
                                          QStringLiteral("Interval between scans (default 2000)."),
                                          QStringLiteral("ms"), QStringLiteral("2000"));
    const QCommandLineOption anyLineOpt(QStringLiteral("any-line-settings"),
                                        QStringLiteral("Answer whatever baud rate and frame the program uses."));
    const QCommandLineOption noPacingOpt(QStringLiteral("no-pacing"),
                                         QStringLiteral("Send at once instead of at the wire time of the baud rate."));
    const QCommandLineOption reopenOpt(QStringLiteral("reopen-ms"),
                                       QStringLiteral("After a hang-up, open a new line after <ms> (default 1000; "
                                                      "negative: exit instead)."),
                                       QStringLiteral("ms"), QStringLiteral("1000"));
    parser.addOptions({linkOpt, baudOpt, frameOpt, sectionOpt, faultOpt, versionOpt, memoryOpt, imageOpt, scanOpt, scanEveryOpt, anyLineOpt,
                       noPacingOpt, reopenOpt});
    parser.process(app);

    q5n::sim::SerialDecoder decoder;
    const auto line = q5n::sim::parseLineSettings(parser.value(baudOpt) + u',' + parser.value(frameOpt));
    if (!line) {
        printErr(QStringLiteral("bad --baud or --frame: %1,%2").arg(parser.value(baudOpt), parser.value(frameOpt)));
        return 2;
    }
    decoder.setLineSettings(*line);
    const auto section = q5n::sim::sectionFromName(parser.value(sectionOpt));
    if (!section) {
        printErr(QStringLiteral("bad --section: %1 (decoder or reader)").arg(parser.value(sectionOpt)));
        return 2;
    }
    decoder.setSection(*section);
    const auto fault = q5n::sim::faultFromName(parser.value(faultOpt));
    if (!fault) {
        printErr(QStringLiteral("bad --fault: %1 (none, silent, refuse, bad-check, short, hangup)")
                     .arg(parser.value(faultOpt)));
        return 2;
    }
    decoder.setFault(*fault);
    if (parser.isSet(versionOpt))
        decoder.setVersionText(parser.value(versionOpt));
    if (parser.isSet(memoryOpt)) {
        QList<QByteArray> lines;
        for (const QString &l : parser.values(memoryOpt))
            lines.append(l.toLatin1());
        decoder.model().memoryLines = lines;
    }
    if (parser.isSet(imageOpt)) {
        QFile file(parser.value(imageOpt));
        q5n::SetupFileContent content;
        content.image = decoder.model().image;
        if (!file.open(QIODevice::ReadOnly) || !q5n::parseSetupFile(file.readAll(), content)) {
            printErr(QStringLiteral("--image %1: not a configuration setup file").arg(parser.value(imageOpt)));
            return 2;
        }
        decoder.setImage(content.image);
    }
    decoder.setCheckLineSettings(!parser.isSet(anyLineOpt));
    decoder.setPacing(!parser.isSet(noPacingOpt));
    bool ok = false;
    const int reopenMs = parser.value(reopenOpt).toInt(&ok);
    decoder.setReopenAfterHangUpMs(ok ? reopenMs : 1000);

    QObject::connect(&decoder, &q5n::sim::SerialDecoder::logMessage, &printErr);
    QObject::connect(&decoder, &q5n::sim::SerialDecoder::reopened, [](const QString &path) {
        std::fprintf(stdout, "%s\n", qPrintable(path));
        std::fflush(stdout);
    });
    if (decoder.reopenAfterHangUpMs() < 0)
        QObject::connect(&decoder, &q5n::sim::SerialDecoder::hungUp, &app, [] { QCoreApplication::exit(3); });

    if (!decoder.open(parser.value(linkOpt))) {
        printErr(decoder.errorString());
        return 1;
    }

    QTimer scanTimer;
    const QStringList scans = parser.values(scanOpt);
    if (!scans.isEmpty()) {
        const int every = parser.value(scanEveryOpt).toInt(&ok);
        if (!ok || every <= 0) {
            printErr(QStringLiteral("bad --scan-every: %1").arg(parser.value(scanEveryOpt)));
            return 2;
        }
        int next = 0;
        QObject::connect(&scanTimer, &QTimer::timeout, &decoder, [&decoder, scans, next]() mutable {
            decoder.sendScan(scans[next].toLatin1() + "\r\n");
            next = (next + 1) % int(scans.size());
        });
        scanTimer.start(every);
    }

    // Stop cleanly on SIGINT/SIGTERM, so that the symlink goes away.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGHUP, onSignal);
    }

    std::fprintf(stdout, "%s\n", qPrintable(decoder.devicePath()));
    std::fflush(stdout);
    printErr(QStringLiteral("decoder on %1%2, %3, upload section %4, fault %5, version \"%6\"")
                 .arg(decoder.devicePath(),
                      decoder.linkPath().isEmpty() ? QString() : QStringLiteral(" (link %1)").arg(decoder.linkPath()),
                      decoder.lineSettings().text(), q5n::sim::sectionName(*section), q5n::sim::faultName(*fault),
                      decoder.model().versionText()));
    const int rc = app.exec();
    decoder.close();
    return rc;
}
