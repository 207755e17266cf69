#include "kml/thinning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "kml/waypoint_writer.h"

namespace tervo {
namespace {

constexpr int32_t kSecond = 1000;
constexpr int32_t kDayMs = 86400 * kSecond;

// A folder's points: by default one a second from 12:00:00, heading north
// along 10°E from 50°N at 0.0001° (11.1 m) a step, valid, quality 1, course 0.
struct Folder {
    explicit Folder(size_t n) : points(n) {
        for (size_t i = 0; i < n; ++i) {
            waypoints& p = points[i];
            p.TimeMs = 12 * 3600 * kSecond + static_cast<int32_t>(i) * kSecond;
            p.Latitude = 50 + 0.0001 * static_cast<double>(i);
            p.Longitude = 10;
            p.Status = 'A';
            p.StatusText = "3D";
            p.FixQuality = 1;
        }
    }
    // The pointers ThinPlacemarks takes.
    std::vector<const waypoints*> Span() const {
        std::vector<const waypoints*> out;
        for (const waypoints& p : points) {
            out.push_back(&p);
        }
        return out;
    }
    std::vector<waypoints> points;
};

// "1" for a kept point, "." for a dropped one.
std::string Pattern(const std::vector<bool>& keep) {
    std::string out;
    for (bool k : keep) {
        out += k ? '1' : '.';
    }
    return out;
}

size_t Count(const std::vector<bool>& keep) {
    size_t n = 0;
    for (bool k : keep) {
        n += k ? 1 : 0;
    }
    return n;
}

// One case: a folder of `size` points, changed by `change`, thinned with
// `options`, keeps the points marked "1" in `expected`.
struct ThinCase {
    const char* legend;
    size_t size;
    ThinningOptions options;
    LogFormat format;
    void (*change)(std::vector<waypoints>&);
    const char* expected;
};

void Unchanged(std::vector<waypoints>&) {}

const ThinCase kThinCases[] = {
    {"no criterion keeps every point, status changes or not",
     6,
     {},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) { p[2].Status = 'V'; },
     "111111"},
    {"every 3 s", 10, {3, 0, 0}, LogFormat::Nmea, Unchanged, "1..1..1..1"},
    {"every 2 s, and the last", 10, {2, 0, 0}, LogFormat::Nmea, Unchanged, "1.1.1.1.11"},
    {"a fractional interval: 2.5 s keeps at 3 s", 10, {2.5, 0, 0}, LogFormat::Nmea, Unchanged, "1..1..1..1"},
    {"every 30 m at 11.1 m a step", 10, {0, 30, 0}, LogFormat::Nmea, Unchanged, "1..1..1..1"},
    {"time or distance, whichever comes first", 10, {4, 30, 0}, LogFormat::Nmea, Unchanged, "1..1..1..1"},
    {"negative and NaN criteria are off",
     5,
     {-1, std::numeric_limits<double>::quiet_NaN(), 0},
     LogFormat::Nmea,
     Unchanged,
     "11111"},
    {"a turn of 25 degrees from the last kept course",
     8,
     {0, 0, 25},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         for (size_t i = 0; i < p.size(); ++i) {
             p[i].Course = 10.0 * static_cast<double>(i);  // 0, 10, ... 70
         }
     },
     "1..1..11"},
    {"a turn is measured round the circle: 350 to 15 is 25",
     5,
     {0, 0, 20},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         const double courses[] = {350, 355, 5, 15, 20};
         for (size_t i = 0; i < p.size(); ++i) {
             p[i].Course = courses[i];
         }
     },
     "1..11"},
    {"a course that is no number is no turn",
     5,
     {0, 0, 20},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         p[1].Course = std::numeric_limits<double>::quiet_NaN();
         p[2].Course = 90;  // and back to 0 at 3: two turns of 90
     },
     "1.111"},
    {"the fix quality changing, and back",
     7,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         p[2].FixQuality = 2;
         p[3].FixQuality = 2;
         p[4].FixQuality = 2;
     },
     "1.1..11"},
    {"NMEA: the RMC status letter changing",
     7,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         p[3].Status = 'V';
         p[4].Status = 'V';
     },
     "1..1.11"},
    {"NMEA: the binary status text is not looked at",
     5,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) { p[2].StatusText = "2D"; },
     "1...1"},
    {"BINR: the status text changing",
     6,
     {100, 0, 0},
     LogFormat::Binr,
     [](std::vector<waypoints>& p) {
         p[2].StatusText = "2D";
         p[3].StatusText = "2D";
     },
     "1.1.11"},
    {"BINR: the NMEA status letter is not looked at",
     5,
     {100, 0, 0},
     LogFormat::Binr,
     [](std::vector<waypoints>& p) { p[2].Status = 'V'; },
     "1...1"},
    {"joining and leaving the D-Track points",
     7,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         for (size_t i : {2u, 3u}) {
             DTrackPoint& fix = p[i].DTrack.Edit();
             fix.Matched = 1;
             fix.Latitude = p[i].Latitude;
             fix.Longitude = p[i].Longitude;
         }
         // An unmatched fix is no D-Track point, like no fix at all.
         p[5].DTrack.Edit().Matched = 0;
     },
     "1.1.1.1"},
    {"a matched fix that is no number is no D-Track point",
     5,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         DTrackPoint& fix = p[2].DTrack.Edit();
         fix.Matched = 1;
         fix.Latitude = std::numeric_limits<double>::quiet_NaN();
     },
     "1...1"},
    {"both points around a gap longer than 3 epochs",
     8,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         for (size_t i = 4; i < p.size(); ++i) {
             p[i].TimeMs += 6 * kSecond;  // 3 -> 4 is 7 s
         }
     },
     "1..11..1"},
    {"a step of exactly 3 epochs is no gap",
     8,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         for (size_t i = 4; i < p.size(); ++i) {
             p[i].TimeMs += 2 * kSecond;  // 3 -> 4 is 3 s
         }
     },
     "1......1"},
    {"the epoch is the median step: a 5 Hz log",
     8,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         for (size_t i = 0; i < p.size(); ++i) {
             p[i].TimeMs = static_cast<int32_t>(i) * 200 + (i >= 5 ? 1000 : 0);  // 4 -> 5 is 1.2 s
         }
     },
     "1...11.1"},
    {"no positive step: no gaps, and no interval comes round",
     5,
     {1, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         for (waypoints& point : p) {
             point.TimeMs = 0;
         }
     },
     "1...1"},
    {"midnight: the step wraps by a day and is no gap",
     6,
     {2, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         for (size_t i = 0; i < p.size(); ++i) {
             p[i].TimeMs = (kDayMs - 3 * kSecond + static_cast<int32_t>(i) * kSecond) % kDayMs;
         }
     },
     "1.1.11"},
    {"a time that runs back reads as a day-long step: a gap",
     8,
     {100, 0, 0},
     LogFormat::Nmea,
     [](std::vector<waypoints>& p) {
         for (size_t i = 4; i < p.size(); ++i) {
             p[i].TimeMs -= 10 * kSecond;
         }
     },
     "1..11..1"},
    {"one point", 1, {5, 5, 5}, LogFormat::Nmea, Unchanged, "1"},
    {"two points", 2, {500, 0, 0}, LogFormat::Nmea, Unchanged, "11"},
};

