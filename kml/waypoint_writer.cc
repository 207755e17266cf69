// PLACEHOLDER: replaced by the waypoint folders.
#include "kml/waypoint_writer.h"

namespace tervo {
void WritePlacemark(KmlStream&, const waypoints&, int, std::string_view, int, bool, std::string_view) {}
void WriteDTrackPlacemark(KmlStream&, const DTrackPoint&, int, std::string_view, std::string_view) {}
WaypointsOutcome WriteNmeaWaypoints(KmlStream&, list*, const WaypointOptions&, const NmeaLogDate&, ConversionView&) {
    return WaypointsOutcome::Written;
}
void WriteBinrWaypoints(KmlStream&, const list*, const WaypointOptions&, ConversionView&) {}
void WriteDTrackWaypoints(KmlStream&, const list*, const WaypointOptions&) {}
}  // namespace tervo
