#include "tool/Apply.h"

#include "tool/FieldNames.h"

#include <QJsonArray>

namespace q5n::tool {

namespace {

QString hexByte(quint8 b)
{
    return QStringLiteral("0x%1").arg(b, 2, 16, QLatin1Char('0'));
}

int sectionFirst(Section s)
{
    return s == Section::Reader ? kReaderFirst : kDecoderFirst;
}

int sectionEnd(Section s)
{
    return s == Section::Reader ? kImageSize : kReaderFirst;
}

bool sameSection(const ConfigImage &a, const ConfigImage &b, Section s)
{
    for (int i = sectionFirst(s); i < sectionEnd(s); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

const QByteArray kRecordMark = "q5ntool apply record 1";

} // namespace

QByteArray recordBytes(const ApplyRecord &record)
{
    const QByteArray image(reinterpret_cast<const char *>(record.image.bytes.data()), kImageSize);
    return kRecordMark + "\nport " + record.port.toUtf8() + "\nsection " + sectionWord(record.section).toLatin1() +
           "\nimage " + image.toHex() + '\n';
}

std::optional<ApplyRecord> parseRecord(const QByteArray &bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() != 5 || lines[0] != kRecordMark || !lines[4].isEmpty() || !lines[1].startsWith("port ") ||
        !lines[2].startsWith("section ") || !lines[3].startsWith("image "))
        return std::nullopt;
    ApplyRecord r;
    r.port = QString::fromUtf8(lines[1].mid(5));
    const QByteArray section = lines[2].mid(8);
    if (section != "decoder" && section != "reader")
        return std::nullopt;
    r.section = section == "reader" ? Section::Reader : Section::Decoder;
    const QByteArray hex = lines[3].mid(6);
    const QByteArray image = QByteArray::fromHex(hex);
    if (hex.size() != 2 * kImageSize || image.size() != kImageSize || image.toHex() != hex.toLower())
        return std::nullopt;
    for (int i = 0; i < kImageSize; ++i)
        r.image[i] = quint8(image[i]);
    return r;
}

int ownedBits(int i)
{
    int owned = 0;
    for (const FieldRef &ref : imageFields()) {
        const FieldEntry &e = *ref.entry;
        if (e.kind == FieldKind::CharacterSequence) {
            if (i >= ref.firstByte() && i < ref.firstByte() + e.length)
                owned = 0xFF;
        } else if (e.byte == i) {
            owned |= e.occupiedMask();
        }
    }
    return owned;
}

QList<FieldChange> sectionChanges(const ConfigImage &held, const ConfigImage &file, Section section)
{
    QList<FieldChange> changes;
    const int first = sectionFirst(section), end = sectionEnd(section);
    for (const FieldRef &ref : imageFields())
        if (ref.firstByte() >= first && ref.firstByte() < end && storedBits(ref, held) != storedBits(ref, file))
            changes.append({qualifiedName(ref), captionPath(ref), valueOf(ref, held), valueOf(ref, file)});
    // Bits no page shows still count: a download would change them.
    for (int i = first; i < end; ++i) {
        const int owned = ownedBits(i);
        if ((held[i] & ~owned) != (file[i] & ~owned))
            changes.append({QStringLiteral("byte%1").arg(i), QStringLiteral("byte %1 (bits no page shows)").arg(i),
                            hexByte(held[i]), hexByte(file[i])});
    }
    return changes;
}

SectionComparison compareSection(const ConfigImage &file, const UploadReply &reply,
                                 const std::optional<ApplyRecord> &record, const QString &recordProblem)
{
    SectionComparison c;
    c.section = reply.section;
    ConfigImage decoder = file;
    applyUploadReply(reply, decoder);
    c.changes = sectionChanges(decoder, file, c.section);
    const QString sent = sectionWord(c.section);
    if (!record) {
        c.unknownReason =
            recordProblem.isEmpty() ? QStringLiteral("no record of a verified download to this port") : recordProblem;
    } else if (record->section != c.section) {
        c.unknownReason = QStringLiteral("the decoder returned its %1 section at the last verified download here, "
                                         "now its %2 section (changed or replaced)")
                              .arg(sectionWord(record->section), sent);
    } else if (!sameSection(record->image, decoder, c.section)) {
        c.unknownReason =
            QStringLiteral("the decoder's %1 section is not what the last verified download here left (changed or "
                           "replaced)")
                .arg(sent);
    } else {
        QList<FieldChange> byRecord = sectionChanges(record->image, file, c.otherSection());
        for (FieldChange &change : byRecord)
            change.fromRecord = true;
        c.other = byRecord.isEmpty() ? OtherSection::Agrees : OtherSection::Differs;
        c.changes += byRecord;
    }
    return c;
}

QString sectionWord(Section section)
{
    return section == Section::Reader ? QStringLiteral("reader") : QStringLiteral("decoder");
}

QString applyResultWord(ApplyResult result)
{
    switch (result) {
    case ApplyResult::Unchanged: return QStringLiteral("unchanged");
    case ApplyResult::Changed: return QStringLiteral("changed");
    case ApplyResult::WouldChange: return QStringLiteral("would change");
    case ApplyResult::Failed: return QStringLiteral("failed");
    }
    return QString();
}

QString applySummary(ApplyResult result, const SectionComparison &c)
{
    const qsizetype n = c.changes.size();
    QString text;
    switch (result) {
    case ApplyResult::Unchanged: text = QStringLiteral("every setting agrees"); break;
    case ApplyResult::Changed:
        text =
            n ? QStringLiteral("%1 setting(s) changed and verified").arg(n) : QStringLiteral("downloaded and verified");
        break;
    case ApplyResult::WouldChange:
        text = n ? QStringLiteral("%1 setting(s) would change").arg(n) : QStringLiteral("would download");
        break;
    case ApplyResult::Failed: text = applyResultWord(result); break;
    }
    text += QStringLiteral(" (%1 section compared on the decoder, %2 section ")
                .arg(sectionWord(c.section), sectionWord(c.otherSection()));
    text += c.other == OtherSection::Unknown ? QStringLiteral("unknown: ") + c.unknownReason
                                             : QStringLiteral("compared with the record of the last verified download");
    if (c.forced)
        text += QStringLiteral("; download forced");
    return text + QLatin1Char(')');
}

QString changeLine(const FieldChange &change)
{
    return QStringLiteral("%1 (%2): %3 -> %4%5")
        .arg(change.field, change.name, change.before, change.after,
             change.fromRecord ? QStringLiteral(" (by the record)") : QString());
}

void addComparison(const SectionComparison &c, QJsonObject &port)
{
    QJsonArray list;
    for (const FieldChange &change : c.changes)
        list.append(QJsonObject{
            {QStringLiteral("name"), change.name},
            {QStringLiteral("field"), change.field},
            {QStringLiteral("old"), change.before},
            {QStringLiteral("new"), change.after},
            {QStringLiteral("source"), change.fromRecord ? QStringLiteral("record") : QStringLiteral("decoder")}});
    const bool unknown = c.other == OtherSection::Unknown;
    port[QStringLiteral("section")] = sectionWord(c.section);
    port[QStringLiteral("changes")] = list;
    port[QStringLiteral("compared_on_device")] = sectionWord(c.section);
    port[QStringLiteral("compared_with_record")] = unknown ? QJsonValue() : QJsonValue(sectionWord(c.otherSection()));
    port[QStringLiteral("unknown_section")] = unknown ? QJsonValue(sectionWord(c.otherSection())) : QJsonValue();
    if (unknown)
        port[QStringLiteral("unknown_reason")] = c.unknownReason;
    port[QStringLiteral("other_section_not_compared")] = unknown;
    port[QStringLiteral("forced")] = c.forced;
}

} // namespace q5n::tool
