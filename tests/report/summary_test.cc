// The summary of a log. Legend of the cases:
// - HandBuiltList: every figure of a small list worked out by hand, the distance
//   by Vincenty's formulae written here (a fault in picking the valid fixes, the
//   step, the gap rule, moving time, the percentiles or the per-system counts);
// - Timeline cases: dates, midnight and a computer's date on an RMC without one
//   (a duration or first time thrown off by a day or by years);
// - Binr: the buckets by status text (a BINR fix counted by GGA rules);
// - the three shows: exact JSON of an empty list, keys and escaping (a number
//   written with a comma, a missing null);
// - SimulatedLog: our simulator's known truth (epochs, fixes, duration, the
//   distance it drove, its top speed);
// - RealReceiverLogs: epochs and fixes counted here from the text.
#include "report/summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "nmea/satellite_observer.h"
#include "report/timeline.h"
#include "report_logs.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::AppendFix;
using testing::NmeaFix;

// Vincenty's inverse formulae on WGS 84 (T. Vincenty, Survey Review 1975),
// independent of GeographicLib's algorithm.
double VincentyMetres(double lat1, double lon1, double lat2, double lon2) {
    const double a = 6378137.0;
    const double f = 1 / 298.257223563;
    const double b = a * (1 - f);
    const double rad = M_PI / 180;
    const double L = (lon2 - lon1) * rad;
    const double U1 = std::atan((1 - f) * std::tan(lat1 * rad));
    const double U2 = std::atan((1 - f) * std::tan(lat2 * rad));
    const double sinU1 = std::sin(U1), cosU1 = std::cos(U1), sinU2 = std::sin(U2), cosU2 = std::cos(U2);
    double lambda = L;
    double sinSigma = 0, cosSigma = 0, sigma = 0, cos2Alpha = 0, cos2SigmaM = 0;
    for (int i = 0; i < 200; ++i) {
        const double sinLambda = std::sin(lambda), cosLambda = std::cos(lambda);
        sinSigma = std::hypot(cosU2 * sinLambda, cosU1 * sinU2 - sinU1 * cosU2 * cosLambda);
        if (sinSigma == 0) {
            return 0;
        }
        cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosLambda;
        sigma = std::atan2(sinSigma, cosSigma);
        const double sinAlpha = cosU1 * cosU2 * sinLambda / sinSigma;
        cos2Alpha = 1 - sinAlpha * sinAlpha;
        cos2SigmaM = cos2Alpha != 0 ? cosSigma - 2 * sinU1 * sinU2 / cos2Alpha : 0;
        const double C = f / 16 * cos2Alpha * (4 + f * (4 - 3 * cos2Alpha));
        const double previous = lambda;
        lambda =
            L + (1 - C) * f * sinAlpha *
                    (sigma + C * sinSigma * (cos2SigmaM + C * cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM)));
        if (std::fabs(lambda - previous) < 1e-13) {
            break;
        }
    }
    const double u2 = cos2Alpha * (a * a - b * b) / (b * b);
    const double A = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)));
    const double B = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)));
    const double deltaSigma = B * sinSigma *
                              (cos2SigmaM + B / 4 *
                                                (cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM) -
                                                 B / 6 * cos2SigmaM * (-3 + 4 * sinSigma * sinSigma) *
                                                     (-3 + 4 * cos2SigmaM * cos2SigmaM)));
    return b * A * (sigma - deltaSigma);
}

TEST(Vincenty, GivesTheGeodeticSurveyExample) {
    // Flinders Peak to Buninyong: 54 972.271 m (Geoscience Australia's worked example).
    const double d = VincentyMetres(-(37 + 57 / 60.0 + 3.72030 / 3600), 144 + 25 / 60.0 + 29.52440 / 3600,
                                    -(37 + 39 / 60.0 + 10.15610 / 3600), 143 + 55 / 60.0 + 35.38390 / 3600);
    EXPECT_NEAR(d, 54972.271, 0.002);
}

const NmeaFix kHandBuilt[] = {
    // time, date, quality, status, latitude, longitude, altitude, speed, hdop, used
    {"10:00:00", "2024-05-17", 0, 'V', 0, 0, 0, 0, 99.9, 0},
    {"10:00:01", "2024-05-17", 1, 'A', 48.0, 11.0, 500, 36, 0.9, 8},
    {"10:00:02", "2024-05-17", 2, 'A', 48.0001, 11.0, 505, 36, 1.1, 9},
    {"10:00:03", "2024-05-17", 4, 'A', 48.0002, 11.0001, 498, 0.5, 0.7, 12},
    {"10:00:10", "2024-05-17", 5, 'A', 48.0003, 11.0002, 502, 72, 2.0, 10},
};

void FillHandBuilt(PointList& points) {
    for (const NmeaFix& fix : kHandBuilt) {
        AppendFix(points, fix);
    }
    auto row = [](waypoints& p, int id, int snr) {
        SatelliteInfo& info = p.Satellites[static_cast<size_t>(id)];
        const SatelliteName name = NameOfSatelliteId(id);
        info.System = name.System;
        info.Number = name.Number;
        info.Snr = static_cast<uint8_t>(snr);
        info.InView = 1;
        p.HasSatellites = 1;
    };
    waypoints& second = points.Head->Next->Point;
    row(second, 5, 40);
    row(second, 7, 30);
    row(second, 66, 0);
    row(second, 33, 35);
    waypoints& third = points.Head->Next->Next->Point;
    row(third, 5, 42);
    row(third, 66, 20);
}

