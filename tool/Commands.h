#pragma once

#include "model/ProgramState.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

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

// A configuration as a file holds it.
struct LoadedConfig
{
    bool defaultsFile = false; // a "defaults" file: only the image
    SetupInfo setupInfo;
    LinkSettings linkSettings;
    ConfigImage image;
};

// Reads a setup file or a defaults file as the program would; on failure
// returns false with the reason the program would give.
bool loadConfig(const QString &path, LoadedConfig &config, QString *error);

// The file commands. Each writes its result to `out`, problems to `err`, and
// returns the exit code.
int showCommand(const QStringList &args, QTextStream &out, QTextStream &err);
int diffCommand(const QStringList &args, QTextStream &out, QTextStream &err);
int setCommand(const QStringList &args, QTextStream &out, QTextStream &err);
int newCommand(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace q5n::tool
