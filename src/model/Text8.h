#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

namespace q5n {

// 8-bit text as the decoder and the files hold it: Windows-1252, with the five
// bytes that code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) mapped to
// the C1 code points of the same number, so every byte 0..255 round-trips.
QChar charFromByte(quint8 byte);
// The byte of a character, or nothing when the character has no byte in the set.
std::optional<quint8> byteFromChar(QChar ch);

QString decode8(const QByteArray &bytes);
// Characters with no byte are replaced by '?' (writers refuse them earlier, at input).
QByteArray encode8(const QString &text);
// True when every character of the text has a byte in the set.
bool encodable8(const QString &text);

// A date as text the files can hold: the locale's short date when every
// character of it has a byte in the set, else the numeric form yyyy-MM-dd
// (the digits and separators of some scripts have no byte and would be
// written as '?').
QString dateText8(const QDate &date, const QLocale &locale);

} // namespace q5n
