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

// Factory values of the decoder section (0..24) and the reader section (25..84).
void fillDecoderFactory(ConfigImage &image);
void fillReaderFactory(ConfigImage &image);
ConfigImage factoryImage();

// The defaults file: the marker line, then bytes 0..84 as number items, CR LF
// after every line.
QByteArray defaultsFileBytes(const ConfigImage &image);
// All 85 values or nothing: a wrong marker, fewer than 85 values, or a value
// that is not a number in 0..255 gives nothing. Values after the 85th are ignored.
std::optional<ConfigImage> parseDefaultsFile(const QByteArray &bytes);

// Fills defaultImage from the first "defaults" file found in the working
// directory, the program's directory and the per-user data directory, in that
// order; from the factory table when none is found or the file found is unusable.
// Returns the path used, or an empty string for the factory table.
QString loadDefaults(ProgramState &state, const Paths &paths);

struct SaveDefaultsResult
{
    QString path;   // where the file went (or the last place tried)
    QString error;  // empty on success
};

// Writes workingImage as the defaults file into the program's directory or,
// when that is not writable, the per-user data directory; on success
// defaultImage becomes a copy of workingImage. On failure nothing changes.
SaveDefaultsResult saveAsDefault(ProgramState &state, const Paths &paths);

} // namespace q5n
