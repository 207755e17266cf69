// The waypoint folders: one placemark per fix ("WayPoints"), the differential
// fixes of an NMEA run ("D-Track WayPoints"), with the date rules of NMEA points.
#pragma once

#include <string>
#include <string_view>

#include "core/log_format.h"
#include "core/point_list.h"
#include "kml/kml_stream.h"

namespace tervo {

// The settings and names the placemark writers print.
struct WaypointOptions {
    std::string Scale;             // Edit4: icon scale text
    bool Extrude = false;          // CheckBox3: "Show value of height"
    bool UseFallbackDate = false;  // CheckBox1
    std::string FallbackDate;      // MaskEdit1
    // A GGA-only point that carries a date (one a ZDA sentence gave it, see
    // NmeaReadOptions::DatesFromZda) keeps it instead of taking the fallback
    // date or the log's date.
    bool KeepGgaDates = false;
    std::string ValidIconName;
    std::string InvalidIconName;
    std::string DTrackIconName;
    // The number (name) of the folder's first placemark: 0, or in a live run's
    // stretch the placemarks of the stretches before it.
    int FirstNumber = 0;
};

enum class WaypointsOutcome {
    Written,
    DateNotFound,  // a point had no date source: the run stops at once
};

// Whether `date` names a real calendar day "YYYY-MM-DD" (29 February only in a
// leap year) and `time` is a time of day "hh:mm:ss[.d...]" (see
// IsTimeOfDayText): only then does a placemark get a time stamp.
bool IsKmlDateTime(std::string_view date, std::string_view time);

// One fix as a placemark. `format` picks the status rows (GGA quality and GSA
// mode, or the binary fix-status text), the "None" satellite count of the binary
// protocol and the GLONASS channel cell; texts of the point, the icon name and
// the scale are written escaped.
void WritePlacemark(KmlStream& stream, const waypoints& point, int number, std::string_view iconName,
                    LogFormat format, bool extrude, std::string_view scale);
// A differential fix: no time stamp, no altitude, never extruded.
void WriteDTrackPlacemark(KmlStream& stream, const DTrackPoint& dtrack, int number, std::string_view iconName,
                          std::string_view scale);

// What follows a placemark's description, to </Placemark>: its LookAt, time
// stamp, arrow style and point; the same for a differential fix. For writers
// of other placemark forms.
void WritePlacemarkTail(KmlStream& stream, const waypoints& point, std::string_view iconName, bool extrude,
                        std::string_view scale);
void WriteDTrackPlacemarkTail(KmlStream& stream, const DTrackPoint& dtrack, std::string_view iconName,
                              std::string_view scale);

// The fix status as the description's rows label it, on one line: "Fix valid
// (1), 3D (3)" for the GGA quality and GSA mode, or the binary fix-status text.
void WriteFixStatus(KmlStream& stream, const waypoints& point, LogFormat format);

// The "WayPoints" folder, written one point at a time (a run writes it while
// its log is still being read).
class WaypointFolder {
public:
    WaypointFolder(KmlStream& stream, const WaypointOptions& options, LogFormat format);
    void Begin();
    // The point's placemark when its status gives one. An NMEA point first gets
    // its date by the date rule, written into the point; false when the rule
    // stops the run, and then nothing was written.
    bool Add(waypoints& point, const NmeaLogDate& logDate);

    // What the folder does with a point: nothing, a placemark with the valid or
    // the invalid icon, or a stop of the run.
    enum class Placement { None, Valid, Invalid, Stop };
    // Add in two steps, for a writer that chooses among the placemarks: Place
    // gives an NMEA point its date by the date rule and tells what the point
    // gets; WriteAt writes a Valid or Invalid point's placemark as number `number`.
    Placement Place(waypoints& point, const NmeaLogDate& logDate) const;
    void WriteAt(const waypoints& point, Placement placement, int number);
    void End();
    // The placemarks written so far.
    int Count() const { return number_ - options_.FirstNumber; }

private:
    KmlStream& stream_;
    const WaypointOptions& options_;
    LogFormat format_;
    int number_ = 0;
};

void WriteDTrackWaypoints(KmlStream& stream, const list* start, const WaypointOptions& options);

}  // namespace tervo
