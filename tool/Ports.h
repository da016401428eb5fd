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

} // namespace q5n::tool
