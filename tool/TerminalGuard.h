#pragma once

#include "model/TerminalText.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QTextStream>

namespace q5n::tool {

// What stands between a command's text and the stream it goes to, so that no
// character that would act on a terminal gets there from any line: a message
// that echoes a file or port name, a progress line, a report. Text passes as
// terminalLines() shows it (each LF stays a line end); JSON passes with DEL
// and the C1 controls written as \u escapes (in a JSON document they stand
// only inside strings, where the escape reads back as the same character).
// Every write reaches the target at once, so a line flushed is a line shown.
class TerminalGuard : public QIODevice
{
public:
    enum class Mode { Text, Json };
    explicit TerminalGuard(QTextStream &target);
    void setMode(Mode mode) { m_mode = mode; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    QTextStream &m_target;
    Mode m_mode = Mode::Text;
    QStringDecoder m_decoder{QStringDecoder::Utf8}; // keeps a character cut between two writes
};

// JSON text with DEL and U+0080..U+009F as \u escapes (C0 controls as well).
QString jsonSafeText(const QString &json);

} // namespace q5n::tool
