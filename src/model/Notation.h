#pragma once

#include "model/ConfigImage.h"

#include <QString>

#include <optional>

namespace q5n {

// The brace notation of insertion fields: a control code 0..31 shows as its
// ASCII name in braces ({CR} for 13); 255 ends a field's content.

// The 32 names in three-character cells ("BS " for 8), code order.
inline const QString kMnemonicTable =
    QStringLiteral("NULSOHSTXETXEOTENQACKBELBS HT LF VT FF CR SO SI DLEDC1DC2DC3DC4NAKSYNETBCANEM SUBESCFS GS RS US ");

// The name of control code 0..31 without the trailing blank ("CR"); empty otherwise.
QString controlName(int code);
// The code of a name, matched without regard to case; a two-letter name may
// carry its blank ("cr", "CR "). Nothing when it is not a name.
std::optional<int> controlCode(const QString &name);

// The text that shows `count` bytes of `image` from `first` on.
QString insertionToText(const ConfigImage &image, int first, int count);
// Stores a box's text into `count` bytes from `first` on; bytes after the
// content become 255. Characters beyond the field are ignored; a character
// with no byte in the 8-bit set is skipped; the character of byte 255 ends the
// content, so the field always holds its content followed by 255s only.
void textToInsertion(ConfigImage &image, const QString &text, int first, int count);

} // namespace q5n
