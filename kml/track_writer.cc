#include "kml/track_writer.h"

#include <cmath>

namespace tervo {

namespace {

// Steps 2 to 6 of every track placemark, after its opening tag.
void BeginLineString(KmlStream& stream, std::string_view name) {
    stream.Text("<name>"_kml).Value(name).Text("</name>\n"_kml);
    stream.Text("<styleUrl>#"_kml).Value(name).Text("</styleUrl>\n"_kml);
    stream.Text("<LineString>\n"_kml);
    stream.Text("<tessellate>1</tessellate>\n"_kml);
    stream.Text("<coordinates>\n"_kml);
}

void EndLineString(KmlStream& stream) {
    stream.Text("</coordinates>\n"_kml);
    stream.Text("</LineString>\n"_kml);
    stream.Text("</Placemark>\n"_kml);
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

void WriteNmeaTrack(KmlStream& stream, const list* start, std::string_view name) {
    stream.Text("<Placemark>\n"_kml);
    BeginLineString(stream, name);
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        // A GGA-only point is drawn whatever its fix quality; an RMC point only when valid.
        const bool selected = (point.HasGga == 1 && point.HasRmc == 1 && point.Status == 'A') ||
                              (point.HasGga == 1 && point.HasRmc == 0) ||
                              (point.HasGga == 0 && point.HasRmc == 1 && point.Status == 'A');
        if (selected) {
            WriteCoordinateLine(stream, point, false);
        }
    }
    EndLineString(stream);
}

void WriteBinrTrack(KmlStream& stream, const list* start, std::string_view name) {
    stream.Text("<Placemark>\n"_kml);
    BeginLineString(stream, name);
    for (const list* node = start; node != nullptr; node = node->Next) {
        if (node->Point.Status == 'A') {
            WriteCoordinateLine(stream, node->Point, true);
        }
    }
    EndLineString(stream);
}

void WriteAllPointsTrack(KmlStream& stream, const list* start, std::string_view name) {
    // The line break inside the start tag is what viewers and stored files have
    // always seen; it is still well-formed XML.
    stream.Text("<Placemark\n>"_kml);
    BeginLineString(stream, name);
    for (const list* node = start; node != nullptr; node = node->Next) {
        WriteCoordinateLine(stream, node->Point, true);
    }
    EndLineString(stream);
}

void WriteDTrackLine(KmlStream& stream, const list* start, std::string_view name) {
    stream.Text("<Placemark>\n"_kml);
    BeginLineString(stream, name);
    for (const list* node = start; node != nullptr; node = node->Next) {
        const DTrackPoint& dtrack = *node->Point.DTrack;
        const bool known = dtrack.Status == 'A' || dtrack.Status == 'D' || dtrack.Status == 'V';
        if (known && dtrack.Matched == 1 && IsPlottable(dtrack.Longitude, dtrack.Latitude, 0)) {
            stream.Fixed(dtrack.Longitude, 6).Text(","_kml).Fixed(dtrack.Latitude, 6).Text(",0.000000\n"_kml);
        }
    }
    EndLineString(stream);
}

}  // namespace tervo
