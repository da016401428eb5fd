#pragma once

#include <QString>

namespace q5n {

class Prompter;

// "COM", the port number with a leading blank (none before a minus sign), and
// ": not available." -- the message of a port that cannot be opened.
QString portNotAvailableText(int portNumber);

// Tells the user that the serial port of an exchange cannot be opened:
// "COM n: not available." (the program's own title, OK only, no icon), with
// the system's reason in the detailed text.
void reportPortUnavailable(Prompter &prompter, int portNumber, const QString &reason);

} // namespace q5n
