// q5ntool apply FILE --port DEVICE... [--check] [--force]: brings each decoder
// to FILE. Per port: upload the section the decoder sends and compare it with
// the file, and the other section with the port's record; only where either
// differs or is unknown (or --force, and not --check) remove the record,
// download the file, verify it and record it. Each port goes on to its next
// exchange as soon as its own last one ended. The comparison and the
// report's words are pure (Apply.h), the records are PortRecord.h's.
#include "tool/Apply.h"
#include "tool/Command.h"
#include "tool/ConfigFile.h"
#include "tool/LineChange.h"
#include "tool/Options.h"
#include "tool/PortJob.h"
#include "tool/PortRecord.h"

#include <map>

namespace q5n::tool {

namespace {

// Each step takes the result of its exchange and says whether the next
// exchange is due.

// What one run of apply does to every port.
struct ApplyRun
{
    ConfigImage image;
    bool check = false;
    bool force = false;
    bool save = true;
    QString folder;                          // the records'
    std::map<const PortJob *, QString> keys; // each port's record key
    PortKeys portKeys;
};

// After the upload: true when a download is due.
bool compared(PortJob &job, LinkResult r, ApplyRun &run)
{
    PortOutcome &p = job.outcome();
    if (!job.record(r)) {
        noteSilenceBeforeDownload(job, r, run.image);
        return false;
    }
    p.firmware = firmwareText(job.reply());
    const QString key = run.keys[&job] = run.portKeys.of(p.device);
    const LoadedRecord record = readRecord(run.folder, key);
    p.comparison = compareSection(run.image, job.reply(), record.record, record.problem);
    p.comparison->forced = run.force;
    p.applied = !p.comparison->downloadDue() ? ApplyResult::Unchanged
                : run.check                  ? ApplyResult::WouldChange
                                             : ApplyResult::Changed; // once downloaded and verified
    if (p.applied == ApplyResult::WouldChange)
        p.exit = kDiffer;
    p.message = applySummary(p.applied, *p.comparison);
    return p.applied == ApplyResult::Changed;
}

// After the download: true when it was taken and the verifying upload is due.
bool downloaded(PortJob &job, LinkResult r)
{
    PortOutcome &p = job.outcome();
    p.downloaded = job.record(r);
    if (!p.downloaded) {
        p.applied = ApplyResult::Failed;
        p.message = QStringLiteral("download: ") + p.message;
    }
    return p.downloaded;
}

// After the verifying upload: the end of the chain, unless the file changes
// the decoder's line and no answer came at the link's settings (then once
// more at the file's). A verified download is recorded for the next run.
bool verified(PortJob &job, LinkResult r, ApplyRun &run)
{
    if (verifyAgainAtFileLine(job, r, run.image))
        return true;
    PortOutcome &p = job.outcome();
    if (!job.record(r)) {
        p.applied = ApplyResult::Failed;
        p.message = QStringLiteral("verification: ") + p.message;
        noteLineChange(job, run.image, true);
        return false;
    }
    p.mismatches = mismatchedFields(run.image, job.reply());
    if (!p.mismatches.isEmpty()) {
        p.applied = ApplyResult::Failed;
        p.exit = kDiffer;
        p.message = QStringLiteral("verification found a mismatch");
        noteLineChange(job, run.image, true);
        return false;
    }
    p.verified = true;
    p.message = applySummary(ApplyResult::Changed, *p.comparison);
    // A decoder keeps a Not Save download only until it is switched off: no
    // record may say that it holds it.
    const QString error = run.save ? writeRecord(run.folder, {run.keys[&job], job.reply().section, run.image})
                                   : QStringLiteral("downloaded with Not Save");
    if (!error.isEmpty())
        p.message += QStringLiteral("; not recorded, so the next run downloads again: ") + error;
    noteLineChange(job, run.image, true);
    return false;
}

// A port stopped (Ctrl+C) before its download or its verification.
void stoppedBeforeTheEnd(PortOutcome &p)
{
    if (p.applied == ApplyResult::Changed && !p.verified) {
        p.applied = ApplyResult::Failed;
        p.exit = exitOf(LinkResult::Aborted);
        p.message = resultWords(LinkResult::Aborted) +
                    (p.downloaded ? QStringLiteral(" after the download, before its verification") : QString());
    }
}

// One line per port ("PORT  CHANGED  ...  0.52 s"), then each change and
// mismatch; with --json one document.
int report(Call &call)
{
    return summarize(call, {[](const PortOutcome &p) { return applyResultWord(p.applied); },
                            [](const PortOutcome &p, QJsonObject &j) {
                                j[QStringLiteral("downloaded")] = p.downloaded;
                                if (p.comparison)
                                    addComparison(*p.comparison, j);
                            },
                            [](const PortOutcome &p) {
                                QStringList lines;
                                if (p.comparison && p.applied != ApplyResult::Unchanged)
                                    for (const FieldChange &c : p.comparison->changes)
                                        lines << changeLine(c);
                                return lines;
                            }});
}

} // namespace

int applyCommand(Call &call)
{
    LoadedConfig config;
    if (!loadConfig(call.args[0], config, call.err, Damage::Refuse))
        return kUsage;
    ApplyRun run;
    run.image = config.image;
    run.check = call.isSet(option::check());
    run.force = call.isSet(option::force());
    run.save = !call.isSet(option::notSave());
    run.folder = stateFolder(call.value(option::state()));
    runEveryPort(call.jobs, [&](PortJob &job) {
        return Steps{
            {uploadStep, [&](LinkResult r) { return compared(job, r, run); }},
            // The decoder changes from here on: its old record no longer stands.
            {[&](LinkExchange &e, const LinkSettings &l) {
                 removeRecord(run.folder, run.keys[&job]);
                 e.download(l, run.image, run.save);
             },
             [&](LinkResult r) { return downloaded(job, r); }},
            {uploadStep, [&](LinkResult r) { return verified(job, r, run); }},
            {uploadStep, [&](LinkResult r) { return verified(job, r, run); }},
        };
    });
    for (auto &job : call.jobs)
        stoppedBeforeTheEnd(job->outcome());
    return report(call);
}

} // namespace q5n::tool
