#pragma once

#include "model/ProgramState.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace q5n {

inline const QByteArray kSetupSignature = QByteArrayLiteral("vuro");
inline const QString kSetupFileFilter = QStringLiteral("Config Setup Files(*.cfg)");
inline const QString kSetupFilePattern = QStringLiteral("*.cfg");
inline const QString kSetupFileSuffix = QStringLiteral("cfg");
inline const QString kNotSetupFileText = QStringLiteral("This File Is Not A Configuration Setup File");
constexpr int kSetupFileLines = 92;

// The 92 lines of a setup file, CR LF after each: the signature, the four
// setup texts, port number, link mode, and bytes 0..84 of the working image.
// A CR or LF inside a setup text is written as a blank, so the file always has
// exactly 92 lines.
QByteArray setupFileBytes(const SetupInfo &info, const LinkSettings &link, const ConfigImage &image);

// What a setup file read brings. Values the file does not hold (missing lines,
// numbers out of range) keep the values passed in as `previous`.
struct SetupFileContent
{
    QString deviceName, userName, buildingDate, description;
    qint16 portNumber = 1;
    qint16 linkMode = 1;
    ConfigImage image;
};

// Returns false (and leaves `content` alone) when the first line is not the
// signature or a line is longer than kMaxLineLength. Otherwise fills
// `content`, starting from its current values. Nothing after line 92 is looked at.
bool parseSetupFile(const QByteArray &bytes, SetupFileContent &content);
bool parseSetupLines(const QList<QByteArray> &lines, SetupFileContent &content);

// What a setup file's reader passes over without a word: each line that ends
// the file early or holds no number of its range, as "line 61: ..." (the
// signature line is not looked at). Empty for a whole file. The program's Open
// still takes such a file as it always did; the command-line tool warns of it.
QStringList setupFileDamage(const QList<QByteArray> &lines);

enum class ReadSetupResult {
    Read,
    NotSetupFile, // wrong signature, a line too long, or not a regular file
    Unreadable,   // the system refused to open or read it; the reason says why
};

// Reads a setup file from disk into `content` (see parseSetupFile): only a
// regular file, line by line, never more than its 92 lines.
ReadSetupResult readSetupFileContent(const QString &path, SetupFileContent &content, QString *reason = nullptr);

// Whole-file operations on the program state.

// Writes the file and, on success, makes savedImage equal to workingImage.
// Returns the system's reason when the file could not be written (then
// nothing in the state changes).
QString writeSetupFile(ProgramState &state, const QString &path);

// Reads the file into SetupInfo (and fileName := path), LinkSettings' port and
// mode, and workingImage; what was read counts as saved. On any result but
// Read nothing in the state changes.
ReadSetupResult readSetupFile(ProgramState &state, const QString &path, QString *reason = nullptr);

} // namespace q5n
