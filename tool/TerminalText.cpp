#include "tool/TerminalText.h"

#include "model/Notation.h"

namespace q5n::tool {

bool isTerminalControl(QChar ch)
{
    const char16_t c = ch.unicode();
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString terminalText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x20)
            out += QLatin1Char('<') + controlName(c) + QLatin1Char('>');
        else if (c == 0x7F)
            out += QStringLiteral("<DEL>");
        else if (isTerminalControl(ch))
            out += QStringLiteral("\\x") + QString::number(c, 16).toUpper(); // 80..9F: always two digits
        else
            out += ch;
    }
    return out;
}

} // namespace q5n::tool
