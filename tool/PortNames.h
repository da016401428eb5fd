#pragma once

#include "link/ComPorts.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace q5n::tool {

// The device a --port value names: a path as it is, "com1".."com6" as the
// program resolves "Com n". Empty when "com n" has no device.
QString portDevice(const QString &value);

// 1..6 for "com1".."com6", else 0.
int comNumber(const QString &value);

// A --port value with what it names.
struct NamedPort
{
    QString port;
    PortName name;
};

// The --port values without repeats: two names of one device (com1 and its
// path, two links to one adapter) are one port, used once under its first name.
QList<NamedPort> distinctPorts(const QList<NamedPort> &ports, QTextStream &err);
QStringList distinctPorts(const QStringList &ports, QTextStream &err);

} // namespace q5n::tool
