// PLACEHOLDER: replaced by the track line strings.
#include "kml/track_writer.h"

namespace tervo {
void WriteNmeaTrack(KmlStream&, const list*, std::string_view) {}
void WriteBinrTrack(KmlStream&, const list*, std::string_view) {}
void WriteAllPointsTrack(KmlStream&, const list*, std::string_view) {}
void WriteDTrackLine(KmlStream&, const list*, std::string_view) {}
}  // namespace tervo
