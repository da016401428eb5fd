// q5ntool apply FILE --port DEVICE... [--check]: brings each decoder to FILE.
// Per port: upload the section the decoder sends and compare it with the
// file; only where they differ (and not --check) download the file and
// verify it. Each port goes on to its next exchange as soon as its own last
// one ended. The comparison and the report's words are pure (Apply.h).
#include "model/TerminalText.h"
#include "tool/Apply.h"
#include "tool/Command.h"
#include "tool/ConfigFile.h"
#include "tool/LineChange.h"
#include "tool/Options.h"
#include "tool/PortJob.h"

#include <QJsonArray>

namespace q5n::tool {

namespace {

// Each step takes the result of its exchange and says whether the next
// exchange is due.

// After the upload: true when the decoder differs and a download is due.
bool compared(PortJob &job, LinkResult r, const ConfigImage &image, bool check)
{
    PortOutcome &p = job.outcome();
    if (!job.record(r)) {
        noteSilenceBeforeDownload(job, r, image);
        return false;
    }
    p.comparison = compareSection(image, job.reply());
    p.applied = p.comparison->changes.isEmpty() ? ApplyResult::Unchanged
                : check                         ? ApplyResult::WouldChange
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
// more at the file's).
bool verified(PortJob &job, LinkResult r, const ConfigImage &image)
{
    if (verifyAgainAtFileLine(job, r, image))
        return true;
    PortOutcome &p = job.outcome();
    if (!job.record(r)) {
        p.applied = ApplyResult::Failed;
        p.message = QStringLiteral("verification: ") + p.message;
        noteLineChange(job, image, true);
        return false;
    }
    p.mismatches = mismatchedFields(image, job.reply());
    if (!p.mismatches.isEmpty()) {
        p.applied = ApplyResult::Failed;
        p.exit = kDiffer;
        p.message = QStringLiteral("verification found a mismatch");
    } else {
        p.verified = true;
        p.message = applySummary(ApplyResult::Changed, *p.comparison);
    }
    noteLineChange(job, image, true);
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

QJsonObject portJson(const PortOutcome &p)
{
    QJsonObject j{{QStringLiteral("port"), p.port},
                  {QStringLiteral("device"), p.device},
                  {QStringLiteral("exit"), p.exit},
                  {QStringLiteral("result"), applyResultWord(p.applied)},
                  {QStringLiteral("message"), p.message},
                  {QStringLiteral("downloaded"), p.downloaded},
                  {QStringLiteral("seconds"), qRound(p.seconds * 1000) / 1000.0}};
    if (p.comparison)
        addComparison(*p.comparison, j);
    if (!p.mismatches.isEmpty())
        j[QStringLiteral("mismatches")] = QJsonArray::fromStringList(p.mismatches);
    addAnsweredAt(p, j);
    return j;
}

// One line per port ("PORT  CHANGED  ...  0.52 s"), then each change and
// mismatch; with --json one document.
int report(Call &call)
{
    const bool json = call.isSet(option::json());
    int exit = kDone;
    QJsonArray list;
    for (const auto &job : call.jobs) {
        const PortOutcome &p = job->outcome();
        exit = std::max(exit, p.exit);
        if (json) {
            list.append(portJson(p));
            continue;
        }
        call.out << terminalText(p.port) << "  " << applyResultWord(p.applied).toUpper() << "  "
                 << terminalText(p.message) << "  " << QString::number(p.seconds, 'f', 2) << " s\n";
        if (p.comparison && p.applied != ApplyResult::Unchanged)
            for (const FieldChange &c : p.comparison->changes)
                call.out << "    " << terminalText(changeLine(c)) << '\n';
        for (const QString &m : p.mismatches)
            call.out << "    mismatch: " << terminalText(m) << '\n';
    }
    return endReport(call, list, exit);
}

} // namespace

int applyCommand(Call &call)
{
    LoadedConfig config;
    if (!loadConfig(call.args[0], config, call.err, Damage::Refuse))
        return kUsage;
    const ConfigImage image = config.image;
    const bool check = call.isSet(option::check());
    const bool save = !call.isSet(option::notSave());
    runEveryPort(call.jobs, [&](PortJob &job) {
        return Steps{
            {uploadStep, [&](LinkResult r) { return compared(job, r, image, check); }},
            {[&](LinkExchange &e, const LinkSettings &l) { e.download(l, image, save); },
             [&](LinkResult r) { return downloaded(job, r); }},
            {uploadStep, [&](LinkResult r) { return verified(job, r, image); }},
            {uploadStep, [&](LinkResult r) { return verified(job, r, image); }},
        };
    });
    for (auto &job : call.jobs)
        stoppedBeforeTheEnd(job->outcome());
    return report(call);
}

} // namespace q5n::tool
