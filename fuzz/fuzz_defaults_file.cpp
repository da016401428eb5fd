// Any bytes given to the defaults reader give all 85 values or none, and a
// file it accepts writes back byte-identical values. It looks at no more than
// 86 lines, and a line over the length limit within them makes it refuse.
#include "model/Defaults.h"
#include "model/TextItems.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto image = q5n::parseDefaultsFile(bytes);

    // The same answer from the 86 lines alone, and a refusal when one of them is too long.
    const QList<QByteArray> lines = q5n::splitLines(bytes).mid(0, q5n::kDefaultsFileLines);
    bool tooLong = false;
    for (const QByteArray &line : lines)
        tooLong = tooLong || line.size() > q5n::kMaxLineLength;
    if (tooLong ? image.has_value() : image != q5n::parseDefaultsLines(lines))
        std::abort();

    if (!image)
        return 0;
    const auto again = q5n::parseDefaultsFile(q5n::defaultsFileBytes(*image));
    if (!again || *again != *image)
        std::abort();
    return 0;
}
