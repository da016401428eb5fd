#pragma once

#include "model/ConfigImage.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace q5n::sim {

// Which section the decoder sends when asked for its configuration.
enum class Section { Decoder, Reader };

// Misbehaviour on request, for testing how the program copes.
enum class Fault {
    None,
    Silent,     // answers nothing at all
    Refuse,     // refuses every request (RS232: byte 0x15; keyboard: "E" / an invalid reply flag)
    BadCheck,   // replies carry a wrong check byte
    ShortReply, // replies stop early (and stay short)
    HangUp,     // RS232: hangs up in the middle of a reply; keyboard: like ShortReply
    // RS232 only (the keyboard line answers as without a fault):
    Remove,    // the device goes away as a request arrives, as an unplugged adapter does
    Flood,     // answers a request with 1 MB of garbage as fast as the line takes it
    Drip,      // answers one byte every 50 ms
    OtherRate, // answers at a quarter of its line's baud rate: the program hears garbage
};

// Every fault, None first, in the order of their names.
QList<Fault> allFaults();

// A fault in one block of an RS232 memory read.
enum class MemoryFault {
    None,
    BadCheck, // the block carries a wrong check byte
    Silent,   // the block is never sent
    HangUp,   // the line hangs up halfway through the block
    OverLong, // after the stored lines comes a record longer than a reader can buffer
};

QString faultName(Fault fault);
QString memoryFaultName(MemoryFault fault);
std::optional<MemoryFault> memoryFaultFromName(const QString &name);
std::optional<Fault> faultFromName(const QString &name);
QString sectionName(Section section);
std::optional<Section> sectionFromName(const QString &name);

// What the decoder holds: its configuration image, firmware version text, the
// data lines in its memory, and how it is set to behave.
struct DecoderModel
{
    static constexpr int kVersionPart1Size = 12;
    static constexpr int kVersionPart2Size = 10;

    DecoderModel();

    ConfigImage image;
    QByteArray versionPart1; // exactly 12 bytes
    QByteArray versionPart2; // exactly 10 bytes
    Section uploadSection = Section::Decoder;
    Fault fault = Fault::None;
    QList<QByteArray> memoryLines;
    MemoryFault memoryFault = MemoryFault::None;
    int memoryFaultBlock = 0; // the block (from 0) that the fault hits; past the end: the last block

    // Counters and the last command seen, for tests and the log.
    int downloadsAccepted = 0;
    int downloadsRefused = 0;
    int lastDownloadCommand = 0; // 1 "Save", 2 "Not Save" (keyboard: 'A' -> 1, 'B' -> 2)
    int uploadsServed = 0;
    int memoryReads = 0;
    int memoryClears = 0;

    // Sets the version from one text: the first 12 characters, then the next
    // 10, padded with blanks (8-bit text; characters without a byte become '?').
    void setVersionText(const QString &text);
    QString versionText() const; // the 22 characters
};

} // namespace q5n::sim
