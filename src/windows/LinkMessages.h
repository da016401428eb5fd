#pragma once

#include "link/LinkExchange.h"

#include <QString>

namespace q5n {

class Prompter;

// The exchanges a window runs with the decoder, each with its own texts.
enum class ExchangeKind {
    Download,        // "Download to Decoder"
    Upload,          // "Upload To PC": the section is copied
    FirmwareVersion, // "Get Firmware Version": the upload, the version text shown
    ReadMemory,      // "Read Memory"
    ClearMemory,     // "Clear Memory"
    CompareUpload,   // "Compare with Decoder": the upload, its good result opens the comparison
};

// A message box of an exchange's result: its title and text; an empty text
// shows nothing.
struct LinkMessage
{
    QString title;
    QString text;
};

// The message of `result` of an exchange of `kind` on RS232 (`rs232`) or the
// keyboard line, from the one table of the link texts. Nothing for Aborted,
// nor for PortUnavailable (reportPortUnavailable says that). A good
// firmware-version request reads its text from `link`'s reply.
LinkMessage resultMessage(ExchangeKind kind, LinkResult result, bool rs232, const LinkExchange &link);

// The line that tells what a running exchange waits for and how long it still
// waits (`msLeft` < 0: no time-out); empty while it waits for nothing.
QString waitingLineText(LinkExchange::Waiting what, int msLeft, int portNumber);

// "COM", the port number with a leading blank (none before a minus sign), and
// ": not available." -- the message of a port that cannot be opened.
QString portNotAvailableText(int portNumber);

// Tells the user that the serial port of an exchange cannot be opened:
// "COM n: not available." (the program's own title, OK only, no icon), with
// the link's reason in the detailed text.
void reportPortUnavailable(Prompter &prompter, int portNumber, const QString &reason);

} // namespace q5n
