#include "model/TextItems.h"

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

} // namespace q5n