TEST(Thinning, KeepsThePointsTheRulesName) {
    for (const ThinCase& c : kThinCases) {
        SCOPED_TRACE(c.legend);
        Folder folder(c.size);
        c.change(folder.points);
        const std::vector<const waypoints*> points = folder.Span();
        EXPECT_EQ(Pattern(ThinPlacemarks(points, c.options, c.format)), c.expected);
    }
}

TEST(Thinning, EmptyInputGivesNothing) {
    EXPECT_TRUE(ThinPlacemarks({}, {5, 5, 5}, LogFormat::Nmea).empty());
    EXPECT_TRUE(ThinPlacemarks({}, {}, LogFormat::Binr).empty());
    const PlacemarkBudget budget = ThinPlacemarksToBudget({}, 10, LogFormat::Nmea);
    EXPECT_TRUE(budget.Keep.empty());
    EXPECT_EQ(budget.Kept, 0u);
}

TEST(Thinning, NoPositionIsExactlyZeroZero) {
    struct Case {
        double latitude;
        double longitude;
        bool none;
    };
    const Case cases[] = {
        {0, 0, true},        {-0.0, 0.0, true},
        {0, -0.0, true},     {0, 1e-9, false},
        {1e-300, 0, false},  {0, 180, false},
        {50.1, 10.2, false}, {std::numeric_limits<double>::quiet_NaN(), 0, false},
    };
    for (const Case& c : cases) {
        waypoints p;
        p.Latitude = c.latitude;
        p.Longitude = c.longitude;
        EXPECT_EQ(HasNoPosition(p), c.none) << c.latitude << ", " << c.longitude;
    }
}

