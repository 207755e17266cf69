#include "kml/viewer_writer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "kml/regions.h"
#include "kml/track_writer.h"

namespace tervo {

namespace {

// A box a viewer can reach its level of detail for: a receiver standing still
// gives a box without size, which no zoom would ever show.
constexpr double kMinimumBoxDegrees = 0.005;

LatLonBox Reachable(LatLonBox box) {
    if (box.North - box.South < kMinimumBoxDegrees) {
        const double middle = (box.North + box.South) / 2;
        box.North = std::min(90.0, middle + kMinimumBoxDegrees / 2);
        box.South = std::max(-90.0, middle - kMinimumBoxDegrees / 2);
    }
    if (box.East - box.West < kMinimumBoxDegrees) {
        const double middle = (box.East + box.West) / 2;
        box.East = middle + kMinimumBoxDegrees / 2;
        box.West = middle - kMinimumBoxDegrees / 2;
    }
    return box;
}

// "2024-05-17 10:00:01 to 10:59:59": the times of the group's first and last point.
std::string GroupName(const waypoints& first, const waypoints& last) {
    std::string name = first.Date.str();
    if (!name.empty()) {
        name += " ";
    }
    return name + first.Time.str() + " to " + last.Time.str();
}

// Evenly chosen, first and last kept: `count` of `total`.
std::vector<bool> Evenly(size_t total, size_t count) {
    std::vector<bool> keep(total, total <= count);
    if (total > count && total > 0) {
        const size_t chosen = std::max<size_t>(count, 2);
        for (size_t i = 0; i < chosen; ++i) {
            keep[i * (total - 1) / (chosen - 1)] = true;
        }
    }
    return keep;
}

}  // namespace

void WriteBriefPlacemark(KmlStream& stream, const waypoints& point, int number, std::string_view iconName,
                         LogFormat format, bool extrude, std::string_view scale) {
    stream.Text("<Placemark>\n"_kml);
    stream.Text("<description>Point "_kml).Int(number);
    if (!point.Time.empty()) {
        stream.Text(", "_kml);
        if (!point.Date.empty()) {
            stream.Value(point.Date).Text(" "_kml);
        }
        stream.Value(point.Time).Text(" UTC"_kml);
    }
    stream.Text(": "_kml).Fixed(point.Speed, 1).Text(" km/h, course "_kml).Fixed(point.Course, 1);
    stream.Text("°, altitude "_kml).Fixed(point.Altitude, 1).Text(" m, "_kml);
    WriteFixStatus(stream, point, format);
    stream.Text(", HDOP "_kml).Fixed(point.Hdop, 1);
    // The binary protocol marks an unknown satellite count with -1.
    if (format != LogFormat::Binr || point.SatellitesUsed != -1) {
        stream.Text(", "_kml).Int(point.SatellitesUsed).Text(" satellites"_kml);
    }
    stream.Text("</description>\n"_kml);
    WritePlacemarkTail(stream, point, iconName, extrude, scale);
}

void WriteBriefDTrackPlacemark(KmlStream& stream, const DTrackPoint& dtrack, int number,
                               std::string_view iconName, std::string_view scale) {
    stream.Text("<Placemark>\n"_kml);
    stream.Text("<description>D-Track point "_kml).Int(number);
    if (!dtrack.Time.empty()) {
        stream.Text(", "_kml).Value(dtrack.Time);
    }
    stream.Text(": "_kml).Fixed(dtrack.Speed, 1).Text(" km/h, course "_kml).Fixed(dtrack.Course, 1);
    stream.Text("°"_kml);
    if (dtrack.Status != 0) {
        stream.Text(", status "_kml).Char(dtrack.Status);
    }
    stream.Text("</description>\n"_kml);
    WriteDTrackPlacemarkTail(stream, dtrack, iconName, scale);
}

WaypointsOutcome WriteViewerWaypoints(KmlStream& stream, list* start, const WaypointOptions& options,
                                      const NmeaLogDate& logDate, LogFormat format,
                                      const ViewerOptions& viewer, int* written) {
    WaypointFolder folder(stream, options, format);
    struct Candidate {
        const waypoints* point;
        WaypointFolder::Placement placement;
        int number;
    };
    std::vector<Candidate> candidates;
    int number = options.FirstNumber;
    for (list* node = start; node != nullptr; node = node->Next) {
        const WaypointFolder::Placement placement = folder.Place(node->Point, logDate);
        if (placement == WaypointFolder::Placement::Stop) {
            return WaypointsOutcome::DateNotFound;
        }
        if (placement == WaypointFolder::Placement::None) {
            continue;
        }
        if (!HasNoPosition(node->Point)) {
            candidates.push_back({&node->Point, placement, number});
        }
        ++number;
    }

    std::vector<const waypoints*> points;
    points.reserve(candidates.size());
    for (const Candidate& candidate : candidates) {
        points.push_back(candidate.point);
    }
    std::vector<bool> keep =
        viewer.MaxPlacemarks > 0
            ? ThinPlacemarksToBudget(points, viewer.MaxPlacemarks, format, viewer.Thinning).Keep
            : ThinPlacemarks(points, viewer.Thinning, format);
    std::vector<Candidate> kept;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (keep[i]) {
            kept.push_back(candidates[i]);
        }
    }
    *written = static_cast<int>(kept.size());

