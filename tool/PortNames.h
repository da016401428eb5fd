#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace q5n::tool {

// The device a --port value names: a path as it is, "com1".."com6" as the
// program resolves "Com n". Empty when "com n" has no device.
QString portDevice(const QString &value);

// 1..6 for "com1".."com6", else 0.
int comNumber(const QString &value);

// The --port values without repeats: two names of one device (com1 and its
// path, two links to one adapter) are one port, used once under its first name.
QStringList distinctPorts(const QStringList &ports, QTextStream &err);

} // namespace q5n::tool
