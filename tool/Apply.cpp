#include "tool/Apply.h"

#include "model/Defaults.h"
#include "tool/FieldNames.h"

#include <QJsonArray>

namespace q5n::tool {

namespace {

QString hexByte(quint8 b)
{
    return QStringLiteral("0x%1").arg(b, 2, 16, QLatin1Char('0'));
}

} // namespace

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

SectionComparison compareSection(const ConfigImage &file, const UploadReply &reply)
{
    SectionComparison c;
    c.section = reply.section;
    ConfigImage decoder = file;
    applyUploadReply(reply, decoder);
    for (const FieldRef &ref : imageFields())
        if (storedBits(ref, decoder) != storedBits(ref, file))
            c.changes.append({qualifiedName(ref), captionPath(ref), valueOf(ref, decoder), valueOf(ref, file)});
    // Bits no page shows still count: a download would change them.
    const int first = reply.firstImageByte();
    const int end = reply.section == UploadReply::Section::Reader ? kImageSize : kReaderFirst;
    for (int i = first; i < end; ++i) {
        const int owned = ownedBits(i);
        if ((decoder[i] & ~owned) != (file[i] & ~owned))
            c.changes.append({QStringLiteral("byte%1").arg(i), QStringLiteral("byte %1 (bits no page shows)").arg(i),
                              hexByte(decoder[i]), hexByte(file[i])});
    }
    const ConfigImage factory = factoryImage();
    const int otherFirst = reply.section == UploadReply::Section::Reader ? 0 : kReaderFirst;
    const int otherEnd = reply.section == UploadReply::Section::Reader ? kReaderFirst : kImageSize;
    for (int i = otherFirst; i < otherEnd; ++i)
        c.otherSectionSet = c.otherSectionSet || file[i] != factory[i];
    return c;
}

QString sectionWord(UploadReply::Section section)
{
    return section == UploadReply::Section::Reader ? QStringLiteral("reader") : QStringLiteral("decoder");
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

QString applySummary(ApplyResult result, const SectionComparison &comparison)
{
    QString text;
    switch (result) {
    case ApplyResult::Unchanged: text = QStringLiteral("every setting agrees"); break;
    case ApplyResult::Changed:
        text = QStringLiteral("%1 setting(s) changed and verified").arg(comparison.changes.size());
        break;
    case ApplyResult::WouldChange:
        text = QStringLiteral("%1 setting(s) would change").arg(comparison.changes.size());
        break;
    case ApplyResult::Failed: text = applyResultWord(result); break;
    }
    text += QStringLiteral(" (%1 section)").arg(sectionWord(comparison.section));
    if (comparison.otherSectionSet)
        text += QStringLiteral("; the decoder sends only its %1 section: the file's %2 settings were not compared")
                    .arg(sectionWord(comparison.section), sectionWord(comparison.section == UploadReply::Section::Reader
                                                                          ? UploadReply::Section::Decoder
                                                                          : UploadReply::Section::Reader));
    return text;
}

QString changeLine(const FieldChange &change)
{
    return QStringLiteral("%1 (%2): %3 -> %4").arg(change.field, change.name, change.before, change.after);
}

void addComparison(const SectionComparison &comparison, QJsonObject &port)
{
    QJsonArray list;
    for (const FieldChange &c : comparison.changes)
        list.append(QJsonObject{{QStringLiteral("name"), c.name},
                                {QStringLiteral("field"), c.field},
                                {QStringLiteral("old"), c.before},
                                {QStringLiteral("new"), c.after}});
    port[QStringLiteral("section")] = sectionWord(comparison.section);
    port[QStringLiteral("changes")] = list;
    port[QStringLiteral("other_section_not_compared")] = comparison.otherSectionSet;
}

} // namespace q5n::tool
