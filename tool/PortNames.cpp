#include "tool/PortNames.h"

#include "link/ComPorts.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <map>

namespace q5n::tool {

int comNumber(const QString &value)
{
    static const QRegularExpression com(QStringLiteral("^com([1-6])$"), QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(value);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QList<NamedPort> distinctPorts(const QList<NamedPort> &ports, QTextStream &err)
{
    QList<NamedPort> kept;
    std::map<QString, QString> firstName; // device -> the name that came first
    for (const NamedPort &named : ports) {
        const QString &device = named.name.device;
        const QString canonical = QFileInfo(device).canonicalFilePath();
        const QString key = canonical.isEmpty() ? device : canonical;
        if (key.isEmpty()) {
            kept << named;
            continue;
        }
        const auto [at, inserted] = firstName.emplace(key, named.port);
        if (inserted)
            kept << named;
        else
            err << "q5ntool: " << named.port << " and " << at->second << " name one device (" << key
                << "); it is used once, as " << at->second << '\n';
    }
    return kept;
}

QStringList distinctPorts(const QStringList &ports, QTextStream &err)
{
    QList<NamedPort> named;
    for (const QString &port : ports)
        named.append({port, resolvePortName(port)});
    QStringList kept;
    for (const NamedPort &n : distinctPorts(named, err))
        kept << n.port;
    return kept;
}

QString portDevice(const QString &value)
{
    return resolvePortName(value).device;
}

} // namespace q5n::tool
