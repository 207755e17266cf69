// The accuracy of a log against a reference. Legend of the cases:
// - ParsePointReference: the point's text, and what its messages name (a
//   latitude beyond 90 taken, "nan" read as a number, a message that does not
//   say which part is wrong);
// - Percentile: linear interpolation between order statistics (nearest rank,
//   the unsorted input, an end index read past the values);
// - FiguresOf: every figure of four errors worked out by hand (a population
//   standard deviation, 2DRMS about the mean, the wrong fix's time);
// - ReferenceAt: exact epochs, interpolation within two steps, none beyond
//   them or outside the track, the antimeridian;
// - KnownOffset: a log off its reference by a known east/north/up vector has
//   that error at every epoch, against a point and a track, the NMEA height
//   taken with its geoid separation (axes swapped, the separation left out);
// - CircleAroundThePoint: fixes on a circle of radius r give CEP50 = CEP95 = r;
// - the matching cases: a gap in the reference leaves its fixes unmatched,
//   a dateless reference matched across midnight, dated logs of different
//   days not matched, unmeasurable fixes unmatched, the mean as reference;
// - the shows: the exact table and JSON of a small result;
// - SimulatedCircularNormal: our simulator's known error distribution gives
//   the theoretical CEP50, CEP95 and 2DRMS within 3 %.
#include "report/accuracy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "report_logs.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::AppendFix;
using testing::NmeaFix;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// WGS 84 at the equator: metres per degree of longitude (a) and of latitude
// (the meridian's radius of curvature a (1 - e^2)).
constexpr double kDegree = M_PI / 180;
constexpr double kEastMetresPerDegree = 6378137.0 * kDegree;
constexpr double kNorthMetresPerDegree = 6335439.327 * kDegree;

TEST(ParsePointReference, ValuesAndMessages) {
    struct Row {
        const char* text;
        bool mean;
        double latitude, longitude, height;
        const char* error;  // "" when it parses
    };
    const Row rows[] = {
        {"48.1,11.5,540.2", false, 48.1, 11.5, 540.2, ""},
        {" -33.5 , -70.25 , -12 ", false, -33.5, -70.25, -12, ""},
        {"+90,+180,1e3", false, 90, 180, 1000, ""},
        {"mean", true, 0, 0, 0, ""},
        {" mean ", true, 0, 0, 0, ""},
        {"91,0,0", false, 0, 0, 0, "latitude \"91\" is outside -90 to 90"},
        {"0,-180.5,0", false, 0, 0, 0, "longitude \"-180.5\" is outside -180 to 180"},
        {"0,0,abc", false, 0, 0, 0, "height \"abc\" is no number"},
        {"0,0,12m", false, 0, 0, 0, "height \"12m\" is no number"},
        {"nan,0,0", false, 0, 0, 0, "latitude \"nan\" is no number"},
        {"0,inf,0", false, 0, 0, 0, "longitude \"inf\" is no number"},
        {"0,0,", false, 0, 0, 0, "height \"\" is no number"},
        {"48,11", false, 0, 0, 0, "\"48,11\" is not LAT,LON,HEIGHT (degrees, degrees, metres) or mean"},
        {"1,2,3,4", false, 0, 0, 0, "\"1,2,3,4\" is not LAT,LON,HEIGHT (degrees, degrees, metres) or mean"},
        {"Mean", false, 0, 0, 0, "\"Mean\" is not LAT,LON,HEIGHT (degrees, degrees, metres) or mean"},
    };
    for (const Row& row : rows) {
        const PointReferenceParse parse = ParsePointReference(row.text);
        EXPECT_EQ(parse.Error, row.error) << row.text;
        if (std::string(row.error).empty()) {
            ASSERT_TRUE(parse.Value) << row.text;
            EXPECT_EQ(parse.Value->Mean, row.mean) << row.text;
            EXPECT_EQ(parse.Value->Position.Latitude, row.latitude) << row.text;
            EXPECT_EQ(parse.Value->Position.Longitude, row.longitude) << row.text;
            EXPECT_EQ(parse.Value->Position.Height, row.height) << row.text;
        } else {
            EXPECT_FALSE(parse.Value) << row.text;
        }
    }
}

