#pragma once

#include "model/ConfigImage.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace q5n {

class ProgramState;
struct Paths;

inline const QByteArray kDefaultsMarker = QByteArrayLiteral("Q5N_Defaults");
inline const QString kDefaultsFileName = QStringLiteral("defaults");
// The marker and the 85 values: the reader takes no more lines than these.
constexpr int kDefaultsFileLines = 86;

// Factory values of the decoder section (0..24) and the reader section (25..84).
void fillDecoderFactory(ConfigImage &image);
void fillReaderFactory(ConfigImage &image);
ConfigImage factoryImage();

// The defaults file: the marker line, then bytes 0..84 as number items, CR LF
// after every line.
QByteArray defaultsFileBytes(const ConfigImage &image);
// All 85 values or nothing: a wrong marker, fewer than 85 values, or a value
// that is not a number in 0..255 gives nothing. Values after the 85th are
// ignored, and so is everything after the 86th line; a line longer than
// kMaxLineLength makes the file unusable.
std::optional<ConfigImage> parseDefaultsFile(const QByteArray &bytes);
std::optional<ConfigImage> parseDefaultsLines(const QList<QByteArray> &lines);

// Fills defaultImage from the first "defaults" file found in the working
// directory, the per-user data directory and the program's directory, in that
// order (Save As Default writes one of the last two, so what it wrote is what
// the next start finds). The working directory's file counts only when it is a
// regular file of the user's own that nobody else may write; otherwise the
// search goes on. The first file found is the one that counts: when it is
// unusable, the factory table is used. Returns the path used, or an empty
// string for the factory table.
QString loadDefaults(ProgramState &state, const Paths &paths);

struct SaveDefaultsResult
{
    QString path;  // where the file went (or the last place tried)
    QString error; // empty on success
};

// Writes workingImage as the defaults file into the program's directory or,
// when that is read-only or the write fails, the per-user data directory; on success
// defaultImage becomes a copy of workingImage. On failure nothing changes.
// Run as root it writes the per-user data directory only (root's own), never
// the program's directory.
SaveDefaultsResult saveAsDefault(ProgramState &state, const Paths &paths);

} // namespace q5n
