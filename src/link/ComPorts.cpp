#include "link/ComPorts.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace q5n {

QString comDevicePath(int n)
{
    if (n < 1 || n > kComPortCount)
        return {};
    const QByteArray var = "Q5NCFG_COM" + QByteArray::number(n);
    if (qEnvironmentVariableIsSet(var.constData()))
        return qEnvironmentVariable(var.constData());

    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    auto rank = [](const QSerialPortInfo &p) {
        const QString name = p.portName();
        return (name.startsWith(u"ttyUSB") || name.startsWith(u"ttyACM")) ? 0 : 1;
    };
    std::sort(ports.begin(), ports.end(), [&](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        return a.portName() < b.portName();
    });
    if (n > ports.size())
        return {};
    return ports[n - 1].systemLocation();
}

} // namespace q5n
