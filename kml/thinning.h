// Placemark thinning: which of the points of a waypoint folder keep their
// placemark when a long log is written for a globe viewer. The folder writer
// passes the points that would get a placemark, in log order; the functions
// here only choose, they write nothing.
//
// Time of a point is its TimeMs. A step from one point to the next that goes
// negative is taken as a crossing of midnight and wraps by a day (a log that
// runs backwards in time therefore shows a day-long step there, which the gap
// rule marks). Distances are great-circle distances on a sphere of radius
// kEarthRadiusMetres.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "core/log_format.h"
#include "core/record.h"

namespace tervo {

// The mean earth radius the extras measure with.
inline constexpr double kEarthRadiusMetres = 6371008.8;

// True when the log never gave the point a position: such a point stands at
// exactly 0°, 0°. Thinning, simplification and regions leave these points out;
// the caller filters with this before passing points on.
bool HasNoPosition(const waypoints& point);

// The criteria of ThinPlacemarks; 0 (or less) switches a criterion off.
struct ThinningOptions {
    double Seconds = 0;  // keep a point once this long has passed since the last kept one
    double Metres = 0;   // keep a point this far from the last kept one
    double Degrees = 0;  // keep a point whose course turned this far from the last kept one's
};

// Which of `points` (in log order, none null, none without a position) keep
// their placemark: element i is true for points[i]. `format` is the log's.
//
// When no criterion is on, every point is kept. Otherwise a point is kept when
// it is the first or the last, or when
//  - at least options.Seconds have passed or it lies at least options.Metres
//    from the last kept point, or its course differs from the last kept
//    point's by at least options.Degrees (difference taken around the circle;
//    a course that is no number never counts as a turn);
//  - its fix quality (FixQuality), its status (the RMC Status letter for NMEA,
//    StatusText for BINR) or its D-Track membership (a matched, plottable
//    differential fix, as WriteDTrackWaypoints picks them) differs from the
//    point just before it;
//  - it borders a gap: the step to or from its neighbour is longer than 3
//    epochs, the epoch being the median positive step of the folder (no
//    positive step: no gaps).
// Linear in the number of points (plus a linear-time median). Empty input
// gives an empty vector.
std::vector<bool> ThinPlacemarks(std::span<const waypoints* const> points, const ThinningOptions& options,
                                 LogFormat format);

// What ThinPlacemarksToBudget chose.
struct PlacemarkBudget {
    std::vector<bool> Keep;      // as ThinPlacemarks returns it
    size_t Kept = 0;             // the number of true elements of Keep
    double Seconds = 0;          // the interval the keeps were chosen with; 0: none
    bool EvenlyReduced = false;  // the forced keeps alone were too many and were thinned evenly
};

// Keeps at most `maxPlacemarks` of `points` (as for ThinPlacemarks) by
// choosing the interval (ThinningOptions::Seconds) itself.
//
// The choice: when all points fit, all are kept (Seconds 0). Otherwise the
// interval is bisected over whole milliseconds, between 1 ms and one more than
// the log's span (an interval that never comes round), for the shortest one
// whose ThinPlacemarks result keeps at most maxPlacemarks; the other rules
// stay on: first and last, the status changes and gaps, and `rules`' Metres and
// Degrees (rules.Seconds is ignored). The count need not fall strictly as the
// interval grows (a later reference point can make more keeps), so the
// bisection only settles on an interval it has counted within the budget: the
// result never exceeds maxPlacemarks, though in such a case a slightly shorter
// interval might have fitted too. When even the interval that never comes
// round leaves more than maxPlacemarks (the forced keeps alone are too many),
// those keeps are thinned evenly by rank, the first and last point always
// staying; then Seconds is 0 and EvenlyReduced is set. A budget under 2 still
// keeps the first and the last point.
//
// About log2(span in ms) linear passes (27 for a day, at most 64), so
// O(n log T). Empty input gives an empty Keep and Kept 0.
PlacemarkBudget ThinPlacemarksToBudget(std::span<const waypoints* const> points, size_t maxPlacemarks,
                                       LogFormat format, const ThinningOptions& rules = {});

}  // namespace tervo
