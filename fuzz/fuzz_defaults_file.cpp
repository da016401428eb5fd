// Any bytes given to the defaults reader give all 85 values or none, and a
// file it accepts writes back byte-identical values.
#include "model/Defaults.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto image = q5n::parseDefaultsFile(bytes);
    if (!image)
        return 0;
    const auto again = q5n::parseDefaultsFile(q5n::defaultsFileBytes(*image));
    if (!again || *again != *image)
        std::abort();
    return 0;
}
