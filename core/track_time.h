// A track placed in time and cut into segments where the log has a gap, for
// the writers that follow a track through time (the track in time of the KML
// document, the GPX track segments).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/record.h"

namespace tervo {

struct TimedPoint {
    const waypoints* Point = nullptr;
    std::optional<int64_t> UnixMs;  // UnixMsOfDateTime of its Date and Time
    bool StartsSegment = false;
};

// `points` in their order with their instants. A point starts a segment when
// it is the first one, or when the step from the last timed point before it is
// longer than `gapAboveMs` (the caller's gap rule; nullopt: no step is too
// long) or goes back in time (a log that was joined from two, or a receiver
// that reset its clock: the times of one segment only ever grow). A point
// without a time starts no segment and measures no step.
std::vector<TimedPoint> PlaceInTime(std::span<const waypoints* const> points,
                                    std::optional<int64_t> gapAboveMs);

}  // namespace tervo
