#include "kml/time_track.h"

#include <cmath>
#include <vector>

#include "core/fix_filter.h"
#include "core/track_time.h"
#include "kml/track_writer.h"

namespace tervo {

namespace {

using Segment = std::span<const TimedPoint>;

// The points in the track, cut into segments.
std::vector<std::vector<TimedPoint>> Segments(std::span<const waypoints* const> points, LogFormat format,
                                              std::optional<int64_t> gapAboveMs) {
    std::vector<const waypoints*> kept;
    kept.reserve(points.size());
    for (const waypoints* point : points) {
        if (HasValidFix(*point, format) && IsPlottable(point->Longitude, point->Latitude, point->Altitude)) {
            kept.push_back(point);
        }
    }
    std::vector<std::vector<TimedPoint>> segments;
    for (const TimedPoint& timed : PlaceInTime(kept, gapAboveMs)) {
        if (!timed.UnixMs) {
            continue;
        }
        if (segments.empty() || timed.StartsSegment) {
            segments.emplace_back();
        }
        segments.back().push_back(timed);
    }
    return segments;
}

// One gx:SimpleArrayData: a <gx:value> per point, empty where `write` writes nothing.
template <typename WriteValue>
void WriteArray(KmlStream& stream, KmlLiteral name, Segment segment, WriteValue write) {
    stream.Text("<gx:SimpleArrayData name=\""_kml).Text(name).Text("\">\n"_kml);
    for (const TimedPoint& timed : segment) {
        stream.Text("<gx:value>"_kml);
        write(*timed.Point);
        stream.Text("</gx:value>\n"_kml);
    }
    stream.Text("</gx:SimpleArrayData>\n"_kml);
}

void WriteTrack(KmlStream& stream, Segment segment, LogFormat format, std::string_view schemaId) {
    stream.Text("<gx:Track>\n"_kml);
    for (const TimedPoint& timed : segment) {
        // UnixMsOfDateTime took these texts: they join into an xsd:dateTime.
        stream.Text("<when>"_kml).Text(timed.Point->Date).Text("T"_kml).Text(timed.Point->Time);
        stream.Text("Z</when>\n"_kml);
    }
    for (const TimedPoint& timed : segment) {
        const waypoints& point = *timed.Point;
        stream.Text("<gx:coord>"_kml).Fixed(point.Longitude, 6).Text(" "_kml).Fixed(point.Latitude, 6);
        stream.Text(" "_kml).Fixed(point.Altitude, 3).Text("</gx:coord>\n"_kml);
    }
    for (const TimedPoint& timed : segment) {
        const waypoints& point = *timed.Point;
        const bool known = GivesMotion(point, format) && std::isfinite(point.Course);
        stream.Text("<gx:angles>"_kml).Fixed(known ? point.Course : 0.0, 1).Text(" 0 0</gx:angles>\n"_kml);
    }
    stream.Text("<ExtendedData>\n"_kml);
    stream.Text("<SchemaData schemaUrl=\"#"_kml).Value(schemaId).Text("\">\n"_kml);
    WriteArray(stream, "fix_quality"_kml, segment,
               [&](const waypoints& point) { stream.Text(InfoOf(FixClassOf(point, format)).Name); });
    WriteArray(stream, "hdop"_kml, segment, [&](const waypoints& point) {
        if (const std::optional<double> hdop = GivenHdop(point, format); hdop && std::isfinite(*hdop)) {
            stream.Fixed(*hdop, 2);
        }
    });
    WriteArray(stream, "satellites_used"_kml, segment, [&](const waypoints& point) {
        if (const std::optional<int32_t> used = GivenSatellitesUsed(point, format)) {
            stream.Int(*used);
        }
    });
    WriteArray(stream, "speed_kmh"_kml, segment, [&](const waypoints& point) {
        if (GivesMotion(point, format) && std::isfinite(point.Speed)) {
            stream.Fixed(point.Speed, 1);
        }
    });
    stream.Text("</SchemaData>\n"_kml);
    stream.Text("</ExtendedData>\n"_kml);
    stream.Text("</gx:Track>\n"_kml);
}

// One field of the Schema.
void WriteArrayField(KmlStream& stream, KmlLiteral name, KmlLiteral type, KmlLiteral displayName) {
    stream.Text("<gx:SimpleArrayField name=\""_kml).Text(name).Text("\" type=\""_kml).Text(type);
    stream.Text("\">\n"_kml);
    stream.Text("<displayName>"_kml).Text(displayName).Text("</displayName>\n"_kml);
    stream.Text("</gx:SimpleArrayField>\n"_kml);
}

}  // namespace

std::string TimeTrackStyleId(std::string_view idPrefix) { return std::string(idPrefix) + "time-track"; }

std::string TrackPointSchemaId(std::string_view idPrefix) { return std::string(idPrefix) + "track-point"; }

void WriteTimeTrackStyle(KmlStream& stream, const TimeTrackOptions& options) {
    stream.Text("<Style id=\""_kml).Value(TimeTrackStyleId(options.IdPrefix)).Text("\">\n"_kml);
    stream.Text("<LineStyle>\n"_kml);
    stream.Text("<color>"_kml).Value(options.ColourText).Text("</color>\n"_kml);
    stream.Text("<width>"_kml).Value(options.WidthText).Text("</width>\n"_kml);
    stream.Text("</LineStyle>\n"_kml);
    stream.Text("</Style>\n"_kml);
}

void WriteTrackPointSchema(KmlStream& stream, std::string_view idPrefix) {
    stream.Text("<Schema xmlns:gx=\"http://www.google.com/kml/ext/2.2\" id=\""_kml);
    stream.Value(TrackPointSchemaId(idPrefix)).Text("\" name=\"Track point\">\n"_kml);
    WriteArrayField(stream, "fix_quality"_kml, "string"_kml, "Fix quality"_kml);
    WriteArrayField(stream, "hdop"_kml, "float"_kml, "HDOP"_kml);
    WriteArrayField(stream, "satellites_used"_kml, "int"_kml, "Satellites used"_kml);
    WriteArrayField(stream, "speed_kmh"_kml, "float"_kml, "Speed (km/h)"_kml);
    stream.Text("</Schema>\n"_kml);
}

void WriteTimeTrackFolder(KmlStream& stream, std::span<const waypoints* const> points, LogFormat format,
                          const TimeTrackOptions& options) {
    const std::vector<std::vector<TimedPoint>> segments = Segments(points, format, options.GapAboveMs);
    stream.Text("<Folder xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"_kml);
    stream.Text("<name>Track in time</name>\n"_kml);
    if (!segments.empty()) {
        const std::string schemaId = TrackPointSchemaId(options.IdPrefix);
        stream.Text("<Placemark>\n"_kml);
        stream.Text("<name>Valid track</name>\n"_kml);
        stream.Text("<styleUrl>#"_kml).Value(TimeTrackStyleId(options.IdPrefix)).Text("</styleUrl>\n"_kml);
        if (segments.size() == 1) {
            WriteTrack(stream, segments.front(), format, schemaId);
        } else {
            stream.Text("<gx:MultiTrack>\n"_kml);
            stream.Text("<gx:interpolate>0</gx:interpolate>\n"_kml);
            for (const std::vector<TimedPoint>& segment : segments) {
                WriteTrack(stream, segment, format, schemaId);
            }
            stream.Text("</gx:MultiTrack>\n"_kml);
        }
        stream.Text("</Placemark>\n"_kml);
    }
    stream.Text("</Folder>\n"_kml);
}

}  // namespace tervo
