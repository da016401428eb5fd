#include "sim/DeviceProtocol.h"

#include "protocol/Hex.h"

#include <algorithm>

namespace q5n::sim {

namespace {

// Longest line the decoder keeps as one record, so that a record always fits
// the reassembly room a reader of the stream has.
constexpr int kMaxLineChars = 120;

int hexValue(QChar ch)
{
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

RequestScan complete(RequestKind kind, int size, const QString &problem)
{
    return {kind, size, problem.isEmpty(), problem};
}

} // namespace

quint8 xorOf(const QByteArray &bytes, int from, int count)
{
    const int end = count < 0 ? int(bytes.size()) : qMin(int(bytes.size()), from + count);
    quint8 x = 0;
    for (int i = qMax(0, from); i < end; ++i)
        x ^= quint8(bytes[i]);
    return x;
}

RequestScan scanRequest(const QByteArray &buffer)
{
    if (buffer.isEmpty())
        return {};
    if (quint8(buffer[0]) != kStx) {
        int next = int(buffer.indexOf(char(kStx)));
        if (next < 0)
            next = int(buffer.size());
        return {RequestKind::Garbage, next, false, QStringLiteral("bytes before STX")};
    }
    if (buffer.size() < 2)
        return {};
    const quint8 command = quint8(buffer[1]);
    switch (command) {
    case kCmdDownloadSave:
    case kCmdDownloadNoSave: {
        if (buffer.size() >= 3 && quint8(buffer[2]) != kDownloadLengthByte)
            return {RequestKind::Download, 3, false,
                    QStringLiteral("length byte 0x%1, not 0x54").arg(quint8(buffer[2]), 2, 16, QLatin1Char('0'))};
        if (buffer.size() < kDownloadFrameSize)
            return {};
        const QByteArray frame = buffer.left(kDownloadFrameSize);
        QString problem;
        if (quint8(frame[88]) != kEtx)
            problem = QStringLiteral("no ETX at offset 88");
        else if (xorOf(frame) != 0)
            problem = QStringLiteral("check byte 0x%1, expected 0x%2")
                          .arg(quint8(frame[89]), 2, 16, QLatin1Char('0'))
                          .arg(xorOf(frame, 0, 89), 2, 16, QLatin1Char('0'));
        return complete(RequestKind::Download, kDownloadFrameSize, problem);
    }
    case kCmdUpload:
    case kCmdMemoryRead:
    case kCmdMemoryClear: {
        if (buffer.size() < kRequestSize)
            return {};
        const QByteArray request = buffer.left(kRequestSize);
        QString problem;
        if (quint8(request[2]) != kEtx)
            problem = QStringLiteral("no ETX at offset 2");
        else if (xorOf(request) != 0)
            problem = QStringLiteral("check byte 0x%1, expected 0x%2")
                          .arg(quint8(request[3]), 2, 16, QLatin1Char('0'))
                          .arg(xorOf(request, 0, 3), 2, 16, QLatin1Char('0'));
        const RequestKind kind = command == kCmdUpload       ? RequestKind::Upload
                                 : command == kCmdMemoryRead ? RequestKind::MemoryRead
                                                             : RequestKind::MemoryClear;
        return complete(kind, kRequestSize, problem);
    }
    default:
        return {RequestKind::Unknown, 2, false,
                QStringLiteral("unknown command 0x%1").arg(command, 2, 16, QLatin1Char('0'))};
    }
}

ConfigImage imageFromDownloadFrame(const QByteArray &frame)
{
    ConfigImage image;
    for (int i = 0; i < kImageSize && 3 + i < frame.size(); ++i)
        image[i] = quint8(frame[3 + i]);
    return image;
}

QByteArray uploadReply(const DecoderModel &model)
{
    const bool reader = model.uploadSection == Section::Reader;
    const int first = reader ? kReaderFirst : kDecoderFirst;
    const int n = reader ? kReaderLast - kReaderFirst + 1 : kDecoderLast - kDecoderFirst + 1;
    QByteArray reply;
    reply.append(char(n));
    for (int i = 0; i < n; ++i)
        reply.append(char(model.image[first + i]));
    reply.append(model.versionPart1.leftJustified(DecoderModel::kVersionPart1Size, ' ', true));
    reply.append(model.versionPart2.leftJustified(DecoderModel::kVersionPart2Size, ' ', true));
    reply.append(char(xorOf(reply)));
    if (reply.size() < kUploadReplyMinSize)
        reply.append(QByteArray(kUploadReplyMinSize - reply.size(), '\0'));
    return reply;
}

QString keyboardUploadText(const DecoderModel &model)
{
    const bool reader = model.uploadSection == Section::Reader;
    const int first = reader ? kReaderFirst : kDecoderFirst;
    const int n = reader ? kReaderLast - kReaderFirst + 1 : kDecoderLast - kDecoderFirst + 1;
    QString text = reader ? QStringLiteral("0") : QStringLiteral("1");
    quint8 check = 0;
    for (int i = 0; i < n; ++i) {
        const quint8 b = model.image[first + i];
        check ^= b;
        text += toHexPair(b);
    }
    text += toHexPair(check);
    const QString version = model.versionText();
    text = text.leftJustified(kKeyboardUploadChars - int(version.size()), QLatin1Char('0'));
    return text + version;
}

std::optional<ConfigImage> parseKeyboardDownload(const QString &text)
{
    if (text.size() != kKeyboardDownloadChars)
        return std::nullopt;
    ConfigImage image;
    quint8 check = 0;
    for (int i = 0; i <= kImageSize; ++i) {
        const int hi = hexValue(text[2 * i]);
        const int lo = hexValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        const auto b = quint8(hi * 16 + lo);
        if (i < kImageSize) {
            image[i] = b;
            check ^= b;
        } else if (b != check) {
            return std::nullopt;
        }
    }
    return image;
}

QByteArray memoryStream(const QList<QByteArray> &lines)
{
    QByteArray stream;
    for (const QByteArray &full : lines) {
        const QByteArray line = full.left(kMaxLineChars);
        stream.append(char(line.size() + 2));
        stream.append(line);
        stream.append(char(xorOf(line)));
    }
    stream.append('\0');
    return stream;
}

namespace {

QList<QByteArray> blocksOf(const QByteArray &stream)
{
    QList<QByteArray> blocks;
    for (int at = 0; at < stream.size(); at += kMemoryBlockData) {
        QByteArray block = stream.mid(at, kMemoryBlockData);
        block.append(QByteArray(kMemoryBlockData - block.size(), '\0'));
        block.append(char(xorOf(block)));
        blocks.append(block);
    }
    return blocks;
}

} // namespace

QList<QByteArray> memoryBlocks(const QList<QByteArray> &lines)
{
    return blocksOf(memoryStream(lines));
}

int memoryFaultBlockIndex(int faultBlock, int count)
{
    return qBound(0, faultBlock, qMax(0, count - 1));
}

QList<QByteArray> memoryBlocks(const QList<QByteArray> &lines, MemoryFault fault, int faultBlock)
{
    QByteArray stream = memoryStream(lines);
    if (fault == MemoryFault::OverLong) {
        // A record of 255 bytes with a good check: it cannot end within the
        // room a reader has, however it is aligned.
        stream.chop(1);
        const QByteArray chars(253, 'X');
        stream.append(char(0xFF));
        stream.append(chars);
        stream.append(char(xorOf(chars)));
        stream.append('\0');
    }
    QList<QByteArray> blocks = blocksOf(stream);
    if (fault == MemoryFault::BadCheck && !blocks.isEmpty()) {
        QByteArray &block = blocks[memoryFaultBlockIndex(faultBlock, int(blocks.size()))];
        block[kMemoryBlockSize - 1] = char(quint8(block[kMemoryBlockSize - 1]) ^ 0x5A);
    }
    return blocks;
}

QByteArray heardAtRate(const QByteArray &bytes, int sentBaud, int heardBaud)
{
    if (sentBaud <= 0 || heardBaud <= 0 || sentBaud == heardBaud)
        return bytes;
    // The line level bit by bit as sent: start (low), 8 data bits from the lowest, stop (high).
    QList<bool> bits;
    for (const char c : bytes) {
        bits.append(false);
        for (int i = 0; i < 8; ++i)
            bits.append((quint8(c) >> i) & 1);
        bits.append(true);
    }
    // Time in units of 1 / (2 * sentBaud * heardBaud) s: a sent bit lasts
    // 2 * heardBaud of them, a heard bit 2 * sentBaud, its middle sentBaud.
    const qint64 sentBit = 2LL * heardBaud;
    const qint64 heardHalfBit = sentBaud;
    const qint64 count = bits.size();
    const auto levelAt = [&](qint64 t) { return t / sentBit >= count || bits[t / sentBit]; };
    QByteArray heard;
    qint64 t = 0;
    for (;;) {
        qint64 i = t / sentBit;
        while (i < count && bits[i])
            ++i;
        if (i >= count)
            break;
        const qint64 start = std::max(t, i * sentBit);
        quint8 byte = 0;
        for (int k = 0; k < 8; ++k)
            if (levelAt(start + (2 * k + 3) * heardHalfBit))
                byte |= quint8(1 << k);
        heard.append(char(byte));
        t = start + 19 * heardHalfBit; // the middle of the stop bit
    }
    return heard;
}

} // namespace q5n::sim
