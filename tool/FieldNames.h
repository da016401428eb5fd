#pragma once

#include "model/FieldCatalogue.h"
#include "model/FieldNaming.h"
#include "model/ProgramState.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace q5n::tool {

// FieldRef, imageFields(), frameOf(), qualifiedName(), captionPath(), valueOf()
// and storedBits() are the model's naming (model/FieldNaming), shared with the
// desktop program's comparison and settings sheet.

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
