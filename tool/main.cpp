// q5ntool: the configuration utility's work from scripts, without a display.
#include "tool/Commands.h"
#include "tool/Device.h"
#include "tool/Ports.h"

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

const char *commandUsage(const QString &command)
{
    if (command == QLatin1String("show"))
        return "usage: q5ntool show FILE [--json]\n"
               "Shows the setup texts, port and link mode, then every setting: page, caption, value,\n"
               "control name and the byte and bits it occupies. A stored code that no option shows is\n"
               "said as such. In an insertion box a brace character is printed \\{ or \\}, never to be taken for\n"
               "a control-code name ({CR}). A defaults file shows only the settings.\n";
    if (command == QLatin1String("diff"))
        return "usage: q5ntool diff A B [--json]\n"
               "Lists the settings that differ between two files. Exit 0 when equal, 1 when they differ,\n"
               "2 on error.\n";
    if (command == QLatin1String("set"))
        return "usage: q5ntool set FILE NAME=VALUE... [-o OUT]\n"
               "NAME is a control name, qualified by its page where pages repeat it (cfg4.optCfg41A,\n"
               "magcfg4.optCfg41A), a caption path as show prints it or with / between page, tab (and box)\n"
               "and caption (cfg5/Code 39/Check Digit; tab and box may go where the caption alone is one\n"
               "field), a track slot (magcfg6.txt694.track2),\n"
               "or deviceName, userName, buildingDate, description, port, linkMode.\n"
               "VALUE is an option caption, on/off, a list of box numbers, a number, or characters in the\n"
               "brace notation ({CR}; a name the notation does not know is refused; \\{ and \\} are braces as\n"
               "characters). The file is written whole (to OUT when given) or not at all.\n";
    if (command == QLatin1String("new"))
        return "usage: q5ntool new FILE\n"
               "Writes the configuration that New makes: the defaults file where the program finds it,\n"
               "else the factory values, and the texts of a new configuration.\n";
    if (command == QLatin1String("download"))
        return "usage: q5ntool download FILE --port DEVICE... [--not-save] [--verify] [--json] [serial options]\n"
               "Sends the configuration of FILE to each decoder (the Save command unless --not-save).\n"
               "--verify then uploads the section the decoder returns and compares it with what was sent,\n"
               "listing mismatched settings by name (exit 1). A decoder returns one section, the bar decoder's\n"
               "(bytes 0..24) or the magnetic reader's (bytes 25..84), as it chooses; the summary says which\n"
               "was compared. The other section was sent but is not read back. One summary line per port.\n";
    if (command == QLatin1String("upload"))
        return "usage: q5ntool upload -o FILE [--into BASE] --port DEVICE [--json] [serial options]\n"
               "Asks the decoder for its configuration and writes FILE: the section it sends put into\n"
               "BASE (a setup or defaults file), or into the factory values.\n";
    if (command == QLatin1String("apply"))
        return "usage: q5ntool apply FILE --port DEVICE... [--check] [--not-save] [--json] [serial options]\n"
               "Brings each decoder to the configuration of FILE. Uploads the section the decoder sends\n"
               "(decoder or reader settings) and compares it with the same section of FILE, setting by\n"
               "setting, named as show and diff name them. Where they differ, downloads FILE (the Save\n"
               "command unless --not-save) and verifies it; where they agree, sends nothing more.\n"
               "One line per port: UNCHANGED, CHANGED with each setting old -> new, WOULD CHANGE under\n"
               "--check (which never downloads), or FAILED with the reason. When FILE also sets settings\n"
               "of the section the decoder does not send, the line says they were not compared.\n"
               "Exit 0 unchanged or changed; 1 --check would change a decoder, or a verification found a\n"
               "mismatch; 2 usage or file error; 3 port unavailable; 4 time-out; 5 refused. With several\n"
               "ports, the largest.\n";
    if (command == QLatin1String("version"))
        return "usage: q5ntool version --port DEVICE... [--json] [serial options]\n"
               "Prints each decoder's firmware version text.\n";
    if (command == QLatin1String("read-memory"))
        return "usage: q5ntool read-memory --port DEVICE [-o FILE.txt] [--json] [serial options]\n"
               "Reads the lines the decoder holds in its memory and prints them, or writes them to FILE.txt as\n"
               "the memory window saves them (each line with CR LF, then CR LF). A failed read leaves FILE.txt\n"
               "as it was and prints the lines read before the failure; the exit code is the failure's.\n";
    if (command == QLatin1String("clear-memory"))
        return "usage: q5ntool clear-memory --port DEVICE... [--json] [serial options]\n"
               "Tells each decoder to clear its memory.\n";
    if (command == QLatin1String("monitor"))
        return "usage: q5ntool monitor --port DEVICE... [serial options]\n"
               "Prints what the decoders send, one line per batch, control characters as <NAME>, until\n"
               "interrupted (Ctrl+C).\n";
    if (command == QLatin1String("ports"))
        return "usage: q5ntool ports [--json]\n"
               "Lists Com 1..Com 6 as the program resolves them (Q5NCFG_COM<n>, else the present ports,\n"
               "USB and ACM adapters first), the other present ports with the adapter's name, serial number\n"
               "and /dev/serial/by-id name where the system knows them, and whether this user may open each;\n"
               "when not, why (who may use the device, or the lock file that holds it) and what helps.\n";
    return nullptr;
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
    const char *usage = commandUsage(command);
    if (!usage) {
        err << "q5ntool: unknown command \"" << command << "\"\n\n" << kUsageText;
        return q5n::tool::kUsage;
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out << usage;
        return q5n::tool::kDone;
    }
    if (command == QLatin1String("show"))
        return q5n::tool::showCommand(args, out, err);
    if (command == QLatin1String("diff"))
        return q5n::tool::diffCommand(args, out, err);
    if (command == QLatin1String("set"))
        return q5n::tool::setCommand(args, out, err);
    if (command == QLatin1String("ports"))
        return q5n::tool::portsCommand(args, out, err);
    if (q5n::tool::isDeviceCommand(command)) {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
            auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
            QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
                char byte;
                [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
                q5n::tool::stopAllExchanges();
            });
            std::signal(SIGINT, onSignal);
            std::signal(SIGTERM, onSignal);
        }
        return q5n::tool::deviceCommand(command, args, out, err);
    }
    return q5n::tool::newCommand(args, out, err);
}
