// q5ntool read-memory --port DEVICE [-o FILE.txt]: the lines the decoder
// holds, printed or saved as the memory window saves them.
#include "model/TerminalText.h"
#include "model/Text8.h"
#include "platform/Paths.h"
#include "protocol/Memory.h"
#include "tool/Command.h"
#include "tool/Options.h"
#include "tool/PortJob.h"

namespace q5n::tool {

int readMemoryCommand(Call &call)
{
    if (call.jobs.size() != 1)
        return call.usageError();
    const QString output = call.value(option::output());
    QList<QByteArray> lines;
    runEveryPort(call.jobs, [&lines](PortJob &job) {
        return Steps{{[&lines](LinkExchange &e, const LinkSettings &l) {
                          e.readMemory(l, [&lines](const QList<QByteArray> &more) { lines += more; });
                      },
                      [&job](LinkResult r) {
                          job.record(r);
                          return false;
                      }}};
    });
    PortOutcome &p = call.jobs.front()->outcome();
    const QString text = memoryLinesText(lines);
    if (p.exit == kDone)
        p.message = QStringLiteral("OK, %1 line(s) read").arg(lines.size());
    if (!output.isEmpty() && p.exit == kDone) {
        const QString writeError = writeFileAtomically(output, memoryDataFileBytes(text));
        if (!writeError.isEmpty()) {
            p.exit = kUsage;
            p.message = QStringLiteral("%1: %2").arg(output, writeError);
        }
    } else {
        // A failed read leaves the file as it was (an earlier complete read
        // stays); the lines that came before the failure are printed.
        if (!call.isSet(option::json()))
            for (const QByteArray &line : lines)
                call.out << terminalText(decode8(line)) << '\n';
        if (!output.isEmpty())
            p.message += QStringLiteral("; %1 left as it was").arg(output);
    }
    return summarize(call,
                     {{}, [&text](const PortOutcome &, QJsonObject &j) { j[QStringLiteral("text")] = text; }, {}});
}

} // namespace q5n::tool
