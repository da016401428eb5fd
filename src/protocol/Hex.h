#pragma once

#include <QChar>
#include <QString>

namespace q5n {

// Hexadecimal text coding of the keyboard-port channel.

// High then low nibble, upper case: 171 -> "AB".
QString toHexPair(quint8 byte);

// The value of a typed hex digit: lower case is accepted; any result above 15
// means the character is not a hex digit ('G' -> 16, ' ' -> 25).
int hexDigitValue(QChar ch);

} // namespace q5n
