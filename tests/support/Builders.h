#pragma once

// Builders of test data shared by the tests of every layer (QtCore only).

#include "model/ConfigImage.h"

#include <QByteArray>

namespace q5n::test {

// An image whose every byte differs from its neighbours: byte i holds
// i * step + seed (modulo 256).
inline ConfigImage patternImage(int seed = 11, int step = 37)
{
    ConfigImage image;
    for (int i = 0; i < kImageSize; ++i)
        image[i] = static_cast<quint8>((i * step + seed) & 0xFF);
    return image;
}

// An RS232 upload reply as a decoder sends it: the length byte n, n data
// bytes (zero-filled when `data` is short), the 22-byte version text (filled
// with blanks, cut when longer), the XOR check of all of them, then `pad`
// bytes up to `total` bytes. `badCheck` sends a wrong check byte.
inline QByteArray rs232Reply(int n, const QByteArray &data, const QByteArray &version22, int total = 0,
                             bool badCheck = false, char pad = '\0')
{
    QByteArray r(1, char(n));
    r += data.left(n).leftJustified(n, '\0');
    r += version22.leftJustified(22, ' ', true);
    quint8 x = 0;
    for (char c : r)
        x ^= quint8(c);
    r.append(char(badCheck ? x ^ 0x01 : x));
    if (r.size() < total)
        r += QByteArray(total - r.size(), pad);
    return r;
}

} // namespace q5n::test
