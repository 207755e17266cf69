// Simplification of a track line for a globe viewer: the vertices a line can
// do without, within a tolerance in metres.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace tervo {

// A position in degrees, south and west negative.
struct LatLon {
    double Latitude = 0;
    double Longitude = 0;
};

// The indices of `points` that the simplified line keeps, ascending; the first
// and the last are always among them. Every point left out lies within
// `toleranceMetres` of the simplified line, measured on a sphere of radius
// kEarthRadiusMetres (kml/thinning.h) as the distance to the great-circle arc
// between the two kept points around it: the line a viewer draws for a
// tessellated LineString. Measuring on the sphere itself, not in a flat
// projection, keeps lines across 180° longitude and over the poles right.
//
// Douglas–Peucker without recursion: a segment whose farthest inner point is
// beyond the tolerance is split there. Plain Douglas–Peucker takes quadratic
// time on some lines (a zig-zag of equal legs splits off one leg at a time),
// so once its scans have measured 16 n log2(n) points, each segment still to
// be split is split at the farthest point of its middle half instead. That
// bounds the work to O(n log n); such a line may then keep a few points more
// than plain Douglas–Peucker, still within the tolerance.
//
// A tolerance of 0 (or less, or NaN) keeps every point. Empty input gives an
// empty vector; one point gives {0}. The caller leaves out points that are no
// numbers or have no position (HasNoPosition).
std::vector<size_t> SimplifyLine(std::span<const LatLon> points, double toleranceMetres);

// The distance in metres from `point` to the great-circle arc from `from` to
// `to` (the shorter one), on the sphere SimplifyLine measures on. When the ends
// coincide, or lie so nearly together or opposite that no arc is defined
// between them, it is the distance to the nearer end, which is never less than
// the distance to any arc between them.
double DistanceToArcMetres(const LatLon& point, const LatLon& from, const LatLon& to);

}  // namespace tervo
