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
    // Only 0-9, A-F and a-f are digits. The arithmetic below (fold lower case
    // down by 32, then digits by 48, then letters by 7) would also give values
    // up to 15 to ':' .. '@' and to the control codes; those, like every other
    // character, get a value above 15.
    const char16_t u = ch.unicode();
    const bool digit = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
    int c = u;
    if (c > 255)
        return 255;
    if (c > 96)
        c -= 32;
    if (c > 47)
        c -= 48;
    if (c > 10)
        c -= 7;
    c &= 0xFF;
    return digit || c > 15 ? c : 255;
}

} // namespace q5n
