#pragma once

#include "model/ConfigImage.h"

#include <QByteArray>
#include <QString>

namespace q5n {

// The decoder's download, upload and firmware-version protocol as pure
// functions over bytes and text: no port, no window, no timer.

// RS232 download frame, 90 bytes: STX, command (0x01 save in the decoder,
// 0x02 do not save), 0x54 (the length 84), the 85 image bytes, ETX and a check
// byte that makes the XOR of all 90 bytes zero.
constexpr int kDownloadFrameSize = 90;
constexpr quint8 kStx = 0x02;
constexpr quint8 kEtx = 0x03;
constexpr quint8 kCommandSave = 0x01;
constexpr quint8 kCommandNotSave = 0x02;
constexpr quint8 kDownloadLength = 0x54;
// The decoder's one-byte answer to a download it accepted.
constexpr quint8 kDownloadAccepted = 0x07;

QByteArray downloadFrame(const ConfigImage &image, bool save);

// XOR of every byte of the image.
quint8 imageCheck(const ConfigImage &image);

// Keyboard download stream, 172 characters: the hex pair of each image byte,
// then the hex pair of the XOR of the image bytes.
constexpr int kKeyboardDownloadLength = 172;
QString keyboardDownloadStream(const ConfigImage &image);

// Keyboard tokens: five times the same letter, one key code per character.
QString downloadToken(bool save); // "AAAAA" or "BBBBB"
QString uploadToken();            // "CCCCC"

// RS232 upload (and firmware version) request: STX, 0x80, ETX, check.
QByteArray uploadRequest();

// The RS232 receive threshold for an upload reply: one reply with a reader
// section is exactly this long.
constexpr int kUploadReplyThreshold = 84;
// Characters of a keyboard upload reply.
constexpr int kKeyboardReplyLength = 145;
// Characters of each part of the version text carried by every reply.
constexpr int kVersionPart1Length = 12;
constexpr int kVersionPart2Length = 10;

// A decoded upload reply.
struct UploadReply
{
    enum class Section { Decoder, Reader };

    bool valid = false;
    Section section = Section::Decoder;
    // The section bytes: 25 for the decoder section, 60 for the reader section.
    QByteArray data;
    QString versionPart1; // 12 characters
    QString versionPart2; // 10 characters

    // First byte of workingImage that `data` replaces: 0 or 25.
    int firstImageByte() const { return section == Section::Reader ? kReaderFirst : kDecoderFirst; }
};

// RS232 reply: length n, n data bytes, 12 + 10 version bytes, check byte (the
// XOR of bytes 0..n+23 is zero). n below 25 is refused (a decoder section has
// 25 bytes); n = 60 carries the reader section, any other n the decoder
// section, of which bytes 1..25 count.
// A reply shorter than its length byte asks for (n + 24 bytes) is refused.
UploadReply parseRs232UploadReply(const QByteArray &reply);

// Keyboard reply, 145 typed characters: a section flag ("1" decoder, "0"
// reader), the hex text of the section bytes and a check byte (their XOR is
// zero), and the last 22 characters hold the version text. Characters between
// the hex text and the version are ignored. Lower-case hex is accepted.
UploadReply parseKeyboardUploadReply(const QString &reply);

// Copies the reply's section into the image; an invalid reply changes nothing.
void applyUploadReply(const UploadReply &reply, ConfigImage &image);

// The text shown after a firmware-version request, the same for both
// channels: "Get Firmware Version OK!", CR CR, three blanks, the first part,
// LF CR, three blanks, the second part.
QString firmwareVersionText(const QString &part1, const QString &part2);

} // namespace q5n
