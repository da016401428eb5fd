#include "tool/CommandTable.h"

#include "tool/Commands.h"
#include "tool/Device.h"
#include "tool/Ports.h"

namespace q5n::tool {

namespace {

int runDeviceCommand(const QString &command, const QStringList &args, QTextStream &out, QTextStream &err)
{
    return deviceCommand(command, args, out, err);
}

template <int (*F)(const QStringList &, QTextStream &, QTextStream &)>
int fileCommand(const QString &, const QStringList &args, QTextStream &out, QTextStream &err)
{
    return F(args, out, err);
}

// Every command: its name, its usage (the first line is what a usage error
// repeats; the whole is what --help after it prints), what runs it, and
// whether it talks to decoders.
const Command kCommands[] = {
    {"show",
     "usage: q5ntool show FILE [--json]\n"
     "Shows the setup texts, port and link mode, then every setting: page, caption, value,\n"
     "control name and the byte and bits it occupies. A stored code that no option shows is\n"
     "said as such. In an insertion box a brace character is printed \\{ or \\}, never to be taken for\n"
     "a control-code name ({CR}). A defaults file shows only the settings.\n",
     &fileCommand<&showCommand>, false},
    {"diff",
     "usage: q5ntool diff A B [--json]\n"
     "Lists the settings that differ between two files. Exit 0 when equal, 1 when they differ,\n"
     "2 on error.\n",
     &fileCommand<&diffCommand>, false},
    {"set",
     "usage: q5ntool set FILE NAME=VALUE... [-o OUT]\n"
     "NAME is a control name, qualified by its page where pages repeat it (cfg4.optCfg41A,\n"
     "magcfg4.optCfg41A), a caption path as show prints it or with / between page, tab (and box)\n"
     "and caption (cfg5/Code 39/Check Digit; tab and box may go where the caption alone is one\n"
     "field), a track slot (magcfg6.txt694.track2),\n"
     "or deviceName, userName, buildingDate, description, port, linkMode.\n"
     "VALUE is an option caption, on/off, a list of box numbers, a number, or characters in the\n"
     "brace notation ({CR}; a name the notation does not know is refused; \\{ and \\} are braces as\n"
     "characters). The file is written whole (to OUT when given) or not at all.\n",
     &fileCommand<&setCommand>, false},
    {"new",
     "usage: q5ntool new FILE\n"
     "Writes the configuration that New makes: the defaults file where the program finds it,\n"
     "else the factory values, and the texts of a new configuration.\n",
     &fileCommand<&newCommand>, false},
    {"download",
     "usage: q5ntool download FILE --port DEVICE... [--not-save] [--verify] [--json] [serial options]\n"
     "Sends the configuration of FILE to each decoder (the Save command unless --not-save).\n"
     "--verify then uploads the section the decoder returns and compares it with what was sent,\n"
     "listing mismatched settings by name (exit 1). A decoder returns one section, the bar decoder's\n"
     "(bytes 0..24) or the magnetic reader's (bytes 25..84), as it chooses; the summary says which\n"
     "was compared. The other section was sent but is not read back. One summary line per port.\n",
     &runDeviceCommand, true},
    {"upload",
     "usage: q5ntool upload -o FILE [--into BASE] --port DEVICE [--json] [serial options]\n"
     "Asks the decoder for its configuration and writes FILE: the section it sends put into\n"
     "BASE (a setup or defaults file), or into the factory values.\n",
     &runDeviceCommand, true},
    {"apply",
     "usage: q5ntool apply FILE --port DEVICE... [--check] [--not-save] [--json] [serial options]\n"
     "Brings each decoder to the configuration of FILE. Uploads the section the decoder sends\n"
     "(decoder or reader settings) and compares it with the same section of FILE, setting by\n"
     "setting, named as show and diff name them. Where they differ, downloads FILE (the Save\n"
     "command unless --not-save) and verifies it; where they agree, sends nothing more.\n"
     "One line per port: UNCHANGED, CHANGED with each setting old -> new, WOULD CHANGE under\n"
     "--check (which never downloads), or FAILED with the reason. When FILE also sets settings\n"
     "of the section the decoder does not send, the line says they were not compared.\n"
     "Exit 0 unchanged or changed; 1 --check would change a decoder, or a verification found a\n"
     "mismatch; 2 usage or file error; 3 port unavailable; 4 time-out; 5 refused. With several\n"
     "ports, the largest.\n",
     &runDeviceCommand, true},
    {"version",
     "usage: q5ntool version --port DEVICE... [--json] [serial options]\n"
     "Prints each decoder's firmware version text.\n",
     &runDeviceCommand, true},
    {"read-memory",
     "usage: q5ntool read-memory --port DEVICE [-o FILE.txt] [--json] [serial options]\n"
     "Reads the lines the decoder holds in its memory and prints them, or writes them to FILE.txt as\n"
     "the memory window saves them (each line with CR LF, then CR LF). A failed read leaves FILE.txt\n"
     "as it was and prints the lines read before the failure; the exit code is the failure's.\n",
     &runDeviceCommand, true},
    {"clear-memory",
     "usage: q5ntool clear-memory --port DEVICE... [--json] [serial options]\n"
     "Tells each decoder to clear its memory.\n",
     &runDeviceCommand, true},
    {"monitor",
     "usage: q5ntool monitor --port DEVICE... [serial options]\n"
     "Prints what the decoders send, one line per batch, control characters as <NAME>, until\n"
     "interrupted (Ctrl+C).\n",
     &runDeviceCommand, true},
    {"ports",
     "usage: q5ntool ports [--json]\n"
     "Lists Com 1..Com 6 as the program resolves them (Q5NCFG_COM<n>, else the present ports,\n"
     "USB and ACM adapters first), the other present ports with the adapter's name, serial number\n"
     "and /dev/serial/by-id name where the system knows them, and whether this user may open each;\n"
     "when not, why (who may use the device, or the lock file that holds it) and what helps.\n",
     &fileCommand<&portsCommand>, false},
};

} // namespace

const Command *findCommand(const QString &name)
{
    for (const Command &c : kCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

QString usageLine(const QString &name)
{
    const Command *c = findCommand(name);
    if (!c)
        return {};
    const QString usage = QString::fromUtf8(c->usage);
    return usage.left(usage.indexOf(QLatin1Char('\n')) + 1);
}

} // namespace q5n::tool
