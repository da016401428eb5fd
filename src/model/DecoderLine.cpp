#include "model/DecoderLine.h"

#include "model/FieldCatalogue.h"
#include "model/PageTable.h"

namespace q5n {

namespace {

// The first word of the caption of the option that shows the field's value:
// "19200", "8" of "8 Data Bits", "1" of "1 Bit", "Even". Empty when no option
// shows it.
QString shownWord(const ConfigImage &image, const char *name)
{
    const FieldEntry *field = findField(Page::DecoderComm, QString::fromLatin1(name));
    const std::optional<int> index = field ? shownOption(*field, image) : std::nullopt;
    const FieldOption *option = index ? field->option(*index) : nullptr;
    return option ? option->caption.section(QLatin1Char(' '), 0, 0) : QString();
}

} // namespace

std::optional<SerialSettings> decoderLine(const ConfigImage &image)
{
    const auto baud = parseBaudRate(shownWord(image, "optCfg41A"));
    const auto parity = parseParity(shownWord(image, "optCfg41D").left(1)); // "Even" is E
    const auto dataBits = parseDataBits(shownWord(image, "optCfg41B"));
    const auto stopBits = parseStopBits(shownWord(image, "optCfg41C"));
    if (!baud || !parity || !dataBits || !stopBits)
        return std::nullopt;
    return SerialSettings{*baud, *parity, *dataBits, *stopBits};
}

} // namespace q5n