    const auto write = [&](const Candidate& candidate) {
        if (!viewer.BriefPlacemarks) {
            folder.WriteAt(*candidate.point, candidate.placement, candidate.number);
            return;
        }
        const bool valid = candidate.placement == WaypointFolder::Placement::Valid;
        WriteBriefPlacemark(stream, *candidate.point, candidate.number,
                            valid ? options.ValidIconName : options.InvalidIconName, format, options.Extrude,
                            options.Scale);
    };
    folder.Begin();
    if (!viewer.Regions) {
        for (const Candidate& candidate : kept) {
            write(candidate);
        }
    } else {
        std::vector<const waypoints*> keptPoints;
        for (const Candidate& candidate : kept) {
            keptPoints.push_back(candidate.point);
        }
        for (const PointGroup& group : GroupByHour(keptPoints)) {
            const std::span<const waypoints* const> members(keptPoints.data() + group.Begin,
                                                            group.End - group.Begin);
            stream.Text("<Folder>\n"_kml);
            stream.Text("<name>"_kml)
                .Value(GroupName(*members.front(), *members.back()))
                .Text("</name>\n"_kml);
            if (const std::optional<LatLonBox> box = BoundingBox(members)) {
                WriteRegion(stream, Reachable(*box));
            }
            for (size_t i = group.Begin; i < group.End; ++i) {
                write(kept[i]);
            }
            stream.Text("</Folder>\n"_kml);
        }
    }
    folder.End();
    return WaypointsOutcome::Written;
}

void WriteViewerDTrackWaypoints(KmlStream& stream, const list* start, const WaypointOptions& options,
                                const ViewerOptions& viewer) {
    struct Candidate {
        const DTrackPoint* dtrack;
        int number;
    };
    std::vector<Candidate> candidates;
    int number = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        const DTrackPoint& dtrack = *node->Point.DTrack;
        if (dtrack.Matched == 1 && IsPlottable(dtrack.Longitude, dtrack.Latitude, 0)) {
            if (dtrack.Latitude != 0 || dtrack.Longitude != 0) {
                candidates.push_back({&dtrack, number});
            }
            ++number;
        }
    }
    const std::vector<bool> keep =
        Evenly(candidates.size(), viewer.MaxPlacemarks > 0 ? viewer.MaxPlacemarks : candidates.size());
    stream.Text("<Folder>\n"_kml);
    stream.Text("<name>D-Track WayPoints</name>\n"_kml);
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (keep[i] && viewer.BriefPlacemarks) {
            WriteBriefDTrackPlacemark(stream, *candidates[i].dtrack, candidates[i].number,
                                      options.DTrackIconName, options.Scale);
        } else if (keep[i]) {
            WriteDTrackPlacemark(stream, *candidates[i].dtrack, candidates[i].number, options.DTrackIconName,
                                 options.Scale);
        }
    }
    stream.Text("</Folder>\n"_kml);
}

}  // namespace tervo
