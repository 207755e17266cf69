#include "kml/regions.h"

#include <algorithm>
#include <cmath>

namespace tervo {

namespace {

constexpr int64_t kDayMs = 86400000;
// A leap second reads 23:59:60.
constexpr int64_t kLongestDayMs = kDayMs + 1000;
// A step back at least this long is midnight; a shorter one is a time running back.
constexpr int64_t kMidnightStepMs = kDayMs / 2;

bool TimesUsable(std::span<const waypoints* const> points) {
    bool allEqual = true;
    for (size_t i = 0; i < points.size(); ++i) {
        const waypoints& point = *points[i];
        if (point.Time.empty() || point.TimeMs < 0 || point.TimeMs >= kLongestDayMs) {
            return false;
        }
        if (i > 0) {
            const int64_t step = int64_t{point.TimeMs} - points[i - 1]->TimeMs;
            if (step < 0 && step > -kMidnightStepMs) {
                return false;
            }
            allEqual = allEqual && step == 0;
        }
    }
    return !(allEqual && points.size() > 1);
}

// A longitude in -180 to 180 (180 itself as -180).
double NormalLongitude(double longitude) {
    double l = std::fmod(longitude + 180, 360.0);
    if (l < 0) {
        l += 360;
    }
    return l - 180;
}

}  // namespace

std::vector<PointGroup> GroupByHour(std::span<const waypoints* const> points, int64_t groupMs,
                                    size_t fallbackSize) {
    std::vector<PointGroup> groups;
    const size_t n = points.size();
    if (n == 0) {
        return groups;
    }
    if (groupMs <= 0) {
        groupMs = kGroupMs;
    }
    if (!TimesUsable(points)) {
        const size_t size = fallbackSize == 0 ? kFallbackGroupSize : fallbackSize;
        for (size_t begin = 0; begin < n; begin += size) {
            groups.push_back({begin, std::min(n, begin + size)});
        }
        return groups;
    }
    // A leap second (23:59:60) counts with the second before it.
    auto groupOf = [groupMs](int64_t dayOffset, int32_t timeMs) {
        return (dayOffset + std::min<int64_t>(timeMs, kDayMs - 1)) / groupMs;
    };
    int64_t dayOffset = 0;
    int64_t group = groupOf(0, points[0]->TimeMs);
    size_t begin = 0;
    for (size_t i = 1; i < n; ++i) {
        if (points[i]->TimeMs < points[i - 1]->TimeMs) {
            dayOffset += kDayMs;
        }
        const int64_t here = groupOf(dayOffset, points[i]->TimeMs);
        if (here != group) {
            groups.push_back({begin, i});
            begin = i;
            group = here;
        }
    }
    groups.push_back({begin, n});
    return groups;
}

std::optional<LatLonBox> BoundingBox(std::span<const waypoints* const> points) {
    if (points.empty()) {
        return std::nullopt;
    }
    LatLonBox box;
    box.North = points[0]->Latitude;
    box.South = points[0]->Latitude;
    std::vector<double> longitudes;
    longitudes.reserve(points.size());
    for (const waypoints* point : points) {
        box.North = std::max(box.North, point->Latitude);
        box.South = std::min(box.South, point->Latitude);
        longitudes.push_back(NormalLongitude(point->Longitude));
    }
    std::sort(longitudes.begin(), longitudes.end());
    // The box is the circle less its widest gap between neighbouring
    // longitudes; the gap round the back (from the last to the first) wins a
    // tie, giving a box that does not cross 180°.
    double widestGap = longitudes.front() + 360 - longitudes.back();
    box.West = longitudes.front();
    box.East = longitudes.back();
    for (size_t i = 1; i < longitudes.size(); ++i) {
        const double gap = longitudes[i] - longitudes[i - 1];
        if (gap > widestGap) {
            widestGap = gap;
            box.West = longitudes[i];
            box.East = longitudes[i - 1] + 360;
        }
    }
    if (box.East - box.West > 180) {
        box.West = -180;
        box.East = 180;
    }
    return box;
}

void WriteRegion(KmlStream& stream, const LatLonBox& box, const LodPixels& lod) {
    stream.Text("<Region>\n"_kml);
    stream.Text("<LatLonAltBox>\n"_kml);
    stream.Text("<north>"_kml).Fixed(box.North, 6).Text("</north>\n"_kml);
    stream.Text("<south>"_kml).Fixed(box.South, 6).Text("</south>\n"_kml);
    stream.Text("<east>"_kml).Fixed(box.East, 6).Text("</east>\n"_kml);
    stream.Text("<west>"_kml).Fixed(box.West, 6).Text("</west>\n"_kml);
    stream.Text("</LatLonAltBox>\n"_kml);
    stream.Text("<Lod>\n"_kml);
    stream.Text("<minLodPixels>"_kml).Int(lod.MinLodPixels).Text("</minLodPixels>\n"_kml);
    stream.Text("<maxLodPixels>"_kml).Int(lod.MaxLodPixels).Text("</maxLodPixels>\n"_kml);
    stream.Text("</Lod>\n"_kml);
    stream.Text("</Region>\n"_kml);
}

}  // namespace tervo
