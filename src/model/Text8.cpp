#include "model/Text8.h"

namespace q5n {

namespace {
// Unicode code points of bytes 0x80..0x9F.
constexpr char16_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

QChar charFromByte(quint8 byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(kHighTable[byte - 0x80]);
    return QChar(char16_t(byte));
}

std::optional<quint8> byteFromChar(QChar ch)
{
    const char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<quint8>(u);
    for (int i = 0; i < 32; ++i)
        if (kHighTable[i] == u)
            return static_cast<quint8>(0x80 + i);
    return std::nullopt;
}

QString decode8(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.append(charFromByte(static_cast<quint8>(c)));
    return text;
}

QByteArray encode8(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar ch : text)
        bytes.append(static_cast<char>(byteFromChar(ch).value_or('?')));
    return bytes;
}

bool encodable8(const QString &text)
{
    for (QChar ch : text)
        if (!byteFromChar(ch))
            return false;
    return true;
}

QString dateText8(const QDate &date, const QLocale &locale)
{
    const QString text = locale.toString(date, QLocale::ShortFormat);
    if (!text.isEmpty() && encodable8(text))
        return text;
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace q5n
