#include "kml/waypoint_writer.h"

#include <cmath>
#include <string>

#include "kml/track_writer.h"

namespace tervo {

namespace {

// The GGA quality indicator as the description shows it; unknown values as the bare number.
void WriteQualityText(KmlStream& stream, int32_t quality) {
    switch (quality) {
        case 0:
            stream.Text("N/A (").Int(quality).Text(")");
            break;
        case 1:
            stream.Text("Fix valid (").Int(quality).Text(")");
            break;
        case 2:
            stream.Text("Diff fix valid (").Int(quality).Text(")");
            break;
        case 6:
            stream.Text("Dead (").Int(quality).Text(")");
            break;
        default:
            stream.Int(quality);
            break;
    }
}

// The GSA fix mode; a point without GSA data has mode 0 and shows "0".
void WriteModeText(KmlStream& stream, int32_t mode) {
    switch (mode) {
        case 1:
            stream.Text("N/A (").Int(mode).Text(")");
            break;
        case 2:
            stream.Text("2D (").Int(mode).Text(")");
            break;
        case 3:
            stream.Text("3D (").Int(mode).Text(")");
            break;
        default:
            stream.Int(mode);
            break;
    }
}

void WriteSatelliteTable(KmlStream& stream, const waypoints& point, int format) {
    stream.Text("\t<table>\n");
    stream.Text("<tfoot><tr><th colspan=5 align=center>Information about the satellites</th></tr></tfoot>\n");
    stream.Text("\t<tr>\t<th>SYS</th>\t<th>Svn</th>\t<th>El</th>\t<th>Az</th>\t<th>SNR</th>\t</tr>\n");
    // The stored rows in id order are rows 0 to 96 without the zero rows,
    // which are never in view.
    for (const SatelliteRow& sat : point.Satellites) {
        if (sat.InView != 1) {
            continue;
        }
        stream.Text("\t<tr>");
        stream.Text("\t<td>").Char(sat.System);
        // Only the binary protocol knows the GLONASS frequency channel.
        if (sat.System == 'R' && format == kPlacemarkBinr) {
            stream.Text("/").Int(sat.Channel);
        }
        stream.Text("</td>");
        stream.Text("\t<td>").Int(sat.Number).Text(sat.Used == 1 ? "*</td>" : "</td>");
        stream.Text("\t<td>").Int(sat.Elevation).Text("</td>");
        stream.Text("\t<td>").Int(sat.Azimuth).Text("</td>");
        stream.Text("\t<td>").Int(sat.Snr).Text("</td>");
        stream.Text("\t</tr>\n");
    }
    stream.Text("\t</table>\n");
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
        stream.Text("<heading>").Fixed(course, 6).Text("</heading>\n");
    }
}

}  // namespace

