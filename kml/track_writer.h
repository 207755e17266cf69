// The track line strings: one placemark with a LineString per track.
#pragma once

#include <string_view>

#include "core/record.h"
#include "kml/kml_stream.h"

namespace tervo {

void WriteNmeaTrack(KmlStream& stream, const list* start, std::string_view name);
void WriteBinrTrack(KmlStream& stream, const list* start, std::string_view name);
void WriteAllPointsTrack(KmlStream& stream, const list* start, std::string_view name);
void WriteDTrackLine(KmlStream& stream, const list* start, std::string_view name);

}  // namespace tervo
