#pragma once

#include <QString>

namespace q5n {

class Prompter;
class SerialPort;
struct LinkSettings;

// "COM", the port number with a leading blank (none before a minus sign), and
// ": not available." -- the message of a port that cannot be opened.
QString portNotAvailableText(int portNumber);

// Opens the serial port for one RS232 exchange: settings text from the link
// settings, any open port closed first, output discarded, port number set,
// then opened. When that fails the user sees "COM n: not available." (the
// program's own title, OK only, no icon; the reason in the detailed text) and
// the port stays closed. True when the port is open.
bool openLinkPort(SerialPort &port, const LinkSettings &settings, Prompter &prompter);

} // namespace q5n
