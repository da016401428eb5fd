#pragma once

#include <QString>

namespace q5n {

// Whether a character would act on a terminal instead of showing: the C0
// controls, DEL and the C1 controls (U+0080..U+009F, which bytes of the 8-bit
// set that it leaves undefined decode to).
bool isTerminalControl(QChar ch);

// Text from a decoder or a file as it may be shown on a terminal: a C0 control
// or DEL as its name in angle brackets ("<ESC>", "<DEL>"), a C1 control as
// \xNN; every other character as it is.
QString terminalText(const QString &text);

// The same for text of several lines: each LF stays a line end.
QString terminalLines(const QString &text);

} // namespace q5n