TEST(Percentile, InterpolatesBetweenOrderStatistics) {
    struct Row {
        std::vector<double> values;
        double p;
        double expected;
    };
    const Row rows[] = {
        {{1, 2, 3, 4}, 0.5, 2.5},    // h = 1.5
        {{1, 2, 3, 4}, 0.95, 3.85},  // h = 2.85
        {{4, 1, 3, 2}, 0.25, 1.75},  // sorted first; h = 0.75
        {{1, 2, 3, 4}, 0, 1},       {{1, 2, 3, 4}, 1, 4}, {{7}, 0.95, 7}, {{5, 5, 5}, 0.5, 5},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(Percentile(row.values, row.p), row.expected, 1e-12) << row.p;
    }
    EXPECT_TRUE(std::isnan(Percentile({}, 0.5)));
}

TEST(FiguresOf, FourErrorsByHand) {
    // east, north, up: horizontal 5, 0, 5, 10; 3-D 5, 1, sqrt 26, sqrt 104.
    std::vector<EpochError> errors;
    const double enu[4][3] = {{3, 4, 0}, {0, 0, 1}, {-3, -4, -1}, {6, 8, 2}};
    for (int i = 0; i < 4; ++i) {
        EpochError e;
        e.Index = static_cast<size_t>(i);
        e.Seconds = 10.0 * i;
        e.East = enu[i][0];
        e.North = enu[i][1];
        e.Up = enu[i][2];
        e.Horizontal = std::hypot(e.East, e.North);
        e.ThreeD = std::hypot(e.Horizontal, e.Up);
        errors.push_back(e);
    }
    const AccuracyFigures f = FiguresOf(errors, 3);
    EXPECT_EQ(f.MatchedEpochs, 4);
    EXPECT_EQ(f.UnmatchedEpochs, 3);
    EXPECT_NEAR(*f.Cep50M, 5, 1e-12);                             // 0 5 5 10, h = 1.5
    EXPECT_NEAR(*f.Cep95M, 9.25, 1e-12);                          // h = 2.85: 5 + 0.85 x 5
    EXPECT_NEAR(*f.TwiceDrmsM, 2 * std::sqrt(150 / 4.0), 1e-12);  // about the reference
    EXPECT_NEAR(*f.R95ThreeDM, 5.0990195 + 0.85 * (10.1980390 - 5.0990195), 1e-6);
    EXPECT_NEAR(*f.MeanEastM, 1.5, 1e-12);
    EXPECT_NEAR(*f.MeanNorthM, 2, 1e-12);
    EXPECT_NEAR(*f.MeanUpM, 0.5, 1e-12);
    EXPECT_NEAR(*f.SdEastM, std::sqrt(45 / 3.0), 1e-12);  // squares 2.25 2.25 20.25 20.25, n - 1
    EXPECT_NEAR(*f.SdNorthM, std::sqrt(80 / 3.0), 1e-12);
    EXPECT_NEAR(*f.SdUpM, std::sqrt(5 / 3.0), 1e-12);
    EXPECT_EQ(*f.MaxHorizontalM, 10);
    EXPECT_EQ(*f.MaxHorizontalSeconds, 30);
    EXPECT_NEAR(*f.Vertical50M, 1, 1e-12);  // |up| 0 1 1 2
    EXPECT_NEAR(*f.Vertical95M, 1.85, 1e-12);

    const AccuracyFigures one = FiguresOf(std::span(errors).first(1), 0);
    EXPECT_FALSE(one.SdEastM) << "no deviation of a single fix";
    EXPECT_EQ(*one.Cep95M, 5);
    const AccuracyFigures none = FiguresOf({}, 2);
    EXPECT_EQ(none.UnmatchedEpochs, 2);
    EXPECT_FALSE(none.Cep50M);
    EXPECT_FALSE(none.MaxHorizontalSeconds);
}

