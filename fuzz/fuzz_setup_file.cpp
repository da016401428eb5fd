// Any bytes given to the setup file reader end in its defined outcome: the
// file is refused, or it is read with its tolerance rules. Whatever it reads
// must write back to a file that reads back the same.
#include "files/SetupFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    q5n::SetupFileContent content;
    if (!q5n::parseSetupFile(bytes, content))
        return 0;
    q5n::SetupInfo info;
    info.deviceName = content.deviceName;
    info.userName = content.userName;
    info.buildingDate = content.buildingDate;
    info.description = content.description;
    q5n::LinkSettings link;
    link.portNumber = content.portNumber;
    link.linkMode = content.linkMode;
    const QByteArray written = q5n::setupFileBytes(info, link, content.image);
    if (written.count("\r\n") != q5n::kSetupFileLines)
        std::abort();
    q5n::SetupFileContent again;
    if (!q5n::parseSetupFile(written, again) || again.image != content.image ||
        again.portNumber != content.portNumber || again.linkMode != content.linkMode)
        std::abort();
    return 0;
}
