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

std::vector<SettingDifference> settingDifferences(const SetupInfo &thisTexts, const ConfigImage &thisImage,
                                                  const SetupInfo *otherTexts, const ConfigImage &otherImage,
                                                  ByteRange range)
{
    std::vector<SettingDifference> out;
    if (otherTexts) {
        // The setup texts as the bar decoder's Interface page shows them.
        for (const FieldEntry *e : fieldsOfPage(Page::DecoderInterface)) {
            if (e->kind != FieldKind::Text || !e->text)
                continue;
            const QString &mine = setupText(thisTexts, *e->text);
            const QString &theirs = setupText(*otherTexts, *e->text);
            if (mine == theirs)
                continue;
            SettingDifference d;
            d.where = kSetupTextsTab + QStringLiteral(" \u203A ") + plainCaption(e->caption);
            d.thisValue = shown(mine);
            d.otherValue = shown(theirs);
            d.page = e->page;
            d.control = e->name;
            d.text = e->text;
            d.otherText = theirs;
            out.push_back(d);
        }
    }
    for (const FieldRef &ref : imageFields()) {
        const FieldEntry &e = *ref.entry;
        if (!range.contains(ref.firstByte()))
            continue;
        const QByteArray theirs = storedBits(ref, otherImage);
        if (storedBits(ref, thisImage) == theirs)
            continue;
        SettingDifference d;
        d.where = pagePath(e.page) + QStringLiteral(" \u203A ") + fieldCaption(ref);
        d.thisValue = shown(valueOf(ref, thisImage));
        d.otherValue = shown(valueOf(ref, otherImage));
        d.page = e.page;
        d.control = e.name;
        d.firstByte = ref.firstByte();
        d.mask = e.occupiedMask();
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

void useOtherValue(const SettingDifference &difference, SetupInfo &texts, ConfigImage &image)
{
    if (difference.text) {
        setupText(texts, *difference.text) = difference.otherText;
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