TEST(ReferenceAt, ExactInterpolatedOrNone) {
    ReferenceTrack track;
    track.TimesMs = {0, 1000, 2000, 4000, 8000};
    for (int64_t t : track.TimesMs) {
        track.Positions.push_back({t * 1e-6, 10 + t * 1e-6, static_cast<double>(t)});
    }
    track.StepMs = 1000;
    struct Row {
        int64_t timeMs;
        bool found;
        double latitude;  // the height is the time in ms, the longitude 10 + the latitude
    };
    const Row rows[] = {
        {1000, true, 1000e-6}, {1500, true, 1500e-6},
        {1750, true, 1750e-6}, {3000, true, 3000e-6},  // two steps apart: still a line
        {5000, false, 0},                              // four steps apart
        {8000, true, 8000e-6}, {8001, false, 0},
        {-1, false, 0},        {0, true, 0},
    };
    for (const Row& row : rows) {
        const std::optional<GeoPosition> p = ReferenceAt(track, row.timeMs);
        ASSERT_EQ(p.has_value(), row.found) << row.timeMs;
        if (p) {
            EXPECT_NEAR(p->Latitude, row.latitude, 1e-15) << row.timeMs;
            EXPECT_NEAR(p->Longitude, 10 + row.latitude, 1e-12) << row.timeMs;
            EXPECT_NEAR(p->Height, static_cast<double>(row.timeMs), 1e-9) << row.timeMs;
        }
    }

    // Across the antimeridian the shorter way: 179.9998 to -179.9998 passes 180.
    ReferenceTrack round;
    round.TimesMs = {0, 1000};
    round.Positions = {{0, 179.9998, 0}, {0, -179.9998, 0}};
    round.StepMs = 1000;
    EXPECT_NEAR(ReferenceAt(round, 250)->Longitude, 179.9999, 1e-9);
    EXPECT_NEAR(ReferenceAt(round, 750)->Longitude, -179.9999, 1e-9);

    // Without a known step only the epochs themselves match.
    round.StepMs.reset();
    EXPECT_TRUE(ReferenceAt(round, 1000));
    EXPECT_FALSE(ReferenceAt(round, 500));
}

// A GGA fix of quality 1 at the equator: `north` and `east` in degrees, the
// altitude and geoid separation in metres.
void AppendEquatorFix(PointList& points, const char* time, const char* date, double north, double east,
                      double altitude, double separation, int quality = 1) {
    waypoints& p = AppendFix(
        points, {time, date, quality, date[0] != 0 ? 'A' : char{0}, north, east, altitude, 0, 1, 8});
    p.GeoidSeparation = separation;
}

TEST(Accuracy, KnownOffsetAtEveryEpoch) {
    // The log lies 2e-5 degrees east, 1e-5 north and 3 m up (altitude 1 plus
    // separation 2) of the reference at each of its epochs.
    const double east = 2e-5 * kEastMetresPerDegree;    // 2.2263898 m
    const double north = 1e-5 * kNorthMetresPerDegree;  // 1.1057428 m
    PointList log;
    PointList truth;
    const char* times[] = {"10:00:00", "10:00:01", "10:00:02", "10:00:03"};
    for (int i = 0; i < 4; ++i) {
        AppendEquatorFix(truth, times[i], "2024-05-17", 0, i * 1e-4, 40, 0);
        AppendEquatorFix(log, times[i], "2024-05-17", 1e-5, i * 1e-4 + 2e-5, 1, 2);
    }
    PointList still;
    AppendEquatorFix(still, "10:00:00", "2024-05-17", 1e-5, 2e-5, 1, 2);
    AppendEquatorFix(still, "10:00:01", "2024-05-17", 1e-5, 2e-5, 1, 2);

    const Accuracy againstTrack =
        AccuracyAgainstTrack(log.Head, LogFormat::Nmea, ReferenceTrackOf(truth.Head, LogFormat::Nmea));
    // Against the point, a BINR height is the altitude alone.
    const Accuracy againstPoint = AccuracyAgainstPoint(still.Head, LogFormat::Nmea, {false, {0, 0, -37}});
    const Accuracy binr = AccuracyAgainstPoint(still.Head, LogFormat::Binr, {false, {0, 0, -39}});
    for (const Accuracy* accuracy : {&againstTrack, &againstPoint, &binr}) {
        ASSERT_EQ(accuracy->All.MatchedEpochs, accuracy == &againstTrack ? 4 : 2);
        EXPECT_EQ(accuracy->All.UnmatchedEpochs, 0);
        for (const EpochError& e : accuracy->Errors) {
            EXPECT_NEAR(e.East, east, 1e-4);
            EXPECT_NEAR(e.North, north, 1e-4);
            EXPECT_NEAR(e.Up, accuracy == &againstTrack ? -37 : 40, 1e-4);
            EXPECT_NEAR(e.Horizontal, 2.485855, 1e-4);
        }
        EXPECT_NEAR(*accuracy->All.Cep50M, 2.485855, 1e-4);
        EXPECT_NEAR(*accuracy->All.Cep95M, 2.485855, 1e-4);
        EXPECT_NEAR(*accuracy->All.SdEastM, 0, 1e-6);
    }
    EXPECT_NEAR(againstTrack.Errors[3].ThreeD, std::sqrt(2.485855 * 2.485855 + 37 * 37), 1e-4);
    EXPECT_EQ(againstTrack.Errors[3].Index, 3u);
    EXPECT_EQ(againstTrack.Errors[3].Seconds, 3);
}

