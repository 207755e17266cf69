// PLACEHOLDER: replaced by the BINR read loop.
#include "binr/binr_reader.h"

namespace tervo {
ReadOutcome ReadBinrLog(std::FILE*, ConversionView&, int32_t, bool, PointList&) { return ReadOutcome::Finished; }
}  // namespace tervo
