#include "kml/regions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tervo {
namespace {

constexpr int32_t kSecond = 1000;
constexpr int32_t kHour = 3600 * kSecond;
constexpr int32_t kDay = 24 * kHour;

// Points at the given times (ms of the day), each with a time text.
std::vector<waypoints> AtTimes(const std::vector<int32_t>& times) {
    std::vector<waypoints> points(times.size());
    for (size_t i = 0; i < times.size(); ++i) {
        points[i].TimeMs = times[i];
        points[i].Time = "hh:mm:ss";
    }
    return points;
}

std::vector<const waypoints*> Pointers(const std::vector<waypoints>& points) {
    std::vector<const waypoints*> out;
    for (const waypoints& p : points) {
        out.push_back(&p);
    }
    return out;
}

// The groups as "[begin,end)" texts.
std::string Text(const std::vector<PointGroup>& groups) {
    std::string out;
    for (const PointGroup& g : groups) {
        out += "[" + std::to_string(g.Begin) + "," + std::to_string(g.End) + ")";
    }
    return out;
}

// `count` times from `first`, `step` apart, wrapped into the day.
std::vector<int32_t> Steps(int64_t first, int64_t step, size_t count) {
    std::vector<int32_t> out;
    for (size_t i = 0; i < count; ++i) {
        out.push_back(static_cast<int32_t>((first + step * static_cast<int64_t>(i)) % kDay));
    }
    return out;
}

struct GroupCase {
    const char* legend;
    std::vector<int32_t> times;
    void (*change)(std::vector<waypoints>&);
    size_t fallbackSize;
    const char* expected;
};

void Unchanged(std::vector<waypoints>&) {}

TEST(Regions, GroupsByTheHour) {
    const GroupCase cases[] = {
        {"no points, no groups", {}, Unchanged, 2, ""},
        {"one point", {5 * kHour}, Unchanged, 2, "[0,1)"},
        {"inside one hour", {12 * kHour, 12 * kHour + 10, 13 * kHour - 1}, Unchanged, 2, "[0,3)"},
        {"a new hour starts a group",
         {12 * kHour + 59 * 60 * kSecond, 13 * kHour - 1, 13 * kHour, 13 * kHour + 5},
         Unchanged,
         2,
         "[0,2)[2,4)"},
        {"past midnight into the next day's hours",
         {23 * kHour + 10, kDay - 1, 0, 1, kHour, kHour + 1},
         Unchanged,
         2,
         "[0,2)[2,4)[4,6)"},
        {"an hour without points has no group",
         {8 * kHour, 8 * kHour + 1, 11 * kHour, 11 * kHour + 1},
         Unchanged,
         2,
         "[0,2)[2,4)"},
        {"the same hour a day later is another group",
         {10 * kHour, 22 * kHour, 9 * kHour, 10 * kHour},
         Unchanged,
         2,
         "[0,1)[1,2)[2,3)[3,4)"},
        {"a leap second stays with the day's last hour",
         {kDay - 1000, kDay, 0, kHour},
         Unchanged,
         2,
         "[0,2)[2,3)[3,4)"},
        {"a day at 1 Hz: 24 hours of 3600", Steps(0, kSecond, 86400), Unchanged, 2,
         nullptr},  // checked below
        {"a time without its text: equal counts",
         {1, 2, 3, 4, 5},
         [](std::vector<waypoints>& p) { p[2].Time = ""; },
         2,
         "[0,2)[2,4)[4,5)"},
        {"a time running back: equal counts",
         {10 * kHour, 11 * kHour, 10 * kHour + 5, 12 * kHour},
         Unchanged,
         3,
         "[0,3)[3,4)"},
        {"all times the same: equal counts", {0, 0, 0, 0, 0}, Unchanged, 2, "[0,2)[2,4)[4,5)"},
        {"a time outside the day: equal counts",
         {1, 2, 3},
         [](std::vector<waypoints>& p) { p[1].TimeMs = -5; },
         2,
         "[0,2)[2,3)"},
        {"a fallback size of 0 is 3600", {0, 0, 0}, Unchanged, 0, "[0,3)"},
    };
    for (const GroupCase& c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<waypoints> points = AtTimes(c.times);
        c.change(points);
        const std::vector<PointGroup> groups = GroupByHour(Pointers(points), kGroupMs, c.fallbackSize);
        if (c.expected != nullptr) {
            EXPECT_EQ(Text(groups), c.expected);
            continue;
        }
        ASSERT_EQ(groups.size(), 24u);
        for (size_t h = 0; h < 24; ++h) {
            EXPECT_EQ(groups[h].Begin, h * 3600);
            EXPECT_EQ(groups[h].End, h * 3600 + 3600);
        }
    }
}

TEST(Regions, DayLongLogWithoutTimesFallsBackToHourSizedGroups) {
    std::vector<waypoints> points = AtTimes(std::vector<int32_t>(86400 + 100, 0));
    const std::vector<PointGroup> groups = GroupByHour(Pointers(points));
    ASSERT_EQ(groups.size(), 25u);
    EXPECT_EQ(groups.back().Begin, 86400u);
    EXPECT_EQ(groups.back().End, 86500u);
}

// Points at the given (latitude, longitude) pairs.
std::vector<waypoints> AtPlaces(const std::vector<std::pair<double, double>>& places) {
    std::vector<waypoints> points(places.size());
    for (size_t i = 0; i < places.size(); ++i) {
        points[i].Latitude = places[i].first;
        points[i].Longitude = places[i].second;
    }
    return points;
}

struct BoxCase {
    const char* legend;
    std::vector<std::pair<double, double>> places;
    LatLonBox expected;  // north, south, east, west
};

TEST(Regions, BoundingBoxes) {
    const BoxCase cases[] = {
        {"one point", {{50.5, 10.25}}, {50.5, 50.5, 10.25, 10.25}},
        {"an ordinary box", {{50, 10}, {51, 9}, {49.5, 11}, {50.2, 10.5}}, {51, 49.5, 11, 9}},
        {"west of Greenwich and south", {{-33.9, -70.7}, {-33.4, -70.5}}, {-33.4, -33.9, -70.5, -70.7}},
        {"straddling 180: east beyond 180",
         {{-17, 179.5}, {-16.5, -179.5}, {-18, 179.9}},
         {-16.5, -18, 180.5, 179.5}},
        {"on 180 from both sides", {{10, 180}, {10, 179}}, {10, 10, 180, 179}},
        {"180 and -180 are one longitude", {{10, 180}, {11, -180}}, {11, 10, -180, -180}},
        {"the shorter way round: across 0", {{0.5, 10}, {0.5, -10}}, {0.5, 0.5, 10, -10}},
        {"the shorter way round: across 180", {{0.5, 170}, {0.5, -170}}, {0.5, 0.5, 190, 170}},
        {"wider than half the world: all longitudes", {{60, -120}, {60, 0}, {60, 120}}, {60, 60, 180, -180}},
        {"round a pole", {{89.9, 0}, {89.9, 90}, {89.9, 180}, {89.9, -90}}, {89.9, 89.9, 180, -180}},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::vector<waypoints> points = AtPlaces(c.places);
        const std::optional<LatLonBox> box = BoundingBox(Pointers(points));
        ASSERT_TRUE(box.has_value());
        EXPECT_DOUBLE_EQ(box->North, c.expected.North);
        EXPECT_DOUBLE_EQ(box->South, c.expected.South);
        EXPECT_DOUBLE_EQ(box->East, c.expected.East);
        EXPECT_DOUBLE_EQ(box->West, c.expected.West);
    }
    EXPECT_FALSE(BoundingBox({}).has_value());
}

std::string Render(const LatLonBox& box, const LodPixels& lod) {
    StringSink sink;
    KmlStream stream(sink);
    WriteRegion(stream, box, lod);
    stream.Close();
    return sink.text;
}

TEST(Regions, WritesTheRegionOfABox) {
    struct Case {
        LatLonBox box;
        LodPixels lod;
        const char* expected;
    };
    const Case cases[] = {
        {{55.755814, 55.7, 37.617635, 37.5},
         {},
         "<Region>\r\n"
         "<LatLonAltBox>\r\n"
         "<north>55.755814</north>\r\n"
         "<south>55.700000</south>\r\n"
         "<east>37.617635</east>\r\n"
         "<west>37.500000</west>\r\n"
         "</LatLonAltBox>\r\n"
         "<Lod>\r\n"
         "<minLodPixels>128</minLodPixels>\r\n"
         "<maxLodPixels>-1</maxLodPixels>\r\n"
         "</Lod>\r\n"
         "</Region>\r\n"},
        {{-16.5, -18, 180.5, 179.5},
         {256, 4096},
         "<Region>\r\n"
         "<LatLonAltBox>\r\n"
         "<north>-16.500000</north>\r\n"
         "<south>-18.000000</south>\r\n"
         "<east>180.500000</east>\r\n"
         "<west>179.500000</west>\r\n"
         "</LatLonAltBox>\r\n"
         "<Lod>\r\n"
         "<minLodPixels>256</minLodPixels>\r\n"
         "<maxLodPixels>4096</maxLodPixels>\r\n"
         "</Lod>\r\n"
         "</Region>\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Render(c.box, c.lod), c.expected);
    }
}

}  // namespace
}  // namespace tervo
