#pragma once

#include "model/ConfigImage.h"
#include "model/FieldCatalogue.h"
#include "model/FieldNaming.h"
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

    // What taking the other value writes: a setup text, a link line, or bits
    // of the image.
    std::optional<SetupText> text;
    QString otherText;
    std::optional<LinkLine> link;
    qint16 otherNumber = 0;
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

// One side of a comparison: its image and, where it has them, its setup
// texts and link lines (a setup file has them, a decoder's upload has not).
struct ComparedSetup
{
    const ConfigImage &image;
    const SetupInfo *texts = nullptr;
    const LinkSettings *link = nullptr;
};

// Every difference: the setup texts and then the link lines (where both sides
// have them), then every setting of the image page by page in catalogue order
// as the pages show them, then bits that no page shows. Only settings whose
// bytes lie in `range` are compared.
std::vector<SettingDifference> settingDifferences(const ComparedSetup &mine, const ComparedSetup &other,
                                                  ByteRange range = {});

// Writes the other configuration's value of one difference into this one.
void useOtherValue(const SettingDifference &difference, SetupInfo &texts, LinkSettings &link, ConfigImage &image);

} // namespace q5n
