// Feeds arbitrary bytes to both upload reply parsers: the RS232 reply as
// bytes, the keyboard reply as the text the decoder would type (each byte one
// character, and the same bytes read as UTF-8 for characters beyond 8 bits).
#include "model/Text8.h"
#include "protocol/Protocol.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const q5n::UploadReply &r)
{
    if (!r.valid)
        return;
    const int expected = r.section == q5n::UploadReply::Section::Reader ? 60 : 25;
    if (r.data.size() != expected || r.versionPart1.size() > 12 || r.versionPart2.size() > 10)
        std::abort();
    q5n::ConfigImage image;
    q5n::applyUploadReply(r, image);
    (void)q5n::firmwareVersionText(r.versionPart1, r.versionPart2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    check(q5n::parseRs232UploadReply(bytes));
    check(q5n::parseKeyboardUploadReply(q5n::decode8(bytes)));
    check(q5n::parseKeyboardUploadReply(QString::fromUtf8(bytes)));
    return 0;
}
