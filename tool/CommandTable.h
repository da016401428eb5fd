#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace q5n::tool {

// One q5ntool command.
struct Command
{
    const char *name;
    // "usage: q5ntool NAME ..." and what the command does, as "NAME --help"
    // prints it; usage errors repeat its first line.
    const char *usage;
    int (*run)(const QString &name, const QStringList &args, QTextStream &out, QTextStream &err);
    // It talks to decoders: Ctrl+C stops its exchanges.
    bool device = false;
};

// The command of that name, or null.
const Command *findCommand(const QString &name);
// The first line of a command's usage, with its line end.
QString usageLine(const QString &name);

} // namespace q5n::tool