TEST(ComputeSummary, HandBuiltList) {
    PointList points;
    FillHandBuilt(points);
    const Summary s = ComputeSummary(points, LogFormat::Nmea);
    EXPECT_EQ(s.Epochs, 5);
    EXPECT_EQ(s.TimedEpochs, 5);
    EXPECT_EQ(s.Fixes, 4);
    EXPECT_DOUBLE_EQ(s.FixShare.value(), 0.8);
    EXPECT_EQ(IsoUtcText(s.FirstUnixMs.value()), "2024-05-17T10:00:00Z");
    EXPECT_EQ(IsoUtcText(s.LastUnixMs.value()), "2024-05-17T10:00:10Z");
    EXPECT_DOUBLE_EQ(s.DurationS.value(), 10);
    EXPECT_DOUBLE_EQ(s.TimeToFirstFixS.value(), 1);
    // Steps 1, 1, 1, 7: the typical step is 1 s, the 7 s step is the one gap.
    EXPECT_DOUBLE_EQ(s.TypicalStepS.value(), 1);
    EXPECT_EQ(s.GapCount, 1);
    EXPECT_DOUBLE_EQ(s.LongestGapS.value(), 7);

    const double d12 = VincentyMetres(48.0, 11.0, 48.0001, 11.0);
    const double d23 = VincentyMetres(48.0001, 11.0, 48.0002, 11.0001);
    const double d34 = VincentyMetres(48.0002, 11.0001, 48.0003, 11.0002);
    EXPECT_NEAR(s.DistanceM, d12 + d23 + d34, 1e-6);
    // Moving: only the step into the second fix (36 km/h); the third is slower
    // than 1 km/h and the fourth comes after a gap.
    EXPECT_DOUBLE_EQ(s.MovingTimeS, 1);
    EXPECT_NEAR(s.MeanSpeedKmh.value(), d12 * 3.6, 1e-6);
    EXPECT_DOUBLE_EQ(s.MaxSpeedKmh.value(), 72);
    EXPECT_DOUBLE_EQ(s.AltitudeMinM.value(), 498);
    EXPECT_DOUBLE_EQ(s.AltitudeMaxM.value(), 505);
    // HDOP 0.7 0.9 1.1 2.0: median (0.9 + 1.1) / 2, 95th percentile the 4th of 4.
    EXPECT_DOUBLE_EQ(s.HdopMedian.value(), 1.0);
    EXPECT_DOUBLE_EQ(s.HdopP95.value(), 2.0);
    EXPECT_DOUBLE_EQ(s.SatellitesUsedMean.value(), 39 / 4.0);
    EXPECT_EQ(s.SatellitesUsedMin.value(), 8);
    EXPECT_EQ(s.SatellitesUsedMax.value(), 12);

    const std::vector<std::pair<std::string, int64_t>> quality = {
        {"no fix", 1}, {"single", 1}, {"differential", 1}, {"RTK fixed", 1}, {"RTK float", 1}};
    ASSERT_EQ(s.FixesByQuality.size(), quality.size());
    for (size_t i = 0; i < quality.size(); ++i) {
        EXPECT_EQ(s.FixesByQuality[i].Name, quality[i].first);
        EXPECT_EQ(s.FixesByQuality[i].Epochs, quality[i].second);
    }

    // Two epochs carry satellite rows. GPS: ids 5 and 7, three rows, SNR 40 30
    // 42; SBAS: id 33 once, SNR 35; GLONASS: id 66 twice, SNR 0 (not counted) and 20.
    ASSERT_EQ(s.Systems.size(), 3u);
    EXPECT_EQ(s.Systems[0].Name, "GPS");
    EXPECT_EQ(s.Systems[0].SatellitesSeen, 2);
    EXPECT_DOUBLE_EQ(s.Systems[0].MeanInView.value(), 1.5);
    EXPECT_DOUBLE_EQ(s.Systems[0].MeanSnrDbHz.value(), 112 / 3.0);
    EXPECT_EQ(s.Systems[1].Name, "SBAS");
    EXPECT_EQ(s.Systems[1].SatellitesSeen, 1);
    EXPECT_DOUBLE_EQ(s.Systems[1].MeanInView.value(), 0.5);
    EXPECT_DOUBLE_EQ(s.Systems[1].MeanSnrDbHz.value(), 35);
    EXPECT_EQ(s.Systems[2].Name, "GLONASS");
    EXPECT_EQ(s.Systems[2].SatellitesSeen, 1);
    EXPECT_DOUBLE_EQ(s.Systems[2].MeanInView.value(), 1);
    EXPECT_DOUBLE_EQ(s.Systems[2].MeanSnrDbHz.value(), 20);
}

TEST(ComputeSummary, StartsWhereItIsAsked) {
    PointList points;
    FillHandBuilt(points);
    // From the second node: the first fix is the first epoch.
    const Summary s = ComputeSummary(points.Head->Next, LogFormat::Nmea);
    EXPECT_EQ(s.Epochs, 4);
    EXPECT_EQ(s.Fixes, 4);
    EXPECT_DOUBLE_EQ(s.TimeToFirstFixS.value(), 0);
    EXPECT_DOUBLE_EQ(s.DurationS.value(), 9);
}

