#pragma once

#include "model/FieldCatalogue.h"
#include "model/ProgramState.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace q5n::tool {

// One setting as a script names it: a catalogue entry and, for an insertion
// box that edits one of several track slots, which slot (0-based).
struct FieldRef
{
    const FieldEntry *entry = nullptr;
    int slot = 0;

    int firstByte() const { return entry->byte + slot * entry->slotStride; }
};

// The page of a catalogue entry as the windows name it: "cfg4", "Communication Parameters".
QString pageObjectName(int page);
QString pageTitle(int page);

// Every setting of the image, page by page in catalogue order, each slot of a
// slotted box on its own; the setup texts (text fields) are left out: they are
// shown once, with the file.
std::vector<FieldRef> imageFields();

// The tab a field stands on, and the captioned box within it where one groups
// fields: "Code 39", "Characters Edit › Prefix". Empty for a page without tabs.
QString frameOf(const FieldEntry &entry);

// "cfg4.optCfg41A" (".track2" added for a slot).
QString qualifiedName(const FieldRef &ref);
// "Communication Parameters (cfg4) › RS232 › Baud Rate", the track added for a slot.
QString captionPath(const FieldRef &ref);

// The stored value in words: an option caption, "checked"/"clear", the set
// boxes, a number, or the characters in the brace notation. A stored code that
// no option shows is said as such.
QString valueOf(const FieldRef &ref, const ConfigImage &image);
// The raw bits the field owns (all bytes of an insertion slot), for comparing.
QByteArray storedBits(const FieldRef &ref, const ConfigImage &image);

// Finds a field by control name ("Optcode39"), by page-qualified control name
// ("cfg4.optCfg41A"), or by caption path ("cfg4/Baud Rate", "cfg5/Code 39/Check
// Digit", or as show prints it); a slot is named by
// ".track1".."track3" after the name. On failure says why, listing the choices.
std::optional<FieldRef> resolveField(const QString &name, QString *error);

// The setup texts by name: "deviceName", "userName", "buildingDate", "description"
// (or the labels' words). Returns nullptr when `name` is not one.
QString *setupTextByName(SetupInfo &info, const QString &name);

// Checks `value` against the field and writes it into the image. On failure
// nothing changes and `error` lists what the field accepts.
bool setValue(const FieldRef &ref, const QString &value, ConfigImage &image, QString *error);

} // namespace q5n::tool
