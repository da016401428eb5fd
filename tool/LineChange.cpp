#include "tool/LineChange.h"

#include "model/DecoderLine.h"
#include "tool/PortJob.h"

namespace q5n::tool {

namespace {

QString text(const SerialSettings &s)
{
    return serialSettingsText(s).trimmed();
}

} // namespace

std::optional<SerialSettings> changedLine(const ConfigImage &image, const SerialSettings &link)
{
    const std::optional<SerialSettings> line = decoderLine(image);
    return line && *line != link ? line : std::nullopt;
}

bool verifyAgainAtFileLine(PortJob &job, LinkResult r, const ConfigImage &image)
{
    if (r != LinkResult::TimeOut && r != LinkResult::Bad)
        return false;
    const std::optional<SerialSettings> line = changedLine(image, job.link().serial);
    if (!line || !parityAllowsReceive(line->parity) || job.stepLink().serial == *line)
        return false;
    job.answerAt(*line);
    return true;
}

void noteLineChange(PortJob &job, const ConfigImage &image, bool verifying)
{
    const std::optional<SerialSettings> line = changedLine(image, job.link().serial);
    PortOutcome &p = job.outcome();
    if (!line || !p.downloaded)
        return;
    const QString link = text(job.link().serial), file = text(*line);
    QString note;
    if (!verifying)
        note = QStringLiteral("the file sets %1 for the decoder's line: download --verify says at which settings it "
                              "answers now")
                   .arg(file);
    else if (p.answeredAt == line)
        note = QStringLiteral("no answer at %1 after the download; now answers at %2: update the inventory")
                   .arg(link, file);
    else if (p.answeredAt && p.mismatches.isEmpty()) // a mismatch names the line it holds
        note = QStringLiteral("still answers at %1, not at the file's %2 (it may take them when restarted)")
                   .arg(link, file);
    else if (!parityAllowsReceive(line->parity))
        note = QStringLiteral("the file sets %1 for the decoder's line, at which it cannot answer: not verified there")
                   .arg(file);
    else if (job.stepLink().serial == *line)
        note = QStringLiteral("no answer at %1 nor at the file's %2").arg(link, file);
    if (!note.isEmpty())
        p.message += QStringLiteral("; ") + note;
}

void noteSilenceBeforeDownload(PortJob &job, LinkResult r, const ConfigImage &image)
{
    if (r != LinkResult::TimeOut)
        return;
    if (const std::optional<SerialSettings> line = changedLine(image, job.link().serial))
        job.outcome().message +=
            QStringLiteral("; if an earlier run gave it the file's line, it answers at %1").arg(text(*line));
}

} // namespace q5n::tool
