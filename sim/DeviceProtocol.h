#pragma once

#include "model/ConfigImage.h"
#include "sim/DecoderModel.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The decoder's side of both protocols as bytes and text, with no port and no
// timer: how it checks what it receives and what it sends back.
namespace q5n::sim {

constexpr quint8 kStx = 0x02;
constexpr quint8 kEtx = 0x03;
constexpr quint8 kAck = 0x07;    // request carried out
constexpr quint8 kRefuse = 0x15; // request refused (any byte but 0x07 is a refusal)
constexpr quint8 kCmdDownloadSave = 0x01;
constexpr quint8 kCmdDownloadNoSave = 0x02;
constexpr quint8 kCmdUpload = 0x80;
constexpr quint8 kCmdMemoryRead = 0x82;
constexpr quint8 kCmdMemoryClear = 0x83;
constexpr int kDownloadFrameSize = 90;
constexpr quint8 kDownloadLengthByte = 0x54;
constexpr int kRequestSize = 4;
constexpr int kUploadReplyMinSize = 84; // a decoder-section reply is padded to this
constexpr int kMemoryBlockData = 64;
constexpr int kMemoryBlockSize = 65;
constexpr int kKeyboardDownloadChars = 172;
constexpr int kKeyboardUploadChars = 145;

quint8 xorOf(const QByteArray &bytes, int from = 0, int count = -1);

// What the head of a receive buffer holds.
enum class RequestKind { Incomplete, Download, Upload, MemoryRead, MemoryClear, Unknown, Garbage };

struct RequestScan
{
    RequestKind kind = RequestKind::Incomplete;
    int size = 0;       // bytes the request takes (or garbage to drop)
    bool valid = false; // for complete requests: every check passed
    QString problem;    // why it is not valid, for the log
};

// Looks at the start of `buffer`: a leading byte other than STX is garbage (up
// to the next STX); a command byte names the request and its size; a complete
// request is checked; an unknown command byte is refused at once (STX, command, length byte 0x54 of a download, ETX, check
// byte). A download frame whose length byte is wrong is reported as soon as
// that byte is there.
RequestScan scanRequest(const QByteArray &buffer);

// The image carried by a checked download frame.
ConfigImage imageFromDownloadFrame(const QByteArray &frame);

// The reply to an upload request: n, the section, the 12 + 10 version bytes and
// the check byte; a decoder-section reply is padded with zero bytes to 84.
QByteArray uploadReply(const DecoderModel &model);

// The 145 characters typed in answer to "CCCCC": the section flag, the hex text
// of the section and its check byte, filler "0"s, then the 22 version characters.
QString keyboardUploadText(const DecoderModel &model);

// The 172 hex characters of a keyboard download: the image, or nothing when a
// character is not a hex digit or the check pair does not match the data.
std::optional<ConfigImage> parseKeyboardDownload(const QString &text);

// What a receiver at `heardBaud` makes of `bytes` sent at `sentBaud` (8 data
// bits, no parity, 1 stop bit, sent back to back): it takes a low line for a
// start bit, samples each bit in its middle and keeps every byte, stop bit or
// not. The same rate hears the bytes as sent.
QByteArray heardAtRate(const QByteArray &bytes, int sentBaud, int heardBaud);

// The memory stream: one record per line (length, characters, check byte) and
// a zero length byte at the end; lines longer than a record can hold are cut.
QByteArray memoryStream(const QList<QByteArray> &lines);
// The stream cut into 65-byte blocks (64 stream bytes, zero padded, and a check byte).
QList<QByteArray> memoryBlocks(const QList<QByteArray> &lines);
// The blocks of a read that goes wrong: `fault` hits block `faultBlock` (the
// last block when there are fewer); an over-long record follows the lines.
QList<QByteArray> memoryBlocks(const QList<QByteArray> &lines, MemoryFault fault, int faultBlock);
// The block a memory fault hits among `count` blocks.
int memoryFaultBlockIndex(int faultBlock, int count);

} // namespace q5n::sim