void WritePlacemark(KmlStream& stream, const waypoints& point, int number, std::string_view iconName,
                    int format, bool extrude, std::string_view scale) {
    stream.Text("<Placemark>\n");
    stream.Text("<name>").Int(number).Text("</name>\n");
    stream.Text("<description><![CDATA[\n");
    stream.Text("\t<table>\n");
    stream.Text("\t<tr><th>Longitude</th><td>").Fixed(point.Longitude, 6).Text("</td></tr>\n");
    stream.Text("\t<tr><th>Latitude</th><td>").Fixed(point.Latitude, 6).Text("</td></tr>\n");
    stream.Text("\t<tr><th>Altitude</th><td>").Fixed(point.Altitude, 3).Text("m</td></tr>\n");
    stream.Text("\t<tr><th>Time</th><td>")
        .Value(point.Date)
        .Text("T")
        .Value(point.Time)
        .Text("Z</td></tr>\n");
    stream.Text("\t<tr><th>Speed</th><td>").Fixed(point.Speed, 1).Text("kmh</td></tr>\n");
    stream.Text("\t<tr><th>COG</th><td>").Fixed(point.Course, 1).Text("</td></tr>\n");
    stream.Text("\t<tr><th>RMS</th><td>").Fixed(static_cast<double>(point.Rms), 1).Text("m</td></tr>\n");
    if (format == kPlacemarkNmea) {
        stream.Text("\t<tr><th>Status(GGA)</th><td>");
        WriteQualityText(stream, point.FixQuality);
        stream.Text("</td></tr>\n");
        stream.Text("\t<tr><th>Status(GSA)</th><td>");
        WriteModeText(stream, point.FixMode);
        stream.Text("</td></tr>\n");
    }
    if (format == kPlacemarkBinr) {
        stream.Text("\t<tr><th>Status</th><td>").Value(point.StatusText).Text("</td></tr>\n");
    }
    stream.Text("\t<tr><th>HDOP</th><td>").Fixed(point.Hdop, 3).Text("</td></tr>\n");
    // The binary protocol marks an unknown satellite count with -1.
    if (format == kPlacemarkBinr && point.SatellitesUsed == -1) {
        stream.Text("\t<tr><th>SAT</th><td>None</td></tr>\n");
    } else {
        stream.Text("\t<tr><th>SAT</th><td>").Int(point.SatellitesUsed).Text("</td></tr>\n");
    }
    stream.Text("\t</table>\n");
    if (point.HasSatellites == 1) {
        WriteSatelliteTable(stream, point, format);
    }
    stream.Text("]]></description>\n");
    stream.Text("<LookAt>\n");
    stream.Text("<longitude>").Fixed(point.Longitude, 6).Text("</longitude>\n");
    stream.Text("<latitude>").Fixed(point.Latitude, 6).Text("</latitude>\n");
    stream.Text("<tilt>66</tilt>\n");
    stream.Text("</LookAt>\n");
    stream.Text("<TimeStamp>\n");
    stream.Text("<when>").Value(point.Date).Text("T").Value(point.Time).Text("Z</when>\n");
    stream.Text("</TimeStamp>\n");
    stream.Text("<Style>\n");
    stream.Text("<IconStyle>\n");
    stream.Text("<scale>").Value(scale).Text("</scale>\n");
    WriteHeading(stream, point.Course);
    stream.Text("<Icon>\n");
    stream.Text("<href>").Value(iconName).Text("</href>\n");
    stream.Text("</Icon>\n");
    stream.Text("</IconStyle>\n");
    stream.Text("</Style>\n");
    stream.Text("<Point>\n");
    if (extrude) {
        stream.Text("<extrude>1</extrude>\n");
        stream.Text("<altitudeMode>relativeToGround</altitudeMode>\n");
    }
    stream.Text("<coordinates>")
        .Fixed(point.Longitude, 6)
        .Text(",")
        .Fixed(point.Latitude, 6)
        .Text(",")
        .Fixed(point.Altitude, 6)
        .Text("</coordinates>\n");
    stream.Text("</Point>\n");
    stream.Text("</Placemark>\n");
}

void WriteDTrackPlacemark(KmlStream& stream, const DTrackPoint& dtrack, int number, std::string_view iconName,
                          std::string_view scale) {
    stream.Text("<Placemark>\n");
    stream.Text("<name>").Int(number).Text("</name>\n");
    stream.Text("<description><![CDATA[\n");
    stream.Text("\t<table>\n");
    stream.Text("\t<tr><th>Longitude</th><td>").Fixed(dtrack.Longitude, 6).Text("</td></tr>\n");
    stream.Text("\t<tr><th>Latitude</th><td>").Fixed(dtrack.Latitude, 6).Text("</td></tr>\n");
    // An empty status field leaves the character 0, which Char shows as U+FFFD.
    stream.Text("\t<tr><th>Status</th><td>").Char(dtrack.Status).Text("</td></tr>\n");
    stream.Text("\t<tr><th>Time</th><td>").Value(dtrack.Time).Text("</td></tr>\n");
    stream.Text("\t<tr><th>Speed</th><td>").Fixed(dtrack.Speed, 1).Text("kmh</td></tr>\n");
    stream.Text("\t<tr><th>COG</th><td>").Fixed(dtrack.Course, 1).Text("</td></tr>\n");
    stream.Text("\t</table>\n");
    stream.Text("]]></description>\n");
    stream.Text("<LookAt>\n");
    stream.Text("<longitude>").Fixed(dtrack.Longitude, 6).Text("</longitude>\n");
    stream.Text("<latitude>").Fixed(dtrack.Latitude, 6).Text("</latitude>\n");
    stream.Text("<tilt>66</tilt>\n");
    stream.Text("</LookAt>\n");
    stream.Text("<Style>\n");
    stream.Text("<IconStyle>\n");
    stream.Text("<scale>").Value(scale).Text("</scale>\n");
    WriteHeading(stream, dtrack.Course);
    stream.Text("<Icon>\n");
    stream.Text("<href>").Value(iconName).Text("</href>\n");
    stream.Text("</Icon>\n");
    stream.Text("</IconStyle>\n");
    stream.Text("</Style>\n");
    stream.Text("<Point>\n");
    stream.Text("<coordinates>")
        .Fixed(dtrack.Longitude, 6)
        .Text(",")
        .Fixed(dtrack.Latitude, 6)
        .Text(",0.000000</coordinates>\n");
    stream.Text("</Point>\n");
    stream.Text("</Placemark>\n");
}

