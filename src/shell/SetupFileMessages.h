#pragma once

#include "files/SetupFile.h"

#include <QString>

namespace q5n {

class Prompter;

// Tells the user why a setup file was not taken, as Open does: not a setup
// file (the signature), or the system's reason it could not be read. Returns
// true when `result` is Read (and says nothing then).
bool reportSetupFileRead(Prompter &prompter, ReadSetupResult result, const QString &path, const QString &reason);

} // namespace q5n
