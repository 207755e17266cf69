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

#include "nmea/satellite_observer.h"
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
        for (const SkyPass& pass : CollectSkyPasses(points.Head, nullptr, c.mostSamples)) {
            passes.push_back(Describe(pass));
        }
        EXPECT_EQ(passes, c.passes) << c.name;
    }
}

TEST(SkyPasses, KeepTheirPositionsAndSnr) {
    PointList points;
    AppendEpoch(points, 0, {{5, 30, 100, 40}});
    AppendEpoch(points, 1, {{5, 31, 102, 44}});
    const std::vector<SkyPass> passes = CollectSkyPasses(points.Head, nullptr);
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
    const std::vector<BandSeries> bands =
        CollectSnrSeries(points.Head, TimeEpochs(points.Head, LogFormat::Nmea), nullptr);
    ASSERT_EQ(bands.size(), 1u) << "no signal ids: the L1 band";
    EXPECT_EQ(bands[0].Band, Band::L1);
    const std::vector<SystemSeries>& series = bands[0].Systems;
    ASSERT_EQ(series.size(), 2u) << "no SBAS";
    EXPECT_EQ(series[0].System, SatelliteSystem::Gps);
    EXPECT_EQ(series[1].System, SatelliteSystem::Glonass);
    ASSERT_EQ(series[0].Samples.size(), 2u);
    EXPECT_EQ(series[0].Samples[0].Seconds, 0);
    EXPECT_EQ(series[0].Samples[0].Value, 35);
    EXPECT_EQ(series[0].Samples[1].Seconds, 2);
    EXPECT_TRUE(std::isnan(series[0].Samples[1].Value));
    ASSERT_EQ(series[1].Samples.size(), 1u)
        << "a 0 dB-Hz row is no signal; a series begins at its first value";
    EXPECT_EQ(series[1].Samples[0].Seconds, 2);
    EXPECT_EQ(series[1].Samples[0].Value, 22.5);
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

// A GPS and Galileo receiver on two bands: three epochs, the observations made
// from their sentences. Epoch 0: G5 on L1 C/A (40) and L5-I (44), G7 on L1
// C/A (30), E3 on E1 not tracked; GSA: GPS uses 2, Galileo 1. Epoch 1: G5 on
// L1 C/A (42), E3 on E1 (36) and E5a (38); GPS uses 1. Epoch 2: a GSA only,
// GPS using none. The record's rows (G5 and G7 of the last GSV) stand beside.
struct TwoBandLog {
    PointList points;
    SatelliteObservations observations;
    TwoBandLog() {
        const list* e0 = &*points.AppendPoint();
        const list* e1 = &*points.AppendPoint();
        const list* e2 = &*points.AppendPoint();
        for (const char* gsv : {"$GPGSV,1,1,02,05,40,100,40,07,20,200,30,1*00",
                                "$GPGSV,1,1,01,05,40,100,44,7*00", "$GAGSV,1,1,01,03,50,300,,7*00"}) {
            ObserveGsv(gsv, e0, observations);
        }
        ObserveGsa("$GNGSA,A,3,05,07,,,,,,,,,,,1.0,1.0,1.0,1*00", e0, observations);
        ObserveGsa("$GNGSA,A,3,03,,,,,,,,,,,,1.0,1.0,1.0,3*00", e0, observations);
        for (const char* gsv : {"$GPGSV,1,1,01,05,41,101,42,1*00", "$GAGSV,1,1,01,03,51,301,36,7*00",
                                "$GAGSV,1,1,01,03,51,301,38,1*00"}) {
            ObserveGsv(gsv, e1, observations);
        }
        ObserveGsa("$GNGSA,A,3,05,,,,,,,,,,,,1.0,1.0,1.0,1*00", e1, observations);
        ObserveGsa("$GNGSA,A,3,,,,,,,,,,,,,1.0,1.0,1.0,1*00", e2, observations);
        int second = 0;
        for (list* node = points.Head; node != nullptr; node = node->Next, ++second) {
            node->Point.Time = "10:00:0" + std::to_string(second);
            node->Point.TimeMs = second * 1000;
        }
        // The record's table as its decoder leaves it: the last GSV's values.
        AppendRow(points.Head->Point, {5, 40, 100, 44});
        AppendRow(points.Head->Point, {7, 20, 200, 30});
        AppendRow(points.Head->Next->Point, {5, 41, 101, 42});
    }
    static void AppendRow(waypoints& p, const Row& row) {
        SatelliteInfo& info = p.Satellites[static_cast<size_t>(row.id)];
        info = {'G',
                static_cast<uint8_t>(row.id),
                0,
                static_cast<uint8_t>(row.elevation),
                static_cast<uint16_t>(row.azimuth),
                static_cast<uint8_t>(row.snr),
                0,
                1};
        p.HasSatellites = 1;
    }
};

TEST(EpochSatellites, ObservationsStandInForTheirSystem) {
    TwoBandLog log;
    // A GLONASS row the observations do not show stays.
    TwoBandLog::AppendRow(log.points.Head->Point, {66, 10, 10, 25});
    log.points.Head->Point.Satellites[66].System = 'R';
    log.points.Head->Point.Satellites[66].Number = 2;
    SatelliteReader reader(&log.observations, log.points.Head);
    const EpochSatellites first = reader.Next(log.points.Head);
    std::vector<Sighting> sightings;
    first.Read(sightings);
    std::vector<std::string> read;
    for (const Sighting& s : sightings) {
        read.push_back(std::string(1, InfoOf(s.System).Letter) + std::to_string(s.Number) + "/" +
                       std::to_string(s.Signal) + " " + std::to_string(s.Snr));
    }
    EXPECT_EQ(read, (std::vector<std::string>{"R2/255 25", "G5/1 40", "G7/1 30", "G5/7 44", "E3/7 0"}));
    EXPECT_EQ(first.UsedCounts()[IndexOf(SatelliteSystem::Gps)], 2);
    EXPECT_EQ(first.UsedCounts()[IndexOf(SatelliteSystem::Galileo)], 1);
    EXPECT_FALSE(first.UsedCounts()[IndexOf(SatelliteSystem::Beidou)]);
    reader.Next(log.points.Head->Next);
    const EpochSatellites last = reader.Next(log.points.Head->Next->Next);
    EXPECT_FALSE(last.HasSatellites()) << "a GSA alone";
    EXPECT_EQ(last.UsedCounts()[IndexOf(SatelliteSystem::Gps)], 0);
}

TEST(SatelliteTally, PerSignalAndUsed) {
    TwoBandLog log;
    const SatelliteTally tally = CollectSatelliteTally(log.points.Head, &log.observations);
    EXPECT_EQ(tally.EpochsWithSatellites, 2);
    const SystemTally& gps = tally.Systems[IndexOf(SatelliteSystem::Gps)];
    EXPECT_EQ(gps.SatellitesSeen, 2);
    EXPECT_EQ(gps.InView, 3) << "G5 and G7, then G5: a satellite once whatever its signals";
    EXPECT_EQ(gps.SnrSum, 40 + 44 + 30 + 42);
    EXPECT_EQ(gps.SnrCount, 4);
    EXPECT_EQ(gps.Signals[1].SatellitesSeen, 2);
    EXPECT_EQ(gps.Signals[1].SnrSum, 40 + 30 + 42);
    EXPECT_EQ(gps.Signals[7].SatellitesSeen, 1);
    EXPECT_EQ(gps.Used, 3);
    EXPECT_EQ(gps.UsedEpochs, 3);
    const SystemTally& sbas = tally.Systems[IndexOf(SatelliteSystem::Sbas)];
    EXPECT_EQ(sbas.UsedEpochs, 3) << "said with GPS";
    EXPECT_EQ(sbas.Used, 0);
    const SystemTally& galileo = tally.Systems[IndexOf(SatelliteSystem::Galileo)];
    EXPECT_EQ(galileo.SatellitesSeen, 1);
    EXPECT_EQ(galileo.InView, 2);
    EXPECT_EQ(galileo.SnrSum, 36 + 38);
    EXPECT_EQ(galileo.Signals[7].SatellitesSeen, 1);
    EXPECT_EQ(galileo.Signals[7].SnrCount, 1) << "not tracked in epoch 0";
    EXPECT_EQ(galileo.Signals[1].SnrSum, 38);
    EXPECT_EQ(galileo.Used, 1);
    EXPECT_EQ(galileo.UsedEpochs, 1);
}

TEST(SnrSeries, ABandEach) {
    TwoBandLog log;
    const std::vector<BandSeries> bands =
        CollectSnrSeries(log.points.Head, TimeEpochs(log.points.Head, LogFormat::Nmea), &log.observations);
    auto text = [](const SystemSeries& series) {
        std::string out(1, InfoOf(series.System).Letter);
        for (const Sample& s : series.Samples) {
            out += " " + std::to_string(static_cast<int>(s.Seconds)) + "=" +
                   (std::isnan(s.Value) ? "-" : std::to_string(static_cast<int>(s.Value)));
        }
        return out;
    };
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0].Band, Band::L1);
    ASSERT_EQ(bands[0].Systems.size(), 2u);
    EXPECT_EQ(text(bands[0].Systems[0]), "G 0=35 1=42");
    EXPECT_EQ(text(bands[0].Systems[1]), "E 1=36");
    EXPECT_EQ(bands[1].Band, Band::L5);
    ASSERT_EQ(bands[1].Systems.size(), 2u);
    EXPECT_EQ(text(bands[1].Systems[0]), "G 0=44 1=-");
    EXPECT_EQ(text(bands[1].Systems[1]), "E 1=38");
}

TEST(SkyPasses, ASatelliteOnTwoSignalsIsOnePass) {
    TwoBandLog log;
    std::vector<std::string> passes;
    for (const SkyPass& pass : CollectSkyPasses(log.points.Head, &log.observations)) {
        passes.push_back(Describe(pass) + " " + std::to_string(pass.Points.front().Snr));
    }
    EXPECT_EQ(passes, (std::vector<std::string>{"G5:2 end 44", "G7:1 30", "E3:2 end 0"}))
        << "G5 at its strongest signal; G7 ends before the log does";
}

}  // namespace
}  // namespace tervo
