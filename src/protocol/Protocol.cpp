#include "protocol/Protocol.h"

#include "model/Text8.h"
#include "protocol/Hex.h"

namespace q5n {

namespace {

constexpr int kReaderReplyLength = 60;
constexpr int kDecoderSectionSize = kDecoderLast - kDecoderFirst + 1; // 25
constexpr int kReaderSectionSize = kReaderLast - kReaderFirst + 1;    // 60
// Bytes of an RS232 reply around its n data bytes: length, 22 version, check.
constexpr int kReplyOverhead = 1 + kVersionPart1Length + kVersionPart2Length + 1;

quint8 xorOf(const QByteArray &bytes, int first, int count)
{
    quint8 x = 0;
    for (int i = first; i < first + count; ++i)
        x ^= static_cast<quint8>(bytes[i]);
    return x;
}

} // namespace

quint8 imageCheck(const ConfigImage &image)
{
    quint8 x = 0;
    for (quint8 b : image.bytes)
        x ^= b;
    return x;
}

QByteArray downloadFrame(const ConfigImage &image, bool save)
{
    QByteArray frame;
    frame.reserve(kDownloadFrameSize);
    frame.append(char(kStx));
    frame.append(char(save ? kCommandSave : kCommandNotSave));
    frame.append(char(kDownloadLength));
    for (quint8 b : image.bytes)
        frame.append(char(b));
    frame.append(char(kEtx));
    frame.append(char(xorOf(frame, 0, int(frame.size()))));
    return frame;
}

QString keyboardDownloadStream(const ConfigImage &image)
{
    QString text;
    text.reserve(kKeyboardDownloadLength);
    for (quint8 b : image.bytes)
        text += toHexPair(b);
    text += toHexPair(imageCheck(image));
    return text;
}

QString downloadToken(bool save)
{
    return save ? QStringLiteral("AAAAA") : QStringLiteral("BBBBB");
}

QString uploadToken()
{
    return QStringLiteral("CCCCC");
}

QByteArray uploadRequest()
{
    const char request[] = {char(kStx), char(0x80), char(kEtx), char(kStx ^ 0x80 ^ kEtx)};
    return QByteArray(request, sizeof request);
}

UploadReply parseRs232UploadReply(const QByteArray &reply)
{
    UploadReply r;
    if (reply.isEmpty())
        return r;
    const int n = static_cast<quint8>(reply[0]);
    // A decoder section needs its 25 bytes: a shorter length byte would take
    // version or check bytes as settings.
    if (n < kDecoderSectionSize)
        return r;
    // The length byte may promise more than arrived: nothing to check against.
    if (reply.size() < n + kReplyOverhead)
        return r;
    if (xorOf(reply, 0, n + kReplyOverhead) != 0)
        return r;

    if (n == kReaderReplyLength) {
        r.section = UploadReply::Section::Reader;
        r.data = reply.mid(1, kReaderSectionSize);
    } else {
        r.section = UploadReply::Section::Decoder;
        r.data = reply.mid(1, kDecoderSectionSize);
    }
    r.versionPart1 = decode8(reply.mid(n + 1, kVersionPart1Length));
    r.versionPart2 = decode8(reply.mid(n + 1 + kVersionPart1Length, kVersionPart2Length));
    r.valid = true;
    return r;
}

UploadReply parseKeyboardUploadReply(const QString &reply)
{
    UploadReply r;
    if (reply.size() != kKeyboardReplyLength)
        return r;
    const QChar flag = reply[0];
    if (flag != u'0' && flag != u'1')
        return r;
    const bool reader = flag == u'0';
    const int m = reader ? kReaderSectionSize : kDecoderSectionSize;
    const QStringView hex = QStringView(reply).mid(1);

    QByteArray bytes;
    bytes.reserve(m + 1);
    quint8 check = 0;
    for (int i = 0; i <= m; ++i) {
        const int high = hexDigitValue(hex[2 * i]);
        const int low = hexDigitValue(hex[2 * i + 1]);
        if (high > 15 || low > 15)
            return r;
        const auto byte = static_cast<quint8>(high * 16 + low);
        check ^= byte;
        bytes.append(char(byte));
    }
    if (check != 0)
        return r;

    r.section = reader ? UploadReply::Section::Reader : UploadReply::Section::Decoder;
    r.data = bytes.left(m);
    const int versionStart = kKeyboardReplyLength - kVersionPart1Length - kVersionPart2Length;
    r.versionPart1 = reply.mid(versionStart, kVersionPart1Length);
    r.versionPart2 = reply.right(kVersionPart2Length);
    r.valid = true;
    return r;
}

void applyUploadReply(const UploadReply &reply, ConfigImage &image)
{
    if (!reply.valid)
        return;
    const int first = reply.firstImageByte();
    for (int i = 0; i < reply.data.size() && ConfigImage::validIndex(first + i); ++i)
        image[first + i] = static_cast<quint8>(reply.data[i]);
}

QString firmwareVersionText(const QString &part1, const QString &part2)
{
    return QStringLiteral("Get Firmware Version OK!\r\r   ") + part1 + QStringLiteral("\n\r   ") + part2;
}

} // namespace q5n
