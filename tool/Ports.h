#pragma once

#include <QString>
#include <QTextStream>

namespace q5n::tool {

// Whether this user may open a serial device, and if not, why and what helps.
struct PortAccess
{
    bool exists = false;
    bool usable = false;
    QString reason; // why not usable: "no such device", "permission denied: ...", "in use: ..."; or a note
};
PortAccess portAccess(const QString &device);

// q5ntool ports: the serial ports, which "Com n" each is, and whether this
// user may open it.
int portsCommand(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace q5n::tool
