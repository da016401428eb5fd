// q5nsim: a bar-code decoder on a serial line, for trying the program (and
// testing it) without the device. It opens a pseudo-terminal, prints its path
// on stdout and serves download, upload, firmware version and memory requests
// until it is stopped; what it receives and sends is logged on stderr.

#include "files/SetupFile.h"
#include "model/TerminalText.h"
#include "model/Text8.h"
#include "model/TextItems.h"
#include "sim/SerialDecoder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

// Every log line is one line on a terminal: names and texts that came from the
// command line, a file or a client show their control characters as <NAME>.
void printErr(const QString &text)
{
    std::fprintf(stderr, "q5nsim: %s\n", qPrintable(q5n::terminalText(text)));
    std::fflush(stderr);
}

const QString kCommandHelp =
    QStringLiteral("commands: fault <none|silent|refuse|bad-check|short|hangup|remove|flood|drip|other-rate>, "
                   "section <decoder|reader>, version <text>, baud <rate>, adopt-settings <on|off>, scan <text>, "
                   "memory-clear, memory-add <text>, memory-fault <none|bad-check|silent|hangup|over-long> [block], "
                   "status");

// One command line read from stdin (--commands); returns what to log.
QString runCommand(q5n::sim::SerialDecoder &decoder, const QString &line)
{
    using namespace q5n::sim;
    const QString trimmed = line.trimmed();
    const qsizetype blank = trimmed.indexOf(u' ');
    const QString word = trimmed.left(blank < 0 ? trimmed.size() : blank).toLower();
    const QString arg = blank < 0 ? QString() : trimmed.mid(blank + 1);
    if (word.isEmpty())
        return {};
    if (word == u"fault") {
        const auto f = faultFromName(arg);
        if (!f)
            return QStringLiteral("unknown fault: %1").arg(arg);
        decoder.setFault(*f);
    } else if (word == u"section") {
        const auto sec = sectionFromName(arg);
        if (!sec)
            return QStringLiteral("unknown section: %1").arg(arg);
        decoder.setSection(*sec);
    } else if (word == u"version") {
        decoder.setVersionText(arg);
    } else if (word == u"baud") {
        bool ok = false;
        q5n::SerialSettings l = decoder.lineSettings();
        l.baud = arg.toInt(&ok);
        if (!ok || l.baud <= 0)
            return QStringLiteral("bad baud rate: %1").arg(arg);
        decoder.setLineSettings(l);
    } else if (word == u"adopt-settings") {
        if (arg != u"on" && arg != u"off")
            return QStringLiteral("adopt-settings: on or off");
        decoder.setAdoptSettings(arg == u"on");
    } else if (word == u"scan") {
        decoder.sendScan(q5n::encode8(arg) + "\r\n");
        return {};
    } else if (word == u"memory-clear") {
        decoder.model().memoryLines.clear();
    } else if (word == u"memory-add") {
        decoder.model().memoryLines.append(q5n::encode8(arg));
    } else if (word == u"memory-fault") {
        const QStringList parts = arg.split(u' ', Qt::SkipEmptyParts);
        const auto f = memoryFaultFromName(parts.value(0));
        bool ok = true;
        const int block = parts.size() > 1 ? parts[1].toInt(&ok) : 0;
        if (!f || !ok || block < 0)
            return QStringLiteral("bad memory fault: %1").arg(arg);
        decoder.model().memoryFault = *f;
        decoder.model().memoryFaultBlock = block;
    } else if (word != u"status") {
        return kCommandHelp;
    }
    const DecoderModel &m = decoder.model();
    return QStringLiteral("%1, upload section %2, fault %3, version \"%4\", %5 memory line(s), memory fault %6 "
                          "at block %7, adopt-settings %8")
        .arg(q5n::serialSettingsText(decoder.lineSettings()).trimmed(), sectionName(m.uploadSection),
             faultName(m.fault), m.versionText())
        .arg(m.memoryLines.size())
        .arg(memoryFaultName(m.memoryFault))
        .arg(m.memoryFaultBlock)
        .arg(decoder.adoptsSettings() ? QStringLiteral("on") : QStringLiteral("off"));
}

