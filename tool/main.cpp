// q5ntool: the configuration utility's work from scripts, without a display.
#include "tool/CommandTable.h"
#include "tool/Commands.h"
#include "tool/Device.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>

#include <cstdio>

namespace {

const char kUsageText[] =
    "usage: q5ntool COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands on configuration files (setup files *.cfg and defaults files):\n"
    "  show FILE [--json]              every setting as the pages name it, with its byte and bits\n"
    "  diff A B [--json]               the settings that differ, old -> new\n"
    "  set FILE NAME=VALUE... [-o OUT] change settings by control name (cfg4.optCfg41A=19200),\n"
    "                                  by caption path (cfg4/RS232/Baud Rate=19200) or setup text\n"
    "                                  (deviceName=..., port=2, linkMode=RS232); nothing is written\n"
    "                                  unless every pair is good\n"
    "  new FILE                        write the configuration that New makes (defaults file honoured)\n"
    "\n"
    "Commands on decoders over RS232 (--port may be given many times: the ports run at once):\n"
    "  download FILE --port DEVICE [--not-save] [--verify]\n"
    "                                  send the configuration; --verify uploads the section the decoder\n"
    "                                  returns and compares it (the summary says which section)\n"
    "  upload -o FILE [--into BASE] --port DEVICE\n"
    "                                  the section the decoder sends, into BASE or the factory values\n"
    "  apply FILE --port DEVICE [--check] [--not-save]\n"
    "                                  bring each decoder to FILE: upload the section it sends,\n"
    "                                  compare it setting by setting, and only where they differ\n"
    "                                  download with verification (--check: only report)\n"
    "  version --port DEVICE           the decoder's firmware version\n"
    "  read-memory --port DEVICE [-o FILE.txt]\n"
    "                                  the lines the decoder holds (to FILE as the memory window saves them)\n"
    "  clear-memory --port DEVICE      clear the decoder's memory\n"
    "  monitor --port DEVICE           print what the decoder sends, control characters as <NAME>,\n"
    "                                  until interrupted\n"
    "  DEVICE is a device path or com1..com6 (resolved as the program resolves Com n; Q5NCFG_COM<n>).\n"
    "  Serial options: --baud 9600 --parity N --data-bits 8 --stop-bits 1 (the defaults); --json.\n"
    "\n"
    "Commands on the serial ports:\n"
    "  ports [--json]                  the serial ports, which Com n each is, and whether you may open it\n"
    "\n"
    "Options: --help (also after a command), --version\n"
    "\n"
    "Text from a decoder or a file is printed with control characters as <NAME> or \\xNN; --json\n"
    "gives it exactly.\n"
    "\n"
    "Exit codes: 0 done; 1 files differ, apply --check would change a decoder, or a verification\n"
    "found a mismatch; 2 usage or file error; 3 port unavailable; 4 time-out (no answer); 5 the\n"
    "decoder refused or answered badly.\n";

// Ctrl+C: the signal handler only writes a byte; the event loop then stops
// every exchange, which closes its port.
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The same name as the program, so the per-user defaults are found where it keeps them.
    QCoreApplication::setApplicationName(QStringLiteral("q5ncfg"));
    QCoreApplication::setApplicationVersion(QStringLiteral(Q5N_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        err << kUsageText;
        return q5n::tool::kUsage;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        out << kUsageText;
        return q5n::tool::kDone;
    }
    if (command == QLatin1String("--version")) {
        out << "q5ntool " << Q5N_VERSION << '\n';
        return q5n::tool::kDone;
    }
    const q5n::tool::Command *found = q5n::tool::findCommand(command);
    if (!found) {
        err << "q5ntool: unknown command \"" << command << "\"\n\n" << kUsageText;
        return q5n::tool::kUsage;
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out << found->usage;
        return q5n::tool::kDone;
    }
    if (found->device && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            char byte;
            [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
            q5n::tool::stopAllExchanges();
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    return found->run(command, args, out, err);
}
