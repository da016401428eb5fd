// q5ntool upload -o FILE [--into BASE] --port DEVICE: the section the decoder
// sends, put into BASE or the factory values.
#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "tool/Command.h"
#include "tool/ConfigFile.h"
#include "tool/Options.h"
#include "tool/PortJob.h"

namespace q5n::tool {

namespace {

// Puts the uploaded section into `base` and writes it to `path`.
void writeUpload(PortJob &job, LoadedConfig &base, const QString &path)
{
    const UploadReply &reply = job.reply();
    applyUploadReply(reply, base.image);
    const QByteArray bytes = base.defaultsFile ? defaultsFileBytes(base.image)
                                               : setupFileBytes(base.setupInfo, base.linkSettings, base.image);
    const QString writeError = writeFileAtomically(path, bytes);
    if (!writeError.isEmpty()) {
        job.outcome().exit = kUsage;
        job.outcome().message = QStringLiteral("%1: %2").arg(path, writeError);
        return;
    }
    job.outcome().message =
        QStringLiteral("OK, %1 section written to %2")
            .arg(reply.section == UploadReply::Section::Reader ? QStringLiteral("reader") : QStringLiteral("decoder"),
                 path);
}

} // namespace

int uploadCommand(Call &call)
{
    const QString output = call.value(option::output());
    if (output.isEmpty() || call.jobs.size() != 1)
        return call.usageError();
    LoadedConfig base;
    if (call.isSet(option::into())) {
        if (!loadConfig(call.value(option::into()), base, call.err, Damage::Warn))
            return kUsage;
    } else {
        base.image = factoryImage();
        ProgramState fresh;
        fresh.resetSetupInfo(Clock().shortDateText(), ProgramState::kNewDescription);
        base.setupInfo = fresh.setupInfo;
    }
    runEveryPort(call.jobs, [&](PortJob &job) {
        return Steps{{uploadStep, [&](LinkResult r) {
                          if (job.record(r))
                              writeUpload(job, base, output);
                          return false;
                      }}};
    });
    return summarize(call);
}

} // namespace q5n::tool
