// Running a q5ntool command line: the overview, each command's help, its
// options parsed by QCommandLineParser, a mistyped name answered with the
// nearest command.
#include "tool/Command.h"
#include "tool/Options.h"
#include "tool/PortJob.h"
#include "tool/TerminalGuard.h"

#include <algorithm>

namespace q5n::tool {

namespace {

// The overview's groups: heading and the notes after its commands.
struct GroupText
{
    Group group;
    const char *heading;
    const char *notes;
};
const GroupText kGroups[] = {
    {Group::Files, "Commands on configuration files (setup files *.cfg and defaults files):", ""},
    {Group::Decoders, "Commands on decoders over RS232 (--port may be given many times: the ports run at once):",
     "  DEVICE is a device path or com1..com6 (resolved as the program resolves Com n; Q5NCFG_COM<n>).\n"
     "  Serial options: --baud 9600 --parity N --data-bits 8 --stop-bits 1 (the defaults); --json.\n"
     "  With --parity E or O the decoder cannot answer: only download (without --verify),\n"
     "  clear-memory and monitor take them.\n"},
    {Group::Ports, "Commands on the serial ports:", ""},
};

const char kOverviewEnd[] =
    "\n"
    "Options: --help (also after a command: that command's options), --version\n"
    "\n"
    "Text from a decoder or a file is printed with control characters as <NAME> or \\xNN; --json\n"
    "gives it exactly.\n"
    "\n"
    "Exit codes: 0 done; 1 files differ, apply --check would change a decoder, or a verification\n"
    "found a mismatch; 2 usage or file error; 3 port unavailable; 4 time-out (no answer); 5 the\n"
    "decoder refused or answered badly.\n";

constexpr int kOverviewColumn = 34; // where a command's summary starts

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// "-o FILE", "--port DEVICE", "-h, --help".
QString optionText(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << dashed(name);
    const QString value = option.valueName();
    return names.join(QStringLiteral(", ")) + (value.isEmpty() ? QString() : QLatin1Char(' ') + value);
}

bool takes(const Command &command, const QCommandLineOption &option)
{
    return std::any_of(command.options.begin(), command.options.end(),
                       [&](const QCommandLineOption &o) { return o.names() == option.names(); });
}

// Edits between two names, a swap of two neighbours counting as one.
int distance(const QString &a, const QString &b)
{
    const qsizetype n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= n; ++i)
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[n][m];
}

// The help asked for on a command line that does not parse.
bool asksHelp(const QStringList &args)
{
    for (const QString &a : args) {
        if (a == QLatin1String("--"))
            return false;
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return true;
    }
    return false;
}

int unknownCommand(const QString &name, QTextStream &err)
{
    err << "q5ntool: unknown command " << name;
    if (const QString near = nearestCommand(name); !near.isEmpty()) {
        err << "; did you mean " << near << "?\n";
    } else {
        QStringList names;
        for (const Command &c : commands())
            names << c.name;
        err << "; the commands are " << names.join(QStringLiteral(", ")) << " (q5ntool --help says more)\n";
    }
    return kUsage;
}

int dispatch(const QStringList &arguments, QTextStream &out, QTextStream &err, TerminalGuard &outGuard,
             const Timing &timing)
{
    if (arguments.isEmpty()) {
        err << overviewText();
        return kUsage;
    }
    QStringList rest = arguments;
    const QString name = rest.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        out << overviewText();
        return kDone;
    }
    if (name == QLatin1String("--version")) {
        out << "q5ntool " << Q5N_VERSION << '\n';
        return kDone;
    }
    const Command *command = findCommand(name);
    if (!command)
        return unknownCommand(name, err);
    QCommandLineParser parser;
    parser.addOptions(command->options);
    parser.addOption(option::help());
    const bool parsed = parser.parse(QStringList{QStringLiteral("q5ntool")} + rest);
    if (parsed ? parser.isSet(option::help()) : asksHelp(rest)) {
        out << commandHelp(*command);
        return kDone;
    }
    Call call(*command, parser, out, err);
    call.timing = timing;
    if (!parsed) {
        const QStringList unknown = parser.unknownOptionNames();
        return call.usageError(
            unknown.isEmpty()
                ? parser.errorText()
                : QStringLiteral("%1 is not an option of %2").arg(dashed(unknown.front()), command->name));
    }
    call.args = parser.positionalArguments();
    if (call.args.size() < command->minArgs || (command->maxArgs >= 0 && call.args.size() > command->maxArgs))
        return call.usageError();
    if (command->group == Group::Decoders && !prepareJobs(call))
        return kUsage;
    if (takes(*command, option::json()) && call.isSet(option::json()))
        outGuard.setMode(TerminalGuard::Mode::Json);
    return command->run(call);
}

} // namespace