TEST(Accuracy, CircleAroundThePoint) {
    // Eight fixes 10 m from the point, every 45 degrees.
    PointList points;
    for (int k = 0; k < 8; ++k) {
        const double angle = k * M_PI / 4;
        AppendEquatorFix(points, "10:00:00", "", 10 * std::cos(angle) / kNorthMetresPerDegree,
                         10 * std::sin(angle) / kEastMetresPerDegree, 5, 0, k % 2 == 0 ? 4 : 5);
    }
    const Accuracy a = AccuracyAgainstPoint(points.Head, LogFormat::Nmea, {false, {0, 0, 5}});
    EXPECT_NEAR(*a.All.Cep50M, 10, 1e-3);
    EXPECT_NEAR(*a.All.Cep95M, 10, 1e-3);
    EXPECT_NEAR(*a.All.TwiceDrmsM, 20, 2e-3);
    EXPECT_NEAR(*a.All.MeanEastM, 0, 1e-3);
    EXPECT_NEAR(*a.All.MeanNorthM, 0, 1e-3);
    EXPECT_NEAR(*a.All.Vertical95M, 0, 1e-4);
    // RTK fixed at 0, 90, 180, 270 degrees; float between them.
    ASSERT_EQ(a.ByQuality.size(), 2u);
    EXPECT_EQ(a.ByQuality[0].Class, FixClass::RtkFixed);
    EXPECT_EQ(a.ByQuality[1].Class, FixClass::RtkFloat);
    EXPECT_EQ(a.ByQuality[1].Figures.MatchedEpochs, 4);
    EXPECT_NEAR(*a.ByQuality[0].Figures.MeanNorthM, 0, 1e-3);

    // The mean of the same fixes is their centre.
    const Accuracy mean = AccuracyAgainstPoint(points.Head, LogFormat::Nmea, {true, {}});
    ASSERT_TRUE(mean.Origin);
    EXPECT_NEAR(mean.Origin->Latitude, 0, 1e-9);
    EXPECT_NEAR(mean.Origin->Longitude, 0, 1e-9);
    EXPECT_NEAR(*mean.All.Cep50M, 10, 1e-3);
}

TEST(Accuracy, GapInTheReferenceLeavesItsFixesUnmatched) {
    // Reference at 0-2 s and 10-12 s, one a second; the log every second.
    PointList truth;
    PointList log;
    for (int s = 0; s <= 12; ++s) {
        char time[16];
        std::snprintf(time, sizeof time, "10:00:%02d", s);
        if (s <= 2 || s >= 10) {
            AppendEquatorFix(truth, time, "", 0, s * 1e-5, 0, 0);
        }
        AppendEquatorFix(log, time, "", 0, s * 1e-5, 0, 0);
    }
    // A reference without a fix at 11 s: 10 s and 12 s lie two steps apart.
    truth.Head->Next->Next->Next->Next->Point.FixQuality = 0;
    const Accuracy a =
        AccuracyAgainstTrack(log.Head, LogFormat::Nmea, ReferenceTrackOf(truth.Head, LogFormat::Nmea));
    EXPECT_EQ(a.All.MatchedEpochs, 6);
    EXPECT_EQ(a.All.UnmatchedEpochs, 7);  // 3 to 9 s
    ASSERT_EQ(a.Errors.size(), 6u);
    EXPECT_EQ(a.Errors[3].Seconds, 10);
    EXPECT_EQ(a.Errors[4].Seconds, 11);
    EXPECT_NEAR(a.Errors[4].Horizontal, 0, 1e-6) << "halfway between 10 and 12 s";
    EXPECT_NEAR(*a.All.MaxHorizontalM, 0, 1e-6) << "no unmatched fix counted as an error";
}

