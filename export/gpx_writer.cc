#include "export/gpx_writer.h"

#include <cmath>
#include <string_view>
#include <vector>

#include "core/fix_filter.h"
#include "core/track_time.h"
#include "export/export_stream.h"

namespace tervo {

namespace {

constexpr int kDegreeDecimals = 7;
// Half the last printed digit of a longitude: a value that prints as 180 is
// written as -180.
constexpr double kHalfDigit = 0.5e-7;

// The longitude GPX takes (-180 up to below 180), nullopt outside the range.
std::optional<double> GpxLongitude(double longitude) {
    if (!(longitude >= -180 - kHalfDigit && longitude <= 180 + kHalfDigit)) {
        return std::nullopt;
    }
    return longitude >= 180 - kHalfDigit ? longitude - 360 : longitude;
}

bool InTrack(const waypoints& point, LogFormat format) {
    return HasValidFix(point, format) && std::fabs(point.Latitude) <= 90 &&
           GpxLongitude(point.Longitude).has_value() && std::isfinite(point.Altitude);
}

// The <fix> text, empty when none is written.
std::string_view FixText(const waypoints& point, LogFormat format) {
    switch (FixClassOf(point, format)) {
        case FixClass::Differential:
        case FixClass::RtkFixed:
        case FixClass::RtkFloat:
            return "dgps";
        case FixClass::Pps:
            return "pps";
        case FixClass::Single:
        case FixClass::Unrated:
            if (format == LogFormat::Binr) {
                return std::string_view(point.StatusText).starts_with("2D") ? "2d" : "3d";
            }
            return point.FixMode == 2 ? "2d" : point.FixMode == 3 ? "3d" : "";
        default:
            return "";
    }
}

void WritePoint(ExportStream& out, const TimedPoint& timed, LogFormat format) {
    const waypoints& point = *timed.Point;
    out.Text("<trkpt lat=\"").Fixed(point.Latitude, kDegreeDecimals);
    out.Text("\" lon=\"").Fixed(*GpxLongitude(point.Longitude), kDegreeDecimals).Text("\">\n");
    if (GivesAltitude(point, format)) {
        out.Text("<ele>").Fixed(point.Altitude, 3).Text("</ele>\n");
    }
    if (timed.UnixMs) {
        // UnixMsOfDateTime took these texts: they join into an xsd:dateTime.
        out.Text("<time>").Text(point.Date).Text("T").Text(point.Time).Text("Z</time>\n");
    }
    // GGA's geoid separation; an empty field reads as 0, so 0 is taken as not given.
    if (format == LogFormat::Nmea && point.HasGga == 1 && point.GeoidSeparation != 0 &&
        std::isfinite(point.GeoidSeparation)) {
        out.Text("<geoidheight>").Fixed(point.GeoidSeparation, 3).Text("</geoidheight>\n");
    }
    if (const std::string_view fix = FixText(point, format); !fix.empty()) {
        out.Text("<fix>").Text(fix).Text("</fix>\n");
    }
    if (const std::optional<int32_t> used = GivenSatellitesUsed(point, format); used && *used >= 0) {
        out.Text("<sat>").Int(*used).Text("</sat>\n");
    }
    if (const std::optional<double> hdop = GivenHdop(point, format); hdop && std::isfinite(*hdop)) {
        out.Text("<hdop>").Fixed(*hdop, 2).Text("</hdop>\n");
    }
    // The GSA's; an empty field reads as 0, so 0 is taken as not given.
    if (format == LogFormat::Nmea && point.Vdop > 0 && std::isfinite(point.Vdop)) {
        out.Text("<vdop>").Fixed(point.Vdop, 2).Text("</vdop>\n");
    }
    if (format == LogFormat::Nmea && point.Pdop > 0 && std::isfinite(point.Pdop)) {
        out.Text("<pdop>").Fixed(point.Pdop, 2).Text("</pdop>\n");
    }
    if (GivesMotion(point, format) && std::isfinite(point.Course) && std::isfinite(point.Speed)) {
        out.Text("<extensions>\n");
        out.Text("<tervo:course>").Fixed(point.Course, 1).Text("</tervo:course>\n");
        out.Text("<tervo:speed>").Fixed(point.Speed / 3.6, 3).Text("</tervo:speed>\n");
        out.Text("</extensions>\n");
    }
    out.Text("</trkpt>\n");
}

}  // namespace

bool WriteGpx(ByteSink& sink, std::span<const waypoints* const> points, LogFormat format,
              const GpxOptions& options) {
    std::vector<const waypoints*> kept;
    kept.reserve(points.size());
    for (const waypoints* point : points) {
        if (InTrack(*point, format)) {
            kept.push_back(point);
        }
    }
    ExportStream out(sink);
    out.Text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    out.Text("<gpx version=\"1.1\" creator=\"TervoConverter\" xmlns=\"http://www.topografix.com/GPX/1/1\" ");
    out.Text("xmlns:tervo=\"").Text(kGpxExtensionNamespace).Text("\">\n");
    out.Text("<trk>\n");
    if (!options.TrackName.empty()) {
        out.Text("<name>").Text(XmlEscaped(options.TrackName)).Text("</name>\n");
    }
    bool open = false;
    for (const TimedPoint& timed : PlaceInTime(kept, options.GapAboveMs)) {
        if (timed.StartsSegment) {
            out.Text(open ? "</trkseg>\n<trkseg>\n" : "<trkseg>\n");
            open = true;
        }
        WritePoint(out, timed, format);
    }
    if (open) {
        out.Text("</trkseg>\n");
    }
    out.Text("</trk>\n");
    out.Text("</gpx>\n");
    return out.Close();
}

}  // namespace tervo
