#pragma once

// Images and decoder replies built the way a decoder builds them, shared by
// the tests of every layer (formats only).

#include "model/ConfigImage.h"
#include "protocol/Hex.h"

#include <QByteArray>
#include <QString>

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

// `count` bytes of `image` from `first`.
inline QByteArray imageBytes(const ConfigImage &image, int first, int count)
{
    QByteArray b;
    for (int i = first; i < first + count; ++i)
        b.append(char(image[i]));
    return b;
}

inline QByteArray bytesFrom(int count, int seed, int step = 13)
{
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b.append(char((i * step + seed) & 0xFF));
    return b;
}

// An RS232 upload reply: n, the data (cut or padded with zeros to n bytes),
// the two version parts (12 and 10 characters), the check byte (broken on
// request), then padding up to `total` bytes (0 = none).
inline QByteArray makeRs232Reply(int n, const QByteArray &data, const QByteArray &v1, const QByteArray &v2,
                                 int total = 0, bool breakCheck = false)
{
    QByteArray r;
    r.append(char(n));
    r.append(data.left(n).leftJustified(n, '\0'));
    r.append(v1.leftJustified(12, ' ', true));
    r.append(v2.leftJustified(10, ' ', true));
    quint8 x = 0;
    for (char c : r)
        x ^= static_cast<quint8>(c);
    r.append(char(breakCheck ? x ^ 0x01 : x));
    if (total > r.size())
        r.append(QByteArray(total - r.size(), '\x5A'));
    return r;
}

// A keyboard upload reply: the section flag, the hex text of the data and of
// their check byte, any filler, and the 22 version characters.
inline QString makeKeyboardReply(QChar flag, const QByteArray &data, const QString &filler, const QString &version22,
                                 bool lowerCase = false, bool breakCheck = false)
{
    QString hex;
    quint8 x = 0;
    for (char c : data) {
        x ^= static_cast<quint8>(c);
        hex += toHexPair(static_cast<quint8>(c));
    }
    hex += toHexPair(breakCheck ? x ^ 0x80 : x);
    if (lowerCase)
        hex = hex.toLower();
    return QString(flag) + hex + filler + version22;
}

} // namespace q5n::test
