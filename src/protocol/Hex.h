#pragma once

#include <QChar>
#include <QString>

namespace q5n {

// Hexadecimal text coding of the keyboard-port channel.

// High then low nibble, upper case: 171 -> "AB".
QString toHexPair(quint8 byte);

// The value of a typed hex digit (0-9, A-F, a-f); any other character gives a
// result above 15 ('G' -> 16, ' ' -> 25, ':' -> 255).
int hexDigitValue(QChar ch);

} // namespace q5n
