#include "tool/FieldNames.h"

#include "model/Notation.h"
#include "model/PageTable.h"
#include "model/Text8.h"

namespace q5n::tool {

namespace {

// A caption as a person reads it: without the access-key "&" and outer blanks.
QString plain(const QString &caption)
{
    QString s = caption;
    s.remove(QLatin1Char('&'));
    return s.trimmed();
}

QString choicesOf(const FieldEntry &e)
{
    QStringList names;
    for (const FieldOption &o : e.options)
        names << QLatin1Char('"') + plain(o.caption) + QLatin1Char('"');
    return names.join(QStringLiteral(", "));
}

std::optional<int> optionByCaption(const FieldEntry &e, const QString &value)
{
    for (const FieldOption &o : e.options)
        if (plain(o.caption).compare(value.trimmed(), Qt::CaseInsensitive) == 0)
            return o.index;
    return std::nullopt;
}

std::optional<bool> parseSwitch(const QString &value)
{
    const QString v = value.trimmed().toLower();
    if (v == QLatin1String("on") || v == QLatin1String("checked") || v == QLatin1String("1") ||
        v == QLatin1String("yes") || v == QLatin1String("true"))
        return true;
    if (v == QLatin1String("off") || v == QLatin1String("clear") || v == QLatin1String("0") ||
        v == QLatin1String("no") || v == QLatin1String("false"))
        return false;
    return std::nullopt;
}

} // namespace

std::optional<FieldRef> resolveField(const QString &rawName, QString *error)
{
    QString name = rawName.trimmed();
    // A slot: ".trackN" at the end.
    int slot = -1;
    static const QString kTrack = QStringLiteral(".track");
    const int at = name.lastIndexOf(kTrack, -1, Qt::CaseInsensitive);
    if (at > 0 && at + kTrack.size() + 1 == name.size()) {
        slot = name.right(1).toInt() - 1;
        name.truncate(at);
        if (slot < 0) {
            *error = QStringLiteral("%1: no such track (track1, track2 or track3)").arg(rawName);
            return std::nullopt;
        }
    }

    std::vector<const FieldEntry *> found;
    const int slash = name.indexOf(QLatin1Char('/'));
    const int dot = name.indexOf(QLatin1Char('.'));
    if (slash > 0) {
        // Caption path: page (objectName or title) / caption.
        const QString page = name.left(slash).trimmed();
        const QString caption = name.mid(slash + 1).trimmed();
        for (const FieldEntry &e : fieldCatalogue()) {
            if (!e.inImage())
                continue;
            const bool pageMatches = pageObjectName(e.page).compare(page, Qt::CaseInsensitive) == 0 ||
                                     pageTitle(e.page).compare(page, Qt::CaseInsensitive) == 0;
            const bool captionMatches =
                plain(e.caption).compare(caption, Qt::CaseInsensitive) == 0 ||
                (!e.label.isEmpty() && plain(e.label).compare(caption, Qt::CaseInsensitive) == 0);
            if (pageMatches && captionMatches)
                found.push_back(&e);
        }
    } else if (dot > 0) {
        const QString page = name.left(dot);
        const QString control = name.mid(dot + 1);
        for (const FieldEntry &e : fieldCatalogue())
            if (e.inImage() && pageObjectName(e.page) == page && e.name == control)
                found.push_back(&e);
    } else {
        for (const FieldEntry &e : fieldCatalogue())
            if (e.inImage() && e.name == name)
                found.push_back(&e);
    }

    if (found.empty()) {
        *error = QStringLiteral("%1: no such field (try \"q5ntool show FILE\" for every field's name)").arg(rawName);
        return std::nullopt;
    }
    if (found.size() > 1) {
        QStringList names;
        for (const FieldEntry *e : found)
            names << qualifiedName({e, 0}).section(QLatin1Char('.'), 0, 1);
        *error = QStringLiteral("%1: more than one field has this name; say which: %2")
                     .arg(rawName, names.join(QStringLiteral(", ")));
        return std::nullopt;
    }
    const FieldEntry *e = found.front();
    if (e->slotCount > 1 && slot < 0) {
        *error = QStringLiteral("%1: this box has one slot per track; add .track1, .track2 or .track3").arg(rawName);
        return std::nullopt;
    }
    if (slot >= e->slotCount) {
        *error = QStringLiteral("%1: no such track").arg(rawName);
        return std::nullopt;
    }
    return FieldRef{e, slot < 0 ? 0 : slot};
}

QString *setupTextByName(SetupInfo &info, const QString &name)
{
    const QString n = name.trimmed().toLower().remove(QLatin1Char(' ')).remove(QLatin1Char('\''));
    if (n == QLatin1String("devicename") || n == QLatin1String("txtdevicename"))
        return &info.deviceName;
    if (n == QLatin1String("username") || n == QLatin1String("usersname") || n == QLatin1String("txtusername"))
        return &info.userName;
    if (n == QLatin1String("buildingdate") || n == QLatin1String("date") || n == QLatin1String("txtdate"))
        return &info.buildingDate;
    if (n == QLatin1String("description") || n == QLatin1String("txtdescription"))
        return &info.description;
    return nullptr;
}

bool setValue(const FieldRef &ref, const QString &value, ConfigImage &image, QString *error)
{
    const FieldEntry &e = *ref.entry;
    const QString who = qualifiedName(ref);
    quint8 &byte = image[e.byte];
    switch (e.kind) {
    case FieldKind::Index:
    case FieldKind::Coded: {
        const auto o = optionByCaption(e, value);
        if (!o) {
            *error = QStringLiteral("%1: \"%2\" is not a choice; choices: %3").arg(who, value, choicesOf(e));
            return false;
        }
        byte = quint8((byte & ~e.mask) | e.valueOf(*o));
        return true;
    }
    case FieldKind::Flag: {
        const auto on = parseSwitch(value);
        if (!on) {
            *error = QStringLiteral("%1: \"%2\" is not a switch value; use on or off").arg(who, value);
            return false;
        }
        byte = quint8((byte & ~e.mask) | (*on ? e.mask : 0));
        return true;
    }
    case FieldKind::BitSet: {
        int bits = 0;
        const QString v = value.trimmed();
        if (v.compare(QLatin1String("none"), Qt::CaseInsensitive) != 0 && !v.isEmpty()) {
            for (const QString &part : v.split(QLatin1Char(','))) {
                bool isNumber = false;
                const int index = part.trimmed().toInt(&isNumber);
                const FieldOption *o = isNumber ? e.option(index) : nullptr;
                if (!isNumber) {
                    int matches = 0;
                    for (const FieldOption &opt : e.options)
                        if (plain(opt.caption).compare(part.trimmed(), Qt::CaseInsensitive) == 0) {
                            o = &opt;
                            ++matches;
                        }
                    if (matches > 1)
                        o = nullptr;
                }
                if (!o) {
                    QStringList boxes;
                    for (const FieldOption &opt : e.options)
                        boxes << QStringLiteral("%1 \"%2\"").arg(opt.index).arg(plain(opt.caption));
                    *error = QStringLiteral("%1: \"%2\" is not a box; boxes (by number, or by a caption that is "
                                            "unique): %3, or none")
                                 .arg(who, part.trimmed(), boxes.join(QStringLiteral(", ")));
                    return false;
                }
                bits |= o->code;
            }
        }
        byte = quint8((byte & ~e.mask) | bits);
        return true;
    }
    case FieldKind::Count: {
        bool ok = false;
        const int n = value.trimmed().toInt(&ok);
        const int most = e.mask / e.unit();
        if (!ok || n < 0 || n > most) {
            *error = QStringLiteral("%1: \"%2\" is not a count; use a number from 0 to %3").arg(who, value).arg(most);
            return false;
        }
        byte = quint8((byte & ~e.mask) | (n * e.unit()));
        return true;
    }
    case FieldKind::Character: {
        if (value.isEmpty()) {
            byte = 0;
            return true;
        }
        const auto b = value.size() == 1 ? byteFromChar(value[0]) : std::nullopt;
        if (!b || *b < 32) {
            *error = QStringLiteral("%1: \"%2\" is not one printable character (or empty)").arg(who, value);
            return false;
        }
        byte = *b;
        return true;
    }
    case FieldKind::CharacterChoice: {
        if (const auto code = controlCode(value)) {
            byte = quint8(*code);
            return true;
        }
        const auto b = value.size() == 1 ? byteFromChar(value[0]) : std::nullopt;
        if (!b) {
            *error = QStringLiteral("%1: \"%2\" is neither a control name (%3) nor one character")
                         .arg(who, value, choicesOf(e));
            return false;
        }
        byte = *b;
        return true;
    }
    case FieldKind::CharacterSequence: {
        if (!encodable8(value)) {
            *error = QStringLiteral("%1: \"%2\" holds a character with no 8-bit code").arg(who, value);
            return false;
        }
        ConfigImage trial = image;
        textToInsertion(trial, value, ref.firstByte(), e.length);
        // The text must fit: what is stored must show the same text again.
        if (insertionToText(trial, ref.firstByte(), e.length).compare(value, Qt::CaseInsensitive) != 0) {
            *error = QStringLiteral("%1: \"%2\" does not fit in %3 characters (a control code is one, written "
                                    "{CR}, {STX}, ...)")
                         .arg(who, value)
                         .arg(e.length);
            return false;
        }
        image = trial;
        return true;
    }
    case FieldKind::Text: break;
    }
    *error = QStringLiteral("%1: cannot be set").arg(who);
    return false;
}

} // namespace q5n::tool
