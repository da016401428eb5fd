#include "model/FieldNaming.h"

#include "model/Notation.h"
#include "model/PageTable.h"
#include "model/Text8.h"

#include <QStringList>

#include <initializer_list>

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

// Where each field stands on its page: the tab (frame) and, where the frame
// groups fields in a captioned box, that box. Two fields of one page may share
// a caption ("Check Digit" on four tabs, "Characters to be Inserted" in the
// prefix and the suffix box); with the frame the path names one field.
struct FramePlace
{
    int page;
    const char *frame; // tab caption, then " › " and a box caption
    std::initializer_list<const char *> fields;
};
const FramePlace kFramePlaces[] = {
    {Page::DecoderInterface, "Interface", {"OptCfg3_1", "ChkRead"}},
    {Page::DecoderComm,
     "RS232",
     {"optCfg41A", "optCfg41D", "optCfg41B", "optRTSCTS", "optCfg41C", "optACKNCK", "optXONXOFF"}},
    {Page::DecoderComm, "Keyboard", {"optCfg42A", "Optcfg42b", "optCfg42C", "optCfg42D"}},
    {Page::DecoderComm, "Output Character", {"optCfg43A", "optCfg43B"}},
    {Page::DecoderBar, "Symboligies", {"chk51"}},
    {Page::DecoderBar, "UPC/EAN/JAN \u203A Reading Type", {"chkUpcAEan13", "chkIsbn"}},
    {Page::DecoderBar, "UPC/EAN/JAN", {"optCfg52B", "Optcheck"}},
    {Page::DecoderBar, "Code 39", {"Optcode39", "OptStart_stop", "opt53B"}},
    {Page::DecoderBar, "Code 128", {"opt54A"}},
    {Page::DecoderBar, "Interleave 25", {"opt55A", "ChkBrazil"}},
    {Page::DecoderBar, "Codabar", {"chk58A", "ChkStart"}},
    {Page::DecoderMisc, "Language", {"opt61"}},
    {Page::DecoderMisc,
     "Code ID",
     {"chk62", "txt62_0", "txt62_1", "txt62_2", "txt62_3", "txt62_4", "txt62_5", "txt62_6", "txt62_7"}},
    {Page::DecoderMisc, "Characters Edit \u203A Truncate", {"cboTruncate1", "CboTruncate2"}},
    {Page::DecoderMisc, "Characters Edit \u203A Prefix", {"txt694"}},
    {Page::DecoderMisc, "Characters Edit \u203A Sufix", {"txt693"}},
    {Page::ReaderInterface, "Interface", {"OptCfg3_1", "ChkNotebook", "ChkMSRMem"}},
    {Page::ReaderComm,
     "RS232",
     {"optCfg41A", "optCfg41D", "optCfg41B", "optRTSCTS", "optCfg41C", "optACKNCK", "optXONXOFF"}},
    {Page::ReaderComm, "Keyboard", {"optCfg42A", "Optcfg42b", "optCfg42C", "optCfg42D"}},
    {Page::ReaderComm, "Output Characters", {"optCfg43A", "optCfg43B"}},
    {Page::ReaderComm, "Magnetic Reader", {"OptISO", "optCfg45A", "chkCfg45B", "chkCfg45C", "cbo45D"}},
    {Page::ReaderMisc, "Language", {"opt61"}},
    {Page::ReaderMisc, "Tracks Edit \u203A Prefix", {"txt694"}},
    {Page::ReaderMisc, "Tracks Edit \u203A Sufix", {"txt693"}},
    {Page::ReaderMisc,
     "Start and End Char",
     {"txtChar_0", "txtChar_1", "txtChar_2", "txtChar_3", "txtChar_4", "txtChar_5"}},
};

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

QString frameOf(const FieldEntry &entry)
{
    for (const FramePlace &place : kFramePlaces)
        if (place.page == entry.page)
            for (const char *name : place.fields)
                if (entry.name == QLatin1String(name))
                    return QString::fromUtf8(place.frame);
    return {};
}

