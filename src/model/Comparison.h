#pragma once

#include "model/ConfigImage.h"
#include "model/FieldCatalogue.h"
#include "model/ProgramState.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace q5n {

// The text shown for a value that is empty (a setup text, an insertion box).
inline const QString kEmptyValue = QStringLiteral("(empty)");

// One setting that differs between this configuration and another.
struct SettingDifference
{
    QString where;      // "User Information › Device Name", "Bar Decoder › Interface › Interface"
    QString thisValue;  // in words, as the page shows it
    QString otherValue; // likewise
    int page = 0;       // the page that shows the setting (0: none does)
    QString control;    // objectName of its control on that page

    // What taking the other value writes: a setup text, or bits of the image.
    std::optional<SetupText> text;
    QString otherText;
    int firstByte = -1;
    int mask = 0;          // the bits owned in each byte from firstByte on
    QByteArray otherBytes; // the other configuration's bytes there
};

// The part of the image a comparison covers: the whole image for a file, the
// section the decoder sent for an upload.
struct ByteRange
{
    int first = kDecoderFirst;
    int last = kReaderLast;
    bool contains(int index) const { return index >= first && index <= last; }
};

// Every difference, the setup texts first (when `otherTexts` is given), then
// every setting of the image page by page in catalogue order, then bits that
// no page shows. Only settings whose bytes lie in `range` are compared.
std::vector<SettingDifference> settingDifferences(const SetupInfo &thisTexts, const ConfigImage &thisImage,
                                                  const SetupInfo *otherTexts, const ConfigImage &otherImage,
                                                  ByteRange range = {});

// Writes the other configuration's value of one difference into this one.
void useOtherValue(const SettingDifference &difference, SetupInfo &texts, ConfigImage &image);

} // namespace q5n
