#pragma once

#include "link/LinkExchange.h"
#include "model/ConfigImage.h"
#include "model/SerialSettings.h"

#include <optional>

namespace q5n::tool {

class PortJob;

// A download that sets the decoder's own RS232 line (its baud rate, parity,
// data or stop bits) to other settings than the link's: a decoder that takes
// them at once no longer answers at the link's settings.

// The frame the configuration sets for the decoder's line, when it differs
// from `link`.
std::optional<SerialSettings> changedLine(const ConfigImage &image, const SerialSettings &link);

// After the verifying upload at the link's settings: true when it got no good
// answer and the file's line can carry one, the job then set to the file's
// settings for one more try (the next step).
bool verifyAgainAtFileLine(PortJob &job, LinkResult r, const ConfigImage &image);

// Adds to the port's message, once its chain is over, where the decoder
// answered against where the file set its line: "now answers at
// 19200,N,8,1: update the inventory", "still answers at 9600,N,8,1", no
// answer at either, or a line at which it cannot answer. `verifying` is false
// for a download without --verify. Nothing when the file keeps the link's line.
void noteLineChange(PortJob &job, const ConfigImage &image, bool verifying);

// apply's first upload got no answer at the link's settings while the file
// sets another line: a decoder that an earlier run changed answers there, and
// the message says so.
void noteSilenceBeforeDownload(PortJob &job, LinkResult r, const ConfigImage &image);

} // namespace q5n::tool
