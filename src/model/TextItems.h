#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace q5n {

// Line and item reading as the program's text files need it.

// Splits file bytes into lines. A line ends at CR LF, a lone CR or a lone LF;
// a last line without an end counts as a line, an empty trailing remainder
// does not.
QList<QByteArray> splitLines(const QByteArray &bytes);

// A number item as the files write it: blanks around optional sign and
// decimal digits. Returns nothing when the text is not such a number or lies
// outside [low, high].
std::optional<int> parseNumberItem(const QByteArray &item, int low, int high);

// Writes a number item: a blank (a minus sign when negative), the digits, a blank.
QByteArray numberItem(int value);

// Splits text into sequential-input items: an item ends at a comma or at the
// end of a line. Lines that hold only blanks are skipped.
QList<QByteArray> splitItems(const QByteArray &bytes);

} // namespace q5n
