// The BINR read loop: frames the binary messages of the log and builds one node
// per accepted position message.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/point_list.h"
#include "core/read_progress.h"

namespace tervo {

// Reads `input` to its end, builds `points` (Head to Tail, FirstFix, and Start at
// the end: FirstFix when startFirstFix, Head otherwise). Returns ListNotCreated,
// having stopped at once, when a node cannot be allocated. `blockRead`, when
// set, is called after each block.
ReadOutcome ReadBinrLog(std::FILE* input, ReadProgress& progress, int32_t progressStep, bool startFirstFix,
                        PointList& points, const BlockRead& blockRead = {});

// Whether `bytes` hold at least one framed message that the read loop takes
// (0x88, 0x52, 0x60 or 0x93 with a length it accepts).
bool ContainsBinrMessage(const uint8_t* bytes, size_t size);

}  // namespace tervo