TEST(ComputeSummary, GgaOnlyEpochsGetTheSpeedOfTheirSteps) {
    PointList points;
    AppendFix(points, {"10:00:00", "", 1, 0, 48.0, 11.0, 500, 0, 1, 7});
    AppendFix(points, {"10:00:01", "", 1, 0, 48.0001, 11.0, 500, 0, 1, 7});
    AppendFix(points, {"10:00:02", "", 1, 0, 48.0001, 11.0, 500, 0, 1, 7});
    const Summary s = ComputeSummary(points, LogFormat::Nmea);
    const double d = VincentyMetres(48.0, 11.0, 48.0001, 11.0);
    EXPECT_NEAR(s.MaxSpeedKmh.value(), d * 3.6, 1e-6);
    EXPECT_DOUBLE_EQ(s.MovingTimeS, 1);
    EXPECT_FALSE(s.FirstUnixMs) << "no date anywhere";
    EXPECT_EQ(s.FirstTimeOfDayMs.value(), 36'000'000);
}

TEST(EpochTimeline, DatesMidnightsAndAComputersDate) {
    struct Case {
        const char* legend;
        std::vector<NmeaFix> fixes;
        double duration;
        const char* first;  // "" when unknown
        const char* last;
    };
    auto at = [](const char* time, const char* date, char status = 'A') {
        return NmeaFix{time, date, -1, status, 48, 11, 0, 0, 0, 0};
    };
    const std::vector<Case> cases = {
        {"a dated midnight",
         {at("23:59:58", "2024-05-17"), at("23:59:59", "2024-05-17"), at("00:00:00", "2024-05-18"),
          at("00:00:01", "2024-05-18")},
         3,
         "2024-05-17T23:59:58Z",
         "2024-05-18T00:00:01Z"},
        {"an undated midnight: the time going back adds a day",
         {at("23:59:59", ""), at("00:00:00", ""), at("00:00:01", "")},
         2,
         "",
         ""},
        {"undated epochs between dated ones take the dated ones' calendar",
         {at("23:59:59", ""), at("00:00:00", "2024-02-29"), at("00:00:01", "")},
         2,
         "2024-02-28T23:59:59Z",
         "2024-02-29T00:00:01Z"},
        {"a dated break of a day",
         {at("10:00:00", "2024-05-17"), at("10:00:05", "2024-05-18")},
         86405,
         "2024-05-17T10:00:00Z",
         "2024-05-18T10:00:05Z"},
        {"the computer's date on no-fix RMCs: the fixes' date places the log, times of day join them",
         {at("10:00:00", "2031-01-01", 'V'), at("10:00:01", "2031-01-01", 'V'), at("10:00:02", "2024-05-17"),
          at("10:00:03", "2024-05-17")},
         3,
         "2024-05-17T10:00:00Z",
         "2024-05-17T10:00:03Z"},
        {"fractions of a second",
         {at("10:00:00.5", "2024-05-17"), at("10:00:01.25", "2024-05-17")},
         0.75,
         "2024-05-17T10:00:00.500Z",
         "2024-05-17T10:00:01.250Z"},
    };
    for (const Case& c : cases) {
        PointList points;
        for (const NmeaFix& fix : c.fixes) {
            AppendFix(points, fix);
        }
        const Summary s = ComputeSummary(points, LogFormat::Nmea);
        EXPECT_NEAR(s.DurationS.value(), c.duration, 1e-9) << c.legend;
        EXPECT_EQ(s.FirstUnixMs ? IsoUtcText(s.FirstUnixMs.value()) : "", c.first) << c.legend;
        EXPECT_EQ(s.LastUnixMs ? IsoUtcText(s.LastUnixMs.value()) : "", c.last) << c.legend;
    }
}

TEST(EpochTimeline, EpochsWithoutTimeStayOffTheScale) {
    PointList points;
    AppendFix(points, {"", "", 0, 'V', 0, 0, 0, 0, 0, 0});
    AppendFix(points, {"10:00:00", "2024-05-17", 1, 'A', 48, 11, 0, 0, 0, 0});
    points.Head->Point.TimeMs = 0;
    const Summary s = ComputeSummary(points, LogFormat::Nmea);
    EXPECT_EQ(s.Epochs, 2);
    EXPECT_EQ(s.TimedEpochs, 1);
    EXPECT_DOUBLE_EQ(s.DurationS.value(), 0);
    EXPECT_DOUBLE_EQ(s.TimeToFirstFixS.value(), 0);
    EXPECT_EQ(IsoUtcText(s.FirstUnixMs.value()), "2024-05-17T10:00:00Z");
}

