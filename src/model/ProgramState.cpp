#include "model/ProgramState.h"

namespace q5n {

BitsError ProgramState::setBits(int index, int mask, int value)
{
    if (!ConfigImage::validIndex(index))
        return BitsError::IndexOutOfRange;
    const int result = (workingImage[index] & ~mask) | value;
    if (result < 0 || result > 255)
        return BitsError::Overflow;
    workingImage[index] = static_cast<quint8>(result);
    return BitsError::None;
}

static quint8 maskedByte(const ConfigImage &image, int index, int mask, BitsError *error)
{
    const bool ok = ConfigImage::validIndex(index);
    if (error)
        *error = ok ? BitsError::None : BitsError::IndexOutOfRange;
    return ok ? static_cast<quint8>(image[index] & mask & 0xFF) : 0;
}

quint8 ProgramState::getBits(int index, int mask, BitsError *error) const
{
    return maskedByte(workingImage, index, mask, error);
}

quint8 ProgramState::getDefaultBits(int index, int mask, BitsError *error) const
{
    return maskedByte(defaultImage, index, mask, error);
}

void ProgramState::copyDecoderDefaults()
{
    for (int i = kDecoderFirst; i <= kDecoderLast; ++i)
        workingImage[i] = defaultImage[i];
}

void ProgramState::copyReaderDefaults()
{
    for (int i = kReaderFirst; i <= kReaderLast; ++i)
        workingImage[i] = defaultImage[i];
}

bool ProgramState::hasUnsavedChanges() const
{
    return workingImage != savedImage || currentSetup() != savedSetup;
}

SavedSetup ProgramState::currentSetup() const
{
    return {setupInfo.deviceName,  setupInfo.userName,      setupInfo.buildingDate,
            setupInfo.description, linkSettings.portNumber, linkSettings.linkMode};
}

void ProgramState::markSaved()
{
    savedImage = workingImage;
    savedSetup = currentSetup();
}

void ProgramState::resetLinkAndFlags()
{
    activePage = 0;
    saveOption = true;
    readerMode = false;
    linkSettings = LinkSettings{};
}

void ProgramState::resetSetupInfo(const QString &today, const QString &description)
{
    setupInfo.deviceName = kStartDeviceName;
    setupInfo.userName = kStartUserName;
    setupInfo.buildingDate = today;
    setupInfo.description = description;
    setupInfo.fileName = SetupInfo::kNewFile;
}

} // namespace q5n