TEST(Accuracy, DatelessReferenceMatchedAcrossMidnight) {
    // A GGA-only reference from 23:59:58 to 00:00:02; the log has dates and
    // lies 1e-5 degrees north of it.
    PointList truth;
    const char* times[] = {"23:59:58", "23:59:59", "00:00:00", "00:00:01", "00:00:02"};
    for (int i = 0; i < 5; ++i) {
        AppendEquatorFix(truth, times[i], "", 0, i * 1e-4, 0, 0);
    }
    PointList log;
    AppendEquatorFix(log, "23:59:59", "2024-05-17", 1e-5, 1e-4, 0, 0);
    AppendEquatorFix(log, "00:00:00", "2024-05-18", 1e-5, 2e-4, 0, 0);
    AppendEquatorFix(log, "00:00:01", "2024-05-18", 1e-5, 3e-4, 0, 0);
    const ReferenceTrack track = ReferenceTrackOf(truth.Head, LogFormat::Nmea);
    EXPECT_FALSE(track.MidnightUnixMs);
    EXPECT_EQ(track.TimesMs.back(), 86'402'000);
    const Accuracy a = AccuracyAgainstTrack(log.Head, LogFormat::Nmea, track);
    EXPECT_EQ(a.All.MatchedEpochs, 3);
    for (const EpochError& e : a.Errors) {
        EXPECT_NEAR(e.North, 1e-5 * kNorthMetresPerDegree, 1e-4);
        EXPECT_NEAR(e.East, 0, 1e-4);
    }
    // The log starting after midnight is shifted by a day onto the reference.
    const Accuracy after = AccuracyAgainstTrack(log.Head->Next, LogFormat::Nmea, track);
    EXPECT_EQ(after.All.MatchedEpochs, 2);
    EXPECT_NEAR(after.Errors[0].East, 0, 1e-4);
}

TEST(Accuracy, DatesThatDifferDoNotMatch) {
    PointList truth;
    AppendEquatorFix(truth, "10:00:00", "2024-05-16", 0, 0, 0, 0);
    AppendEquatorFix(truth, "10:00:01", "2024-05-16", 0, 0, 0, 0);
    PointList log;
    AppendEquatorFix(log, "10:00:00", "2024-05-17", 0, 0, 0, 0);
    AppendEquatorFix(log, "10:00:01", "2024-05-17", 0, 0, 0, 0);
    const Accuracy a =
        AccuracyAgainstTrack(log.Head, LogFormat::Nmea, ReferenceTrackOf(truth.Head, LogFormat::Nmea));
    EXPECT_EQ(a.All.MatchedEpochs, 0);
    EXPECT_EQ(a.All.UnmatchedEpochs, 2);
    EXPECT_FALSE(a.All.Cep50M);
}

TEST(Accuracy, UnmeasurableFixesAreUnmatchedAndNoFixesUncounted) {
    PointList log;
    AppendEquatorFix(log, "10:00:00", "", 0, 0, 0, 0);
    AppendEquatorFix(log, "", "", 0, 0, 0, 0);             // no time: no match against a track
    AppendEquatorFix(log, "10:00:02", "", kNaN, 0, 0, 0);  // no position
    AppendEquatorFix(log, "10:00:03", "", 0, 0, 0, 0, 0);  // no fix: not counted at all
    PointList truth;
    AppendEquatorFix(truth, "10:00:00", "", 0, 0, 0, 0);
    AppendEquatorFix(truth, "10:00:02", "", 0, 0, 0, 0);
    const Accuracy track =
        AccuracyAgainstTrack(log.Head, LogFormat::Nmea, ReferenceTrackOf(truth.Head, LogFormat::Nmea));
    EXPECT_EQ(track.All.MatchedEpochs, 1);
    EXPECT_EQ(track.All.UnmatchedEpochs, 2);
    const Accuracy point = AccuracyAgainstPoint(log.Head, LogFormat::Nmea, {false, {0, 0, 0}});
    EXPECT_EQ(point.All.MatchedEpochs, 2);
    EXPECT_EQ(point.All.UnmatchedEpochs, 1);
    ASSERT_EQ(point.ByQuality.size(), 1u);
    EXPECT_EQ(point.ByQuality[0].Figures.UnmatchedEpochs, 1);
    // The mean of no fix: every fix unmatched.
    PointList none;
    AppendEquatorFix(none, "10:00:00", "", kNaN, 0, 0, 0);
    const Accuracy mean = AccuracyAgainstPoint(none.Head, LogFormat::Nmea, {true, {}});
    EXPECT_FALSE(mean.Origin);
    EXPECT_EQ(mean.All.UnmatchedEpochs, 1);
}

