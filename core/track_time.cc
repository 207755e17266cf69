#include "core/track_time.h"

#include "core/calendar.h"

namespace tervo {

std::vector<TimedPoint> PlaceInTime(std::span<const waypoints* const> points,
                                    std::optional<int64_t> gapAboveMs) {
    std::vector<TimedPoint> placed;
    placed.reserve(points.size());
    std::optional<int64_t> lastMs;
    for (const waypoints* point : points) {
        TimedPoint timed{point, UnixMsOfDateTime(point->Date, point->Time), placed.empty()};
        if (timed.UnixMs) {
            if (lastMs) {
                const int64_t step = *timed.UnixMs - *lastMs;
                timed.StartsSegment = step < 0 || (gapAboveMs && step > *gapAboveMs);
            }
            lastMs = timed.UnixMs;
        }
        placed.push_back(timed);
    }
    return placed;
}

}  // namespace tervo
