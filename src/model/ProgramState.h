#pragma once

#include "model/ConfigImage.h"
#include "model/SerialSettings.h"

#include <QString>

namespace q5n {

// The setup texts of the open configuration, stored in the setup file.
struct SetupInfo
{
    static inline const QString kNewFile = QStringLiteral("New File");

    QString deviceName;
    QString userName;
    QString buildingDate;
    QString description;
    QString fileName = kNewFile;
};

// Channel and serial settings shared by every window that talks to the decoder.
struct LinkSettings
{
    static constexpr qint16 kRs232 = 1;
    static constexpr qint16 kKeyboard = 0;

    qint16 portNumber = 1;    // 1..6 for COM1..COM6 (a setup file may hold anything)
    qint16 linkMode = kRs232; // 1 RS232, any other value the keyboard port
    SerialSettings serial;    // 9600,N,8,1

    bool isRs232() const { return linkMode == kRs232; }
};

// The values of a setup file besides the image, as the last New, Open or
// successful Save left them.
struct SavedSetup
{
    QString deviceName, userName, buildingDate, description;
    qint16 portNumber = 1;
    qint16 linkMode = LinkSettings::kRs232;
    bool operator==(const SavedSetup &) const = default;
};

// Every piece of program-wide state, once. The application owns one instance
// and hands a reference to each window; tests make a fresh one per test.
class ProgramState
{
public:
    ConfigImage workingImage;
    ConfigImage defaultImage;
    ConfigImage savedImage;
    SavedSetup savedSetup;

    qint16 activePage = 0;
    bool readerMode = false;
    SetupInfo setupInfo;
    LinkSettings linkSettings;
    bool saveOption = true;
    QString memoryCommand;
    bool ctrlKeyTarget = false;

    static inline const QString kStartDeviceName = QStringLiteral("Device Name");
    static inline const QString kStartUserName = QStringLiteral("User's Name");
    static inline const QString kStartDescription = QStringLiteral("Your description about this configuration file");
    static inline const QString kNewDescription = QStringLiteral("Your Description about this Setup");

    // Byte `index` of workingImage := (byte AND NOT mask) OR value. The value is
    // not shifted or masked: bits outside the mask are set too. An index outside
    // 0..84 or a result outside 0..255 changes nothing and is reported.
    BitsError setBits(int index, int mask, int value);
    // Byte AND mask, unshifted. On a bad index returns 0 and reports it.
    quint8 getBits(int index, int mask, BitsError *error = nullptr) const;
    quint8 getDefaultBits(int index, int mask, BitsError *error = nullptr) const;

    void copyDecoderDefaults();
    void copyReaderDefaults();
    // True when any value the setup file stores differs from what the last
    // New, Open or successful Save left: the image, the four setup texts, the
    // port number or the link mode.
    bool hasUnsavedChanges() const;
    // The values the setup file stores, as they are now.
    SavedSetup currentSetup() const;
    // The configuration as it is now counts as saved (savedImage and savedSetup).
    void markSaved();

    // Start values of the link settings and flags (not the images or texts).
    void resetLinkAndFlags();
    // Setup texts as a new configuration has them; `description` differs between
    // start-up and New.
    void resetSetupInfo(const QString &today, const QString &description);
};

} // namespace q5n
