#include "protocol/Hex.h"

namespace q5n {

QString toHexPair(quint8 byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char pair[2] = {kDigits[byte >> 4], kDigits[byte & 0x0F]};
    return QString::fromLatin1(pair, 2);
}

int hexDigitValue(QChar ch)
{
    // The decoder's own rule, kept as it is: fold lower case down by 32, then
    // digits by 48, then letters by 7. Codes above 255 are never digits.
    int c = ch.unicode();
    if (c > 255)
        return 255;
    if (c > 96)
        c -= 32;
    if (c > 47)
        c -= 48;
    if (c > 10)
        c -= 7;
    return c & 0xFF;
}

} // namespace q5n