TEST(Accuracy, FixesWithoutAHeightHaveNoUp) {
    // An RMC alone has no height: its horizontal error counts, its up does not.
    PointList points;
    AppendEquatorFix(points, "10:00:00", "", 0, 0, 4, 1);  // up 5
    AppendFix(points,
              {"10:00:01", "2024-05-17", -1, 'A', 0, 2 / kEastMetresPerDegree, 0, 0, 0, 0});  // 2 m east
    const Accuracy a = AccuracyAgainstPoint(points.Head, LogFormat::Nmea, {false, {0, 0, 0}});
    ASSERT_EQ(a.All.MatchedEpochs, 2);
    EXPECT_TRUE(std::isnan(a.Errors[1].Up));
    EXPECT_NEAR(a.Errors[1].East, 2, 1e-6);
    EXPECT_NEAR(*a.All.MeanUpM, 5, 1e-6) << "of the fix with a height alone";
    EXPECT_FALSE(a.All.SdUpM);
    EXPECT_NEAR(*a.All.Vertical95M, 5, 1e-6);
    EXPECT_NEAR(*a.All.Cep95M, 0.95 * 2, 1e-6);
    // The RMC fix's own class: no up at all.
    ASSERT_EQ(a.ByQuality.size(), 2u);
    EXPECT_EQ(a.ByQuality[1].Class, FixClass::Unrated);
    EXPECT_FALSE(a.ByQuality[1].Figures.MeanUpM);
    EXPECT_FALSE(a.ByQuality[1].Figures.R95ThreeDM);
    EXPECT_NE(AccuracyJson(a, 0).find("\"fix, quality unknown\": {"), std::string::npos);
    // The mean of fixes of which one has no height has none either.
    const Accuracy mean = AccuracyAgainstPoint(points.Head, LogFormat::Nmea, {true, {}});
    EXPECT_TRUE(std::isnan(mean.Origin->Height));
    EXPECT_FALSE(mean.All.MeanUpM);
    EXPECT_NEAR(*mean.All.Cep50M, 1, 1e-3);
}

Accuracy SmallResult() {
    PointList points;
    AppendEquatorFix(points, "10:00:00", "2024-05-17", 0, 0, 0, 0, 4);
    AppendEquatorFix(points, "10:00:01", "2024-05-17", 0, 3 / kEastMetresPerDegree, 0, 0, 1);
    return AccuracyAgainstPoint(points.Head, LogFormat::Nmea, {false, {0, 0, 0}});
}

