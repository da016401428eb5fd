#pragma once

#include "link/Timing.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <vector>

namespace q5n::tool {

// Exit codes of q5ntool, the same for every command.
enum Exit {
    kDone = 0,
    kDiffer = 1, // diff found differences, or --verify a mismatch
    kUsage = 2,  // bad arguments, or a file that cannot be read or written
    kPortUnavailable = 3,
    kTimeOut = 4, // the decoder did not answer
    kRefused = 5, // the decoder refused or answered badly
};

class PortJob;
using Jobs = std::vector<std::unique_ptr<PortJob>>;
struct Command;

// One run of a command: its parsed command line and where it writes. A
// command on decoders also finds one job per distinct --port, each with its
// own engine, and the serial settings in them.
struct Call
{
    Call(const Command &command, const QCommandLineParser &parser, QTextStream &out, QTextStream &err);
    ~Call();
    const Command &command;
    const QCommandLineParser &parser;
    QStringList args; // the positional arguments, as many as the command takes
    QTextStream &out;
    QTextStream &err;
    Timing timing;
    Jobs jobs;

    bool isSet(const QCommandLineOption &option) const { return parser.isSet(option); }
    QString value(const QCommandLineOption &option) const { return parser.value(option); }
    // "q5ntool NAME: WHY" (when given), then the command's usage line; kUsage.
    int usageError(const QString &why = {}) const;
};

// Where the overview lists a command. Commands on decoders talk to them:
// Ctrl+C stops their exchanges.
enum class Group { Files, Decoders, Ports };

// One q5ntool command: one row of the command table.
struct Command
{
    QString name;
    QString synopsis;    // what follows "usage: q5ntool NAME "
    QString summary;     // the overview's words for it (lines after the first indented by the overview)
    QString description; // what NAME --help says below the usage line
    QList<QCommandLineOption> options;
    int minArgs = 0; // positional arguments
    int maxArgs = 0; // -1: any number
    int (*run)(Call &call) = nullptr;
    Group group = Group::Files;
};

// The command table, in the order the overview lists it.
const std::vector<Command> &commands();
// The command of that name, or null.
const Command *findCommand(const QString &name);

// "usage: q5ntool NAME SYNOPSIS\n".
QString usageLine(const Command &command);
// NAME --help: the usage line, the description and the command's own options.
QString commandHelp(const Command &command);
// q5ntool --help: every command of the table, by group.
QString overviewText();
// The command nearest to a mistyped name, or empty when none is near.
QString nearestCommand(const QString &name);

// Runs a q5ntool command line (without the program's name): the overview,
// --version, or one command, parsed with its own options only. What reaches
// `out` and `err` carries no terminal control (TerminalGuard).
int runCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, const Timing &timing = {});

} // namespace q5n::tool