// A day at 1 Hz: the budget picks an interval that fills it closely.
TEST(ThinningBudget, ChoosesTheIntervalForADayLongLog) {
    Folder folder(86400);
    for (size_t i = 0; i < folder.points.size(); ++i) {
        folder.points[i].TimeMs = static_cast<int32_t>(i) * kSecond;
    }
    const std::vector<const waypoints*> points = folder.Span();
    struct Case {
        size_t budget;
        size_t atLeast;  // what a good interval reaches
    };
    const Case cases[] = {{2, 2},         {3, 2},         {25, 24},       {1000, 990},
                          {86399, 43201}, {86400, 86400}, {100000, 86400}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.budget);
        const PlacemarkBudget result = ThinPlacemarksToBudget(points, c.budget, LogFormat::Nmea);
        ASSERT_EQ(result.Keep.size(), points.size());
        EXPECT_EQ(result.Kept, Count(result.Keep));
        EXPECT_LE(result.Kept, c.budget);
        EXPECT_GE(result.Kept, c.atLeast);
        EXPECT_TRUE(result.Keep.front());
        EXPECT_TRUE(result.Keep.back());
        EXPECT_FALSE(result.EvenlyReduced);
        if (c.budget < points.size()) {
            // The same choice as thinning with the interval it names.
            EXPECT_EQ(result.Keep, ThinPlacemarks(points, {result.Seconds, 0, 0}, LogFormat::Nmea));
        } else {
            EXPECT_EQ(result.Seconds, 0);
        }
    }
    EXPECT_NEAR(ThinPlacemarksToBudget(points, 1000, LogFormat::Nmea).Seconds, 86.4, 0.5);
}

// One case of a budget that the forced keeps decide: `forcedEvery`-th points
// change status (0: none), the log has `size` points.
struct ForcedCase {
    const char* legend;
    size_t size;
    size_t forcedEvery;
    size_t budget;
    const char* expected;  // for short logs; nullptr: only the count is checked
    bool evenly;
};

const ForcedCase kForcedCases[] = {
    {"every point a status change: spread evenly", 11, 1, 3, "1....1....1", true},
    {"every point a status change, budget 4", 10, 1, 4, "1..1..1..1", true},
    {"a budget of 1 still keeps first and last", 5, 1, 1, "1...1", true},
    {"a budget of 0 still keeps first and last", 5, 0, 0, "1...1", false},
    {"changes fit: the interval thins the rest", 9, 4, 4, "1...1...1", false},
    {"a long log of status changes", 100000, 1, 777, nullptr, true},
    {"a long log of changes every 70 points", 100000, 70, 5000, nullptr, false},
    {"a long log of changes every 70 points, tight", 100000, 70, 777, nullptr, true},
};

TEST(ThinningBudget, NeverExceedsTheBudgetWhenForcedKeepsAreMany) {
    for (const ForcedCase& c : kForcedCases) {
        SCOPED_TRACE(c.legend);
        Folder folder(c.size);
        for (size_t i = 0; c.forcedEvery != 0 && i < c.size; ++i) {
            folder.points[i].Status = (i / c.forcedEvery) % 2 == 0 ? 'A' : 'V';
        }
        const std::vector<const waypoints*> points = folder.Span();
        const PlacemarkBudget result = ThinPlacemarksToBudget(points, c.budget, LogFormat::Nmea);
        EXPECT_EQ(result.Kept, Count(result.Keep));
        EXPECT_LE(result.Kept, std::max<size_t>(c.budget, 2));
        EXPECT_TRUE(result.Keep.front());
        EXPECT_TRUE(result.Keep.back());
        EXPECT_EQ(result.EvenlyReduced, c.evenly);
        if (c.expected != nullptr) {
            EXPECT_EQ(Pattern(result.Keep), c.expected);
        }
    }
}

TEST(ThinningBudget, KeepsTheOtherRulesOn) {
    // Gaps every 10 points keep both borders; a budget above them thins between.
    Folder folder(1000);
    for (size_t i = 0; i < folder.points.size(); ++i) {
        folder.points[i].TimeMs = static_cast<int32_t>(i + (i / 10) * 10) * kSecond;
    }
    const std::vector<const waypoints*> points = folder.Span();
    const PlacemarkBudget result = ThinPlacemarksToBudget(points, 250, LogFormat::Nmea, {0, 100, 0});
    EXPECT_LE(result.Kept, 250u);
    EXPECT_FALSE(result.EvenlyReduced);
    const std::vector<bool> direct = ThinPlacemarks(points, {result.Seconds, 100, 0}, LogFormat::Nmea);
    EXPECT_EQ(result.Keep, direct);
    for (size_t i = 10; i < points.size(); i += 10) {
        EXPECT_TRUE(result.Keep[i - 1] && result.Keep[i]) << i;
    }
}

}  // namespace
}  // namespace tervo
