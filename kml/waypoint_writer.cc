#include "kml/waypoint_writer.h"

#include <cmath>
#include <string>

#include "core/calendar.h"
#include "core/fix_quality.h"
#include "kml/track_writer.h"

namespace tervo {

namespace {

// A code with its label ("Fix valid (1)"); a code without a label prints bare.
struct LabelledCode {
    int32_t code;
    KmlLiteral label;
};

// The GGA quality indicator as the description shows it.
constexpr LabelledCode kQualityLabels[] = {
    {0, "N/A ("_kml}, {1, "Fix valid ("_kml}, {2, "Diff fix valid ("_kml}, {6, "Dead ("_kml}};
// The GSA fix mode; a point without GSA data has mode 0 and shows "0".
constexpr LabelledCode kModeLabels[] = {{1, "N/A ("_kml}, {2, "2D ("_kml}, {3, "3D ("_kml}};

template <size_t N>
void WriteLabelledCode(KmlStream& stream, const LabelledCode (&labels)[N], int32_t code) {
    for (const LabelledCode& entry : labels) {
        if (entry.code == code) {
            stream.Text(entry.label).Int(code).Text(")"_kml);
            return;
        }
    }
    stream.Int(code);
}

void WriteSatelliteTable(KmlStream& stream, const waypoints& point, LogFormat format) {
    stream.Text("\t<table>\n"_kml);
    stream.Text(
        "<tfoot><tr><th colspan=5 align=center>Information about the satellites</th></tr></tfoot>\n"_kml);
    stream.Text("\t<tr>\t<th>SYS</th>\t<th>Svn</th>\t<th>El</th>\t<th>Az</th>\t<th>SNR</th>\t</tr>\n"_kml);
    // The stored rows in id order are rows 0 to 96 without the zero rows,
    // which are never in view.
    for (const SatelliteRow& sat : point.Satellites) {
        if (sat.InView != 1) {
            continue;
        }
        stream.Text("\t<tr>"_kml);
        stream.Text("\t<td>"_kml).Char(sat.System);
        // Only the binary protocol knows the GLONASS frequency channel.
        if (sat.System == 'R' && format == LogFormat::Binr) {
            stream.Text("/"_kml).Int(sat.Channel);
        }
        stream.Text("</td>"_kml);
        stream.Text("\t<td>"_kml).Int(sat.Number).Text(sat.Used == 1 ? "*</td>"_kml : "</td>"_kml);
        stream.Text("\t<td>"_kml).Int(sat.Elevation).Text("</td>"_kml);
        stream.Text("\t<td>"_kml).Int(sat.Azimuth).Text("</td>"_kml);
        stream.Text("\t<td>"_kml).Int(sat.Snr).Text("</td>"_kml);
        stream.Text("\t</tr>\n"_kml);
    }
    stream.Text("\t</table>\n"_kml);
}

// The date rule of a row of the waypoint table; RMC-only points (None) keep the
// date they carry, even an empty one.
enum class DateRule { A, V, G, None };

enum class DateChoice { Unchanged, Fallback, LogDate, Stop };

// Which date a point of the given row gets. A GGA-only point never has a date of
// its own, so rule G always replaces; rule V also drops the point's own date for
// the fallback once the log has shown a date.
DateChoice ChooseDate(DateRule rule, bool useFallback, bool dateFound, bool dateEmpty) {
    if (rule == DateRule::None) {
        return DateChoice::Unchanged;
    }
    if (useFallback) {
        if (dateEmpty || rule == DateRule::G || (rule == DateRule::V && dateFound)) {
            return DateChoice::Fallback;
        }
        return DateChoice::Unchanged;
    }
    if (dateEmpty || rule == DateRule::G) {
        return dateFound ? DateChoice::LogDate : DateChoice::Stop;
    }
    return DateChoice::Unchanged;
}

// A course that is no number leaves the heading out, and with it the arrow
// points north as it does for a receiver standing still.
void WriteHeading(KmlStream& stream, double course) {
    if (std::isfinite(course)) {
        stream.Text("<heading>"_kml).Fixed(course, 6).Text("</heading>\n"_kml);
    }
}

// The camera view of a placemark.
void WriteLookAt(KmlStream& stream, double longitude, double latitude) {
    stream.Text("<LookAt>\n"_kml);
    stream.Text("<longitude>"_kml).Fixed(longitude, 6).Text("</longitude>\n"_kml);
    stream.Text("<latitude>"_kml).Fixed(latitude, 6).Text("</latitude>\n"_kml);
    stream.Text("<tilt>66</tilt>\n"_kml);
    stream.Text("</LookAt>\n"_kml);
}

// The arrow of a placemark, turned to its course.
void WriteIconStyle(KmlStream& stream, std::string_view scale, double course, std::string_view iconName) {
    stream.Text("<Style>\n"_kml);
    stream.Text("<IconStyle>\n"_kml);
    stream.Text("<scale>"_kml).Value(scale).Text("</scale>\n"_kml);
    WriteHeading(stream, course);
    stream.Text("<Icon>\n"_kml);
    stream.Text("<href>"_kml).Value(iconName).Text("</href>\n"_kml);
    stream.Text("</Icon>\n"_kml);
    stream.Text("</IconStyle>\n"_kml);
    stream.Text("</Style>\n"_kml);
}

}  // namespace

void WritePlacemark(KmlStream& stream, const waypoints& point, int number, std::string_view iconName,
                    LogFormat format, bool extrude, std::string_view scale) {
    stream.Text("<Placemark>\n"_kml);
    stream.Text("<name>"_kml).Int(number).Text("</name>\n"_kml);
    stream.Text("<description><![CDATA[\n"_kml);
    stream.Text("\t<table>\n"_kml);
    stream.Text("\t<tr><th>Longitude</th><td>"_kml).Fixed(point.Longitude, 6).Text("</td></tr>\n"_kml);
    stream.Text("\t<tr><th>Latitude</th><td>"_kml).Fixed(point.Latitude, 6).Text("</td></tr>\n"_kml);
    stream.Text("\t<tr><th>Altitude</th><td>"_kml).Fixed(point.Altitude, 3).Text("m</td></tr>\n"_kml);
    stream.Text("\t<tr><th>Time</th><td>"_kml)
        .Value(point.Date)
        .Text("T"_kml)
        .Value(point.Time)
        .Text("Z</td></tr>\n"_kml);
    stream.Text("\t<tr><th>Speed</th><td>"_kml).Fixed(point.Speed, 1).Text("kmh</td></tr>\n"_kml);
    stream.Text("\t<tr><th>COG</th><td>"_kml).Fixed(point.Course, 1).Text("</td></tr>\n"_kml);
    stream.Text("\t<tr><th>RMS</th><td>"_kml)
        .Fixed(static_cast<double>(point.Rms), 1)
        .Text("m</td></tr>\n"_kml);
    if (format == LogFormat::Nmea) {
        stream.Text("\t<tr><th>Status(GGA)</th><td>"_kml);
        WriteLabelledCode(stream, kQualityLabels, point.FixQuality);
        stream.Text("</td></tr>\n"_kml);
        stream.Text("\t<tr><th>Status(GSA)</th><td>"_kml);
        WriteLabelledCode(stream, kModeLabels, point.FixMode);
        stream.Text("</td></tr>\n"_kml);
    }
    if (format == LogFormat::Binr) {
        stream.Text("\t<tr><th>Status</th><td>"_kml).Value(point.StatusText).Text("</td></tr>\n"_kml);
    }
    stream.Text("\t<tr><th>HDOP</th><td>"_kml).Fixed(point.Hdop, 3).Text("</td></tr>\n"_kml);
    // The binary protocol marks an unknown satellite count with -1.
    if (format == LogFormat::Binr && point.SatellitesUsed == -1) {
        stream.Text("\t<tr><th>SAT</th><td>None</td></tr>\n"_kml);
    } else {
        stream.Text("\t<tr><th>SAT</th><td>"_kml).Int(point.SatellitesUsed).Text("</td></tr>\n"_kml);
    }
    stream.Text("\t</table>\n"_kml);
    if (point.HasSatellites == 1) {
        WriteSatelliteTable(stream, point, format);
    }
    stream.Text("]]></description>\n"_kml);
    WritePlacemarkTail(stream, point, iconName, extrude, scale);
}

void WritePlacemarkTail(KmlStream& stream, const waypoints& point, std::string_view iconName, bool extrude,
                        std::string_view scale) {
    WriteLookAt(stream, point.Longitude, point.Latitude);
    // A viewer refuses a whole document over one time stamp that is no time
    // ("2000-01-01TZ" for an empty time field), so only real ones are written.
    if (IsKmlDateTime(point.Date, point.Time)) {
        stream.Text("<TimeStamp>\n"_kml);
        stream.Text("<when>"_kml).Value(point.Date).Text("T"_kml).Value(point.Time).Text("Z</when>\n"_kml);
        stream.Text("</TimeStamp>\n"_kml);
    }
    WriteIconStyle(stream, scale, point.Course, iconName);
    stream.Text("<Point>\n"_kml);
    if (extrude) {
        stream.Text("<extrude>1</extrude>\n"_kml);
        stream.Text("<altitudeMode>relativeToGround</altitudeMode>\n"_kml);
    }
    stream.Text("<coordinates>"_kml)
        .Fixed(point.Longitude, 6)
        .Text(","_kml)
        .Fixed(point.Latitude, 6)
        .Text(","_kml)
        .Fixed(point.Altitude, 6)
        .Text("</coordinates>\n"_kml);
    stream.Text("</Point>\n"_kml);
    stream.Text("</Placemark>\n"_kml);
}

void WriteDTrackPlacemark(KmlStream& stream, const DTrackPoint& dtrack, int number, std::string_view iconName,
                          std::string_view scale) {
    stream.Text("<Placemark>\n"_kml);
    stream.Text("<name>"_kml).Int(number).Text("</name>\n"_kml);
    stream.Text("<description><![CDATA[\n"_kml);
    stream.Text("\t<table>\n"_kml);
    stream.Text("\t<tr><th>Longitude</th><td>"_kml).Fixed(dtrack.Longitude, 6).Text("</td></tr>\n"_kml);
    stream.Text("\t<tr><th>Latitude</th><td>"_kml).Fixed(dtrack.Latitude, 6).Text("</td></tr>\n"_kml);
    // An empty status field leaves the character 0, which Char shows as U+FFFD.
    stream.Text("\t<tr><th>Status</th><td>"_kml).Char(dtrack.Status).Text("</td></tr>\n"_kml);
    stream.Text("\t<tr><th>Time</th><td>"_kml).Value(dtrack.Time).Text("</td></tr>\n"_kml);
    stream.Text("\t<tr><th>Speed</th><td>"_kml).Fixed(dtrack.Speed, 1).Text("kmh</td></tr>\n"_kml);
    stream.Text("\t<tr><th>COG</th><td>"_kml).Fixed(dtrack.Course, 1).Text("</td></tr>\n"_kml);
    stream.Text("\t</table>\n"_kml);
    stream.Text("]]></description>\n"_kml);
    WriteDTrackPlacemarkTail(stream, dtrack, iconName, scale);
}

void WriteDTrackPlacemarkTail(KmlStream& stream, const DTrackPoint& dtrack, std::string_view iconName,
                              std::string_view scale) {
    WriteLookAt(stream, dtrack.Longitude, dtrack.Latitude);
    WriteIconStyle(stream, scale, dtrack.Course, iconName);
    stream.Text("<Point>\n"_kml);
    stream.Text("<coordinates>"_kml)
        .Fixed(dtrack.Longitude, 6)
        .Text(","_kml)
        .Fixed(dtrack.Latitude, 6)
        .Text(",0.000000</coordinates>\n"_kml);
    stream.Text("</Point>\n"_kml);
    stream.Text("</Placemark>\n"_kml);
}

void WriteFixStatus(KmlStream& stream, const waypoints& point, LogFormat format) {
    if (format == LogFormat::Binr) {
        stream.Value(point.StatusText);
        return;
    }
    WriteLabelledCode(stream, kQualityLabels, point.FixQuality);
    stream.Text(", "_kml);
    WriteLabelledCode(stream, kModeLabels, point.FixMode);
}

WaypointFolder::WaypointFolder(KmlStream& stream, const WaypointOptions& options, LogFormat format)
    : stream_(stream), options_(options), format_(format), number_(options.FirstNumber) {}

void WaypointFolder::Begin() {
    stream_.Text("<Folder>\n"_kml);
    stream_.Text("<name>WayPoints</name>\n"_kml);
}

bool WaypointFolder::Add(waypoints& point, const NmeaLogDate& logDate) {
    const Placement placement = Place(point, logDate);
    if (placement == Placement::Stop) {
        return false;
    }
    if (placement != Placement::None) {
        WriteAt(point, placement, number_);
        ++number_;
    }
    return true;
}

void WaypointFolder::WriteAt(const waypoints& point, Placement placement, int number) {
    WritePlacemark(stream_, point, number,
                   placement == Placement::Valid ? options_.ValidIconName : options_.InvalidIconName, format_,
                   options_.Extrude, options_.Scale);
}

WaypointFolder::Placement WaypointFolder::Place(waypoints& point, const NmeaLogDate& logDate) const {
    if (format_ == LogFormat::Binr) {
        if ((point.Status != 'A' && point.Status != 'V') ||
            !IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
            return Placement::None;
        }
        return IsDrawnValid(point, format_) ? Placement::Valid : Placement::Invalid;
    }
    DateRule rule;
    if (point.HasGga == 1 && point.HasRmc == 1 && point.Status == 'A') {
        rule = DateRule::A;
    } else if (point.HasGga == 1 && point.HasRmc == 1 && point.Status == 'V') {
        rule = DateRule::V;
    } else if (point.HasGga == 1 && point.HasRmc == 0) {
        rule = DateRule::G;
    } else if (point.HasGga == 0 && point.HasRmc == 1 && (point.Status == 'A' || point.Status == 'V')) {
        rule = DateRule::None;
    } else {
        return Placement::None;
    }
    if (!IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
        return Placement::None;
    }
    const bool valid = IsDrawnValid(point, LogFormat::Nmea);
    if (rule == DateRule::G && options_.KeepGgaDates && !point.Date.empty()) {
        rule = DateRule::None;
    }
    switch (ChooseDate(rule, options_.UseFallbackDate, logDate.DateFound, point.Date.empty())) {
        case DateChoice::Unchanged:
            break;
        case DateChoice::Fallback:
            point.Date = options_.FallbackDate;
            break;
        case DateChoice::LogDate:
            point.Date = logDate.LogDate;
            break;
        case DateChoice::Stop:
            return Placement::Stop;
    }
    return valid ? Placement::Valid : Placement::Invalid;
}

void WaypointFolder::End() { stream_.Text("</Folder>\n"_kml); }

void WriteDTrackWaypoints(KmlStream& stream, const list* start, const WaypointOptions& options) {
    stream.Text("<Folder>\n"_kml);
    stream.Text("<name>D-Track WayPoints</name>\n"_kml);
    int number = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        // Every matched fix gets a placemark, whatever its status letter.
        const DTrackPoint& dtrack = *node->Point.DTrack;
        if (dtrack.Matched == 1 && IsPlottable(dtrack.Longitude, dtrack.Latitude, 0)) {
            WriteDTrackPlacemark(stream, dtrack, number, options.DTrackIconName, options.Scale);
            ++number;
        }
    }
    stream.Text("</Folder>\n"_kml);
}

bool IsKmlDateTime(std::string_view date, std::string_view time) {
    return DaysOfDateText(date).has_value() && IsTimeOfDayText(time);
}

}  // namespace tervo
