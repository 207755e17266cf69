// The report's collectors, as rows worked out by hand. Legend of the cases:
// - GapRule: the boundary of a gap, and no gap without a typical step;
// - SkyPasses: a pass broken by a missed sample or by a jump, rows without a
//   position, the sampling stride, and the order passes come in (a pass that
//   runs on, a jump let through, a named mark on a set satellite);
// - SnrSeries: the mean of the SNRs above 0, NaN where a system has none, the
//   epochs left out (a 0 dB-Hz row pulling a mean down);
// - Motion: which fix gives a speed or an altitude (an RMC-only speed drawn as
//   an altitude, a fix-less epoch not breaking the line);
// - QualityTimeline: the time each epoch covers at a gap and at the end.
#include "report/collectors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "report_logs.h"

namespace tervo {
namespace {

using testing::AppendFix;

TEST(GapRule, ABoundaryOfTypicalSteps) {
    struct Row {
        std::optional<double> typical;
        double factor;
        double step;
        bool gap;
    };
    for (const Row& row : {Row{1, 3, 3, false}, Row{1, 3, 3.001, true}, Row{2, 1.5, 3.1, true},
                           Row{0.1, 3, 0.3, false}, Row{std::nullopt, 3, 1e9, false}}) {
        EXPECT_EQ(GapRuleOf(row.typical, row.factor).IsGap(row.step), row.gap)
            << row.typical.value_or(-1) << " x " << row.factor << " against " << row.step;
    }
}

TEST(FixRules, SpeedAndAltitudeByFormatAndSentence) {
    struct Row {
        LogFormat format;
        bool rmc, gga;
        bool speed, altitude;
    };
    for (const Row& row :
         {Row{LogFormat::Nmea, true, false, true, false}, Row{LogFormat::Nmea, false, true, false, true},
          Row{LogFormat::Nmea, false, false, false, false}, Row{LogFormat::Binr, false, false, true, true}}) {
        waypoints p;
        p.HasRmc = row.rmc ? 1 : 0;
        p.HasGga = row.gga ? 1 : 0;
        EXPECT_EQ(HasReceiverSpeed(p, row.format), row.speed);
        EXPECT_EQ(HasAltitude(p, row.format), row.altitude);
    }
}

// A satellite row of a hand-built epoch: table id, elevation, azimuth, SNR.
struct Row {
    int id;
    int elevation;
    int azimuth;
    int snr;
};

// Appends an epoch at second `second` holding `rows` (none: an epoch without satellites).
waypoints& AppendEpoch(PointList& points, int second, const std::vector<Row>& rows) {
    const std::string time = "10:00:" + std::string(second < 10 ? "0" : "") + std::to_string(second);
    waypoints& p = AppendFix(points, {time.c_str(), "2024-05-17", 1, 'A', 48, 11, 500, 10, 1, 8});
    for (const Row& row : rows) {
        SatelliteInfo& info = p.Satellites[static_cast<size_t>(row.id)];
        const SatelliteName name = NameOfSatelliteId(row.id);
        info = {name.System,
                name.Number,
                0,
                static_cast<uint8_t>(row.elevation),
                static_cast<uint16_t>(row.azimuth),
                static_cast<uint8_t>(row.snr),
                0,
                1};
        p.HasSatellites = 1;
    }
    return p;
}

// A pass as "G5:3 end" (system letter, number, points, "end" when ToTheEnd).
std::string Describe(const SkyPass& pass) {
    return std::string(1, InfoOf(pass.System).Letter) + std::to_string(pass.Number) + ":" +
           std::to_string(pass.Points.size()) + (pass.ToTheEnd ? " end" : "");
}

TEST(SkyPasses, BrokenByAMissedSampleOrAJump) {
    struct Case {
        const char* name;
        std::vector<std::vector<Row>> epochs;
        size_t mostSamples;
        std::vector<std::string> passes;
    };
    const std::vector<Case> cases = {
        {"one pass", {{{5, 30, 100, 40}}, {{5, 31, 101, 41}}, {{5, 32, 102, 42}}}, 1200, {"G5:3 end"}},
        {"missed in one sample, another set",
         {{{5, 30, 100, 40}}, {{5, 31, 100, 40}}, {{7, 20, 200, 30}}, {{5, 33, 100, 40}}},
         1200,
         {"G5:2", "G5:1 end", "G7:1"}},
        // From 80 degrees north to 10 south is the whole disc (0.11 to 0.89 of
        // its radius across the centre); from 60 to 86 degrees 26/90 = 0.29
        // of it, a pass; from 60 to 88 degrees 28/90 = 0.31, a jump.
        {"a jump across the sky", {{{5, 80, 0, 40}}, {{5, 10, 180, 40}}}, 1200, {"G5:1", "G5:1 end"}},
        {"a short step", {{{5, 60, 90, 40}}, {{5, 86, 90, 40}}}, 1200, {"G5:2 end"}},
        {"a step too long", {{{5, 60, 90, 40}}, {{5, 88, 90, 40}}}, 1200, {"G5:1", "G5:1 end"}},
        {"no position, no sky", {{{5, 0, 0, 40}, {6, 91, 10, 40}, {7, 0, 10, 40}}}, 1200, {"G7:1 end"}},
        // Four epochs with satellites (the empty one does not count), at most
        // two samples: every second one, so the pass goes on across the gap.
        {"sampled",
         {{{5, 30, 100, 40}}, {}, {{5, 31, 100, 40}}, {{5, 32, 100, 40}}, {{5, 33, 100, 40}}},
         2,
         {"G5:2 end"}},
        {"by system, then number",
         {{{66, 40, 10, 30}, {33, 40, 170, 35}, {9, 40, 250, 40}, {3, 40, 300, 40}}},
         1200,
         {"G3:1 end", "G9:1 end", "S120:1 end", "R2:1 end"}},
    };
    for (const Case& c : cases) {
        PointList points;
        for (size_t e = 0; e < c.epochs.size(); ++e) {
            AppendEpoch(points, static_cast<int>(e), c.epochs[e]);
        }
        std::vector<std::string> passes;
        for (const SkyPass& pass : CollectSkyPasses(points.Head, SatelliteReader{}, c.mostSamples)) {
            passes.push_back(Describe(pass));
        }
        EXPECT_EQ(passes, c.passes) << c.name;
    }
}

TEST(SkyPasses, KeepTheirPositionsAndSnr) {
    PointList points;
    AppendEpoch(points, 0, {{5, 30, 100, 40}});
    AppendEpoch(points, 1, {{5, 31, 102, 44}});
    const std::vector<SkyPass> passes = CollectSkyPasses(points.Head, SatelliteReader{});
    ASSERT_EQ(passes.size(), 1u);
    ASSERT_EQ(passes[0].Points.size(), 2u);
    EXPECT_EQ(passes[0].Points[1].Elevation, 31);
    EXPECT_EQ(passes[0].Points[1].Azimuth, 102);
    EXPECT_EQ(passes[0].Points[1].Snr, 44);
}

TEST(SnrSeries, MeansOfTheSignalsAboveZero) {
    PointList points;
    AppendEpoch(points, 0, {{5, 30, 100, 40}, {7, 30, 100, 30}, {66, 30, 100, 0}});
    AppendEpoch(points, 1, {});  // no satellites: no sample
    AppendEpoch(points, 2, {{66, 30, 100, 20}, {67, 30, 100, 25}});
    AppendEpoch(points, 3, {{5, 30, 100, 42}}).Time = "";  // no time: no sample
    const std::vector<SystemSeries> series =
        CollectSnrSeries(points.Head, TimeEpochs(points.Head, LogFormat::Nmea), SatelliteReader{});
    ASSERT_EQ(series.size(), 2u) << "no SBAS";
    EXPECT_EQ(series[0].System, SatelliteSystem::Gps);
    EXPECT_EQ(series[1].System, SatelliteSystem::Glonass);
    ASSERT_EQ(series[0].Samples.size(), 2u);
    ASSERT_EQ(series[1].Samples.size(), 2u);
    EXPECT_EQ(series[0].Samples[0].Seconds, 0);
    EXPECT_EQ(series[0].Samples[0].Value, 35);
    EXPECT_EQ(series[0].Samples[1].Seconds, 2);
    EXPECT_TRUE(std::isnan(series[0].Samples[1].Value));
    EXPECT_TRUE(std::isnan(series[1].Samples[0].Value)) << "a 0 dB-Hz row is no signal";
    EXPECT_EQ(series[1].Samples[1].Value, 22.5);
}

TEST(Motion, SpeedFromTheReceiverAltitudeFromTheGga) {
    // time, date, GGA quality (-1 none), RMC status (0 none), lat, lon, altitude, speed, hdop, used
    const testing::NmeaFix fixes[] = {
        {"10:00:00", "", 1, 'A', 48, 11, 500, 36, 1, 8},   // both
        {"10:00:01", "", 0, 'V', 48, 11, 501, 37, 1, 8},   // no fix: a break in both
        {"10:00:02", "", -1, 'A', 48, 11, 502, 38, 1, 8},  // RMC only: speed
        {"10:00:03", "", 2, 0, 48, 11, 503, 39, 1, 8},     // GGA only: altitude
        {"", "", 1, 'A', 48, 11, 504, 40, 1, 8},           // no time: left out
    };
    PointList points;
    for (const testing::NmeaFix& fix : fixes) {
        AppendFix(points, fix);
    }
    const MotionSeries motion =
        CollectMotion(points.Head, LogFormat::Nmea, TimeEpochs(points.Head, LogFormat::Nmea));
    auto text = [](const std::vector<Sample>& samples) {
        std::string out;
        for (const Sample& s : samples) {
            out += std::to_string(static_cast<int>(s.Seconds)) + "=" +
                   (std::isnan(s.Value) ? "-" : std::to_string(static_cast<int>(s.Value))) + " ";
        }
        return out;
    };
    EXPECT_EQ(text(motion.Speed), "0=36 1=- 2=38 ");
    EXPECT_EQ(text(motion.Altitude), "0=500 1=- 3=503 ");
}

TEST(QualityTimeline, EachEpochCoversTheTimeToTheNext) {
    // Typical step 1 s: the step of 7 s is a gap, so the epoch before it
    // covers one second, as the last one does.
    const testing::NmeaFix fixes[] = {
        {"10:00:00", "", 0, 0, 0, 0, 0, 0, 0, 0},   {"10:00:01", "", 1, 0, 48, 11, 0, 0, 1, 8},
        {"10:00:02", "", 4, 0, 48, 11, 0, 0, 1, 8}, {"10:00:03", "", 4, 0, 48, 11, 0, 0, 1, 8},
        {"10:00:10", "", 4, 0, 48, 11, 0, 0, 1, 8}, {"", "", 5, 0, 48, 11, 0, 0, 1, 8},
    };
    PointList points;
    for (const testing::NmeaFix& fix : fixes) {
        AppendFix(points, fix);
    }
    const QualityTimeline quality =
        CollectQualityTimeline(points.Head, LogFormat::Nmea, TimeEpochs(points.Head, LogFormat::Nmea));
    EXPECT_EQ(quality.Total, 6);
    EXPECT_EQ(quality.Epochs[static_cast<size_t>(FixClass::NoFix)], 1);
    EXPECT_EQ(quality.Epochs[static_cast<size_t>(FixClass::Single)], 1);
    EXPECT_EQ(quality.Epochs[static_cast<size_t>(FixClass::RtkFixed)], 3);
    EXPECT_EQ(quality.Epochs[static_cast<size_t>(FixClass::RtkFloat)], 1) << "untimed, still counted";
    struct Span {
        double from, to;
        FixClass fixClass;
    };
    const Span expected[] = {{0, 1, FixClass::NoFix},
                             {1, 2, FixClass::Single},
                             {2, 3, FixClass::RtkFixed},
                             {3, 4, FixClass::RtkFixed},
                             {10, 11, FixClass::RtkFixed}};
    ASSERT_EQ(quality.Spans.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(quality.Spans[i].From, expected[i].from) << i;
        EXPECT_EQ(quality.Spans[i].To, expected[i].to) << i;
        EXPECT_EQ(quality.Spans[i].Class, expected[i].fixClass) << i;
    }
}

}  // namespace
}  // namespace tervo
