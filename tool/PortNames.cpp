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

QStringList distinctPorts(const QStringList &ports, QTextStream &err)
{
    QStringList kept;
    std::map<QString, QString> firstName; // device -> the name that came first
    for (const QString &port : ports) {
        const QString device = portDevice(port);
        const QString canonical = QFileInfo(device).canonicalFilePath();
        const QString key = canonical.isEmpty() ? device : canonical;
        if (key.isEmpty()) {
            kept << port;
            continue;
        }
        const auto [at, inserted] = firstName.emplace(key, port);
        if (inserted)
            kept << port;
        else
            err << "q5ntool: " << port << " and " << at->second << " name one device (" << key
                << "); it is used once, as " << at->second << '\n';
    }
    return kept;
}

QString portDevice(const QString &value)
{
    return resolvePortName(value).device;
}

} // namespace q5n::tool
