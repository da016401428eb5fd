#include "model/TextItems.h"

#include "platform/Paths.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace q5n {

QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(bytes.mid(start));
    return lines;
}

std::optional<int> parseNumberItem(const QByteArray &item, int low, int high)
{
    qsizetype i = 0, end = item.size();
    while (i < end && (item[i] == ' ' || item[i] == '\t'))
        ++i;
    while (end > i && (item[end - 1] == ' ' || item[end - 1] == '\t'))
        --end;
    bool negative = false;
    if (i < end && (item[i] == '-' || item[i] == '+')) {
        negative = item[i] == '-';
        ++i;
    }
    if (i >= end)
        return std::nullopt;
    long long value = 0;
    for (; i < end; ++i) {
        const char c = item[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 1'000'000)
            return std::nullopt; // far outside every range the files use
    }
    if (negative)
        value = -value;
    if (value < low || value > high)
        return std::nullopt;
    return static_cast<int>(value);
}

QByteArray numberItem(int value)
{
    QByteArray out(value < 0 ? "-" : " ");
    out += QByteArray::number(value < 0 ? -static_cast<long long>(value) : value);
    out += ' ';
    return out;
}

QList<QByteArray> splitItems(const QByteArray &bytes)
{
    QList<QByteArray> items;
    for (const QByteArray &line : splitLines(bytes)) {
        if (line.trimmed().isEmpty())
            continue;
        for (const QByteArray &item : line.split(','))
            items.append(item);
    }
    return items;
}

LineRead readLines(QIODevice &device, int maxLines, int maxLineLength)
{
    LineRead result;
    if (maxLines <= 0)
        return result;
    QByteArray line;
    bool afterCr = false; // an LF right after a CR ends nothing more
    char buffer[16384];
    for (;;) {
        const qint64 n = device.read(buffer, sizeof buffer);
        if (n < 0) {
            result.status = LineRead::Status::ReadError;
            result.error = device.errorString();
            return result;
        }
        if (n == 0)
            break;
        for (qint64 i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (afterCr) {
                afterCr = false;
                if (c == '\n')
                    continue;
            }
            if (c == '\r' || c == '\n') {
                result.lines.append(line);
                line.clear();
                afterCr = c == '\r';
                if (result.lines.size() >= maxLines)
                    return result;
                continue;
            }
            if (line.size() >= maxLineLength) {
                result.status = LineRead::Status::LineTooLong;
                result.lines.clear();
                return result;
            }
            line.append(c);
        }
    }
    if (!line.isEmpty())
        result.lines.append(line);
    return result;
}

LineRead readLines(const QByteArray &bytes, int maxLines, int maxLineLength)
{
    QByteArray copy = bytes; // shares the data; QBuffer wants a non-const array
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readLines(buffer, maxLines, maxLineLength);
}

FileLines readFileLines(const QString &path, int maxLines, bool mustBePrivate)
{
    FileLines result;
    QFile file;
    QString reason;
    switch (openRegularFile(path, file, mustBePrivate, &reason)) {
    case OpenStatus::Opened: break;
    case OpenStatus::NotRegularFile: result.status = FileLines::Status::NotRegularFile; return result;
    case OpenStatus::NotPrivate: result.status = FileLines::Status::NotPrivate; return result;
    case OpenStatus::Failed:
        // A dangling name is "missing"; anything else the system refused is a reason to show.
        result.status = QFileInfo::exists(path) ? FileLines::Status::Unreadable : FileLines::Status::Missing;
        result.error = reason;
        return result;
    }
    LineRead read = readLines(file, maxLines);
    switch (read.status) {
    case LineRead::Status::Read: result.lines = std::move(read.lines); break;
    case LineRead::Status::LineTooLong: result.status = FileLines::Status::LineTooLong; break;
    case LineRead::Status::ReadError:
        result.status = FileLines::Status::Unreadable;
        result.error = read.error;
        break;
    }
    return result;
}

} // namespace q5n
