#include "protocol/Memory.h"

#include "model/Text8.h"

#include <cstring>

namespace q5n {

namespace {

// The control pictures the memory box shows for CR and LF inside a line.
constexpr char16_t kShownCr = 0x240D;
constexpr char16_t kShownLf = 0x240A;

QByteArray request(quint8 command)
{
    QByteArray r;
    r.append(char(0x02));
    r.append(char(command));
    r.append(char(0x03));
    r.append(char(0x02 ^ command ^ 0x03));
    return r;
}

} // namespace

QByteArray memoryReadRequest()
{
    return request(0x82);
}

QByteArray memoryClearRequest()
{
    return request(0x83);
}

QString memoryReadToken()
{
    return QStringLiteral("MMMMM");
}

QString memoryClearToken()
{
    return QStringLiteral("NNNNN");
}

char memoryBlockAnswer(MemoryBlockResult result)
{
    switch (result) {
    case MemoryBlockResult::Taken: return 'S';
    case MemoryBlockResult::End: return 'P';
    case MemoryBlockResult::Bad: return 'E';
    }
    return 'E';
}

MemoryBlockOutcome MemoryReassembler::takeBlock(const QByteArray &block)
{
    MemoryBlockOutcome out;
    if (block.size() < kMemoryBlockSize)
        return out; // Bad: a block is always 65 bytes
    quint8 check = 0;
    for (int i = 0; i < kMemoryBlockSize; ++i)
        check ^= quint8(block[i]);
    if (check != 0)
        return out;
    // A record that has not ended within the room left would overrun the
    // buffer: the read fails instead.
    if (m_fill + kMemoryBlockData > kMemoryBufferSize)
        return out;
    std::memcpy(m_buffer.data() + m_fill, block.constData(), kMemoryBlockData);
    m_fill += kMemoryBlockData;

    int length = m_buffer[0];
    if (length == 0) {
        // The end mark stands where the next record would start.
        out.result = MemoryBlockResult::End;
        return out;
    }
    while (length < m_fill) {
        quint8 sum = 1;
        if (length >= 4) {
            sum = 0;
            for (int i = 1; i < length; ++i)
                sum ^= m_buffer[size_t(i)];
        }
        if (sum != 0)
            out.lines.append(QByteArray());
        else
            out.lines.append(QByteArray(reinterpret_cast<const char *>(m_buffer.data()) + 1, length - 2));
        std::memmove(m_buffer.data(), m_buffer.data() + length, size_t(m_fill - length));
        m_fill -= length;
        length = m_buffer[0];
        if (length == 0) {
            out.result = MemoryBlockResult::End;
            return out;
        }
    }
    out.result = MemoryBlockResult::Taken;
    return out;
}

QString memoryLinesText(const QList<QByteArray> &lines)
{
    QString text;
    for (const QByteArray &line : lines)
        text += decode8(line) + QStringLiteral("\r\n");
    return text;
}

QString memoryLineShown(const QByteArray &line)
{
    QString text = decode8(line);
    text.replace(u'\r', QChar(kShownCr));
    text.replace(u'\n', QChar(kShownLf));
    return text;
}

QString memoryTextFromShown(QString shown)
{
    shown.replace(QChar(kShownCr), u'\r');
    shown.replace(QChar(kShownLf), u'\n');
    return shown;
}

QString memoryReadOkText()
{
    return QStringLiteral("   Read Decoder Memory OK!\r\r");
}

QByteArray memoryDataFileBytes(const QString &text)
{
    return encode8(text) + QByteArrayLiteral("\r\n");
}

} // namespace q5n