TEST(AccuracyShows, TableAndJson) {
    // An RTK fixed fix on the point and a single one 3 m east of it.
    const Accuracy a = SmallResult();
    EXPECT_EQ(AccuracyTable(a, "the point 0, 0, 0 m"),
              "Accuracy against the point 0, 0, 0 m\n"
              "                    all                   single                RTK fixed\n"
              "Matched epochs      2                     1                     1\n"
              "Unmatched epochs    0                     0                     0\n"
              "CEP50               1.5 m                 3 m                   0 m\n"
              "CEP95               2.85 m                3 m                   0 m\n"
              "2DRMS               4.243 m               6 m                   0 m\n"
              "R95 (3-D)           2.85 m                3 m                   0 m\n"
              "Mean east           1.5 m                 3 m                   0 m\n"
              "Mean north          0 m                   0 m                   0 m\n"
              "Mean up             0 m                   0 m                   0 m\n"
              "SD east             2.121 m               -                     -\n"
              "SD north            0 m                   -                     -\n"
              "SD up               0 m                   -                     -\n"
              "Largest horizontal  3 m                   3 m                   0 m\n"
              "  at                2024-05-17T10:00:01Z  2024-05-17T10:00:01Z  2024-05-17T10:00:00Z\n"
              "Vertical 50 %       0 m                   0 m                   0 m\n"
              "Vertical 95 %       0 m                   0 m                   0 m\n");
    const std::string single =
        "      \"matched_epochs\": 1,\n"
        "      \"unmatched_epochs\": 0,\n"
        "      \"cep50_m\": 3,\n"
        "      \"cep95_m\": 3,\n"
        "      \"twice_drms_m\": 6,\n"
        "      \"r95_3d_m\": 3,\n"
        "      \"mean_east_m\": 3,\n"
        "      \"mean_north_m\": 0,\n"
        "      \"mean_up_m\": 0,\n"
        "      \"sd_east_m\": null,\n"
        "      \"sd_north_m\": null,\n"
        "      \"sd_up_m\": null,\n"
        "      \"max_horizontal_m\": 3,\n"
        "      \"max_horizontal_time\": \"2024-05-17T10:00:01Z\",\n"
        "      \"vertical50_m\": 0,\n"
        "      \"vertical95_m\": 0\n";
    const std::string json = AccuracyJson(a, 0);
    EXPECT_EQ(json.substr(0, json.find("  \"by_quality\"")),
              "{\n"
              "  \"matched_epochs\": 2,\n"
              "  \"unmatched_epochs\": 0,\n"
              "  \"cep50_m\": 1.5,\n"
              "  \"cep95_m\": 2.85,\n"
              "  \"twice_drms_m\": 4.2426,\n"
              "  \"r95_3d_m\": 2.85,\n"
              "  \"mean_east_m\": 1.5,\n"
              "  \"mean_north_m\": 0,\n"
              "  \"mean_up_m\": 0,\n"
              "  \"sd_east_m\": 2.1213,\n"
              "  \"sd_north_m\": 0,\n"
              "  \"sd_up_m\": 0,\n"
              "  \"max_horizontal_m\": 3,\n"
              "  \"max_horizontal_time\": \"2024-05-17T10:00:01Z\",\n"
              "  \"vertical50_m\": 0,\n"
              "  \"vertical95_m\": 0,\n");
    EXPECT_NE(
        json.find("  \"by_quality\": {\n    \"single\": {\n" + single + "    },\n    \"RTK fixed\": {\n"),
        std::string::npos)
        << json;
    EXPECT_EQ(json.substr(json.size() - 11), "    }\n  }\n}");

    // Nothing matched: counts, and null for every figure; a log without a
    // date shows the time of day.
    PointList undated;
    AppendEquatorFix(undated, "23:00:00", "", 0, 0, 0, 0);
    const Accuracy none = AccuracyAgainstTrack(undated.Head, LogFormat::Nmea, ReferenceTrack{});
    const std::string empty = AccuracyJson(none, 2);
    EXPECT_NE(empty.find("    \"unmatched_epochs\": 1,\n    \"cep50_m\": null,\n"), std::string::npos)
        << empty;
    EXPECT_NE(empty.find("\"max_horizontal_time\": null"), std::string::npos);
    const Accuracy undatedPoint = AccuracyAgainstPoint(undated.Head, LogFormat::Nmea, {false, {0, 0, 0}});
    EXPECT_EQ(AccuracyTimeText(undatedPoint, 0), "23:00:00 UTC (no date)");
    EXPECT_EQ(AccuracyTimeText(undatedPoint, kNaN), "unknown");
}

TEST(AccuracyShows, ReceiversSideBySide) {
    const Accuracy a = SmallResult();
    const Accuracy b = AccuracyAgainstPoint(nullptr, LogFormat::Nmea, {false, {0, 0, 0}});
    const NamedAccuracy receivers[] = {{"roof.nmea", &a}, {"dash<1>.nmea", &b}};
    const std::string text = AccuracyComparisonTable(receivers, "the point 0, 0, 0 m");
    EXPECT_EQ(text.substr(0, text.find("Unmatched")),
              "Accuracy against the point 0, 0, 0 m\n"
              "                    roof.nmea             dash<1>.nmea\n"
              "Matched epochs      2                     0\n");
    EXPECT_NE(text.find("CEP50               1.5 m                 -\n"), std::string::npos) << text;
    const std::string html = AccuracyComparisonHtmlTable(receivers, "the point 0, 0, 0 m");
    EXPECT_EQ(html.substr(0, html.find("<tr><th align=left>Unmatched")),
              "<table>\n"
              "<tr><th colspan=3 align=left>Accuracy against the point 0, 0, 0 m</th></tr>\n"
              "<tr><th></th><th align=right>roof.nmea</th><th align=right>dash&lt;1&gt;.nmea</th></tr>\n"
              "<tr><th align=left>Matched epochs</th><td align=right>2</td><td align=right>0</td></tr>\n");
    EXPECT_NE(html.find("<tr><th align=left>at</th><td align=right>2024-05-17T10:00:01Z</td><td "
                        "align=right>-</td></tr>\n"),
              std::string::npos)
        << html;
    EXPECT_EQ(html.substr(html.size() - 9), "</table>\n");
}

// Runs our simulator with `arguments`, its truth into truth.nmea of `dir`.
void Simulate(const std::string& arguments, const testing::TempDir& dir, PointList& log, PointList& truth) {
    const std::string bytes = testing::SimulatedNmea(arguments + " --truth " + dir.File("truth.nmea"), dir);
    testing::ReadNmeaBytes(bytes, log);
    testing::ReadNmeaBytes(testing::ReadFile(dir.File("truth.nmea")), truth);
}

