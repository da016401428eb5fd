// q5ntool version --port DEVICE...: each decoder's firmware version text.
#include "tool/Command.h"
#include "tool/PortJob.h"

#include <map>

namespace q5n::tool {

int versionCommand(Call &call)
{
    std::map<QString, QString> versions;
    runEveryPort(call.jobs, [&](PortJob &job) {
        return Steps{{uploadStep, [&](LinkResult r) {
                          if (job.record(r))
                              job.outcome().message = versions[job.outcome().port] =
                                  job.reply().versionPart1 + QLatin1Char(' ') + job.reply().versionPart2;
                          return false;
                      }}};
    });
    return summarize(call, [&versions](const PortOutcome &p, QJsonObject &j) {
        if (versions.count(p.port))
            j[QStringLiteral("version")] = versions[p.port];
    });
}

} // namespace q5n::tool
