// Any bytes given to the setup file reader end in its defined outcome: the
// file is refused, or it is read with its tolerance rules. Whatever it reads
// must write back to a file that reads back the same. The line reader under
// it agrees with a plain split of the bytes, within its line and length limits.
#include "files/SetupFile.h"
#include "model/TextItems.h"

#include <cstdlib>

namespace {

// readLines() with `maxLines` and `maxLength` must give what splitLines()
// gives for the same limits: the first maxLines lines, or "too long" when one
// of those is longer than maxLength.
void checkLineReader(const QByteArray &bytes, int maxLines, int maxLength)
{
    const q5n::LineRead read = q5n::readLines(bytes, maxLines, maxLength);
    const QList<QByteArray> all = q5n::splitLines(bytes);
    const QList<QByteArray> first = all.mid(0, maxLines);
    bool tooLong = false;
    for (const QByteArray &line : first)
        tooLong = tooLong || line.size() > maxLength;
    if (tooLong) {
        if (read.status != q5n::LineRead::Status::LineTooLong || !read.lines.isEmpty())
            std::abort();
    } else if (read.status != q5n::LineRead::Status::Read || read.lines != first) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (size >= 2) {
        // Small limits from the first two bytes reach every edge of the reader.
        checkLineReader(bytes.mid(2), 1 + data[0] % 100, data[1] % 64);
    }
    checkLineReader(bytes, q5n::kSetupFileLines, q5n::kMaxLineLength);

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
        again.portNumber != content.portNumber || again.linkMode != content.linkMode ||
        again.description != content.description)
        std::abort();
    return 0;
}
