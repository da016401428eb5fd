#include "model/TerminalText.h"

#include "model/Notation.h"

#include <QStringList>

namespace q5n {

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

QString terminalLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = terminalText(line);
    return lines.join(QLatin1Char('\n'));
}

} // namespace q5n
