// Placing a track in time and cutting it at gaps. Legend: each case names the
// fault it would catch.
#include "core/track_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tervo {
namespace {

struct Stamp {
    const char* date;
    const char* time;
};

// Per point: 'S' starts a segment, '.' goes on, '-' has no time.
std::string Marks(const std::vector<Stamp>& stamps, std::optional<int64_t> gapAboveMs) {
    std::vector<waypoints> records(stamps.size());
    std::vector<const waypoints*> points;
    for (size_t i = 0; i < stamps.size(); ++i) {
        records[i].Date = stamps[i].date;
        records[i].Time = stamps[i].time;
        points.push_back(&records[i]);
    }
    std::string marks;
    for (const TimedPoint& timed : PlaceInTime(points, gapAboveMs)) {
        marks += timed.StartsSegment ? 'S' : timed.UnixMs ? '.' : '-';
    }
    return marks;
}

TEST(PlaceInTime, BreaksAtGapsAndStepsBack) {
    const char* d = "2024-05-17";
    struct Case {
        const char* legend;
        std::vector<Stamp> stamps;
        std::optional<int64_t> gapAboveMs;
        const char* marks;
    };
    const std::vector<Case> cases = {
        {"none", {}, 3000, ""},
        {"steady steps", {{d, "10:00:00"}, {d, "10:00:01"}, {d, "10:00:02"}}, 3000, "S.."},
        {"a step longer than the gap",
         {{d, "10:00:00"}, {d, "10:00:01"}, {d, "10:00:05"}, {d, "10:00:06"}},
         3000,
         "S.S."},
        {"a step of exactly the gap is no gap", {{d, "10:00:00"}, {d, "10:00:03"}}, 3000, "S."},
        {"without a gap rule only a step back breaks",
         {{d, "10:00:00"}, {d, "11:00:00"}, {d, "10:30:00"}},
         std::nullopt,
         "S.S"},
        {"midnight by the dates is one step", {{d, "23:59:59.5"}, {"2024-05-18", "00:00:00.5"}}, 3000, "S."},
        {"an untimed point neither breaks nor restarts the step",
         {{d, "10:00:00"}, {d, ""}, {d, "10:00:02"}},
         3000,
         "S-."},
        {"the step is measured from the last timed point, across an untimed one",
         {{d, "10:00:00"}, {d, ""}, {d, "10:00:04"}},
         3000,
         "S-S"},
        {"an untimed first point still starts the track",
         {{"", ""}, {d, "10:00:00"}, {d, "10:00:01"}},
         3000,
         "S.."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Marks(c.stamps, c.gapAboveMs), c.marks) << c.legend;
    }
}

}  // namespace
}  // namespace tervo
