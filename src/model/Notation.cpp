#include "model/Notation.h"

#include "model/Text8.h"

namespace q5n {

QString controlName(int code)
{
    if (code < 0 || code > 31)
        return QString();
    return kMnemonicTable.mid(code * 3, 3).trimmed();
}

std::optional<int> controlCode(const QString &name)
{
    QString candidate = name.toUpper();
    if (candidate.size() == 2)
        candidate += QLatin1Char(' ');
    if (candidate.size() != 3)
        return std::nullopt;
    // The first occurrence must start a cell, or the letters straddle two names.
    const qsizetype p = kMnemonicTable.indexOf(candidate);
    if (p < 0 || p % 3 != 0)
        return std::nullopt;
    return int(p / 3);
}

QString insertionToText(const ConfigImage &image, int first, int count)
{
    QString text;
    for (int k = 0; k < count; ++k) {
        const quint8 b = image.at(first + k);
        if (b == 255)
            break;
        if (b > 31)
            text += charFromByte(b);
        else
            text += QLatin1Char('{') + controlName(b) + QLatin1Char('}');
    }
    return text;
}

void textToInsertion(ConfigImage &image, const QString &text, int first, int count)
{
    if (!ConfigImage::validIndex(first) || !ConfigImage::validIndex(first + count - 1))
        return;
    int k = 0;
    for (qsizetype i = 0; i < text.size() && k < count; ++i) {
        const std::optional<quint8> byte = byteFromChar(text.at(i));
        if (!byte)
            continue; // refused at input; never stored as something else
        int c = *byte;
        // 255 marks the end of the content, so the character that has it ends
        // the content too: nothing after it may be stored before the 255s.
        if (c == 255)
            break;
        if (c == '{') {
            const qsizetype j = text.indexOf(QLatin1Char('}'), i);
            if (j > i + 2) {
                if (const auto code = controlCode(text.mid(i + 1, j - i - 1))) {
                    c = *code;
                    i = j;
                }
            }
        }
        image[first + k] = static_cast<quint8>(c);
        ++k;
    }
    for (; k < count; ++k)
        image[first + k] = 255;
}

} // namespace q5n
