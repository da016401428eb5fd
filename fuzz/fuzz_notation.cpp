// Feeds arbitrary text to the brace notation: the bytes read as 8-bit text and
// as UTF-8, stored into fields of 4 and 8 bytes. Storing never fails, writes
// exactly the field's bytes, leaves 255 after the content, and the stored
// bytes read back through the notation come back the same.
#include "model/Notation.h"
#include "model/Text8.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const QString &text, int first, int count)
{
    q5n::ConfigImage image;
    image.bytes.fill(0x5A);
    q5n::textToInsertion(image, text, first, count);
    if (image.at(first - 1) != 0x5A || image.at(first + count) != 0x5A)
        std::abort();
    bool ended = false;
    for (int k = 0; k < count; ++k) {
        if (ended && image.at(first + k) != 255)
            std::abort();
        ended = ended || image.at(first + k) == 255;
    }
    // Stored bytes are what the notation reads back from their own text, except
    // where a literal "{", name, "}" run was stored (it reads back as the code).
    const QString shown = q5n::insertionToText(image, first, count);
    q5n::ConfigImage again = image;
    q5n::textToInsertion(again, shown, first, count);
    if (!shown.contains(QLatin1Char('{')) && again.bytes != image.bytes)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const QString &text : {q5n::decode8(bytes), QString::fromUtf8(bytes)}) {
        check(text, 8, 4);
        check(text, 37, 8);
    }
    return 0;
}
