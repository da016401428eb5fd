// q5ntool new FILE: the configuration that New makes.
#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "tool/Command.h"

namespace q5n::tool {

int newCommand(Call &call)
{
    const QString path = call.args[0];
    ProgramState state;
    loadDefaults(state, Paths::system());
    state.workingImage = state.defaultImage;
    state.resetSetupInfo(Clock().shortDateText(), ProgramState::kNewDescription);
    const QString error =
        writeFileAtomically(path, setupFileBytes(state.setupInfo, state.linkSettings, state.workingImage));
    if (!error.isEmpty()) {
        call.err << "q5ntool: " << path << ": " << error << '\n';
        return kUsage;
    }
    return kDone;
}

} // namespace q5n::tool