TEST(Accuracy, SimulatedCircularNormal) {
    // 12,500 epochs of which every fifth spell of 20 has no fix: 10,000 fixes
    // with an error of 2 m per horizontal axis.
    const testing::TempDir dir;
    PointList log;
    PointList truth;
    Simulate("--epochs 12500 --seed 5 --fine --error-sigma 2", dir, log, truth);
    const Accuracy a =
        AccuracyAgainstTrack(log.Head, LogFormat::Nmea, ReferenceTrackOf(truth.Head, LogFormat::Nmea));
    ASSERT_EQ(a.All.MatchedEpochs, 10'000);
    EXPECT_EQ(a.All.UnmatchedEpochs, 0);
    const double sigma = 2;
    EXPECT_NEAR(*a.All.Cep50M / (1.1774 * sigma), 1, 0.03);
    EXPECT_NEAR(*a.All.Cep95M / (2.4477 * sigma), 1, 0.03);
    EXPECT_NEAR(*a.All.TwiceDrmsM / (2.8284 * sigma), 1, 0.03);
    EXPECT_NEAR(*a.All.SdUpM / (1.5 * sigma), 1, 0.03);

    // A GGA-only truth matches by time of day alone, to the same errors.
    const testing::TempDir other;
    PointList ggaLog;
    PointList ggaTruth;
    Simulate("--epochs 500 --seed 5 --fine --error-sigma 2 --truth-gga-only", other, ggaLog, ggaTruth);
    const ReferenceTrack track = ReferenceTrackOf(ggaTruth.Head, LogFormat::Nmea);
    EXPECT_FALSE(track.MidnightUnixMs);
    const Accuracy b = AccuracyAgainstTrack(ggaLog.Head, LogFormat::Nmea, track);
    EXPECT_EQ(b.All.MatchedEpochs, 400);
    ASSERT_EQ(b.Errors.size(), 400u);
    EXPECT_NEAR(b.Errors[17].Horizontal, a.Errors[17].Horizontal, 1e-6) << "the same seed, the same errors";
}

TEST(Accuracy, MessyOneHertzReferenceOfATenHertzLog) {
    // A 10 Hz log without errors; its truth kept at whole seconds only, after
    // a header and between blank lines, one GGA broken across two lines.
    const testing::TempDir dir;
    PointList log;
    PointList full;
    Simulate("--epochs 300 --rate 10 --seed 6 --fine", dir, log, full);
    std::string messy = "# reference receiver, 1 Hz\r\n\r\n";
    std::istringstream lines(testing::ReadFile(dir.File("truth.nmea")));
    int kept = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(".00,") != 13) {
            continue;
        }
        if (line.find("GGA") == 3 && ++kept == 14) {
            line.insert(30, "\r\n");  // 10:15:13: an RMC alone, no height
        }
        messy += line + "\n\r\n";
    }
    PointList truth;
    testing::ReadNmeaBytes(messy, truth);
    const ReferenceTrack track = ReferenceTrackOf(truth.Head, LogFormat::Nmea);
    ASSERT_EQ(track.TimesMs.size(), 30u);
    EXPECT_EQ(*track.StepMs, 1000);
    const Accuracy a = AccuracyAgainstTrack(log.Head, LogFormat::Nmea, track);
    EXPECT_EQ(a.All.MatchedEpochs, 240) << "every fix up to the last second of the truth";
    EXPECT_EQ(a.All.UnmatchedEpochs, 0);
    int withoutUp = 0;
    for (const EpochError& e : a.Errors) {
        if (std::fmod(e.Seconds, 1.0) == 0) {
            EXPECT_LT(e.Horizontal, 1e-3) << "at a reference epoch: its position, " << e.Seconds;
        }
        withoutUp += std::isnan(e.Up) ? 1 : 0;
    }
    // Between 10:15:12 and 10:15:14, but for the fixes at those two seconds.
    EXPECT_EQ(withoutUp, 19);
    // Between the seconds the line cuts the curves of the drive: off by at most a metre or so.
    EXPECT_GT(*a.All.MaxHorizontalM, 0.01);
    EXPECT_LT(*a.All.MaxHorizontalM, 2);
}

}  // namespace
}  // namespace tervo
