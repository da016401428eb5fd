#include "model/FieldNaming.h"

#include "model/Notation.h"
#include "model/PageTable.h"
#include "model/Text8.h"

namespace q5n {

QString pageObjectName(int page)
{
    const PageInfo *p = pageInfo(page);
    return p ? p->objectName : QStringLiteral("page%1").arg(page);
}

QString pageTitle(int page)
{
    const PageInfo *p = pageInfo(page);
    return p ? p->title : QString();
}

QString pagePath(int page)
{
    const PageInfo *p = pageInfo(page);
    if (!p)
        return QString();
    switch (p->family) {
    case PageFamily::BarDecoder: return QStringLiteral("Bar Decoder \u203A ") + p->title;
    case PageFamily::MagneticReader: return QStringLiteral("Magnetic Reader \u203A ") + p->title;
    case PageFamily::Tool: break;
    }
    return p->title;
}

QString plainCaption(const QString &caption)
{
    QString s = caption;
    s.remove(QLatin1Char('&'));
    s = s.trimmed();
    if (s.endsWith(QLatin1Char(':')))
        s.chop(1);
    return s.trimmed();
}

namespace {

// The tool's names keep a label's colon, as scripts have seen them.
QString toolCaption(const QString &caption)
{
    QString s = caption;
    s.remove(QLatin1Char('&'));
    return s.trimmed();
}

QString joinedCaption(const FieldEntry &e, QString (*clean)(const QString &))
{
    QString caption = clean(e.caption);
    if (!e.label.isEmpty())
        caption = caption.isEmpty() ? clean(e.label) : clean(e.label) + QLatin1Char(' ') + caption;
    return caption;
}

} // namespace

QString fieldCaption(const FieldRef &ref)
{
    QString caption = joinedCaption(*ref.entry, plainCaption);
    if (!ref.entry->group.isEmpty())
        caption = ref.entry->group + QStringLiteral(" \u203A ") + caption;
    if (ref.entry->slotCount > 1)
        caption += QStringLiteral(" \u203A Track %1").arg(ref.slot + 1);
    return caption;
}

std::vector<FieldRef> imageFields()
{
    std::vector<FieldRef> out;
    for (const FieldEntry &e : fieldCatalogue()) {
        if (!e.inImage())
            continue;
        for (int slot = 0; slot < e.slotCount; ++slot)
            out.push_back({&e, slot});
    }
    return out;
}

QString qualifiedName(const FieldRef &ref)
{
    QString name = pageObjectName(ref.entry->page) + QLatin1Char('.') + ref.entry->name;
    if (ref.entry->slotCount > 1)
        name += QStringLiteral(".track%1").arg(ref.slot + 1);
    return name;
}

QString captionPath(const FieldRef &ref)
{
    const FieldEntry &e = *ref.entry;
    QString path = QStringLiteral("%1 (%2) \u203A %3")
                       .arg(pageTitle(e.page), pageObjectName(e.page), joinedCaption(e, toolCaption));
    if (e.slotCount > 1)
        path += QStringLiteral(" \u203A Track %1").arg(ref.slot + 1);
    return path;
}

QString valueOf(const FieldRef &ref, const ConfigImage &image)
{
    const FieldEntry &e = *ref.entry;
    if (e.kind == FieldKind::CharacterSequence)
        return insertionToText(image, ref.firstByte(), e.length);
    if (e.kind == FieldKind::Character) {
        const quint8 b = image.at(e.byte);
        if (b == 0)
            return QString();
        return b < 32 ? QStringLiteral("{%1}").arg(controlName(b)) : QString(charFromByte(b));
    }
    return valueText(e, image);
}

QByteArray storedBits(const FieldRef &ref, const ConfigImage &image)
{
    const FieldEntry &e = *ref.entry;
    QByteArray out;
    if (e.kind == FieldKind::CharacterSequence) {
        for (int k = 0; k < e.length; ++k)
            out.append(char(image.at(ref.firstByte() + k)));
        return out;
    }
    out.append(char(image.at(e.byte) & e.occupiedMask()));
    return out;
}

int ownedBits(int index)
{
    int owned = 0;
    for (const FieldRef &ref : imageFields()) {
        const FieldEntry &e = *ref.entry;
        if (e.kind == FieldKind::CharacterSequence) {
            if (index >= ref.firstByte() && index < ref.firstByte() + e.length)
                owned = 0xFF;
        } else if (e.byte == index) {
            owned |= e.occupiedMask();
        }
    }
    return owned;
}

} // namespace q5n
