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
    const ComPorts comPorts;
    for (const ComPort &c : comPorts.all()) {
        if (c.device.isEmpty() && c.identity.isEmpty())
            continue;
        if (c.device.isEmpty()) {
            // A number kept for its device while that is unplugged.
            list.append(QJsonObject{{QStringLiteral("com"), c.number},
                                    {QStringLiteral("device"), QJsonValue()},
                                    {QStringLiteral("identity"), c.identity},
                                    {QStringLiteral("usable"), false},
                                    {QStringLiteral("reason"), QStringLiteral("not connected")}});
            if (!json)
                out << "Com " << c.number << "  -  not connected: " << deviceDescription(c.identity) << '\n';
            continue;
        }
        const QString device = c.device;
        named << QFileInfo(device).canonicalFilePath() << device;
        const PortAccess a = portAccess(device);
        QJsonObject entry{{QStringLiteral("com"), c.number},
                          {QStringLiteral("device"), device},
                          {QStringLiteral("usable"), a.usable},
                          {QStringLiteral("reason"), a.reason}};
        if (!c.identity.isEmpty())
            entry[QStringLiteral("identity")] = c.identity;
        list.append(entry);
        if (!json)
            out << "Com " << c.number << "  " << device << "  " << statusText(a) << adapterText(device, present)
                << '\n';
    }
    // Present devices beyond the six numbers.
    QStringList others;
    for (const PresentDevice &d : comPorts.presentDevices())
        others << d.path;
    for (const QSerialPortInfo &p : present)
        if (!others.contains(p.systemLocation()))
            others << p.systemLocation();
    for (const QString &path : std::as_const(others)) {
        if (named.contains(path) || named.contains(QFileInfo(path).canonicalFilePath()))
            continue;
        named << QFileInfo(path).canonicalFilePath();
        const PortAccess a = portAccess(path);
        list.append(QJsonObject{{QStringLiteral("com"), QJsonValue()},
                                {QStringLiteral("device"), path},
                                {QStringLiteral("usable"), a.usable},
                                {QStringLiteral("reason"), a.reason}});
        if (!json)
            out << "-      " << path << "  " << statusText(a) << adapterText(path, present)
                << "  (no Com number: give it one in the program's Ports dialog, or use --port with its path)\n";
    }
    if (json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("ports"), list}}).toJson(QJsonDocument::Indented);
    else if (list.isEmpty())
        out << "No serial ports found.\n";
    return kDone;
}

} // namespace q5n::tool
