#include "nmea/decoders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tervo {
namespace {

// A record with every field set, so a decoder that writes a field it does not
// own shows up as a difference. The checksum digits are never looked at by the
// decoders; the sentences below end in "*00".
waypoints Sentinel() {
    waypoints r;
    r.Time = "old time";
    r.Latitude = 1.5;
    r.Longitude = 2.5;
    r.Altitude = 3.5;
    r.Date = "old date";
    r.Status = 'Q';
    r.Rms = 4.5f;
    r.FixQuality = 9;
    r.StatusText = "old status";
    r.SatellitesUsed = 99;
    r.Hdop = 5.5;
    r.Speed = 6.5;
    r.Course = 7.5;
    r.FixMode = 8;
    r.Satellites[50] = {'S', 137, 3, 10, 20, 30, 1, 1};
    r.HasSatellites = 1;
    r.TimeMs = 1234;
    r.HasGga = 7;
    r.HasRmc = 7;
    r.DTrack = {"old dtrack", 'Z', 8.5, 9.5, 10.5, 11.5, 1};
    return r;
}

bool SameRow(const SatelliteInfo& a, const SatelliteInfo& b) {
    return a.System == b.System && a.Number == b.Number && a.Channel == b.Channel &&
           a.Elevation == b.Elevation && a.Azimuth == b.Azimuth && a.Snr == b.Snr && a.Used == b.Used &&
           a.InView == b.InView;
}

// Doubles are compared to 1e-9: the cases give decimal values such as 48.1173.
void ExpectSameRecord(const waypoints& actual, const waypoints& expected, const std::string& legend) {
    SCOPED_TRACE(legend);
    EXPECT_EQ(actual.Time, expected.Time);
    EXPECT_NEAR(actual.Latitude, expected.Latitude, 1e-9);
    EXPECT_EQ(std::signbit(actual.Latitude), std::signbit(expected.Latitude));
    EXPECT_NEAR(actual.Longitude, expected.Longitude, 1e-9);
    EXPECT_NEAR(actual.Altitude, expected.Altitude, 1e-9);
    EXPECT_EQ(actual.Date, expected.Date);
    EXPECT_EQ(actual.Status, expected.Status);
    EXPECT_FLOAT_EQ(actual.Rms, expected.Rms);
    EXPECT_EQ(actual.FixQuality, expected.FixQuality);
    EXPECT_EQ(actual.StatusText, expected.StatusText);
    EXPECT_EQ(actual.SatellitesUsed, expected.SatellitesUsed);
    EXPECT_NEAR(actual.Hdop, expected.Hdop, 1e-9);
    EXPECT_NEAR(actual.Speed, expected.Speed, 1e-9);
    EXPECT_NEAR(actual.Course, expected.Course, 1e-9);
    EXPECT_EQ(actual.FixMode, expected.FixMode);
    EXPECT_EQ(actual.HasSatellites, expected.HasSatellites);
    EXPECT_EQ(actual.TimeMs, expected.TimeMs);
    EXPECT_EQ(actual.HasGga, expected.HasGga);
    EXPECT_EQ(actual.HasRmc, expected.HasRmc);
    EXPECT_EQ(actual.DTrack.Time, expected.DTrack.Time);
    EXPECT_EQ(actual.DTrack.Status, expected.DTrack.Status);
    EXPECT_NEAR(actual.DTrack.Latitude, expected.DTrack.Latitude, 1e-9);
    EXPECT_NEAR(actual.DTrack.Longitude, expected.DTrack.Longitude, 1e-9);
    EXPECT_NEAR(actual.DTrack.Speed, expected.DTrack.Speed, 1e-9);
    EXPECT_NEAR(actual.DTrack.Course, expected.DTrack.Course, 1e-9);
    EXPECT_EQ(actual.DTrack.Matched, expected.DTrack.Matched);
    for (int id = 0; id < kSatelliteRows; ++id) {
        EXPECT_TRUE(SameRow(actual.Satellites[id], expected.Satellites[id])) << "satellite row " << id;
    }
}

struct DecodeCase {
    const char* legend;
    std::string sentence;
    std::function<void(waypoints&)> expect;  // what the decoder changes in the sentinel
};

void RunCases(const std::vector<DecodeCase>& cases,
              const std::function<void(std::string_view, waypoints&)>& decode) {
    for (const DecodeCase& c : cases) {
        waypoints actual = Sentinel();
        decode(c.sentence, actual);
        waypoints expected = Sentinel();
        c.expect(expected);
        ExpectSameRecord(actual, expected, c.legend);
    }
}

constexpr double kLatitude = 48.1173;
constexpr double kLongitude = 11 + 31.0 / 60;

void StandardGga(waypoints& r) {
    r.Time = "12:35:19.00";
    r.TimeMs = 45319000;
    r.Latitude = kLatitude;
    r.Longitude = kLongitude;
    r.FixQuality = 1;
    r.SatellitesUsed = 8;
    r.Hdop = 0.9;
    r.Altitude = 545.4;
    r.HasGga = 1;
}

TEST(DecodeGga, FillsItsFieldsThroughTheWalk) {
    const std::vector<DecodeCase> cases = {
        {"the standard sentence", "$GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00",
         StandardGga},
        {"south and west negate", "$GNGGA,123519.00,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*00",
         [](waypoints& r) {
             StandardGga(r);
             r.Latitude = -kLatitude;
             r.Longitude = -kLongitude;
         }},
        {"a time without fraction is taken, not shifted onto later slots",
         "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00",
         [](waypoints& r) {
             StandardGga(r);
             r.Time = "12:35:19";
         }},
        {"a rejected latitude holds its slot up to the first empty field",
         "$GPGGA,123519.00,04807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00",
         [](waypoints& r) {
             r.Time = "12:35:19.00";
             r.TimeMs = 45319000;
         }},
        {"a rejected longitude is followed by one the slot takes",
         "$GPGGA,123519.00,4807.038,N,1131.000,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00", StandardGga},
        {"a rejected hemisphere holds its slot; after the empty field ends it, the longitude slot "
         "rejects everything up to the next empty one",
         "$GPGGA,123519.00,4807.038,X,01131.000,E,,1,08,0.9,545.4,M,46.9,M,,*00",
         [](waypoints& r) {
             r.Time = "12:35:19.00";
             r.TimeMs = 45319000;
             r.Latitude = kLatitude;
         }},
        {"empty fields keep the old values, altitude slot still marks the GGA",
         "$GPGGA,,,,,,0,00,99.99,,,,,,*00",
         [](waypoints& r) {
             r.FixQuality = 0;
             r.SatellitesUsed = 0;
             r.Hdop = 99.99;
             r.HasGga = 1;
         }},
        {"an empty latitude with S negates what the record holds", "$GPGGA,,,S,,,,,,,,,,,*00",
         [](waypoints& r) {
             r.Latitude = -1.5;
             r.HasGga = 1;
         }},
    };
    RunCases(cases, [](std::string_view s, waypoints& r) { DecodeGga(s, r); });
}

void StandardRmc(waypoints& r) {
    r.Time = "12:35:19.00";
    r.TimeMs = 45319000;
    r.Status = 'A';
    r.Latitude = kLatitude;
    r.Longitude = kLongitude;
    r.Speed = 22.4 * 1.852;
    r.Course = 84.4;
    r.Date = "2094-03-23";
    r.HasRmc = 1;
}

TEST(DecodeRmc, FillsItsFieldsThroughTheWalk) {
    const std::vector<DecodeCase> cases = {
        {"eleven commas", "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*00",
         StandardRmc},
        {"twelve commas (mode)", "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A*00",
         StandardRmc},
        {"thirteen commas (mode and navigational status)",
         "$GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A,V*00", StandardRmc},
        {"whole-second time", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A*00",
         [](waypoints& r) {
             StandardRmc(r);
             r.Time = "12:35:19";
         }},
        {"an empty date takes today", "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,,,,A*00",
         [](waypoints& r) {
             StandardRmc(r);
             r.Date = "2024-05-17";
         }},
        {"day 0 and month 0 become 1", "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,000013,,*00",
         [](waypoints& r) {
             StandardRmc(r);
             r.Date = "2013-01-01";
         }},
        {"31 April keeps the sentence and becomes 1 April",
         "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,310413,,*00",
         [](waypoints& r) {
             StandardRmc(r);
             r.Date = "2013-04-01";
         }},
        {"a seven-character date is rejected, and so are the variation fields after it",
         "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,3104131,003.1,W*00",
         [](waypoints& r) {
             StandardRmc(r);
             r.Date = "old date";
             r.HasRmc = 7;
         }},
        {"a rejected date ends at an empty variation field: today",
         "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,3104131,,W*00",
         [](waypoints& r) {
             StandardRmc(r);
             r.Date = "2024-05-17";
         }},
        {"an empty status is taken, the rest decodes",
         "$GPRMC,123519.00,,4807.038,N,01131.000,E,022.4,084.4,230394,,*00",
         [](waypoints& r) {
             StandardRmc(r);
             r.Status = 'Q';
         }},
        {"status X holds the status slot until the mode indicator A",
         "$GPRMC,123519.00,X,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A*00",
         [](waypoints& r) {
             r.Time = "12:35:19.00";
             r.TimeMs = 45319000;
             r.Status = 'A';
         }},
        {"speed 0.0 is stored as 0", "$GPRMC,123519.00,V,4807.038,N,01131.000,E,0.0,084.4,230394,,*00",
         [](waypoints& r) {
             StandardRmc(r);
             r.Status = 'V';
             r.Speed = 0;
         }},
    };
    testing::TestPlatform today;
    RunCases(cases, [&](std::string_view s, waypoints& r) { DecodeRmc(s, r, today); });
}

void StandardTvldr(waypoints& r) {
    r.TimeMs = 45319000;
    r.DTrack.Time = "12:35:19.00";
    r.DTrack.Status = 'D';
    r.DTrack.Latitude = kLatitude;
    r.DTrack.Longitude = kLongitude;
    r.DTrack.Speed = 22.4 * 1.852;
    r.DTrack.Course = 84.4;
}

TEST(DecodeTvldr, FillsTheDifferentialFixAndTheEpochKey) {
    const std::vector<DecodeCase> cases = {
        {"the standard sentence", "$TVLDR,123519.00,D,4807.038,N,01131.000,E,022.4,084.4*00", StandardTvldr},
        {"south and west negate", "$TVLDR,123519.00,D,4807.038,S,01131.000,W,022.4,084.4*00",
         [](waypoints& r) {
             StandardTvldr(r);
             r.DTrack.Latitude = -kLatitude;
             r.DTrack.Longitude = -kLongitude;
         }},
        {"an empty status is taken", "$TVLDR,123519.00,,4807.038,N,01131.000,E,022.4,084.4*00",
         [](waypoints& r) {
             StandardTvldr(r);
             r.DTrack.Status = 'Z';
         }},
        {"an empty course gives 0", "$TVLDR,123519.00,A,4807.038,N,01131.000,E,022.4,*00",
         [](waypoints& r) {
             StandardTvldr(r);
             r.DTrack.Status = 'A';
             r.DTrack.Course = 0;
         }},
    };
    RunCases(cases, [](std::string_view s, waypoints& r) { DecodeTvldr(s, r); });
}

TEST(DecodePorzd, TakesTheSecondField) {
    const std::vector<DecodeCase> cases = {
        {"a value", "$PORZD,A,1.25*00", [](waypoints& r) { r.Rms = 1.25f; }},
        {"an empty first field is passed over", "$PORZD,,2.0*00", [](waypoints& r) { r.Rms = 2.0f; }},
        {"an empty second field before a comma keeps the value", "$PORZD,A,,B*00", [](waypoints&) {}},
        {"a missing second field keeps the value", "$PORZD,A*00", [](waypoints&) {}},
        {"an empty second field at the '*' gives 0", "$PORZD,A,*00", [](waypoints& r) { r.Rms = 0; }},
        {"further fields are not read", "$PORZD,A,022.8,9.9*00", [](waypoints& r) { r.Rms = 22.8f; }},
    };
    RunCases(cases, [](std::string_view s, waypoints& r) { DecodePorzd(s, r); });
}

void InView(waypoints& r, int id, char system, int number, int elevation, int azimuth, int snr) {
    SatelliteInfo& row = r.Satellites[id];
    row.System = system;
    row.Number = static_cast<uint8_t>(number);
    row.Elevation = static_cast<uint8_t>(elevation);
    row.Azimuth = static_cast<uint16_t>(azimuth);
    row.Snr = static_cast<uint8_t>(snr);
    row.InView = 1;
}

// GSV and GSA cases start from a record whose satellite flag is clear, so that
// setting HasSatellites is seen.
void RunSatelliteCases(const std::vector<DecodeCase>& cases,
                       const std::function<void(std::string_view, waypoints&)>& decode) {
    for (const DecodeCase& c : cases) {
        waypoints actual = Sentinel();
        actual.HasSatellites = 0;
        decode(c.sentence, actual);
        waypoints expected = Sentinel();
        expected.HasSatellites = 0;
        c.expect(expected);
        ExpectSameRecord(actual, expected, c.legend);
    }
}

TEST(DecodeGsv, FillsRowsInBlocksOfFour) {
    const std::vector<DecodeCase> cases = {
        {"four GPS blocks", "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*00",
         [](waypoints& r) {
             InView(r, 3, 'G', 3, 3, 111, 0);
             InView(r, 4, 'G', 4, 15, 270, 0);
             InView(r, 6, 'G', 6, 1, 10, 0);
             InView(r, 13, 'G', 13, 6, 292, 0);
             r.HasSatellites = 1;
         }},
        {"GLONASS ids map to slots", "$GLGSV,1,1,01,70,45,120,38*00",
         [](waypoints& r) {
             InView(r, 70, 'R', 6, 45, 120, 38);
             r.HasSatellites = 1;
         }},
        {"SBAS ids map to PRNs", "$GPGSV,1,1,01,40,10,200,30*00",
         [](waypoints& r) {
             InView(r, 40, 'S', 127, 10, 200, 30);
             r.HasSatellites = 1;
         }},
        {"ids 0, 97 and empty fill nothing; the block after them does",
         "$GPGSV,1,1,04,00,10,100,30,97,10,100,30,,10,100,30,05,20,200,40*00",
         [](waypoints& r) {
             InView(r, 5, 'G', 5, 20, 200, 40);
             r.HasSatellites = 1;
         }},
        {"an empty SNR puts the row in view with SNR 0", "$GPGSV,3,3,09,20,45,120,*00",
         [](waypoints& r) {
             InView(r, 20, 'G', 20, 45, 120, 0);
             r.HasSatellites = 1;
         }},
        {"no blocks change nothing", "$GPGSV,1,1,00*00", [](waypoints&) {}},
        {"a block cut by the '*' sets only system and number", "$GPGSV,1,1,01,07,45*00",
         [](waypoints& r) {
             r.Satellites[7].System = 'G';
             r.Satellites[7].Number = 7;
         }},
        {"values wider than the row keep their low bits", "$GPGSV,1,1,01,08,300,70000,260*00",
         [](waypoints& r) {
             InView(r, 8, 'G', 8, 300 % 256, 70000 % 65536, 260 % 256);
             r.HasSatellites = 1;
         }},
        {"a row filled before is overwritten, not cleared", "$GPGSV,1,1,01,50,11,22,33*00",
         [](waypoints& r) {
             InView(r, 50, 'S', 137, 11, 22, 33);
             r.HasSatellites = 1;
         }},
        {"a combined GN talker uses the table's ids", "$GNGSV,1,1,01,66,10,100,30*00",
         [](waypoints& r) {
             InView(r, 66, 'R', 2, 10, 100, 30);
             r.HasSatellites = 1;
         }},
    };
    RunSatelliteCases(cases, [](std::string_view s, waypoints& r) { DecodeGsv(s, r); });
}

TEST(DecodeGsv, SkipsTalkersWhoseIdsAreNotTheTables) {
    // Galileo E05, BeiDou C05 and the like would otherwise overwrite GPS row 5.
    for (const char* talker : {"GA", "GB", "BD", "GQ", "QZ", "GI"}) {
        waypoints actual = Sentinel();
        DecodeGsv("$" + std::string(talker) + "GSV,1,1,02,05,20,200,40,50,1,2,3*00", actual);
        ExpectSameRecord(actual, Sentinel(), talker);
    }
}

void Used(waypoints& r, std::initializer_list<int> ids) {
    for (int id : ids) {
        r.Satellites[id].Used = 1;
    }
}

TEST(DecodeGsa, SetsFixModeAndMarksTheUsedList) {
    const std::vector<DecodeCase> cases = {
        {"the standard list", "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*00",
         [](waypoints& r) {
             r.FixMode = 3;
             Used(r, {4, 5, 9, 12, 24});
         }},
        {"an empty list", "$GPGSA,A,1,,,,,,,,,,,,,,,*00", [](waypoints& r) { r.FixMode = 1; }},
        {"the list is found from the end: 24 ids are read whole",
         "$GPGSA,A,3,23,13,07,25,,,,,,,,,,,,,,,,,,,,70,09.2,07.2,05.7*00",
         [](waypoints& r) {
             r.FixMode = 3;
             Used(r, {23, 13, 7, 25, 70});
         }},
        {"NMEA 4.1 GPS list: PDOP after it is no satellite id",
         "$GNGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1,1*00",
         [](waypoints& r) {
             r.FixMode = 3;
             Used(r, {4, 5, 9, 12, 24});
         }},
        {"NMEA 4.1 GLONASS list", "$GNGSA,A,3,65,72,,,,,,,,,,,2.5,1.3,2.1,2*00",
         [](waypoints& r) {
             r.FixMode = 3;
             Used(r, {65, 72});
         }},
        {"NMEA 4.1 Galileo list marks no GPS rows", "$GNGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1,3*00",
         [](waypoints& r) { r.FixMode = 3; }},
        {"NMEA 4.1 BeiDou list", "$GNGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1,4*00",
         [](waypoints& r) { r.FixMode = 3; }},
        {"NMEA 4.1 QZSS list", "$GNGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1,5*00",
         [](waypoints& r) { r.FixMode = 3; }},
        {"NMEA 4.1 NavIC list", "$GNGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1,6*00",
         [](waypoints& r) { r.FixMode = 3; }},
        {"ids outside 1-96 are passed over", "$GPGSA,A,2,00,97,120,33,,,,,,,,,2.5,1.3,2.1*00",
         [](waypoints& r) {
             r.FixMode = 2;
             Used(r, {33});
         }},
        {"three fields after the mode: no list", "$GPGSA,A,3,2.5,1.3,2.1*00",
         [](waypoints& r) { r.FixMode = 3; }},
        {"a talker with foreign ids is skipped whole", "$GAGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1,3*00",
         [](waypoints&) {}},
        {"a BeiDou talker is skipped whole", "$BDGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*00", [](waypoints&) {}},
    };
    RunSatelliteCases(cases, [](std::string_view s, waypoints& r) { DecodeGsa(s, r); });
}

TEST(DecodeGsa, TwoSentencesOfOneEpochLeaveTheUnion) {
    waypoints actual = Sentinel();
    DecodeGsa("$GNGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*00", actual);
    DecodeGsa("$GNGSA,A,2,65,72,,,,,,,,,,,2.5,1.3,2.1*00", actual);
    waypoints expected = Sentinel();
    expected.FixMode = 2;
    Used(expected, {4, 5, 65, 72});
    ExpectSameRecord(actual, expected, "GPS then GLONASS");
}

}  // namespace
}  // namespace tervo
