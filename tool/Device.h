#pragma once

#include "link/Timing.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace q5n::tool {

// The commands that talk to decoders over RS232: download, upload, version,
// monitor. Each port named by --port runs its exchange at the same time as
// the others, on one event loop; one summary line each.
int deviceCommand(const QString &command, const QStringList &args, QTextStream &out, QTextStream &err);
// The same with other time-outs (tests shorten them).
int deviceCommand(const QString &command, const QStringList &args, QTextStream &out, QTextStream &err,
                  const Timing &timing);

// Whether `command` is one of them.
bool isDeviceCommand(const QString &command);

// The device a --port value names: a path as it is, "com1".."com6" as the
// program resolves "Com n". Empty when "com n" has no device.
QString portDevice(const QString &value);

// Stops every running exchange (Ctrl+C); their ports are closed.
void stopAllExchanges();

} // namespace q5n::tool
