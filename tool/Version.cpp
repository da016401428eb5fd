// q5ntool version --port DEVICE...: each decoder's firmware version text.
#include "tool/Command.h"
#include "tool/PortJob.h"

namespace q5n::tool {

int versionCommand(Call &call)
{
    runEveryPort(call.jobs, [&](PortJob &job) {
        return Steps{{uploadStep, [&](LinkResult r) {
                          if (job.record(r))
                              job.outcome().message = job.outcome().firmware = firmwareText(job.reply());
                          return false;
                      }}};
    });
    return summarize(call, {{},
                            [](const PortOutcome &p, QJsonObject &j) {
                                if (!p.firmware.isEmpty())
                                    j[QStringLiteral("version")] = p.firmware;
                            },
                            {}});
}

} // namespace q5n::tool
