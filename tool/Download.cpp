// q5ntool download FILE --port DEVICE... [--verify]: sends the configuration;
// --verify uploads the section the decoder returns and compares it.
#include "tool/Command.h"
#include "tool/ConfigFile.h"
#include "tool/LineChange.h"
#include "tool/Options.h"
#include "tool/PortJob.h"
#include "tool/PortRecord.h"

#include <map>

namespace q5n::tool {

namespace {

// The verifying upload: the settings the decoder returned otherwise, or which
// section was compared. A verified download is recorded for apply.
void verified(PortJob &job, LinkResult r, const ConfigImage &image, const QString &folder, const QString &key,
              bool save)
{
    if (!job.record(r))
        return;
    PortOutcome &p = job.outcome();
    p.mismatches = mismatchedFields(image, job.reply());
    if (!p.mismatches.isEmpty()) {
        p.exit = kDiffer;
        p.message = QStringLiteral("verification found a mismatch");
        return;
    }
    // The decoder returns one section; the other was sent but cannot be read back.
    p.message = job.reply().section == UploadReply::Section::Reader
                    ? QStringLiteral("OK, verified (reader section, bytes 25..84, compared; the decoder section, "
                                     "bytes 0..24, was sent but not read back)")
                    : QStringLiteral("OK, verified (decoder section, bytes 0..24, compared; the reader section, "
                                     "bytes 25..84, was sent but not read back)");
    // A decoder keeps a Not Save download only until it is switched off.
    if (!save)
        return;
    const QString error = writeRecord(folder, {key, job.reply().section, image});
    if (!error.isEmpty())
        p.message += QStringLiteral("; not recorded for apply: ") + error;
}

} // namespace

int downloadCommand(Call &call)
{
    LoadedConfig config;
    if (!loadConfig(call.args[0], config, call.err, Damage::Refuse))
        return kUsage;
    const ConfigImage image = config.image;
    const bool save = !call.isSet(option::notSave());
    const bool verify = call.isSet(option::verify());
    const QString folder = stateFolder(call.value(option::state()));
    std::map<const PortJob *, QString> keys;
    PortKeys portKeys;
    // Each port verifies as soon as its own download has finished; where the
    // file changes the decoder's line and no answer comes at the link's
    // settings, once more at the file's. The decoder changes from the
    // download on: apply's record of the port no longer stands until this
    // download is verified.
    const auto verifiedAt = [&](PortJob &job) {
        return Step{uploadStep, [&](LinkResult r) {
                        if (verifyAgainAtFileLine(job, r, image))
                            return true;
                        verified(job, r, image, folder, keys[&job], save);
                        noteLineChange(job, image, true);
                        return false;
                    }};
    };
    runEveryPort(call.jobs, [&](PortJob &job) {
        return Steps{
            {[&](LinkExchange &e, const LinkSettings &l) {
                 removeRecord(folder, keys[&job] = portKeys.of(job.outcome().device));
                 e.download(l, image, save);
             },
             [&](LinkResult r) {
                 job.outcome().downloaded = job.record(r);
                 if (!verify)
                     noteLineChange(job, image, false);
                 return job.outcome().downloaded && verify;
             }},
            verifiedAt(job),
            verifiedAt(job),
        };
    });
    return summarize(call);
}

} // namespace q5n::tool