Call::Call(const Command &command, const QCommandLineParser &parser, QTextStream &out, QTextStream &err)
    : command(command), parser(parser), out(out), err(err)
{
}

Call::~Call() = default;

int Call::usageError(const QString &why) const
{
    if (!why.isEmpty())
        err << "q5ntool " << command.name << ": " << why << '\n';
    err << usageLine(command);
    return kUsage;
}

const Command *findCommand(const QString &name)
{
    for (const Command &c : commands())
        if (name == c.name)
            return &c;
    return nullptr;
}

QString usageLine(const Command &command)
{
    return QStringLiteral("usage: q5ntool %1\n").arg(QStringList{command.name, command.synopsis}.join(u' ').trimmed());
}

QString commandHelp(const Command &command)
{
    QString text = usageLine(command) + command.description + QStringLiteral("\nOptions:\n");
    QList<QCommandLineOption> options = command.options;
    options << option::help();
    qsizetype width = 0;
    for (const QCommandLineOption &o : options)
        width = std::max(width, optionText(o).size());
    for (const QCommandLineOption &o : options)
        text += QStringLiteral("  %1  %2\n").arg(optionText(o).leftJustified(width), o.description());
    return text;
}

QString overviewText()
{
    QString text = QStringLiteral("usage: q5ntool COMMAND [ARGUMENTS]\n");
    const QString indent(kOverviewColumn, QLatin1Char(' '));
    for (const GroupText &g : kGroups) {
        text += QLatin1Char('\n') + QString::fromUtf8(g.heading) + QLatin1Char('\n');
        for (const Command &c : commands()) {
            if (c.group != g.group)
                continue;
            const QString head = QStringLiteral("  %1 %2").arg(c.name, c.synopsis).trimmed();
            const QStringList lines = c.summary.split(QLatin1Char('\n'));
            text += QStringLiteral("  ") + head;
            text += head.size() + 2 < kOverviewColumn - 1 ? QString(kOverviewColumn - 2 - head.size(), QLatin1Char(' '))
                                                          : QLatin1Char('\n') + indent;
            text += lines.join(QLatin1Char('\n') + indent) + QLatin1Char('\n');
        }
        text += QString::fromUtf8(g.notes);
    }
    return text + QString::fromUtf8(kOverviewEnd);
}

QString nearestCommand(const QString &name)
{
    const QString lower = name.toLower();
    QString best;
    int bestDistance = 3; // more edits than this is another word
    for (const Command &c : commands()) {
        int d = distance(lower, c.name);
        if (lower.size() >= 2 && c.name.startsWith(lower))
            d = std::min(d, 1); // the start of a name
        if (d < bestDistance && d < c.name.size() / 2 + 1) {
            best = c.name;
            bestDistance = d;
        }
    }
    return best;
}

int runCommand(const QStringList &arguments, QTextStream &outTarget, QTextStream &errTarget, const Timing &timing)
{
    TerminalGuard outGuard(outTarget), errGuard(errTarget);
    QTextStream out(&outGuard), err(&errGuard);
    const int code = dispatch(arguments, out, err, outGuard, timing);
    out.flush();
    err.flush();
    return code;
}

} // namespace q5n::tool