WaypointsOutcome WriteNmeaWaypoints(KmlStream& stream, list* start, const WaypointOptions& options,
                                    const NmeaLogDate& logDate, ConversionView& view) {
    view.ShowStatus("");
    view.ShowStatus("Creation of KML-file");
    stream.Text("<Folder>\n");
    stream.Text("<name>WayPoints</name>\n");
    int number = 0;
    for (list* node = start; node != nullptr; node = node->Next) {
        waypoints& point = node->Point;
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
            continue;
        }
        if (!IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
            continue;
        }
        const bool valid = rule == DateRule::G || point.Status == 'A';
        switch (ChooseDate(rule, options.UseFallbackDate, logDate.DateFound, point.Date.empty())) {
            case DateChoice::Unchanged:
                break;
            case DateChoice::Fallback:
                point.Date = options.FallbackDate;
                break;
            case DateChoice::LogDate:
                point.Date = logDate.LogDate;
                break;
            case DateChoice::Stop:
                return WaypointsOutcome::DateNotFound;
        }
        WritePlacemark(stream, point, number, valid ? options.ValidIconName : options.InvalidIconName,
                       kPlacemarkNmea, options.Extrude, options.Scale);
        ++number;
    }
    stream.Text("</Folder>\n");
    view.ShowCount("");
    view.ShowCount("Waypoints " + std::to_string(number));
    return WaypointsOutcome::Written;
}

void WriteBinrWaypoints(KmlStream& stream, const list* start, const WaypointOptions& options,
                        ConversionView& view) {
    view.ShowStatus("");
    view.ShowStatus("Creation of KML-file");
    stream.Text("<Folder>\n");
    stream.Text("<name>WayPoints</name>\n");
    int number = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        if ((point.Status != 'A' && point.Status != 'V') ||
            !IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
            continue;
        }
        const std::string& icon = point.Status == 'A' ? options.ValidIconName : options.InvalidIconName;
        WritePlacemark(stream, point, number, icon, kPlacemarkBinr, options.Extrude, options.Scale);
        ++number;
    }
    stream.Text("</Folder>\n");
    view.ShowCount("");
    view.ShowCount("Waypoints " + std::to_string(number));
}

void WriteDTrackWaypoints(KmlStream& stream, const list* start, const WaypointOptions& options) {
    stream.Text("<Folder>\n");
    stream.Text("<name>D-Track WayPoints</name>\n");
    int number = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        // Every matched fix gets a placemark, whatever its status letter.
        const DTrackPoint& dtrack = *node->Point.DTrack;
        if (dtrack.Matched == 1 && IsPlottable(dtrack.Longitude, dtrack.Latitude, 0)) {
            WriteDTrackPlacemark(stream, dtrack, number, options.DTrackIconName, options.Scale);
            ++number;
        }
    }
    stream.Text("</Folder>\n");
}

}  // namespace tervo
