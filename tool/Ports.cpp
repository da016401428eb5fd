#include "tool/Ports.h"

#include "link/ComPorts.h"
#include "tool/Commands.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPortInfo>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace q5n::tool {

PortAccess portAccess(const QString &device)
{
    PortAccess a;
    const QByteArray path = QFile::encodeName(device);
    struct stat st
    {
    };
    if (device.isEmpty() || ::stat(path.constData(), &st) != 0) {
        a.reason = QStringLiteral("no such device");
        return a;
    }
    a.exists = true;
    if (::access(path.constData(), R_OK | W_OK) == 0) {
        a.usable = true;
        return a;
    }
    const struct group *g = ::getgrgid(st.st_gid);
    a.reason = g ? QStringLiteral("permission denied: join the group %1 (sudo usermod -aG %1 $USER, then log in "
                                  "again)")
                       .arg(QString::fromLocal8Bit(g->gr_name))
                 : QStringLiteral("permission denied");
    return a;
}

int portsCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QStringList args = arguments;
    const bool json = args.removeAll(QStringLiteral("--json")) > 0;
    if (!args.isEmpty()) {
        err << "usage: q5ntool ports [--json]\n";
        return kUsage;
    }
    QJsonArray list;
    QStringList named;
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
            out << "Com " << n << "  " << device << "  " << (a.usable ? QStringLiteral("ready") : a.reason) << '\n';
    }
    // Present ports beyond the six the program offers.
    for (const QSerialPortInfo &p : QSerialPortInfo::availablePorts()) {
        if (named.contains(p.systemLocation()))
            continue;
        const PortAccess a = portAccess(p.systemLocation());
        list.append(QJsonObject{{QStringLiteral("com"), QJsonValue()},
                                {QStringLiteral("device"), p.systemLocation()},
                                {QStringLiteral("usable"), a.usable},
                                {QStringLiteral("reason"), a.reason}});
        if (!json)
            out << "-      " << p.systemLocation() << "  " << (a.usable ? QStringLiteral("ready") : a.reason)
                << "  (no Com number: set Q5NCFG_COM<n> to use it)\n";
    }
    if (json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("ports"), list}}).toJson(QJsonDocument::Indented);
    else if (list.isEmpty())
        out << "No serial ports found.\n";
    return kDone;
}

} // namespace q5n::tool
