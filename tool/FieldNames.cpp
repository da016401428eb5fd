#include "tool/FieldNames.h"

#include "model/Notation.h"
#include "model/PageTable.h"
#include "model/Text8.h"

#include <QRegularExpression>

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

// A caption path as a script may write it: " › " or "/" between the parts,
// no blanks around them, any case.
QString pathKey(const QString &path)
{
    QStringList parts = QString(path).replace(QStringLiteral("\u203A"), QStringLiteral("/")).split(QLatin1Char('/'));
    for (QString &part : parts)
        part = part.trimmed();
    return parts.join(QLatin1Char('/')).toLower();
}

// The caption of the field itself, with the label beside it.
QString fieldCaption(const FieldEntry &e)
{
    QString caption = plain(e.caption);
    if (!e.label.isEmpty())
        caption = caption.isEmpty() ? plain(e.label) : plain(e.label) + QLatin1Char(' ') + caption;
    return caption;
}

// The brace names the notation knows: "{NUL}, {SOH}, ... {US}".
QString braceNames()
{
    QStringList names;
    for (int code = 0; code < 32; ++code)
        names << QLatin1Char('{') + controlName(code) + QLatin1Char('}');
    return names.join(QStringLiteral(" "));
}

// The bytes a box's text stands for, read strictly: a brace starts a name the
// notation knows ({CR}), and "\{" and "\}" are the brace characters
// themselves. Nothing on anything else: the program would keep an unknown
// name as typed characters, which a script cannot see.
std::optional<QByteArray> bracedBytes(const QString &text, QString *error)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size() &&
            (text.at(i + 1) == QLatin1Char('{') || text.at(i + 1) == QLatin1Char('}'))) {
            bytes.append(text.at(++i).toLatin1());
            continue;
        }
        if (c == QLatin1Char('{') || c == QLatin1Char('}')) {
            const qsizetype j = c == QLatin1Char('{') ? text.indexOf(QLatin1Char('}'), i) : -1;
            const auto code = j > i + 2 ? controlCode(text.mid(i + 1, j - i - 1)) : std::nullopt;
            if (!code) {
                const QString what = j > i ? text.mid(i, j - i + 1) : QString(c);
                *error = QStringLiteral("\"%1\" is not a brace name the notation knows (%2); write \\{ and \\} "
                                        "for braces as characters")
                             .arg(what, braceNames());
                return std::nullopt;
            }
            bytes.append(char(*code));
            i = j;
            continue;
        }
        const auto b = byteFromChar(c);
        if (!b || *b == 255) {
            *error = QStringLiteral("\"%1\" has no place in the box (a character with no 8-bit code, or the one of "
                                    "byte 255, which ends the content)")
                         .arg(c);
            return std::nullopt;
        }
        bytes.append(char(*b));
    }
    return bytes;
}

} // namespace

std::optional<FieldRef> resolveField(const QString &rawName, QString *error)
{
    QString name = rawName.trimmed();
    // A slot: ".trackN" at the end.
    int slot = -1;
    static const QString kTrack = QStringLiteral(".track");
    const int at = name.lastIndexOf(kTrack, -1, Qt::CaseInsensitive);
    // ... or "/Track 2", " › Track 2" at the end of a caption path, as show prints it.
    static const QRegularExpression kTrackPart(QStringLiteral("\\s*(?:/|\u203A)\\s*track\\s*([0-9])\\s*$"),
                                               QRegularExpression::CaseInsensitiveOption);
    if (const auto m = kTrackPart.match(name); m.hasMatch()) {
        slot = m.captured(1).toInt() - 1;
        name.truncate(m.capturedStart());
        if (slot < 0) {
            *error = QStringLiteral("%1: no such track (track1, track2 or track3)").arg(rawName);
            return std::nullopt;
        }
    } else if (at > 0 && at + kTrack.size() + 1 == name.size()) {
        slot = name.right(1).toInt() - 1;
        name.truncate(at);
        if (slot < 0) {
            *error = QStringLiteral("%1: no such track (track1, track2 or track3)").arg(rawName);
            return std::nullopt;
        }
    }

    std::vector<const FieldEntry *> found;
    bool ambiguousByPath = false;
    const int slash = name.indexOf(QLatin1Char('/'));
    const int dot = name.indexOf(QLatin1Char('.'));
    if (slash > 0 || name.contains(QStringLiteral("\u203A"))) {
        // Caption path: the page (its name, its title, or both as show prints
        // them), the frame and box where the caption needs them, the caption.
        const QString key = pathKey(name);
        for (const FieldEntry &e : fieldCatalogue()) {
            if (!e.inImage())
                continue;
            const QString caption = fieldCaption(e);
            const QString frame = frameOf(e);
            QStringList tails{caption, plain(e.caption), frame + QLatin1Char('/') + caption};
            if (frame.contains(QStringLiteral("\u203A")))
                tails << frame.section(QStringLiteral(" \u203A "), 0, 0) + QLatin1Char('/') + caption
                      << frame.section(QStringLiteral(" \u203A "), 1) + QLatin1Char('/') + caption;
            const QString pages[] = {pageObjectName(e.page), pageTitle(e.page),
                                     QStringLiteral("%1 (%2)").arg(pageTitle(e.page), pageObjectName(e.page))};
            bool matches = false;
            for (const QString &page : pages)
                for (const QString &tail : tails)
                    matches = matches || (!tail.isEmpty() && key == pathKey(page + QLatin1Char('/') + tail));
            if (matches)
                found.push_back(&e);
        }
        ambiguousByPath = true;
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
            names << (ambiguousByPath ? QStringLiteral("\"%1/%2/%3\"")
                                            .arg(pageObjectName(e->page), frameOf(*e), fieldCaption(*e))
                                            .replace(QStringLiteral(" \u203A "), QStringLiteral("/"))
                                      : qualifiedName({e, 0}).section(QLatin1Char('.'), 0, 1));
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
        QString why;
        const auto bytes = bracedBytes(value, &why);
        if (!bytes) {
            *error = QStringLiteral("%1: %2").arg(who, why);
            return false;
        }
        if (bytes->size() > e.length) {
            *error = QStringLiteral("%1: \"%2\" does not fit in %3 characters (a control code is one, written "
                                    "{CR}, {STX}, ...)")
                         .arg(who, value)
                         .arg(e.length);
            return false;
        }
        for (int k = 0; k < e.length; ++k)
            image[ref.firstByte() + k] = k < bytes->size() ? quint8(bytes->at(k)) : quint8(255);
        return true;
    }
    case FieldKind::Text: break;
    }
    *error = QStringLiteral("%1: cannot be set").arg(who);
    return false;
}

} // namespace q5n::tool
