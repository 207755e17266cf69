#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fuzz/in_memory_run.h"
#include "kml/line_simplify.h"
#include "run/conversion.h"
#include "support/test_builders.h"
#include "support/test_files.h"

namespace tervo {
namespace {

// The placemarks of the "WayPoints" folder by their numbers (their names, or
// in the brief form the number its description begins with), each with its text.
std::map<int, std::string> WayPoints(const std::string& kml) {
    std::map<int, std::string> placemarks;
    const size_t begin = kml.find("<name>WayPoints</name>");
    const size_t end = kml.find("<name>D-Track WayPoints</name>");
    for (size_t at = kml.find("<Placemark>", begin); at < end; at = kml.find("<Placemark>", at + 1)) {
        const size_t close = kml.find("</Placemark>", at);
        const std::string text = kml.substr(at, close - at);
        const std::string mark = text.find("<name>") != std::string::npos ? "<name>" : "<description>Point ";
        placemarks[std::stoi(text.substr(text.find(mark) + mark.size()))] = text;
    }
    return placemarks;
}

// From </description> on: what the brief form shares with the full one.
std::string Tail(const std::string& placemark) { return placemark.substr(placemark.find("</description>")); }

// The coordinates of the line string named `name`.
std::vector<LatLon> Line(const std::string& kml, const std::string& name) {
    std::vector<LatLon> points;
    const size_t at = kml.find("<coordinates>", kml.find("<name>" + name + "</name>"));
    const size_t end = kml.find("</coordinates>", at);
    for (size_t line = kml.find('\n', at) + 1; line < end; line = kml.find('\n', line) + 1) {
        double lon = 0;
        double lat = 0;
        if (std::sscanf(kml.c_str() + line, " %lf,%lf", &lon, &lat) == 2) {
            points.push_back({lat, lon});
        }
    }
    return points;
}

class ViewerExtras : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tools = std::getenv("TERVO_TOOLS_DIR");
        ASSERT_NE(tools, nullptr) << "run through ctest: TERVO_TOOLS_DIR names the simulators";
        const std::string path = dir.File("log.nmea");
        const std::string command = std::string(tools) + "/simulate_log --epochs 9000 --seed 4 --out " + path;
        ASSERT_EQ(std::system(command.c_str()), 0);
        // An epoch the log gives no position: the receiver's first seconds.
        log = testing::NmeaSentence("GPGGA,095959.00,,,,,0,00,,,M,,M,,") + testing::ReadFile(path);
        settings.Format = LogFormat::Nmea;
        full = fuzzing::ConvertInMemory(log, settings).kml;
    }

    testing::TempDir dir;
    std::string log;
    ConversionSettings settings;
    std::string full;
};

TEST_F(ViewerExtras, EachPartKeepsWhatItPromises) {
    const std::map<int, std::string> all = WayPoints(full);
    ASSERT_GT(all.size(), 8000u);
    struct Case {
        const char* legend;
        Extras extras;
        size_t most;  // placemarks at most
        bool brief;   // the preset's brief form
    } cases[] = {
        {"a budget not held", Extras{.MaxPlacemarks = 300}, 300, false},
        {"the viewer preset not held to its budget", Extras{.Viewer = 1}, 100, true},
        // The log's D-Track fixes come and go, and each change keeps a placemark:
        // far more than one a minute are kept, but not all.
        {"an interval of a minute", Extras{.ThinSeconds = 60}, 9000 * 7 / 8, false},
        {"a budget the preset's own budget overrides", Extras{.Viewer = 1, .MaxPlacemarks = 40}, 40, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        ConversionSettings s = settings;
        s.Extras = c.extras;
        const fuzzing::InMemoryRun run = fuzzing::ConvertInMemory(log, s);
        ASSERT_EQ(run.result, ConversionResult::Completed);
        const std::map<int, std::string> kept = WayPoints(run.kml);
        EXPECT_LE(kept.size(), c.most);
        EXPECT_GE(kept.size(), 2u);
        EXPECT_EQ(run.countText, "Waypoints " + std::to_string(kept.size()));
        EXPECT_EQ(kept.count(0), 0u) << "the point without a position got a placemark";
        for (const auto& [number, text] : kept) {
            if (c.brief) {
                EXPECT_EQ(text.find("<name>"), std::string::npos) << "a name the viewer draws as a label";
                EXPECT_EQ(Tail(text), Tail(all.at(number)))
                    << "an arrow, time or position not the full form's";
            } else {
                EXPECT_EQ(text, all.at(number))
                    << "a placemark differs from its namesake in the full document";
            }
        }
        EXPECT_EQ(run.kml.find("<![CDATA[") == std::string::npos, c.brief) << "a table in a brief placemark";
        EXPECT_TRUE(kept.contains(all.rbegin()->first)) << "the last point lost its placemark";
    }
}

TEST_F(ViewerExtras, LinesPassEveryFixWithinTheTolerance) {
    const std::vector<LatLon> whole = Line(full, "NormalTrack");
    for (double tolerance : {0.0, 0.5, 5.0}) {
        ConversionSettings s = settings;
        s.Extras.LineTolerance = tolerance;
        const std::vector<LatLon> line = Line(fuzzing::ConvertInMemory(log, s).kml, "NormalTrack");
        ASSERT_GE(line.size(), 2u);
        EXPECT_EQ(line.size() == whole.size() - 1, tolerance == 0) << "0 keeps every fix with a position";
        // The kept fixes are a subsequence of the whole line; every fix between
        // two kept ones lies within the tolerance of the arc that joins them.
        size_t next = 0;
        for (const LatLon& fix : whole) {
            if (fix.Latitude == 0 && fix.Longitude == 0) {
                continue;
            }
            if (next < line.size() && fix.Latitude == line[next].Latitude &&
                fix.Longitude == line[next].Longitude) {
                ++next;
                continue;
            }
            ASSERT_GT(next, 0u) << "the first fix was dropped";
            ASSERT_LT(next, line.size()) << "the last fix was dropped";
            EXPECT_LE(DistanceToArcMetres(fix, line[next - 1], line[next]), tolerance + 1e-6)
                << "tolerance " << tolerance;
        }
        EXPECT_EQ(next, line.size()) << "the line holds a fix the log does not";
    }
}

TEST_F(ViewerExtras, RegionsGroupThePlacemarksByTheHour) {
    ConversionSettings s = settings;
    s.Extras.Regions = 1;
    const std::string kml = fuzzing::ConvertInMemory(log, s).kml;
    size_t regions = 0;
    for (size_t at = kml.find("<Region>"); at != std::string::npos; at = kml.find("<Region>", at + 1)) {
        ++regions;
    }
    EXPECT_EQ(regions, 3u) << "9000 s from 10:00 on: three hours";
    EXPECT_EQ(WayPoints(kml).size(), WayPoints(full).size() - 1) << "all but the point without a position";
    EXPECT_NE(kml.find("<minLodPixels>128</minLodPixels>"), std::string::npos);
}

}  // namespace
}  // namespace tervo
