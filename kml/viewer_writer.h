// The writers of a document meant for a globe viewer: fewer placemarks, lines
// within a tolerance of every fix, placemarks in hourly folders that a viewer
// draws only when zoomed in. Each part is off unless asked for; with none
// asked for, nothing here is used and the document is the converter's own.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

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
    // Placemarks in the brief form (WriteBriefPlacemark), for a viewer that
    // builds every placemark when it loads the document.
    bool BriefPlacemarks = false;

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

// A placemark in the brief form: no <name>, whose label a globe viewer draws
// beside every arrow, and a description of one line of plain text instead of
// the two tables ("Point 7, 2013-04-02 12:35:19.00 UTC: 12.5 km/h, course
// 84.4°, altitude 150.2 m, Diff fix valid (2), 3D (3), HDOP 0.9, 9
// satellites"). A viewer parses the tables as HTML for every placemark when it
// loads the document; in CesiumJS they and the labels took most of the time to
// the first complete frame of a day-long log. The rest is the full form's: the
// arrow turned to the course in the colour of the fix's validity, the time
// stamp and the LookAt.
void WriteBriefPlacemark(KmlStream& stream, const waypoints& point, int number, std::string_view iconName,
                         LogFormat format, bool extrude, std::string_view scale);
// A differential fix the same way: "D-Track point 3, 12:35:19.00: 12.5 km/h,
// course 84.4°, status D".
void WriteBriefDTrackPlacemark(KmlStream& stream, const DTrackPoint& dtrack, int number,
                               std::string_view iconName, std::string_view scale);

}  // namespace tervo
