#pragma once

#include "files/SetupFile.h"
#include "platform/Prompter.h"

#include <QString>

namespace q5n {

// Tells the user why a setup file was not taken, as Open does: not a setup
// file (the signature), or the system's reason it could not be read. Returns
// true when `result` is Read (and says nothing then).
bool reportSetupFileRead(Prompter &prompter, ReadSetupResult result, const QString &path, const QString &reason);

// The file dialog that chooses a setup file to read (Open, Compare with File).
Prompter::FileDialog openSetupFileDialog();

} // namespace q5n
