// The coloured tracks. Legend of the cases:
// - TrackRuns: the runs of a class sequence, each sharing its first point with
//   the run before (a gap in the line, a point drawn twice, a lone point);
// - CoverTheValidFixesOfASimulatedLog: read back, the runs give every valid
//   fix once in order (a fix lost or repeated between runs);
// - ExactText: a small folder and the styles as they are written (a tag, the
//   tab or a line end out of place, a caller's class parted from its point);
// - SpeedClasses: the step, the class bounds and labels (a speed in the wrong
//   class, a label that names other bounds).
#include "kml/coloured_track.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "nmea/nmea_reader.h"
#include "support/recording_view.h"
#include "support/render.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::Render;

std::string Runs(const std::vector<int>& classes) {
    std::string text;
    for (const TrackRun& run : TrackRuns(classes)) {
        text += (text.empty() ? "" : " ") + std::to_string(run.First) + "-" + std::to_string(run.Last) + ":" +
                std::to_string(run.Class);
    }
    return text;
}

TEST(TrackRuns, ShareTheirBoundaries) {
    struct Case {
        const char* legend;
        std::vector<int> classes;
        const char* runs;  // "first-last:class"
    };
    const std::vector<Case> cases = {
        {"no points", {}, ""},
        {"one point: no line", {1}, ""},
        {"one class", {3, 3, 3}, "0-2:3"},
        {"two classes share point 1", {1, 1, 2, 2}, "0-1:1 1-3:2"},
        {"a lone first point draws nothing of its own, its segment takes the next class", {1, 2}, "0-1:2"},
        {"one point of a class between others: a segment into it", {1, 1, 2, 1, 1}, "0-1:1 1-2:2 2-4:1"},
        {"a class on every point", {0, 1, 2, 3}, "0-1:1 1-2:2 2-3:3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Runs(c.classes), c.runs) << c.legend;
    }
}

TEST(TrackRuns, CoverEveryPointOnceButTheSharedOnes) {
    std::vector<int> classes;
    for (int i = 0; i < 500; ++i) {
        classes.push_back((i * i / 7 + i / 13) % 4);
    }
    const std::vector<TrackRun> runs = TrackRuns(classes);
    ASSERT_FALSE(runs.empty());
    std::vector<int> seen(classes.size(), 0);
    for (size_t k = 0; k < runs.size(); ++k) {
        EXPECT_LT(runs[k].First, runs[k].Last);
        if (k > 0) {
            EXPECT_EQ(runs[k].First, runs[k - 1].Last)
                << "run " << k << " does not start where the last ended";
        }
        for (size_t i = runs[k].First; i <= runs[k].Last; ++i) {
            ++seen[i];
            if (i > runs[k].First) {
                EXPECT_EQ(classes[i], runs[k].Class) << "point " << i;
            }
        }
    }
    EXPECT_EQ(runs.front().First, 0u);
    EXPECT_EQ(runs.back().Last, classes.size() - 1);
    for (size_t i = 0; i < seen.size(); ++i) {
        const bool boundary =
            std::any_of(runs.begin() + 1, runs.end(), [&](const TrackRun& r) { return r.First == i; });
        EXPECT_EQ(seen[i], boundary ? 2 : 1) << "point " << i;
    }
}

// The coordinate lines of each placemark of a folder, in order.
std::vector<std::vector<std::string>> PlacemarkLines(const std::string& folder) {
    std::vector<std::vector<std::string>> placemarks;
    size_t at = 0;
    while ((at = folder.find("<coordinates>\r\n", at)) != std::string::npos) {
        at += 15;
        const size_t end = folder.find("</coordinates>", at);
        std::vector<std::string> lines;
        for (size_t line = at; line < end;) {
            const size_t next = folder.find("\r\n", line);
            lines.push_back(folder.substr(line, next - line));
            line = next + 2;
        }
        placemarks.push_back(lines);
    }
    return placemarks;
}

TEST(ColouredTracks, CoverTheValidFixesOfASimulatedLog) {
    testing::TempDir dir;
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    const std::string path = dir.File("log.nmea");
    const std::string command =
        std::string(tools ? tools : ".") + "/simulate_log --epochs 400 --seed 2 --rtk --out " + path;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    PointList points;
    {
        testing::RecordingView view;
        view.recordTicks = false;
        SentenceAssembler assembler;
        testing::TestPlatform platform;
        NmeaLogDate logDate;
        std::FILE* input = std::fopen(path.c_str(), "rb");
        ASSERT_EQ(ReadNmeaLog(input, view, 1 << 30, false, assembler, platform, points, logDate),
                  ReadOutcome::Finished);
        std::fclose(input);
    }
    std::vector<const waypoints*> valid;
    std::vector<std::string> expected;
    for (const list* node = points.Head; node != nullptr; node = node->Next) {
        if (HasValidFix(node->Point, LogFormat::Nmea)) {
            valid.push_back(&node->Point);
            char line[128];
            std::snprintf(line, sizeof line, "\t%.6f,%.6f,%.6f", node->Point.Longitude, node->Point.Latitude,
                          node->Point.Altitude);
            expected.push_back(line);
        }
    }
    ASSERT_EQ(valid.size(), 320u);
    const SpeedClasses speeds = MakeSpeedClasses(valid);
    for (const bool bySpeed : {false, true}) {
        const std::string folder = Render([&](KmlStream& s) {
            if (bySpeed) {
                WriteTrackBySpeed(s, valid, speeds);
            } else {
                WriteTrackByQuality(s, valid, LogFormat::Nmea);
            }
        });
        const auto placemarks = PlacemarkLines(folder);
        ASSERT_GT(placemarks.size(), 3u) << bySpeed;
        std::vector<std::string> joined = placemarks[0];
        for (size_t k = 1; k < placemarks.size(); ++k) {
            ASSERT_GE(placemarks[k].size(), 2u);
            EXPECT_EQ(placemarks[k].front(), joined.back())
                << "placemark " << k << " does not join the one before";
            joined.insert(joined.end(), placemarks[k].begin() + 1, placemarks[k].end());
        }
        EXPECT_EQ(joined, expected) << (bySpeed ? "by speed" : "by quality");
    }
}

TEST(ColouredTracks, ExactText) {
    PointList points;
    auto add = [&](double lat, int quality, double speed) {
        waypoints& p = points.AppendPoint()->Point;
        p.HasGga = 1;
        p.HasRmc = 1;
        p.Status = 'A';
        p.FixQuality = quality;
        p.Latitude = lat;
        p.Longitude = 11.5;
        p.Altitude = 500.25;
        p.Speed = speed;
        return &p;
    };
    std::vector<const waypoints*> valid = {add(48.1, 1, 5), add(48.2, 1, 15), add(48.3, 4, 25)};
    waypoints unplottable;
    unplottable.HasGga = 1;
    unplottable.FixQuality = 5;
    unplottable.Latitude = NAN;
    valid.insert(valid.begin() + 1, &unplottable);

    const std::string head = "<Placemark>\r\n<name>";
    const std::string line = "</styleUrl>\r\n<LineString>\r\n<tessellate>1</tessellate>\r\n<coordinates>\r\n";
    const std::string tail = "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
    const std::string p1 = "\t11.500000,48.100000,500.250000\r\n";
    const std::string p2 = "\t11.500000,48.200000,500.250000\r\n";
    const std::string p3 = "\t11.500000,48.300000,500.250000\r\n";
    EXPECT_EQ(Render([&](KmlStream& s) { WriteTrackByQuality(s, valid, LogFormat::Nmea); }),
              "<Folder>\r\n<name>Track by fix quality</name>\r\n" + head +
                  "single</name>\r\n<styleUrl>#quality-single" + line + p1 + p2 + tail + head +
                  "RTK fixed</name>\r\n<styleUrl>#quality-rtk-fixed" + line + p2 + p3 + tail +
                  "</Folder>\r\n");
    const SpeedClasses classes = MakeSpeedClasses(valid);
    ASSERT_EQ(classes.StepKmh, 5);
    EXPECT_EQ(Render([&](KmlStream& s) { WriteTrackBySpeed(s, valid, classes); }),
              "<Folder>\r\n<name>Track by speed</name>\r\n" + head +
                  "15\u201320 km/h</name>\r\n<styleUrl>#speed-3" + line + p1 + p2 + tail + head +
                  "25\u201330 km/h</name>\r\n<styleUrl>#speed-5" + line + p2 + p3 + tail + "</Folder>\r\n");
    // Classes of the caller's: the unplottable point's class 1 goes with it.
    const TrackClass errorClasses[] = {{"small", "e-0", {0, 0, 0}}, {"large & far", "e-1", {255, 0, 0}}};
    const int classOf[] = {0, 1, 0, 1};
    EXPECT_EQ(Render([&](KmlStream& s) {
                  WriteTrackByClass(s, "By error", valid, classOf, errorClasses, "", "2-");
              }),
              "<Folder>\r\n<name>By error</name>\r\n" + head + "small</name>\r\n<styleUrl>#2-e-0" + line +
                  p1 + p2 + tail + head + "large &amp; far</name>\r\n<styleUrl>#2-e-1" + line + p2 + p3 +
                  tail + "</Folder>\r\n");
    EXPECT_EQ(Render([&](KmlStream& s) { WriteClassStyles(s, "9", errorClasses, "2-"); }),
              "<Style id=\"2-e-0\">\r\n<LineStyle>\r\n<color>FF000000</color>\r\n<width>9</width>\r\n"
              "</LineStyle>\r\n</Style>\r\n<Style id=\"2-e-1\">\r\n<LineStyle>\r\n<color>FF0000FF</color>\r\n"
              "<width>9</width>\r\n</LineStyle>\r\n</Style>\r\n");
    EXPECT_EQ(Render([](KmlStream& s) { WriteTrackByQuality(s, {}, LogFormat::Nmea); }),
              "<Folder>\r\n<name>Track by fix quality</name>\r\n</Folder>\r\n");

    const std::string styles = Render([](KmlStream& s) { WriteQualityStyles(s, "5"); });
    EXPECT_NE(styles.find("<Style id=\"quality-rtk-fixed\">\r\n<LineStyle>\r\n<color>FF28A028</color>\r\n"
                          "<width>5</width>\r\n</LineStyle>\r\n</Style>\r\n"),
              std::string::npos)
        << styles;
    size_t styleCount = 0;
    for (size_t at = styles.find("<Style id="); at != std::string::npos;
         at = styles.find("<Style id=", at + 1)) {
        ++styleCount;
    }
    EXPECT_EQ(styleCount, static_cast<size_t>(kFixClassCount)) << "one style per class";
    const std::string speedStyles = Render([](KmlStream& s) { WriteSpeedStyles(s, "<3"); });
    EXPECT_NE(speedStyles.find("<Style id=\"speed-0\">\r\n<LineStyle>\r\n<color>FF540144</color>\r\n"
                               "<width>&lt;3</width>"),
              std::string::npos)
        << speedStyles;
    EXPECT_NE(speedStyles.find("<Style id=\"speed-7\">\r\n<LineStyle>\r\n<color>FF25E7FD</color>"),
              std::string::npos);

    const std::vector<LegendEntry> legend = QualityLegend(valid, LogFormat::Nmea);
    ASSERT_EQ(legend.size(), 2u) << "the unplottable RTK float point is no part of the track";
    EXPECT_EQ(legend[0].Label, "single");
    EXPECT_EQ(legend[1].Label, "RTK fixed");
    EXPECT_EQ(legend[1].Colour, InfoOf(FixClass::RtkFixed).Colour);
}

TEST(ColouredTracks, SpeedClasses) {
    struct StepCase {
        double top;
        double step;
    };
    for (const StepCase& c :
         {StepCase{0, 1}, StepCase{-3, 1}, StepCase{NAN, 1}, StepCase{8, 1}, StepCase{8.1, 2},
          StepCase{16.1, 2.5}, StepCase{55.6, 10}, StepCase{150, 20}, StepCase{1e300, 2e299}}) {
        EXPECT_NEAR(MakeSpeedClasses(c.top).StepKmh, c.step, c.step * 1e-9) << c.top;
    }
    const SpeedClasses tens{10};
    struct ClassCase {
        double speed;
        int index;
    };
    for (const ClassCase& c : {ClassCase{NAN, 0}, ClassCase{-5, 0}, ClassCase{0, 0}, ClassCase{9.99, 0},
                               ClassCase{10, 1}, ClassCase{69.9, 6}, ClassCase{70, 7}, ClassCase{1e9, 7}}) {
        EXPECT_EQ(SpeedClassOf(tens, c.speed), c.index) << c.speed;
    }
    const std::vector<LegendEntry> legend = SpeedLegend(SpeedClasses{2.5});
    ASSERT_EQ(legend.size(), 8u);
    EXPECT_EQ(legend[0].Label, "0\u20132.5 km/h");
    EXPECT_EQ(legend[1].Label, "2.5\u20135 km/h");
    EXPECT_EQ(legend[7].Label, "\u2265 17.5 km/h");
    EXPECT_EQ(legend[0].Colour, Viridis(0));
    EXPECT_EQ(legend[7].Colour, Viridis(1));
}

}  // namespace
}  // namespace tervo
