#include "model/Comparison.h"

#include "model/FieldNaming.h"
#include "model/PageTable.h"

namespace q5n {

namespace {

QString shown(const QString &value)
{
    return value.isEmpty() ? kEmptyValue : value;
}

// The tab of the Interface page that holds the setup texts.
const QString kSetupTextsTab = QStringLiteral("User Information");

QString hexByte(int value)
{
    return QStringLiteral("0x") + QString::number(value, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

} // namespace

std::vector<SettingDifference> settingDifferences(const ComparedSetup &mine, const ComparedSetup &other,
                                                  ByteRange range)
{
    const ConfigImage &thisImage = mine.image;
    const ConfigImage &otherImage = other.image;
    std::vector<SettingDifference> out;
    if (mine.texts && other.texts) {
        // The setup texts as the bar decoder's Interface page shows them.
        for (const FieldEntry *e : fieldsOfPage(Page::DecoderInterface)) {
            if (e->kind != FieldKind::Text || !e->text)
                continue;
            const QString &theirs = setupText(*other.texts, *e->text);
            if (setupText(*mine.texts, *e->text) == theirs)
                continue;
            SettingDifference d;
            d.where = kSetupTextsTab + QStringLiteral(" \u203A ") + plainCaption(e->caption);
            d.thisValue = shown(setupText(*mine.texts, *e->text));
            d.otherValue = shown(theirs);
            d.page = e->page;
            d.control = e->name;
            d.text = e->text;
            d.otherText = theirs;
            out.push_back(d);
        }
    }
    if (mine.link && other.link) {
        // The port and the link mode a setup file stores, as the "Transmit"
        // window names them.
        for (const LinkLine line : kLinkLines) {
            const qint16 theirs = linkLineNumber(line, *other.link);
            if (linkLineNumber(line, *mine.link) == theirs)
                continue;
            SettingDifference d;
            d.where = pagePath(Page::Transmit) + QStringLiteral(" \u203A ") + linkLineCaption(line);
            d.thisValue = linkLineValue(line, *mine.link);
            d.otherValue = linkLineValue(line, *other.link);
            d.page = Page::Transmit;
            d.control = line == LinkLine::Interface ? QStringLiteral("OptMode") : QStringLiteral("OptPort");
            d.link = line;
            d.otherNumber = theirs;
            out.push_back(d);
        }
    }
    for (const FieldRef &ref : shownFields()) {
        const FieldEntry &e = *ref.entry;
        if (!range.contains(ref.firstByte()))
            continue;
        const QByteArray theirs = storedBits(ref, otherImage);
        if (storedBits(ref, thisImage) == theirs)
            continue;
        SettingDifference d;
        d.where = pagePath(e.page) + QStringLiteral(" \u203A ") + fieldCaption(ref);
        d.thisValue = shown(shownValue(ref, thisImage));
        d.otherValue = shown(shownValue(ref, otherImage));
        d.page = e.page;
        d.control = e.name;
        d.firstByte = ref.firstByte();
        d.mask = ref.mask();
        d.otherBytes = theirs;
        out.push_back(d);
    }
    // Bits that no field owns still count: a decoder would receive them.
    for (int i = range.first; i <= range.last; ++i) {
        const int loose = ~ownedBits(i) & 0xFF;
        if ((thisImage[i] & loose) == (otherImage[i] & loose))
            continue;
        SettingDifference d;
        d.where = QStringLiteral("Bits no page shows \u203A Byte %1").arg(i);
        d.thisValue = hexByte(thisImage[i] & loose);
        d.otherValue = hexByte(otherImage[i] & loose);
        d.firstByte = i;
        d.mask = loose;
        d.otherBytes = QByteArray(1, char(otherImage[i] & loose));
        out.push_back(d);
    }
    return out;
}

void useOtherValue(const SettingDifference &difference, SetupInfo &texts, LinkSettings &link, ConfigImage &image)
{
    if (difference.text) {
        setupText(texts, *difference.text) = difference.otherText;
        return;
    }
    if (difference.link) {
        linkLineNumber(*difference.link, link) = difference.otherNumber;
        return;
    }
    for (int k = 0; k < difference.otherBytes.size(); ++k) {
        const int index = difference.firstByte + k;
        if (!ConfigImage::validIndex(index))
            return;
        image[index] = quint8((image[index] & ~difference.mask) | (quint8(difference.otherBytes[k]) & difference.mask));
    }
}

} // namespace q5n
