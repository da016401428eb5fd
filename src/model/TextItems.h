#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class QIODevice;

namespace q5n {

// Line and item reading as the program's text files need it.

// The longest line a text file may hold: the most a text box takes.
constexpr int kMaxLineLength = 32767;

// Lines read from a device, at most a given number of them.
struct LineRead
{
    enum class Status {
        Read,        // `lines` holds the lines up to the limit or the end of the input
        LineTooLong, // a line is longer than the limit allows: not one of our files
        ReadError,   // the device failed; `error` says why
    };
    Status status = Status::Read;
    QList<QByteArray> lines;
    QString error;
};

// Reads line by line, with the line ends of splitLines(), and stops after
// `maxLines` lines: never more than maxLines * (maxLineLength + 2) bytes and a
// buffer's worth are taken from the device, whatever it holds.
LineRead readLines(QIODevice &device, int maxLines, int maxLineLength = kMaxLineLength);
LineRead readLines(const QByteArray &bytes, int maxLines, int maxLineLength = kMaxLineLength);

// A text file read as readLines() reads it, after openRegularFile() has let it
// through.
struct FileLines
{
    enum class Status { Read, Missing, NotRegularFile, NotPrivate, Unreadable, LineTooLong };
    Status status = Status::Read;
    QList<QByteArray> lines;
    QString error; // the system's reason when Unreadable
};
FileLines readFileLines(const QString &path, int maxLines, bool mustBePrivate = false);

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
