#include "model/FieldCatalogue.h"

#include "model/ConfigImage.h"
#include "model/ProgramState.h"

#include <algorithm>
#include <initializer_list>
#include <map>

namespace q5n {

QString fieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Index: return QStringLiteral("index");
    case FieldKind::Coded: return QStringLiteral("coded");
    case FieldKind::Flag: return QStringLiteral("flag");
    case FieldKind::BitSet: return QStringLiteral("bit-set");
    case FieldKind::Character: return QStringLiteral("character");
    case FieldKind::CharacterSequence: return QStringLiteral("character-sequence");
    case FieldKind::Text: return QStringLiteral("text");
    }
    return QString();
}

QString &setupText(SetupInfo &info, SetupText which)
{
    switch (which) {
    case SetupText::DeviceName: return info.deviceName;
    case SetupText::UserName: return info.userName;
    case SetupText::BuildingDate: return info.buildingDate;
    case SetupText::Description: return info.description;
    }
    return info.description;
}

const QString &setupText(const SetupInfo &info, SetupText which)
{
    return setupText(const_cast<SetupInfo &>(info), which);
}

int FieldEntry::unit() const
{
    return mask == 0 ? 1 : (mask & -mask);
}

const FieldOption *FieldEntry::option(int index) const
{
    for (const FieldOption &o : options)
        if (o.index == index)
            return &o;
    return nullptr;
}

std::optional<int> FieldEntry::optionForCode(int code) const
{
    if (kind == FieldKind::Coded) {
        for (const CodeShow &s : shows)
            if (s.code == code)
                return s.option;
        return std::nullopt;
    }
    if (kind == FieldKind::Index && option(code))
        return code;
    return std::nullopt;
}

int FieldEntry::valueOf(int optionIndex) const
{
    const FieldOption *o = option(optionIndex);
    if (!o)
        return 0;
    if (kind == FieldKind::BitSet)
        return o->code;
    return o->code * unit();
}

int FieldEntry::occupiedMask() const
{
    switch (kind) {
    case FieldKind::Character:
    case FieldKind::CharacterSequence: return 0xFF;
    case FieldKind::Text: return 0;
    default: return mask;
    }
}

namespace {

// Options whose index is also the code they write, captions in index order.
std::vector<FieldOption> indexed(std::initializer_list<const char *> captions)
{
    std::vector<FieldOption> out;
    int i = 0;
    for (const char *c : captions) {
        out.push_back({i, QString::fromUtf8(c), i});
        ++i;
    }
    return out;
}

FieldEntry indexField(int page, const char *name, const char *frameCaption, int byte, int mask,
                      std::initializer_list<const char *> captions, int designSelection = 0)
{
    FieldEntry e;
    e.name = QString::fromUtf8(name);
    e.kind = FieldKind::Index;
    e.page = page;
    e.caption = QString::fromUtf8(frameCaption);
    e.byte = byte;
    e.mask = mask;
    e.options = indexed(captions);
    e.designSelection = designSelection;
    return e;
}

FieldEntry flagField(int page, const char *name, const char *caption, int byte, int mask)
{
    FieldEntry e;
    e.name = QString::fromUtf8(name);
    e.kind = FieldKind::Flag;
    e.page = page;
    e.caption = QString::fromUtf8(caption);
    e.byte = byte;
    e.mask = mask;
    return e;
}

FieldEntry textField(int page, const char *name, const char *label, SetupText text)
{
    FieldEntry e;
    e.name = QString::fromUtf8(name);
    e.kind = FieldKind::Text;
    e.page = page;
    e.caption = QString::fromUtf8(label);
    e.text = text;
    return e;
}

std::vector<FieldEntry> buildCatalogue()
{
    std::vector<FieldEntry> c;

    // Page 1, cfg3 "Interface": the setup texts, the interface mode and the
    // read-memory switch of the decoder.
    c.push_back(textField(1, "txtDeviceName", "Device Name: ", SetupText::DeviceName));
    c.push_back(textField(1, "txtUserName", "User's Name: ", SetupText::UserName));
    c.push_back(textField(1, "txtDate", "Building Date:", SetupText::BuildingDate));
    c.push_back(textField(1, "txtDescription", "Description:", SetupText::Description));
    c.push_back(indexField(1, "OptCfg3_1", "Interface", 22, 0x03,
                           {"Keyboard Mode", "USB Mode", "RS232 Mode"}));
    c.push_back(flagField(1, "ChkRead", "Read Memory Enable", 24, 0x01));

    return c;
}

} // namespace