QString fieldCaption(const FieldRef &ref)
{
    const FieldEntry &e = *ref.entry;
    QString caption;
    if (ref.part >= 0)
        caption = plainCaption(e.frames[std::size_t(ref.part)].caption);
    else if (e.kind == FieldKind::Flag && !e.label.isEmpty())
        caption = plainCaption(e.label); // the box's own caption ("ON") says only its state
    else
        caption = joinedCaption(e, plainCaption);
    if (const QString frame = frameOf(*ref.entry); !frame.isEmpty())
        caption = frame + QStringLiteral(" \u203A ") + caption;
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

std::vector<FieldRef> shownFields()
{
    std::vector<FieldRef> out;
    for (const FieldRef &ref : imageFields()) {
        if (ref.entry->frames.empty()) {
            out.push_back(ref);
            continue;
        }
        for (std::size_t part = 0; part < ref.entry->frames.size(); ++part)
            out.push_back({ref.entry, ref.slot, int(part)});
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
    const QString frame = frameOf(e);
    QString path = QStringLiteral("%1 (%2) \u203A ").arg(pageTitle(e.page), pageObjectName(e.page));
    if (!frame.isEmpty())
        path += frame + QStringLiteral(" \u203A ");
    path += joinedCaption(e, toolCaption);
    if (e.slotCount > 1)
        path += QStringLiteral(" \u203A Track %1").arg(ref.slot + 1);
    return path;
}

QString valueOf(const FieldRef &ref, const ConfigImage &image)
{
    const FieldEntry &e = *ref.entry;
    if (e.kind == FieldKind::CharacterSequence) {
        // As the box shows it, but a brace character is marked "\{" so that
        // it is never taken for a name: "{CR}" is one byte, "\{CR\}" four.
        QString text;
        for (int k = 0; k < e.length; ++k) {
            const quint8 b = image.at(ref.firstByte() + k);
            if (b == 255)
                break;
            if (b == '{' || b == '}')
                text += QLatin1Char('\\');
            text += b < 32 ? QLatin1Char('{') + controlName(b) + QLatin1Char('}') : QString(charFromByte(b));
        }
        return text;
    }
    if (e.kind == FieldKind::Character) {
        const quint8 b = image.at(e.byte);
        if (b == 0)
            return QString();
        return b < 32 ? QStringLiteral("{%1}").arg(controlName(b)) : QString(charFromByte(b));
    }
    return valueText(e, image);
}

QString shownValue(const FieldRef &ref, const ConfigImage &image)
{
    const FieldEntry &e = *ref.entry;
    if (e.kind == FieldKind::CharacterSequence)
        return insertionToText(image, ref.firstByte(), e.length);
    if (e.kind != FieldKind::BitSet)
        return valueOf(ref, image);
    std::vector<int> order = e.screenOrder;
    if (order.empty())
        for (const FieldOption &o : e.options)
            order.push_back(o.index);
    QStringList checked;
    const int stored = image.at(e.byte) & ref.mask();
    for (int index : order)
        if (const FieldOption *o = e.option(index); o && (o->code & ref.mask()) && (stored & o->code))
            checked << o->caption;
    return checked.isEmpty() ? kNoBoxChecked : checked.join(QStringLiteral(", "));
}

QString linkLineCaption(LinkLine line)
{
    return line == LinkLine::Interface ? QStringLiteral("Interface") : QStringLiteral("Port");
}

qint16 &linkLineNumber(LinkLine line, LinkSettings &link)
{
    return line == LinkLine::Interface ? link.linkMode : link.portNumber;
}

qint16 linkLineNumber(LinkLine line, const LinkSettings &link)
{
    return linkLineNumber(line, const_cast<LinkSettings &>(link));
}

QString linkLineValue(LinkLine line, const LinkSettings &link)
{
    const qint16 n = linkLineNumber(line, link);
    if (line == LinkLine::Interface) {
        // Any mode but RS232's is the keyboard line; the window selects
        // "Keyboard" for it, while the file keeps the number it holds.
        if (n == LinkSettings::kRs232)
            return QStringLiteral("RS232");
        return n == LinkSettings::kKeyboard ? QStringLiteral("Keyboard") : QStringLiteral("Keyboard (mode %1)").arg(n);
    }
    if (n >= 1 && n <= 6)
        return QStringLiteral("Com %1").arg(n);
    return QStringLiteral("(port %1: no option)").arg(n);
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
    out.append(char(image.at(e.byte) & ref.mask()));
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
