#pragma once

#include "model/ConfigImage.h"
#include "model/SerialSettings.h"

#include <optional>

namespace q5n {

// The frame a configuration sets for the decoder's own RS232 line (its
// Communication Parameters page: baud rate, parity, data and stop bits), read
// through the field catalogue. Nothing when a stored code shows no option
// (parity codes 5 and 6), so no frame can be named.
std::optional<SerialSettings> decoderLine(const ConfigImage &image);

} // namespace q5n
