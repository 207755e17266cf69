// The writers of a document meant for a globe viewer: fewer placemarks, lines
// within a tolerance of every fix, placemarks in hourly folders that a viewer
// draws only when zoomed in. Each part is off unless asked for; with none
// asked for, nothing here is used and the document is the converter's own.
#pragma once

#include <cstddef>
#include <optional>

#include "core/point_list.h"
#include "kml/kml_stream.h"
#include "kml/thinning.h"
#include "kml/waypoint_writer.h"

namespace tervo {

struct ViewerOptions {
    ThinningOptions Thinning;             // criteria; 0 switches one off
    size_t MaxPlacemarks = 0;             // at most so many per folder; 0: no budget
    std::optional<double> LineTolerance;  // metres; nothing: every fix
    bool Regions = false;

    // Whether the placemark folders are chosen from rather than written whole.
    bool ChoosesPlacemarks() const {
        return Thinning.Seconds > 0 || Thinning.Metres > 0 || Thinning.Degrees > 0 || MaxPlacemarks > 0 ||
               Regions;
    }
    bool Any() const { return ChoosesPlacemarks() || LineTolerance.has_value(); }
};

// The "WayPoints" folder with the placemarks `viewer` keeps: the points the
// folder would write (the NMEA date rule applied as always), without those
// that have no position, thinned or held to the budget, and with Regions in
// hourly folders, each with its Region and Lod. A placemark keeps the number it
// has in the whole folder. `written` receives the number of placemarks written.
// DateNotFound when the date rule stops the run; nothing was written then.
WaypointsOutcome WriteViewerWaypoints(KmlStream& stream, list* start, const WaypointOptions& options,
                                      const NmeaLogDate& logDate, LogFormat format,
                                      const ViewerOptions& viewer, int* written);

// The "D-Track WayPoints" folder held to the budget (evenly chosen, the first
// and last kept), without differential fixes that have no position.
void WriteViewerDTrackWaypoints(KmlStream& stream, const list* start, const WaypointOptions& options,
                                const ViewerOptions& viewer);

}  // namespace tervo
