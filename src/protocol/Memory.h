#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

namespace q5n {

// The decoder's memory protocol as pure code: the read and clear requests,
// the reassembly of the stored lines from the 65-byte blocks of a read, the
// texts shown for it, and the bytes of a memory data file.

// RS232 requests: STX, command, ETX, check (XOR of the first three).
QByteArray memoryReadRequest();  // 02 82 03 83
QByteArray memoryClearRequest(); // 02 83 03 82
// Keyboard tokens of the memory window.
QString memoryReadToken();  // "MMMMM"
QString memoryClearToken(); // "NNNNN"

// The decoder's one-byte answer to a clear it carried out.
constexpr quint8 kMemoryCleared = 0x07;

// A read block: 64 stream bytes and a check byte that makes the XOR of all 65 zero.
constexpr int kMemoryBlockData = 64;
constexpr int kMemoryBlockSize = 65;
// A read asks for at most this many blocks.
constexpr int kMemoryMaxBlocks = 31;
// Room for the stream bytes of records not yet complete.
constexpr int kMemoryBufferSize = 251;
// A keyboard read ends once the typed text is longer than this.
constexpr int kKeyboardMemoryLimit = 3000;
// The character that ends a keyboard read.
constexpr char16_t kKeyboardMemoryEnd = 3;

// What a read block brought, and the program's one-character answer to it.
enum class MemoryBlockResult {
    Taken, // block taken, the next one is awaited: answer "S"
    End,   // the end mark was seen: answer "P"
    Bad,   // bad check, short block, or a record too long for the buffer: answer "E"
};
char memoryBlockAnswer(MemoryBlockResult result);

struct MemoryBlockOutcome
{
    MemoryBlockResult result = MemoryBlockResult::Bad;
    // The lines completed by this block, each as its stored bytes; a record
    // that is too short or fails its check gives an empty line.
    QList<QByteArray> lines;
};

// Reassembles the records of a memory read. Each record is a length byte L
// (counting itself and the check byte), L-2 characters and a check byte that
// makes the characters XOR to zero; a length byte 0 where a record would
// start ends the data. A record is taken only when at least one byte after it
// has arrived, so a record that ends exactly with a block waits for the next.
// The buffer never grows beyond its 251 bytes: a record that would need more
// ends the read as a bad block, keeping the lines completed so far.
class MemoryReassembler
{
public:
    // Starts a new read: the buffer is empty.
    void reset() { m_fill = 0; }
    // Takes the bytes received for one block.
    MemoryBlockOutcome takeBlock(const QByteArray &block);
    int fill() const { return m_fill; }

private:
    std::array<quint8, kMemoryBufferSize> m_buffer{};
    int m_fill = 0;
};

// The lines as the memory window shows them: each line's bytes as 8-bit
// characters, CR LF after each.
QString memoryLinesText(const QList<QByteArray> &lines);

// How the memory window's text box shows one stored line: each byte as the
// character of that code, except that a carriage return or a line feed inside
// the line is shown as its control picture (U+240D, U+240A). A text box would
// break the line there, and the line would no longer be one byte per
// character; no byte of the 8-bit set maps to a picture, so the box's text
// turns back into the bytes exactly (memoryTextFromShown).
QString memoryLineShown(const QByteArray &line);
// The box's text with every control picture turned back into its byte.
QString memoryTextFromShown(QString shown);

// Message texts of a read, by its outcome (no answer at all is a time-out).
QString memoryReadOkText(); // "   Read Decoder Memory OK!" and two carriage returns

// A memory data file: the whole text, one byte per character, then CR LF.
QByteArray memoryDataFileBytes(const QString &text);

} // namespace q5n
