#include "kml/track_writer.h"

#include <cmath>
#include <vector>

#include "core/fix_quality.h"
#include "kml/line_simplify.h"

namespace tervo {

namespace {

// Steps 2 to 6 of every track placemark, after its opening tag.
void BeginLineString(KmlStream& stream, std::string_view name, std::string_view styleIdPrefix) {
    stream.Text("<name>"_kml).Value(name).Text("</name>\n"_kml);
    stream.Text("<styleUrl>#"_kml).Value(styleIdPrefix).Value(name).Text("</styleUrl>\n"_kml);
    stream.Text("<LineString>\n"_kml);
    stream.Text("<tessellate>1</tessellate>\n"_kml);
    stream.Text("<coordinates>\n"_kml);
}

void EndLineString(KmlStream& stream) {
    stream.Text("</coordinates>\n"_kml);
    stream.Text("</LineString>\n"_kml);
    stream.Text("</Placemark>\n"_kml);
}

// The line's points as the writer selected them: written at once, or, with a
// tolerance, gathered and written simplified when the line ends.
template <typename Point, typename Write>
class LinePoints {
public:
    LinePoints(std::optional<double> tolerance, Write write) : tolerance_(tolerance), write_(write) {}
    void Add(const Point& point, double latitude, double longitude) {
        if (!tolerance_) {
            write_(point);
        } else if (latitude != 0 || longitude != 0) {
            // The tolerance holds for the line as written: in millionths of a degree.
            points_.push_back(&point);
            positions_.push_back({std::round(latitude * 1e6) / 1e6, std::round(longitude * 1e6) / 1e6});
        }
    }
    void Finish() {
        if (tolerance_) {
            for (size_t i : SimplifyLine(positions_, *tolerance_)) {
                write_(*points_[i]);
            }
        }
    }

private:
    std::optional<double> tolerance_;
    Write write_;
    std::vector<const Point*> points_;
    std::vector<LatLon> positions_;
};

template <typename Point, typename Write>
LinePoints<Point, Write> MakeLine(std::optional<double> tolerance, Write write) {
    return LinePoints<Point, Write>(tolerance, write);
}

}  // namespace

void WriteCoordinateLine(KmlStream& stream, const waypoints& point, bool tab) {
    if (!IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
        return;
    }
    if (tab) {
        stream.Text("\t"_kml);
    }
    stream.Fixed(point.Longitude, 6)
        .Text(","_kml)
        .Fixed(point.Latitude, 6)
        .Text(","_kml)
        .Fixed(point.Altitude, 6);
    stream.Text("\n"_kml);
}

bool IsPlottable(double longitude, double latitude, double altitude) {
    return std::isfinite(longitude) && std::isfinite(latitude) && std::isfinite(altitude);
}

void WriteNmeaTrack(KmlStream& stream, const list* start, std::string_view name,
                    std::optional<double> tolerance, std::string_view styleIdPrefix) {
    stream.Text("<Placemark>\n"_kml);
    BeginLineString(stream, name, styleIdPrefix);
    auto line =
        MakeLine<waypoints>(tolerance, [&](const waypoints& p) { WriteCoordinateLine(stream, p, false); });
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        if (IsDrawnValid(point, LogFormat::Nmea) &&
            IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
            line.Add(point, point.Latitude, point.Longitude);
        }
    }
    line.Finish();
    EndLineString(stream);
}

void WriteBinrTrack(KmlStream& stream, const list* start, std::string_view name,
                    std::optional<double> tolerance, std::string_view styleIdPrefix) {
    stream.Text("<Placemark>\n"_kml);
    BeginLineString(stream, name, styleIdPrefix);
    auto line =
        MakeLine<waypoints>(tolerance, [&](const waypoints& p) { WriteCoordinateLine(stream, p, true); });
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        if (IsDrawnValid(point, LogFormat::Binr) &&
            IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
            line.Add(point, point.Latitude, point.Longitude);
        }
    }
    line.Finish();
    EndLineString(stream);
}

void WriteAllPointsTrack(KmlStream& stream, const list* start, std::string_view name,
                         std::optional<double> tolerance, std::string_view styleIdPrefix) {
    // The line break inside the start tag is what viewers and stored files have
    // always seen; it is still well-formed XML.
    stream.Text("<Placemark\n>"_kml);
    BeginLineString(stream, name, styleIdPrefix);
    auto line =
        MakeLine<waypoints>(tolerance, [&](const waypoints& p) { WriteCoordinateLine(stream, p, true); });
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        if (IsPlottable(point.Longitude, point.Latitude, point.Altitude)) {
            line.Add(point, point.Latitude, point.Longitude);
        }
    }
    line.Finish();
    EndLineString(stream);
}

void WriteDTrackLine(KmlStream& stream, const list* start, std::string_view name,
                     std::optional<double> tolerance, std::string_view styleIdPrefix) {
    stream.Text("<Placemark>\n"_kml);
    BeginLineString(stream, name, styleIdPrefix);
    auto line = MakeLine<DTrackPoint>(tolerance, [&](const DTrackPoint& d) {
        stream.Fixed(d.Longitude, 6).Text(","_kml).Fixed(d.Latitude, 6).Text(",0.000000\n"_kml);
    });
    for (const list* node = start; node != nullptr; node = node->Next) {
        const DTrackPoint& dtrack = *node->Point.DTrack;
        const bool known = dtrack.Status == 'A' || dtrack.Status == 'D' || dtrack.Status == 'V';
        if (known && dtrack.Matched == 1 && IsPlottable(dtrack.Longitude, dtrack.Latitude, 0)) {
            line.Add(dtrack, dtrack.Latitude, dtrack.Longitude);
        }
    }
    line.Finish();
    EndLineString(stream);
}

}  // namespace tervo
