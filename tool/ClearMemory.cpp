// q5ntool clear-memory --port DEVICE...: tells each decoder to clear its memory.
#include "tool/Command.h"
#include "tool/PortJob.h"

namespace q5n::tool {

int clearMemoryCommand(Call &call)
{
    runEveryPort(call.jobs, [](PortJob &job) {
        return Steps{{[](LinkExchange &e, const LinkSettings &l) { e.clearMemory(l); },
                      [&job](LinkResult r) {
                          job.record(r);
                          return false;
                      }}};
    });
    return summarize(call);
}

} // namespace q5n::tool
