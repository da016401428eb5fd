#pragma once

#include "model/ConfigImage.h"
#include "model/ProgramState.h"

#include <QString>

#include <vector>

namespace q5n {

// A printed record of one configuration: the setup texts and the file name,
// then every setting page by page with its value as the page shows it (the
// link lines under "Transmit"), those that differ from the defaults marked.
struct SheetRow
{
    QString caption;
    QString value;
    bool changed = false; // differs from the defaults
};

struct SheetSection
{
    QString title; // "Setup", "Bar Decoder › Interface", ...
    std::vector<SheetRow> rows;
};

struct SettingsSheet
{
    QString title;
    std::vector<SheetSection> sections;
};

// What marks a setting that differs from the defaults, and the line saying so.
inline const QString kChangedMark = QStringLiteral("*");
inline const QString kChangedLegend = QStringLiteral("* differs from the defaults");

// The link lines count as changed when they differ from the program's start
// values (LinkSettings{}).
SettingsSheet settingsSheet(const SetupInfo &texts, const LinkSettings &link, const ConfigImage &image,
                            const ConfigImage &defaults);

// The sheet as a self-contained HTML document for printing (every text
// escaped, its blanks kept as they are: "Disable  External Keyboard").
QString sheetHtml(const SettingsSheet &sheet);

} // namespace q5n