std::span<const FieldEntry> fieldCatalogue()
{
    static const std::vector<FieldEntry> catalogue = buildCatalogue();
    return catalogue;
}

const FieldEntry *findField(int page, const QString &name)
{
    for (const FieldEntry &e : fieldCatalogue())
        if (e.page == page && e.name == name)
            return &e;
    return nullptr;
}

std::vector<const FieldEntry *> fieldsOfPage(int page)
{
    std::vector<const FieldEntry *> out;
    for (const FieldEntry &e : fieldCatalogue())
        if (e.page == page)
            out.push_back(&e);
    return out;
}

QStringList catalogueProblems(std::span<const FieldEntry> entries)
{
    QStringList problems;
    // Bits of each byte already claimed, and by whom.
    std::map<int, std::vector<std::pair<int, const FieldEntry *>>> claims;
    std::map<std::pair<int, QString>, int> names;

    for (const FieldEntry &e : entries) {
        const QString who = QStringLiteral("%1 (page %2)").arg(e.name).arg(e.page);
        if (++names[{e.page, e.name}] == 2)
            problems << who + QStringLiteral(": name used twice on the page");

        if (e.kind == FieldKind::Text) {
            if (!e.text)
                problems << who + QStringLiteral(": text field without a setup text");
            continue;
        }
        const int last = e.byte + (e.kind == FieldKind::CharacterSequence ? e.length : 1) - 1;
        if (!ConfigImage::validIndex(e.byte) || !ConfigImage::validIndex(last)) {
            problems << who + QStringLiteral(": byte outside the image");
            continue;
        }
        if (e.mask <= 0 || e.mask > 0xFF)
            problems << who + QStringLiteral(": mask outside one byte");
        if (e.kind == FieldKind::Flag && (e.mask & (e.mask - 1)) != 0)
            problems << who + QStringLiteral(": flag mask with more than one bit");

        for (int b = e.byte; b <= last; ++b) {
            for (const auto &[bits, other] : claims[b])
                if (bits & e.occupiedMask())
                    problems << who + QStringLiteral(": overlaps %1 (page %2) in byte %3")
                                          .arg(other->name)
                                          .arg(other->page)
                                          .arg(b);
            claims[b].push_back({e.occupiedMask(), &e});
        }

        const bool group = e.kind == FieldKind::Index || e.kind == FieldKind::Coded;
        std::vector<int> seen;
        for (const FieldOption &o : e.options) {
            if (std::find(seen.begin(), seen.end(), o.index) != seen.end())
                problems << who + QStringLiteral(": option index %1 twice").arg(o.index);
            seen.push_back(o.index);
            const int value = e.valueOf(o.index);
            if (value < 0 || (value & ~e.mask) != 0)
                problems << who + QStringLiteral(": option %1 writes 0x%2 outside mask 0x%3")
                                      .arg(o.index)
                                      .arg(value, 0, 16)
                                      .arg(e.mask, 0, 16);
            if (e.kind == FieldKind::BitSet && (value == 0 || (value & (value - 1)) != 0))
                problems << who + QStringLiteral(": box %1 owns no single bit").arg(o.index);
        }
        if (group && e.options.empty())
            problems << who + QStringLiteral(": option group without options");
        if (group && e.designSelection >= 0 && !e.option(e.designSelection))
            problems << who + QStringLiteral(": design selection %1 is no option").arg(e.designSelection);
        if (group && e.designSelection < 0)
            problems << who + QStringLiteral(": option group without a design selection");
        for (const CodeShow &s : e.shows) {
            if (!e.option(s.option))
                problems << who + QStringLiteral(": code %1 shown by missing option %2").arg(s.code).arg(s.option);
            if (s.code < 0 || (s.code * e.unit() & ~e.mask) != 0)
                problems << who + QStringLiteral(": shown code %1 outside the mask").arg(s.code);
        }
        if (e.kind == FieldKind::Coded) {
            // Every option must show again what it writes, or a choice would be
            // lost at the next opening.
            for (const FieldOption &o : e.options)
                if (e.optionForCode(o.code) != o.index)
                    problems << who + QStringLiteral(": option %1 writes code %2, which it does not show")
                                          .arg(o.index)
                                          .arg(o.code);
        }
    }
    return problems;
}

} // namespace q5n
