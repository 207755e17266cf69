// The NMEA read loop: reads the log in 1024-byte blocks, feeds every byte to the
// sentence assembler and groups the decoded sentences into one node per epoch.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/platform.h"
#include "core/read_progress.h"
#include "core/point_list.h"
#include "nmea/sentence.h"

namespace tervo {

// Reads `input` to its end, builds `points` (Head to Tail, FirstFix, and Start at
// the end: FirstFix when startFirstFix, Head otherwise) and fills `logDate`.
// Returns ListNotCreated, having stopped at once, when a node cannot be allocated.
// `blockRead`, when set, is called after each block.
ReadOutcome ReadNmeaLog(std::FILE* input, ReadProgress& progress, int32_t progressStep, bool startFirstFix,
                        SentenceAssembler& assembler, DateSource& today, PointList& points,
                        NmeaLogDate& logDate, const BlockRead& blockRead = {});

}  // namespace tervo
