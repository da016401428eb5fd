#include "tool/Ports.h"

#include "link/ComPorts.h"
#include "link/PortAccess.h"
#include "tool/Command.h"
#include "tool/Options.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPortInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace q5n::tool {

PortAccess portAccess(const QString &device)
{
    const PortCheck c = checkPort(device);
    return {c.exists, c.usable, c.reason};
}

namespace {

// What the system knows of the adapter behind a device: its name, maker and
// serial number, and its stable name under /dev/serial/by-id.
QString adapterText(const QString &device, const QList<QSerialPortInfo> &present)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    QStringList parts;
    for (const QSerialPortInfo &p : present) {
        if (p.systemLocation() != canonical)
            continue;
        if (!p.description().isEmpty())
            parts << p.description();
        if (!p.manufacturer().isEmpty() && p.manufacturer() != p.description())
            parts << p.manufacturer();
        if (!p.serialNumber().isEmpty())
            parts << QStringLiteral("serial number %1").arg(p.serialNumber());
    }
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QString &link : byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (!canonical.isEmpty() && QFileInfo(byId.filePath(link)).canonicalFilePath() == canonical &&
            byId.filePath(link) != device)
            parts << byId.filePath(link);
    return parts.isEmpty() ? QString() : QStringLiteral("  (%1)").arg(parts.join(QStringLiteral(", ")));
}

// "ready", with the note a usable port may carry (a stale lock file), or why it is not.
QString statusText(const PortAccess &a)
{
    if (!a.usable)
        return a.reason;
    return a.reason.isEmpty() ? QStringLiteral("ready") : QStringLiteral("ready; ") + a.reason;
}

} // namespace

int portsCommand(Call &call)
{
    QTextStream &out = call.out;
    const bool json = call.isSet(option::json());
    QJsonArray list;
    QStringList named;
    const QList<QSerialPortInfo> present = QSerialPortInfo::availablePorts();
    for (int n = 1; n <= kComPortCount; ++n) {
        const QString device = comDevicePath(n);
        if (device.isEmpty())
            continue;
        named << QFileInfo(device).canonicalFilePath() << device;
        const PortAccess a = portAccess(device);
        list.append(QJsonObject{{QStringLiteral("com"), n},
                                {QStringLiteral("device"), device},
                                {QStringLiteral("usable"), a.usable},
                                {QStringLiteral("reason"), a.reason}});
        if (!json)
            out << "Com " << n << "  " << device << "  " << statusText(a) << adapterText(device, present) << '\n';
    }
    // Present ports beyond the six the program offers.
    for (const QSerialPortInfo &p : present) {
        if (named.contains(p.systemLocation()))
            continue;
        const PortAccess a = portAccess(p.systemLocation());
        list.append(QJsonObject{{QStringLiteral("com"), QJsonValue()},
                                {QStringLiteral("device"), p.systemLocation()},
                                {QStringLiteral("usable"), a.usable},
                                {QStringLiteral("reason"), a.reason}});
        if (!json)
            out << "-      " << p.systemLocation() << "  " << statusText(a) << adapterText(p.systemLocation(), present)
                << "  (no Com number: set Q5NCFG_COM<n> to use it)\n";
    }
    if (json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("ports"), list}}).toJson(QJsonDocument::Indented);
    else if (list.isEmpty())
        out << "No serial ports found.\n";
    return kDone;
}

} // namespace q5n::tool