// Where --link puts a bare name: the user's runtime directory, which nobody
// else can write, or else a new private directory under the temporary
// directory (a fixed name in a shared directory could be taken first by
// another user). A name with a slash is used as given.
QString linkPathFor(const QString &name, QString *privateDir)
{
    if (name.isEmpty() || name.contains(u'/'))
        return name;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QFile::decodeName(runtime)).exists())
        return QDir(QFile::decodeName(runtime)).filePath(name);
    QByteArray dir = QFile::encodeName(QDir::tempPath()) + "/q5nsim-XXXXXX";
    if (!::mkdtemp(dir.data()))
        return {};
    *privateDir = QFile::decodeName(dir);
    return QDir(*privateDir).filePath(name);
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
                                     QStringLiteral("Also make <path> a symlink to the pseudo-terminal. A name "
                                                    "without a slash goes into $XDG_RUNTIME_DIR (else a new "
                                                    "private directory under the temporary directory)."),
                                     QStringLiteral("path"));
    const QCommandLineOption baudOpt(QStringLiteral("baud"), QStringLiteral("Baud rate of the decoder (default 9600)."),
                                     QStringLiteral("rate"), QStringLiteral("9600"));
    const QCommandLineOption frameOpt(QStringLiteral("frame"),
                                      QStringLiteral("Parity, data and stop bits, e.g. N,8,1 (the default). A "
                                                     "pseudo-terminal carries only the program's baud rate and stop "
                                                     "bits, so only those are compared."),
                                      QStringLiteral("p,d,s"), QStringLiteral("N,8,1"));
    const QCommandLineOption sectionOpt(QStringLiteral("section"),
                                        QStringLiteral("Section an upload sends: decoder (default) or reader."),
                                        QStringLiteral("decoder|reader"), QStringLiteral("decoder"));
    const QCommandLineOption faultOpt(
        QStringLiteral("fault"),
        QStringLiteral("Misbehave: none, silent, refuse, bad-check, short, hangup, remove, "
                       "flood, drip or other-rate."),
        QStringLiteral("name"), QStringLiteral("none"));
    const QCommandLineOption versionOpt(QStringLiteral("version-text"),
                                        QStringLiteral("Firmware version: 12 + 10 characters (padded with blanks)."),
                                        QStringLiteral("text"));
    const QCommandLineOption memoryOpt(QStringLiteral("memory-line"),
                                       QStringLiteral("A data line held in the decoder's memory (repeatable; "
                                                      "replaces the sample lines)."),
                                       QStringLiteral("text"));
    const QCommandLineOption memoryFaultOpt(
        QStringLiteral("memory-fault"),
        QStringLiteral("Spoil one block of a memory read: bad-check, silent, hangup or over-long, optionally "
                       "with the block's number from 0 after a colon (e.g. bad-check:1)."),
        QStringLiteral("kind[:block]"));
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
    const QCommandLineOption commandsOpt(QStringLiteral("commands"),
                                         QStringLiteral("Read commands from stdin, one a line, to change the decoder "
                                                        "while it runs (\"help\" lists them)."));
    const QCommandLineOption anyLineOpt(QStringLiteral("any-line-settings"),
                                        QStringLiteral("Answer whatever baud rate and frame the program uses."));
    const QCommandLineOption adoptOpt(QStringLiteral("adopt-settings"),
                                      QStringLiteral("After a download, answer at the baud rate and frame the "
                                                     "downloaded configuration sets for the decoder's line "
                                                     "(without it the decoder keeps its own)."));
    const QCommandLineOption noPacingOpt(QStringLiteral("no-pacing"),
                                         QStringLiteral("Send at once instead of at the wire time of the baud rate."));
    const QCommandLineOption reopenOpt(
        QStringLiteral("reopen-ms"),
        QStringLiteral("After a hang-up or a removal, open a new line after <ms> (default 1000; "
                       "negative: exit instead)."),
        QStringLiteral("ms"), QStringLiteral("1000"));
    parser.addOptions({linkOpt, baudOpt, frameOpt, sectionOpt, faultOpt, versionOpt, memoryOpt, memoryFaultOpt,
                       imageOpt, scanOpt, scanEveryOpt, commandsOpt, anyLineOpt, adoptOpt, noPacingOpt, reopenOpt});
    parser.process(app);

    q5n::sim::SerialDecoder decoder;
    const auto line = q5n::parseSerialSettings(QString(parser.value(baudOpt) + u',' + parser.value(frameOpt)));
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
        printErr(QStringLiteral("bad --fault: %1 (none, silent, refuse, bad-check, short, hangup, remove, flood, "
                                "drip, other-rate)")
                     .arg(parser.value(faultOpt)));
        return 2;
    }
    decoder.setFault(*fault);
    if (parser.isSet(versionOpt))
        decoder.setVersionText(parser.value(versionOpt));
    if (parser.isSet(memoryOpt)) {
        QList<QByteArray> lines;
        for (const QString &l : parser.values(memoryOpt))
            lines.append(q5n::encode8(l));
        decoder.model().memoryLines = lines;
    }
    if (parser.isSet(memoryFaultOpt)) {
        const QStringList parts = parser.value(memoryFaultOpt).split(u':');
        const auto f = q5n::sim::memoryFaultFromName(parts.value(0));
        bool blockOk = true;
        const int block = parts.size() > 1 ? parts[1].toInt(&blockOk) : 0;
        if (!f || !blockOk || block < 0 || parts.size() > 2) {
            printErr(QStringLiteral("bad --memory-fault: %1").arg(parser.value(memoryFaultOpt)));
            return 2;
        }
        decoder.model().memoryFault = *f;
        decoder.model().memoryFaultBlock = block;
    }
    if (parser.isSet(imageOpt)) {
        // Read as the program reads it: a regular file, line by line, 92 lines at most.
        q5n::SetupFileContent content;
        content.image = decoder.model().image;
        QString reason;
        switch (q5n::readSetupFileContent(parser.value(imageOpt), content, &reason)) {
        case q5n::ReadSetupResult::Read: break;
        case q5n::ReadSetupResult::NotSetupFile:
            printErr(QStringLiteral("--image %1: not a configuration setup file").arg(parser.value(imageOpt)));
            return 2;
        case q5n::ReadSetupResult::Unreadable:
            printErr(QStringLiteral("--image %1: %2").arg(parser.value(imageOpt), reason));
            return 2;
        }
        decoder.setImage(content.image);
    }
    decoder.setCheckLineSettings(!parser.isSet(anyLineOpt));
    decoder.setAdoptSettings(parser.isSet(adoptOpt));
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

    QString privateLinkDir;
    const QString linkPath = linkPathFor(parser.value(linkOpt), &privateLinkDir);
    if (parser.isSet(linkOpt) && linkPath.isEmpty()) {
        printErr(QStringLiteral("--link %1: no private directory for the link").arg(parser.value(linkOpt)));
        return 1;
    }
    if (!decoder.open(linkPath)) {
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
            decoder.sendScan(q5n::encode8(scans[next]) + "\r\n");
            next = (next + 1) % int(scans.size());
        });
        scanTimer.start(every);
    }

    // Commands on stdin, only when asked for: a background job that reads its
    // terminal would be stopped by the shell.
    // A command line may be as long as a line of the program's files; the
    // rest of a longer one is skipped up to its end, so the buffer stays small.
    QByteArray commandBuffer;
    bool skippingLongLine = false;
    if (parser.isSet(commandsOpt)) {
        auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(
            notifier, &QSocketNotifier::activated, &app, [notifier, &commandBuffer, &skippingLongLine, &decoder] {
                char buf[1024];
                const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
                if (n <= 0) {
                    notifier->setEnabled(false); // end of input: keep serving
                    return;
                }
                commandBuffer.append(buf, int(n));
                for (;;) {
                    const qsizetype nl = commandBuffer.indexOf('\n');
                    if (nl < 0) {
                        if (commandBuffer.size() > q5n::kMaxLineLength) {
                            if (!skippingLongLine)
                                printErr(QStringLiteral("command line longer than %1 characters: skipped")
                                             .arg(q5n::kMaxLineLength));
                            skippingLongLine = true;
                            commandBuffer.clear();
                        }
                        break;
                    }
                    const QByteArray line = commandBuffer.left(nl);
                    commandBuffer.remove(0, nl + 1);
                    if (skippingLongLine) {
                        skippingLongLine = false;
                        continue;
                    }
                    if (line.size() > q5n::kMaxLineLength) {
                        printErr(
                            QStringLiteral("command line longer than %1 characters: skipped").arg(q5n::kMaxLineLength));
                        continue;
                    }
                    const QString reply = runCommand(decoder, QString::fromLocal8Bit(line));
                    if (!reply.isEmpty())
                        printErr(reply);
                }
            });
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
                      q5n::serialSettingsText(decoder.lineSettings()).trimmed(), q5n::sim::sectionName(*section),
                      q5n::sim::faultName(*fault), decoder.model().versionText()));
    const int rc = app.exec();
    decoder.close();
    if (!privateLinkDir.isEmpty())
        QDir().rmdir(privateLinkDir);
    return rc;
}
