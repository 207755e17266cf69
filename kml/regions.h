// Levels of detail for long logs: the placemarks of a folder in groups (an
// hour of the log each), each group's bounding box, and the KML Region that
// lets a viewer load a group's placemarks only when its box is large enough on
// the screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/record.h"
#include "kml/kml_stream.h"

namespace tervo {

// The points [Begin, End) of a span of points.
struct PointGroup {
    size_t Begin = 0;
    size_t End = 0;
};

// The length of a time group and the size of a group when the times cannot be used.
inline constexpr int64_t kGroupMs = 3600000;
inline constexpr size_t kFallbackGroupSize = 3600;

// Consecutive groups covering `points` (in log order, none null): one per clock
// hour of UTC (12:00:00.000 to 12:59:59.999, and so on), a log that runs past
// midnight going on into the next day's hours; an hour without points has no
// group. When the times cannot be used, groups of kFallbackGroupSize points
// each instead (the last one shorter). The times cannot be used when a point
// has no time (an empty Time text) or a TimeMs outside one day (a leap second,
// 23:59:60, counts with 23:59:59), when a time runs back by less than 12 hours
// (a step back of 12 hours or more is taken as midnight), or when more than
// one point all share one time. `groupMs` (0 or less: an hour) and
// `fallbackSize` (0: 3600 points) set other sizes. Linear; empty input gives
// no groups.
std::vector<PointGroup> GroupByHour(std::span<const waypoints* const> points, int64_t groupMs = kGroupMs,
                                    size_t fallbackSize = kFallbackGroupSize);

// A box of latitudes and longitudes in degrees, as KML's LatLonAltBox holds it:
// South <= North and West <= East. A box across 180° longitude has West below
// 180 and East beyond it (170 to 190 for 170°E to 170°W), as OGC KML 2.2 allows
// for boxes that overlap the 180° meridian (east greater than west, values
// beyond ±180); otherwise both lie in -180 to 180.
struct LatLonBox {
    double North = 0;
    double South = 0;
    double East = 0;
    double West = 0;
};

// The smallest box around the positions of `points` (none null, none without
// a position, none with a coordinate that is no number). The longitudes are
// covered by the shortest arc of the circle that holds them all, so a group
// that straddles 180° gets a box across 180° (see LatLonBox), not one round
// the world. When that arc is longer than 180° (a log round a pole, or round
// the world), the box spans all longitudes, -180 to 180. O(n log n). Empty
// input gives no box.
std::optional<LatLonBox> BoundingBox(std::span<const waypoints* const> points);

// The pixel sizes of a Region's <Lod>: the group shows from minLodPixels on
// (the box's size on the screen) and never stops showing (-1). A box of no
// size (one point, or a receiver standing still) never reaches minLodPixels,
// so its group never shows unless the box is made larger first.
struct LodPixels {
    int MinLodPixels = 128;
    int MaxLodPixels = -1;
};

// Writes the Region of a box, one tag to a line like the other writers:
// <Region>, <LatLonAltBox> with north, south, east and west ("%f"), <Lod>
// with minLodPixels and maxLodPixels, </Region>. A Folder takes it after its
// <name> and before its placemarks.
void WriteRegion(KmlStream& stream, const LatLonBox& box, const LodPixels& lod = {});

}  // namespace tervo
