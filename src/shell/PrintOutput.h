#pragma once

#include <QString>

class QPrinter;
class QTextDocument;

namespace q5n {

// Prints `document` on `printer`. Output to a file (Print to File, PDF) is
// first rendered into a folder of the user's alone and then saved through
// writeFileAtomically, as every other file of the program is: a link put at
// the chosen name is not followed (another user's is refused), another user's
// file there is not written, and nobody else can read the output before it has
// its final permissions. Returns an empty string on success, else the reason.
QString printDocument(const QTextDocument &document, QPrinter &printer);

} // namespace q5n
