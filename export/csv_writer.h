// The CSV export (RFC 4180, UTF-8 without a byte order mark, lines ending in
// CR LF): a header row of the EpochFields names, then one row per epoch given,
// in order. A value the log does not give is an empty cell; valid is 1 or 0.
#pragma once

#include <span>

#include "core/byte_sink.h"
#include "core/fix_quality.h"
#include "core/record.h"

namespace tervo {

// Writes the whole file onto `sink` and closes it; false when a byte was lost.
bool WriteCsv(ByteSink& sink, std::span<const waypoints* const> points, LogFormat format);

}  // namespace tervo
