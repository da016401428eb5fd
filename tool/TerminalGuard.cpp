#include "tool/TerminalGuard.h"

namespace q5n::tool {

TerminalGuard::TerminalGuard(QTextStream &target) : m_target(target)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 TerminalGuard::writeData(const char *data, qint64 size)
{
    const QString text = m_decoder(QByteArrayView(data, size));
    m_target << (m_mode == Mode::Json ? jsonSafeText(text) : terminalLines(text));
    m_target.flush();
    return size;
}

QString jsonSafeText(const QString &json)
{
    QString out;
    out.reserve(json.size());
    for (QChar ch : json) {
        if (ch != QLatin1Char('\n') && isTerminalControl(ch))
            out += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    return out;
}

} // namespace q5n::tool
