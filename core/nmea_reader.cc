// PLACEHOLDER: replaced by the NMEA read loop.
#include "core/nmea_reader.h"

namespace tervo {
ReadOutcome ReadNmeaLog(std::FILE*, ConversionView&, int32_t, bool, SentenceAssembler&, DateSource&, PointList&,
                        NmeaLogDate&) {
    return ReadOutcome::Finished;
}
}  // namespace tervo