TEST(IsoUtcText, WritesMillisecondsOnlyWhenThereAreAny) {
    EXPECT_EQ(IsoUtcText(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(IsoUtcText(1'715'941'230'000), "2024-05-17T10:20:30Z");
    EXPECT_EQ(IsoUtcText(-1), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(TimeOfDayText(86'400'000 + 5), "00:00:00.005");
}

TEST(ComputeSummary, BinrBucketsByStatusText) {
    PointList points;
    const std::vector<std::pair<char, const char*>> statuses = {
        {'V', "No Fix"}, {'A', "3D"}, {'A', "3D,DIFF"}, {'A', "3D"}, {'A', "2D,RAIM"}, {'V', "No Fix"}};
    int second = 0;
    for (const auto& [status, text] : statuses) {
        waypoints& p = points.AppendPoint()->Point;
        p.Status = status;
        p.StatusText = text;
        p.Time = "12:00:0" + std::to_string(second);
        p.TimeMs = 43'200'000 + 1000 * second++;
        p.Date = "2024-05-17";
        p.Latitude = 55.75;
        p.Longitude = 37.61;
        p.Altitude = 150 + second;
        p.Speed = 10.0 * second;
        p.Hdop = 1.5;
        p.SatellitesUsed = -1;
    }
    const Summary s = ComputeSummary(points, LogFormat::Binr);
    EXPECT_EQ(s.Fixes, 4);
    const std::vector<std::pair<std::string, int64_t>> buckets = {
        {"No Fix", 2}, {"3D", 2}, {"3D,DIFF", 1}, {"2D,RAIM", 1}};
    ASSERT_EQ(s.FixesByQuality.size(), buckets.size());
    for (size_t i = 0; i < buckets.size(); ++i) {
        EXPECT_EQ(s.FixesByQuality[i].Name, buckets[i].first);
        EXPECT_EQ(s.FixesByQuality[i].Epochs, buckets[i].second);
    }
    EXPECT_DOUBLE_EQ(s.MaxSpeedKmh.value(), 50);
    EXPECT_DOUBLE_EQ(s.AltitudeMinM.value(), 152);
    EXPECT_DOUBLE_EQ(s.AltitudeMaxM.value(), 155);
    EXPECT_FALSE(s.SatellitesUsedMean) << "BINR's -1 is no count";
    EXPECT_DOUBLE_EQ(s.TimeToFirstFixS.value(), 1);
}

TEST(SummaryJson, AnEmptyListExactly) {
    PointList points;
    EXPECT_EQ(SummaryJson(ComputeSummary(points, LogFormat::Nmea)),
              "{\n"
              "  \"format\": \"nmea\",\n"
              "  \"epochs\": 0,\n"
              "  \"timed_epochs\": 0,\n"
              "  \"fixes\": 0,\n"
              "  \"fix_share\": null,\n"
              "  \"first_time\": null,\n"
              "  \"last_time\": null,\n"
              "  \"first_time_of_day\": null,\n"
              "  \"last_time_of_day\": null,\n"
              "  \"duration_s\": null,\n"
              "  \"time_to_first_fix_s\": null,\n"
              "  \"typical_step_s\": null,\n"
              "  \"gap_count\": 0,\n"
              "  \"longest_gap_s\": null,\n"
              "  \"distance_m\": 0,\n"
              "  \"moving_time_s\": 0,\n"
              "  \"max_speed_kmh\": null,\n"
              "  \"mean_speed_kmh\": null,\n"
              "  \"altitude_min_m\": null,\n"
              "  \"altitude_max_m\": null,\n"
              "  \"hdop_median\": null,\n"
              "  \"hdop_p95\": null,\n"
              "  \"satellites_used_mean\": null,\n"
              "  \"satellites_used_min\": null,\n"
              "  \"satellites_used_max\": null,\n"
              "  \"fixes_by_quality\": {},\n"
              "  \"satellites_by_system\": {}\n"
              "}\n");
}

TEST(SummaryJson, HandBuiltValuesWithAPointInAnyLocale) {
    PointList points;
    FillHandBuilt(points);
    const Summary s = ComputeSummary(points, LogFormat::Nmea);
    const bool comma = testing::UseCommaLocale();
    const std::string json = SummaryJson(s);
    const std::string table = SummaryTable(s);
    testing::RestoreCLocale();
    if (!comma) {
        ADD_FAILURE() << "no comma locale to test with";
    }
    for (const char* member :
         {"\"epochs\": 5,", "\"fixes\": 4,", "\"fix_share\": 0.8,",
          "\"first_time\": \"2024-05-17T10:00:00Z\",", "\"last_time\": \"2024-05-17T10:00:10Z\",",
          "\"duration_s\": 10,", "\"max_speed_kmh\": 72,", "\"hdop_median\": 1,", "\"hdop_p95\": 2,",
          "\"satellites_used_mean\": 9.75,",
          "\"fixes_by_quality\": {\n    \"no fix\": 1,\n    \"single\": 1,\n    \"differential\": 1,\n"
          "    \"RTK fixed\": 1,\n    \"RTK float\": 1\n  },",
          "\"mean_snr_dbhz\": 37.33,\n"}) {
        EXPECT_NE(json.find(member), std::string::npos) << member << "\n" << json;
    }
    EXPECT_NE(table.find("Satellites used          mean 9.8, 8 to 12\n"), std::string::npos) << table;
    EXPECT_NE(table.find("HDOP 95th percentile     2\n"), std::string::npos) << table;
}

TEST(SummaryTable, LinesUpItsValues) {
    PointList points;
    FillHandBuilt(points);
    const std::string table = SummaryTable(ComputeSummary(points, LogFormat::Nmea));
    size_t column = std::string::npos;
    size_t start = 0;
    while (start < table.size()) {
        const size_t end = table.find('\n', start);
        const std::string line = table.substr(start, end - start);
        start = end + 1;
        const size_t gap = line.find("  ", 2);
        if (line.rfind("  ", 0) == 0 || gap == std::string::npos) {
            continue;  // a group's row or title
        }
        const size_t value = line.find_first_not_of(' ', gap);
        if (column == std::string::npos) {
            column = value;
        }
        EXPECT_EQ(value, column) << line;
    }
    EXPECT_NE(table.find("Fixes                    4 (80 %)\n"), std::string::npos) << table;
    EXPECT_NE(table.find("Gaps                     1, longest 7 s\n"), std::string::npos) << table;
    EXPECT_NE(table.find("  RTK fixed"), std::string::npos) << table;
}

TEST(SummaryHtmlTable, EscapesItsTextsAndCanStandInCdata) {
    PointList points;
    waypoints& p = points.AppendPoint()->Point;
    p.Status = 'A';
    p.StatusText = "3D<&>]]>";
    const std::string html = SummaryHtmlTable(ComputeSummary(points, LogFormat::Binr));
    EXPECT_EQ(html.rfind("<table>\n", 0), 0u);
    EXPECT_NE(html.find("<tr><th align=left>Epochs</th><td>1</td></tr>\n"), std::string::npos) << html;
    EXPECT_NE(html.find("<th align=left>3D&lt;&amp;&gt;]]&gt;</th><td>1</td>"), std::string::npos) << html;
    EXPECT_EQ(html.find("]]>"), std::string::npos);
    EXPECT_EQ(html.substr(html.size() - 9), "</table>\n");
}

TEST(SummaryOfSimulatedLog, GivesTheSimulatorsTruth) {
    testing::TempDir dir;
    PointList points;
    testing::ReadNmeaBytes(testing::SimulatedNmea("--epochs 200 --seed 5", dir), points);
    const Summary s = ComputeSummary(points, LogFormat::Nmea);
    // Epochs 80-99 and 180-199 have no fix (every fifth spell of 20 epochs).
    EXPECT_EQ(s.Epochs, 200);
    EXPECT_EQ(s.Fixes, 160);
    EXPECT_DOUBLE_EQ(s.DurationS.value(), 199);
    EXPECT_EQ(IsoUtcText(s.FirstUnixMs.value()), "2024-05-17T10:15:00Z");
    EXPECT_EQ(IsoUtcText(s.LastUnixMs.value()), "2024-05-17T10:18:19Z");
    EXPECT_DOUBLE_EQ(s.TimeToFirstFixS.value(), 0);
    EXPECT_DOUBLE_EQ(s.TypicalStepS.value(), 1);
    EXPECT_EQ(s.GapCount, 0);
    ASSERT_EQ(s.FixesByQuality.size(), 2u);
    EXPECT_EQ(s.FixesByQuality[0].Name, "no fix");
    EXPECT_EQ(s.FixesByQuality[0].Epochs, 40);
    EXPECT_EQ(s.FixesByQuality[1].Name, "single");
    EXPECT_EQ(s.FixesByQuality[1].Epochs, 160);
    // The simulator drives 20 + 10 sin(e / 15) knots for one second at every
    // epoch e with a fix, before it writes the position; its RMC says the
    // speed to a tenth of a knot.
    double metres = 0;
    double topKmh = 0;
    for (int e = 0; e < 200; ++e) {
        if ((e / 20) % 5 == 4) {
            continue;
        }
        const double knots = 20.0 + 10.0 * std::sin(e / 15.0);
        if (e > 0) {
            metres += knots * 1852.0 / 3600.0;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", knots);
        topKmh = std::max(topKmh, std::stod(text) * 1.852);
    }
    // Its metres per degree are a sphere's; the log rounds to 0.0001 minutes.
    EXPECT_NEAR(s.DistanceM, metres, metres * 0.005);
    EXPECT_NEAR(s.MaxSpeedKmh.value(), topKmh, 1e-9);
    EXPECT_NEAR(s.MovingTimeS, 159 - 1, 1e-9) << "every step between fixes but the one across the fix loss";
    EXPECT_DOUBLE_EQ(s.HdopMedian.value(), 0.9);
}

TEST(SummaryOfSimulatedLog, AnHourOfAMovingSky) {
    testing::TempDir dir;
    PointList points;
    testing::ReadNmeaBytes(testing::SimulatedNmea("--hours 1 --satellites 12 --seed 3", dir), points);
    const Summary s = ComputeSummary(points, LogFormat::Nmea);
    // A 50-second fix loss every 20 minutes.
    EXPECT_EQ(s.Epochs, 3600);
    EXPECT_EQ(s.Fixes, 3600 - 3 * 50);
    EXPECT_DOUBLE_EQ(s.DurationS.value(), 3599);
    for (const SystemSignals& system : s.Systems) {
        EXPECT_GT(system.SatellitesSeen, 0) << system.Name;
        EXPECT_GT(system.MeanSnrDbHz.value(), 10) << system.Name;
    }
}

TEST(SummaryOfSimulatedLog, FourConstellationsOnTwoBands) {
    testing::TempDir dir;
    PointList points;
    SatelliteObservations observations;
    testing::ReadNmeaBytes(testing::SimulatedNmea("--epochs 60 --nmea 4.11 --dual-band --seed 2", dir),
                           points, &observations);
    const Summary s = ComputeSummary(points, LogFormat::Nmea, {}, &observations);
    // The simulator's fixed sky: GPS 2 5 7 12 15 20 25 29 (of which 25 sends
    // L5) and SBAS PRN 131 under GP, GLONASS 66 67 75 81, Galileo 3 8 11 24,
    // BeiDou 6 14 27 33 38 and QZSS 2, on L1 and, but for GLONASS and SBAS, L5.
    struct Row {
        const char* system;
        int seen;
        std::vector<std::pair<std::string, int>> signals;  // name, satellites seen
    };
    const Row rows[] = {
        {"GPS", 8, {{"L1 C/A", 8}, {"L5-I", 1}}}, {"SBAS", 1, {{"L1 C/A", 1}}},
        {"GLONASS", 4, {{"G1 C/A", 4}}},          {"GALILEO", 4, {{"E1", 4}, {"E5a", 4}}},
        {"BEIDOU", 5, {{"B1I", 5}, {"B2a", 5}}},  {"QZSS", 1, {{"L1 C/A", 1}, {"L5-I", 1}}},
    };
    ASSERT_EQ(s.Systems.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const SystemSignals& system = s.Systems[i];
        EXPECT_EQ(system.Name, rows[i].system);
        EXPECT_EQ(system.SatellitesSeen, rows[i].seen) << system.Name;
        EXPECT_DOUBLE_EQ(system.MeanInView.value(), rows[i].seen) << system.Name;
        ASSERT_EQ(system.Signals.size(), rows[i].signals.size()) << system.Name;
        for (size_t g = 0; g < system.Signals.size(); ++g) {
            EXPECT_EQ(system.Signals[g].Name, rows[i].signals[g].first) << system.Name;
            EXPECT_EQ(system.Signals[g].SatellitesSeen, rows[i].signals[g].second) << system.Name;
            EXPECT_EQ(system.Signals[g].Band, g == 0 ? Band::L1 : Band::L5) << system.Name;
        }
    }
    const std::string json = SummaryJson(s);
    EXPECT_NE(json.find("\"E5a\": {\n          \"band\": \"L5\",\n          \"satellites_seen\": 4,"),
              std::string::npos)
        << json;
}

TEST(SummaryOfObservations, HandBuiltSignalsAndUsed) {
    // GPS on two signals and Galileo, as an NMEA 4.11 receiver reports them:
    // epoch 0 G5 L1 C/A 40, L5-I 44, G7 L1 C/A 30, E3 E1 36; GSA: GPS 5 and 7
    // used, Galileo 3. Epoch 1: G5 L1 C/A 42, a GSA of GPS using 5.
    PointList points;
    AppendFix(points, kHandBuilt[1]);
    AppendFix(points, kHandBuilt[2]);
    SatelliteObservations observations;
    for (const char* sentence :
         {"$GPGSV,1,1,02,05,40,100,40,07,20,200,30,1*00", "$GPGSV,1,1,01,05,40,100,44,7*00",
          "$GAGSV,1,1,01,03,50,300,36,7*00", "$GNGSA,A,3,05,07,,,,,,,,,,,1.0,1.0,1.0,1*00",
          "$GNGSA,A,3,03,,,,,,,,,,,,1.0,1.0,1.0,3*00"}) {
        (std::string_view(sentence).substr(3, 3) == "GSA" ? ObserveGsa : ObserveGsv)(sentence, points.Head,
                                                                                     observations);
    }
    ObserveGsv("$GPGSV,1,1,01,05,41,101,42,1*00", points.Head->Next, observations);
    ObserveGsa("$GNGSA,A,3,05,,,,,,,,,,,,1.0,1.0,1.0,1*00", points.Head->Next, observations);
    const Summary s = ComputeSummary(points, LogFormat::Nmea, {}, &observations);
    ASSERT_EQ(s.Systems.size(), 4u) << "GPS, SBAS, GLONASS, and Galileo seen";
    const SystemSignals& gps = s.Systems[0];
    EXPECT_EQ(gps.SatellitesSeen, 2);
    EXPECT_DOUBLE_EQ(gps.MeanInView.value(), 1.5);
    EXPECT_DOUBLE_EQ(gps.MeanSnrDbHz.value(), (40 + 44 + 30 + 42) / 4.0);
    EXPECT_DOUBLE_EQ(gps.MeanUsed.value(), 1.5);
    EXPECT_FALSE(s.Systems[1].MeanUsed) << "SBAS, neither seen nor used";
    EXPECT_FALSE(s.Systems[2].MeanUsed) << "GLONASS, never said";
    EXPECT_EQ(s.Systems[3].Label, "Galileo");
    EXPECT_DOUBLE_EQ(s.Systems[3].MeanInView.value(), 0.5);
    EXPECT_DOUBLE_EQ(s.Systems[3].MeanUsed.value(), 1);
    const std::string json = SummaryJson(s);
    for (const char* member :
         {"\"mean_used\": 1.5,\n",
          "\"signals\": {\n        \"L1 C/A\": {\n          \"band\": \"L1\",\n"
          "          \"satellites_seen\": 2,\n          \"mean_snr_dbhz\": 37.33\n        },\n"
          "        \"L5-I\": {\n          \"band\": \"L5\",\n"
          "          \"satellites_seen\": 1,\n          \"mean_snr_dbhz\": 44\n        }\n      }",
          "\"GALILEO\": {\n      \"satellites_seen\": 1,"}) {
        EXPECT_NE(json.find(member), std::string::npos) << member << "\n" << json;
    }
    const std::string table = SummaryTable(s);
    for (const char* line : {"  GPS                    2 seen, 1.5 in view, 1.5 used, mean SNR 39 dB-Hz\n",
                             "    L5-I                 1 seen, mean SNR 44 dB-Hz, L5 band\n",
                             "  Galileo                1 seen, 0.5 in view, 1 used, mean SNR 36 dB-Hz\n"}) {
        EXPECT_NE(table.find(line), std::string::npos) << line << table;
    }
}

// Fixes with GSA but no GSV: nothing was seen, so no system is shown, not
// even GPS with its zeros, and the table says so.
TEST(SummaryOfObservations, NoSatellitesInViewNoSystems) {
    PointList points;
    AppendFix(points, kHandBuilt[1]);
    AppendFix(points, kHandBuilt[2]);
    SatelliteObservations observations;
    ObserveGsa("$GNGSA,A,3,05,07,,,,,,,,,,,1.0,1.0,1.0,1*00", points.Head, observations);
    ObserveGsa("$GAGSA,A,3,03,,,,,,,,,,,,1.0,1.0,1.0*00", points.Head->Next, observations);
    const Summary s = ComputeSummary(points, LogFormat::Nmea, {}, &observations);
    EXPECT_TRUE(s.Systems.empty());
    EXPECT_NE(SummaryJson(s).find("\"satellites_by_system\": {}\n"), std::string::npos);
    EXPECT_NE(SummaryTable(s).find("Satellites by system     none in view\n"), std::string::npos)
        << SummaryTable(s);
}

// Epochs and fixes counted from the text, apart from the reader: checksum-valid
// GGA of 14 commas and RMC of 11 to 13 commas, a new epoch at each change of the
// time text; an epoch has a fix when one of its GGA says quality 1 or more or
// one of its RMC says 'A'. GGA qualities are counted per epoch (the last GGA of
// the epoch).
struct TextCount {
    int64_t epochs = 0;
    int64_t fixes = 0;
    std::map<int, int64_t> qualities;
};

TextCount CountFromText(const std::string& bytes) {
    TextCount count;
    std::string lastTime = "none";
    bool fix = false;
    int quality = -1;
    auto close = [&] {
        if (count.epochs > 0) {
            count.fixes += fix ? 1 : 0;
            if (quality >= 0) {
                ++count.qualities[quality];
            }
        }
    };
    for (size_t start = bytes.find('$'); start != std::string::npos; start = bytes.find('$', start + 1)) {
        const size_t star = bytes.find_first_of("$*", start + 1);
        if (star == std::string::npos || bytes[star] != '*' || star + 2 >= bytes.size()) {
            continue;
        }
        unsigned sum = 0;
        for (size_t i = start + 1; i < star; ++i) {
            sum ^= static_cast<unsigned char>(bytes[i]);
        }
        if (std::strtoul(bytes.substr(star + 1, 2).c_str(), nullptr, 16) != sum) {
            continue;
        }
        std::vector<std::string> fields;
        size_t from = start;
        for (size_t comma = bytes.find(',', from); comma < star; comma = bytes.find(',', from)) {
            fields.push_back(bytes.substr(from, comma - from));
            from = comma + 1;
        }
        fields.push_back(bytes.substr(from, star - from));
        const std::string type = fields[0].substr(3);
        const bool gga = type == "GGA" && fields.size() == 15;
        const bool rmc = type == "RMC" && fields.size() >= 12 && fields.size() <= 14;
        if (!gga && !rmc) {
            continue;
        }
        if (fields[1] != lastTime) {
            close();
            ++count.epochs;
            lastTime = fields[1];
            fix = false;
            quality = -1;
        }
        if (gga) {
            quality = std::atoi(fields[6].c_str());
            fix = fix || quality > 0;
        } else {
            fix = fix || fields[2] == "A";
        }
    }
    close();
    return count;
}

TEST(SummaryOfRealLogs, EpochsAndFixesAsTheTextCountsThem) {
    const std::string shared = testing::SharedTestDataDir();
    if (shared.empty()) {
        GTEST_SKIP() << "no shared receiver logs";
    }
    struct Case {
        const char* file;
        int64_t epochs;  // as PROVENANCE.md counts them, a check on the count here
        int64_t fixes;
    };
    for (const Case& c :
         {Case{"gn-nofix-to-fix-1hz.nmea", 62, 40}, Case{"gp-dgps-rmc11-mss-154ep.nmea", 154, 154}}) {
        const std::string path = shared + "nmea/" + c.file;
        if (!std::filesystem::exists(path)) {
            ADD_FAILURE() << path << " is missing from the shared logs";
            continue;
        }
        const std::string bytes = testing::ReadFile(path);
        const TextCount counted = CountFromText(bytes);
        EXPECT_EQ(counted.epochs, c.epochs) << c.file;
        EXPECT_EQ(counted.fixes, c.fixes) << c.file;
        PointList points;
        testing::ReadNmeaBytes(bytes, points);
        const Summary s = ComputeSummary(points, LogFormat::Nmea);
        EXPECT_EQ(s.Epochs, counted.epochs) << c.file;
        EXPECT_EQ(s.Fixes, counted.fixes) << c.file;
        for (const auto& [quality, epochs] : counted.qualities) {
            if (quality == 0) {
                continue;  // a GGA of quality 0 may share its epoch with an RMC that says 'A'
            }
            const std::string name(InfoOf(static_cast<FixClass>(quality)).Name);
            int64_t summarised = 0;
            for (const QualityCount& bucket : s.FixesByQuality) {
                summarised += bucket.Name == name ? bucket.Epochs : 0;
            }
            EXPECT_EQ(summarised, epochs) << c.file << " quality " << quality;
        }
    }
}

// The GSV and GSA of a small GPS and BeiDou log worked out by hand. The list
// begins at its first RMC (its GGA have 15 commas): the GSV cycle before it
// belongs to no epoch, so one cycle counts, read for the epoch at 07:41:54.
// GPS: 20 satellites in view, 13 with an SNR (50 47 24 23 46 44 49 27 29 37
// 24 24 43: 467 / 13). BeiDou: 12 in view, 4 with an SNR (35 37 42 45: 159 /
// 4). Nine epochs have a GSA of each talker: GPS uses 0 0 0 0 2 4 4 4 4 (18 /
// 9), BeiDou 0 0 0 0 3 3 3 3 3 (15 / 9).
TEST(SummaryOfRealLogs, AGpsAndBeidouLogWorkedOutByHand) {
    const std::string shared = testing::SharedTestDataDir();
    const std::string path = shared + "nmea/bd-gn-gga15commas-nofix-to-fix.nmea";
    if (shared.empty() || !std::filesystem::exists(path)) {
        GTEST_SKIP() << "no shared receiver logs";
    }
    PointList points;
    SatelliteObservations observations;
    testing::ReadNmeaBytes(testing::ReadFile(path), points, &observations);
    const Summary s = ComputeSummary(points, LogFormat::Nmea, {}, &observations);
    struct Row {
        const char* system;
        int seen;
        std::optional<double> inView, snr, used;
    };
    const Row rows[] = {
        {"GPS", 20, 20, 467 / 13.0, 18 / 9.0},
        {"SBAS", 0, 0, std::nullopt, std::nullopt},
        {"GLONASS", 0, 0, std::nullopt, std::nullopt},
        {"BEIDOU", 12, 12, 159 / 4.0, 15 / 9.0},
    };
    ASSERT_EQ(s.Systems.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const SystemSignals& system = s.Systems[i];
        EXPECT_EQ(system.Name, rows[i].system);
        EXPECT_EQ(system.SatellitesSeen, rows[i].seen) << system.Name;
        EXPECT_EQ(system.MeanInView, rows[i].inView) << system.Name;
        EXPECT_EQ(system.MeanUsed.has_value(), rows[i].used.has_value()) << system.Name;
        EXPECT_NEAR(system.MeanUsed.value_or(-1), rows[i].used.value_or(-1), 1e-12) << system.Name;
        EXPECT_EQ(system.MeanSnrDbHz.has_value(), rows[i].snr.has_value()) << system.Name;
        EXPECT_NEAR(system.MeanSnrDbHz.value_or(-1), rows[i].snr.value_or(-1), 1e-12) << system.Name;
        EXPECT_TRUE(system.Signals.empty()) << "no signal ids in this log";
    }
}

// Satellites seen per system and per signal in the two shared logs of four and
// five constellations with signal ids, as a GSV field walk of our own outside
// the program counts them (checksum-valid GSV from the first epoch on; a block
// counts once its SNR field is reached). The NMEA 4.11 log's sky, worked out
// by hand from its first cycle, stays for its minute: GPS 05 10 13 15 16 18 20
// 21 23 25 26 27 29 and SBAS 44 46 51 (PRN 131 133 138), all on signal 1;
// GLONASS 66-69 73 74 81-84 on 1; Galileo 03 05 08 09 13 15 21 27 30 36 on 7
// (E1); BeiDou 04 07 27 28 30 32 33 on 1 (B1I). The other log has signal 0
// ("all signals") for satellites it lists untracked.
TEST(SummaryOfRealLogs, SatellitesPerSystemAndSignalAsAFieldWalkCountsThem) {
    struct Row {
        const char* log;
        const char* system;
        int seen;
        std::vector<std::pair<std::string, int>> signals;  // name, satellites seen
    };
    const Row rows[] = {
        {"multi-gnss-nmea41-rmc13.nmea", "GPS", 13, {{"L1 C/A", 13}}},
        {"multi-gnss-nmea41-rmc13.nmea", "SBAS", 3, {{"L1 C/A", 3}}},
        {"multi-gnss-nmea41-rmc13.nmea", "GLONASS", 10, {{"G1 C/A", 10}}},
        {"multi-gnss-nmea41-rmc13.nmea", "GALILEO", 10, {{"E1", 10}}},
        {"multi-gnss-nmea41-rmc13.nmea", "BEIDOU", 7, {{"B1I", 7}}},
        {"multi-gnss-rtcm3-binary-mixed.nmea", "GPS", 13, {{"L1 C/A", 13}, {"L2C-M", 2}, {"L2C-L", 10}}},
        {"multi-gnss-rtcm3-binary-mixed.nmea", "SBAS", 4, {{"L1 C/A", 3}, {"all signals", 1}}},
        {"multi-gnss-rtcm3-binary-mixed.nmea", "GLONASS", 8, {{"G1 C/A", 8}, {"G2 C/A", 8}}},
        {"multi-gnss-rtcm3-binary-mixed.nmea", "GALILEO", 7, {{"E1", 7}, {"E5b", 6}}},
        {"multi-gnss-rtcm3-binary-mixed.nmea", "BEIDOU", 12, {{"B1I", 8}, {"B2I", 10}, {"all signals", 2}}},
        {"multi-gnss-rtcm3-binary-mixed.nmea", "QZSS", 1, {{"L1 C/A", 1}}},
    };
    const std::string shared = testing::SharedTestDataDir();
    std::string readLog;
    Summary s;
    size_t systemsChecked = 0;
    for (const Row& row : rows) {
        const std::string path = shared + "nmea/" + row.log;
        if (shared.empty() || !std::filesystem::exists(path)) {
            GTEST_SKIP() << "no shared receiver logs";
        }
        if (readLog != row.log) {
            EXPECT_TRUE(readLog.empty() || systemsChecked == s.Systems.size())
                << readLog << ": systems left over";
            PointList points;
            SatelliteObservations observations;
            testing::ReadNmeaBytes(testing::ReadFile(path), points, &observations);
            s = ComputeSummary(points, LogFormat::Nmea, {}, &observations);
            readLog = row.log;
            systemsChecked = 0;
        }
        ASSERT_LT(systemsChecked, s.Systems.size()) << row.log << " " << row.system;
        const SystemSignals& system = s.Systems[systemsChecked++];
        EXPECT_EQ(system.Name, row.system) << row.log;
        EXPECT_EQ(system.SatellitesSeen, row.seen) << row.log << " " << row.system;
        std::vector<std::pair<std::string, int>> signals;
        for (const SignalSummary& signal : system.Signals) {
            signals.emplace_back(signal.Name, signal.SatellitesSeen);
        }
        EXPECT_EQ(signals, row.signals) << row.log << " " << row.system;
    }
    EXPECT_EQ(systemsChecked, s.Systems.size()) << readLog << ": systems left over";
}

}  // namespace
}  // namespace tervo
