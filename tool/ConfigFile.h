#pragma once

#include "model/ProgramState.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace q5n::tool {

// A configuration as a file holds it.
struct LoadedConfig
{
    bool defaultsFile = false; // a "defaults" file: only the image
    SetupInfo setupInfo;
    LinkSettings linkSettings;
    ConfigImage image;
    // A setup file cut short or with a value line that is no number: each such
    // line, "line 61: ...". What those lines would set keeps the factory value.
    QStringList damage;
};

// Reads a setup file or a defaults file as the program would; on failure
// returns false with the reason the program would give.
bool loadConfig(const QString &path, LoadedConfig &config, QString *error);

// How a command takes a damaged setup file: shown with a warning per line,
// or refused (nothing is sent to a decoder that the user did not write).
enum class Damage { Warn, Refuse };
// loadConfig, saying on `err` why it failed, or the damage as `policy` says.
// False when the file cannot be used.
bool loadConfig(const QString &path, LoadedConfig &config, QTextStream &err, Damage policy);

// "RS232" or "Keyboard".
QString linkModeText(int mode);

// The setup texts with their labels, in file order.
struct SetupTextItem
{
    const char *label;
    QString SetupInfo::*member;
};
inline const SetupTextItem kSetupTexts[] = {
    {"Device Name", &SetupInfo::deviceName},
    {"User's Name", &SetupInfo::userName},
    {"Building Date", &SetupInfo::buildingDate},
    {"Description", &SetupInfo::description},
};

} // namespace q5n::tool
