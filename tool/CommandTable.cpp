// The command table: one row per q5ntool command, with its options, its usage
// and what runs it. The overview and every command's help are made from it.
#include "tool/Command.h"
#include "tool/Options.h"

namespace q5n::tool {

// Each command's handler, in its own file (Show.cpp, Download.cpp, ...).
int showCommand(Call &call);
int diffCommand(Call &call);
int setCommand(Call &call);
int newCommand(Call &call);
int downloadCommand(Call &call);
int uploadCommand(Call &call);
int applyCommand(Call &call);
int versionCommand(Call &call);
int readMemoryCommand(Call &call);
int clearMemoryCommand(Call &call);
int monitorCommand(Call &call);
int portsCommand(Call &call);
int findCommand(Call &call);

const std::vector<Command> &commands()
{
    using namespace option;
    using G = Group;
    static const std::vector<Command> table = {
        {"show",
         "FILE [--json]",
         "every setting as the pages name it, with its byte and bits",
         "Shows the setup texts, port and link mode, then every setting: page, caption, value,\n"
         "control name and the byte and bits it occupies. A stored code that no option shows is\n"
         "said as such. In an insertion box a brace character is printed \\{ or \\}, never to be taken for\n"
         "a control-code name ({CR}). A defaults file shows only the settings. A damaged setup file\n"
         "(cut short, or a value line that is not a number) is shown with a warning naming the line.\n",
         {json()},
         1,
         1,
         &showCommand,
         G::Files},
        {"diff",
         "A B [--json]",
         "the settings that differ, old -> new",
         "Lists the settings that differ between two files. Exit 0 when equal, 1 when they differ,\n"
         "2 on error.\n",
         {json()},
         2,
         2,
         &diffCommand,
         G::Files},
        {"set",
         "FILE NAME=VALUE... [-o OUT]",
         "change settings by control name (cfg4.optCfg41A=19200),\n"
         "by caption path (cfg4/RS232/Baud Rate=19200) or setup text\n"
         "(deviceName=..., port=2, linkMode=RS232); nothing is written\n"
         "unless every pair is good",
         "NAME is a control name, qualified by its page where pages repeat it (cfg4.optCfg41A,\n"
         "magcfg4.optCfg41A), a caption path as show prints it or with / between page, tab (and box)\n"
         "and caption (cfg5/Code 39/Check Digit; tab and box may go where the caption alone is one\n"
         "field), a track slot (magcfg6.txt694.track2),\n"
         "or deviceName, userName, buildingDate, description, port, linkMode.\n"
         "VALUE is an option caption, on/off, a list of box numbers, a number, or characters in the\n"
         "brace notation ({CR}; a name the notation does not know is refused; \\{ and \\} are braces as\n"
         "characters). The file is written whole (to OUT when given) or not at all.\n",
         {output()},
         2,
         -1,
         &setCommand,
         G::Files},
        {"new",
         "FILE",
         "write the configuration that New makes (defaults file honoured)",
         "Writes the configuration that New makes: the defaults file where the program finds it,\n"
         "else the factory values, and the texts of a new configuration.\n",
         {},
         1,
         1,
         &newCommand,
         G::Files},
        {"download", "FILE --port DEVICE... [--not-save] [--verify] [--state DIR] [--json] [serial options]",
         "send the configuration; --verify uploads the section the decoder\n"
         "returns and compares it (the summary says which section)",
         "Sends the configuration of FILE to each decoder (the Save command unless --not-save).\n"
         "--verify then uploads the section the decoder returns and compares it with what was sent,\n"
         "listing mismatched settings by name (exit 1). A decoder returns one section, the bar decoder's\n"
         "(bytes 0..24) or the magnetic reader's (bytes 25..84), as it chooses; the summary says which\n"
         "was compared. The other section was sent but is not read back. One summary line per port.\n"
         "A verified download with Save is recorded for apply (see apply, --state); any other download\n"
         "removes the port's record. A damaged FILE (cut short, or a value line that is not a number) is refused.\n",
         decoderLine() << notSave() << verify() << state() << json(), 1, 1, &downloadCommand, G::Decoders},
        {"upload", "-o FILE [--into BASE] --port DEVICE [--json] [serial options]",
         "the section the decoder sends, into BASE or the factory values",
         "Asks the decoder for its configuration and writes FILE: the section it sends put into\n"
         "BASE (a setup or defaults file), or into the factory values.\n",
         decoderLine() << output() << into() << json(), 0, 0, &uploadCommand, G::Decoders},
        {"apply", "FILE --port DEVICE... [--check] [--force] [--not-save] [--state DIR] [--json] [serial options]",
         "bring each decoder to FILE: compare the section it sends on the\n"
         "decoder and the other with the port's record, and only where\n"
         "they differ or are unknown download with verification\n"
         "(--check: only report)",
         "Brings each decoder to the configuration of FILE. A decoder sends one section of its two\n"
         "(decoder or reader settings): apply uploads it and compares it with the same section of FILE,\n"
         "setting by setting, named as show and diff name them. The other section is compared with the\n"
         "port's record: the configuration last downloaded and verified on that port, and the section\n"
         "the decoder then sent (one file per port in --state DIR, default $XDG_STATE_HOME/q5ncfg, else\n"
         "~/.local/state/q5ncfg). No record, a record of another user, or a decoder that now sends\n"
         "another section or other contents than the record says (changed or replaced) leave that\n"
         "section unknown. Where a section differs or is unknown, or with --force, downloads FILE\n"
         "(the Save command unless --not-save), verifies it and records it (not a Not Save download,\n"
         "which the decoder keeps only until it is switched off); where both agree, sends nothing more. One line per "
         "port: UNCHANGED, CHANGED with each setting old -> new, WOULD\n"
         "CHANGE under --check (which never downloads), or FAILED with the reason; each says which\n"
         "section was compared on the decoder and which with the record, or why it is unknown.\n"
         "A damaged FILE (cut short, or a value line that is not a number) is refused.\n"
         "Exit 0 unchanged or changed; 1 --check would change a decoder, or a verification found a\n"
         "mismatch; 2 usage or file error; 3 port unavailable; 4 time-out; 5 refused. With several\n"
         "ports, the largest. --json gives per port also the settings it answered at (answered_at)\n"
         "and its firmware version text (firmware).\n",
         decoderLine() << check() << force() << notSave() << state() << json(), 1, 1, &applyCommand, G::Decoders},
        {"version", "--port DEVICE... [--json] [serial options]", "the decoder's firmware version",
         "Prints each decoder's firmware version text.\n", decoderLine() << json(), 0, 0, &versionCommand, G::Decoders},
        {"read-memory", "--port DEVICE [-o FILE.txt] [--json] [serial options]",
         "the lines the decoder holds (to FILE as the memory window saves them)",
         "Reads the lines the decoder holds in its memory and prints them, or writes them to FILE.txt as\n"
         "the memory window saves them (each line with CR LF, then CR LF). A failed read leaves FILE.txt\n"
         "as it was and prints the lines read before the failure; the exit code is the failure's.\n",
         decoderLine() << output() << json(), 0, 0, &readMemoryCommand, G::Decoders},
        {"clear-memory", "--port DEVICE... [--json] [serial options]", "clear the decoder's memory",
         "Tells each decoder to clear its memory.\n", decoderLine() << json(), 0, 0, &clearMemoryCommand, G::Decoders},
        {"monitor", "--port DEVICE... [serial options]",
         "print what the decoder sends, control characters as <NAME>,\nuntil interrupted",
         "Prints what the decoders send, one line per batch, control characters as <NAME>, until\n"
         "interrupted (Ctrl+C).\n",
         decoderLine(), 0, 0, &monitorCommand, G::Decoders},
        {"ports",
         "[--json]",
         "the serial ports, which Com n each is, and whether you may open it",
         "Lists Com 1..Com 6 as the program resolves them (Q5NCFG_COM<n>, else the present ports,\n"
         "USB and ACM adapters first), the other present ports with the adapter's name, serial number\n"
         "and /dev/serial/by-id name where the system knows them, and whether this user may open each;\n"
         "when not, why (who may use the device, or the lock file that holds it) and what helps.\n",
         {json()},
         0,
         0,
         &portsCommand,
         G::Ports},
        {"find",
         "[--port DEVICE...] [--json] [--parity P] [--data-bits B] [--stop-bits B]",
         "which port a decoder answers on, and at which settings",
         "Sends the firmware-version request to each named port, or without --port to every present\n"
         "port that no other program holds (Com 1..Com 6 first), at 19200, 9600, 4800, 2400 and 1200\n"
         "baud in turn, with 8 data bits, no parity and 1 stop bit unless the options say otherwise\n"
         "(Even and Odd parity are refused: a decoder cannot answer the request with them).\n"
         "The ports are probed at once. A rate at which no byte comes back within a fifth of a\n"
         "second is left at once; a port ends at its first answer. Any other device on a probed port\n"
         "receives the request (a receipt printer prints it): name the ports when in doubt.\n"
         "One line per port: the settings a decoder answered at and its version text, or \"no decoder\"\n"
         "and why (a port held by another program, or the system console, is skipped and said so).\n"
         "--json gives per port: port, device, result, and answered_at and firmware for a decoder.\n"
         "Exit 0 when a decoder was found, 4 when none; 2 usage error.\n",
         {port(), parity(), dataBits(), stopBits(), json()},
         0,
         0,
         &findCommand,
         G::Ports},
    };
    return table;
}

} // namespace q5n::tool
