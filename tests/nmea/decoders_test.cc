#include "nmea/decoders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tervo {
namespace {

// A record with every field set, so that a decoder writing a field it does not
// own shows up among the changes.
const waypoints kSentinel = [] {
    waypoints r;
    r.Time = "t";
    r.Latitude = 1.5;
    r.Longitude = 2.5;
    r.Altitude = 3.5;
    r.Date = "d";
    r.Status = 'Q';
    r.Rms = 4.5f;
    r.FixQuality = 9;
    r.StatusText = "s";
    r.SatellitesUsed = 99;
    r.Hdop = 5.5;
    r.Speed = 6.5;
    r.Course = 7.5;
    r.GeoidSeparation = 12.5;
    r.FixMode = 8;
    r.Pdop = 13.5f;
    r.Vdop = 14.5f;
    r.TimeMs = 1234;
    r.HasGga = 7;
    r.HasRmc = 7;
    r.DTrack.Edit() = DTrackPoint{"dt", 'Z', 8.5, 9.5, 10.5, 11.5, 1};
    return r;
}();

// A printf-formatted text.
template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// Every field as "Name=value"; a satellite row as
// "sat<id>=<system><number>,e<elevation>,a<azimuth>,s<snr>" with ",used" and ",view".
std::vector<std::string> Fields(const waypoints& r) {
    std::string text = Format(
        "Time=%s Latitude=%.10g Longitude=%.10g Altitude=%.10g Date=%s Status=%c Rms=%.10g FixQuality=%d "
        "StatusText=%s SatellitesUsed=%d Hdop=%.10g Speed=%.10g Course=%.10g GeoidSeparation=%.10g "
        "FixMode=%d Pdop=%.4g Vdop=%.4g",
        r.Time.c_str(), r.Latitude, r.Longitude, r.Altitude, r.Date.c_str(), r.Status ? r.Status : '-', r.Rms,
        r.FixQuality, r.StatusText.c_str(), r.SatellitesUsed, r.Hdop, r.Speed, r.Course, r.GeoidSeparation,
        r.FixMode, r.Pdop, r.Vdop);
    for (int id = 0; id < kSatelliteRows; ++id) {
        const SatelliteInfo& s = r.Satellites[id];
        text += Format(" sat%d=%c%d,e%d,a%d,s%d%s%s", id, s.System ? s.System : '-', s.Number, s.Elevation,
                       s.Azimuth, s.Snr, s.Used ? ",used" : "", s.InView ? ",view" : "");
    }
    text += Format(
        " HasSatellites=%d TimeMs=%d HasGga=%d HasRmc=%d DTime=%s DStatus=%c DLatitude=%.10g "
        "DLongitude=%.10g "
        "DSpeed=%.10g DCourse=%.10g DMatched=%d",
        r.HasSatellites, r.TimeMs, r.HasGga, r.HasRmc, r.DTrack->Time.c_str(),
        r.DTrack->Status ? r.DTrack->Status : '-', r.DTrack->Latitude, r.DTrack->Longitude, r.DTrack->Speed,
        r.DTrack->Course, r.DTrack->Matched);
    std::vector<std::string> fields;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        fields.push_back(word);
    }
    return fields;
}

// The fields of `after` that differ from `before`, in declaration order.
std::string Changes(const waypoints& before, const waypoints& after) {
    const std::vector<std::string> a = Fields(before);
    const std::vector<std::string> b = Fields(after);
    std::string changes;
    for (size_t i = 0; i < b.size(); ++i) {
        if (a[i] != b[i]) {
            changes += (changes.empty() ? "" : " ") + b[i];
        }
    }
    return changes;
}

enum class Decoder { Gga, Rmc, Gsv, Gsa, Porzd, Tvldr };

struct Case {
    const char* legend;
    Decoder decoder;
    const char* sentence;  // the decoders never look at the checksum digits
    const char* changes;
};

const char* const kGga =
    "Time=12:35:19.00 Latitude=48.1173 Longitude=11.51666667 Altitude=545.4 FixQuality=1 "
    "SatellitesUsed=8 Hdop=0.9 GeoidSeparation=46.9 TimeMs=45319000 HasGga=1";
const char* const kRmc =
    "Time=12:35:19.00 Latitude=48.1173 Longitude=11.51666667 Date=2094-03-23 Status=A "
    "Speed=41.4848 Course=84.4 TimeMs=45319000 HasRmc=1";

TEST(Decoders, WriteExactlyTheirFields) {
    const std::vector<Case> cases = {
        {"GGA", Decoder::Gga, "$GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00", kGga},
        {"GGA time without fraction is taken (was rejected, shifting every field)", Decoder::Gga,
         "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00",
         "Time=12:35:19 Latitude=48.1173 Longitude=11.51666667 Altitude=545.4 FixQuality=1 SatellitesUsed=8 "
         "Hdop=0.9 GeoidSeparation=46.9 TimeMs=45319000 HasGga=1"},
        {"GGA separation below the ellipsoid, and its unit letter passed over", Decoder::Gga,
         "$GPGGA,,,,,,,,,545.4,M,-17.3,M,2.0,0100*00", "Altitude=545.4 GeoidSeparation=-17.3 HasGga=1"},
        {"GGA rejected latitude holds its slot up to the first empty field", Decoder::Gga,
         "$GPGGA,123519.00,04807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*00",
         "Time=12:35:19.00 TimeMs=45319000"},
        {"GGA rejected hemisphere: after the empty field the walk lags one slot behind", Decoder::Gga,
         "$GPGGA,123519.00,4807.038,X,01131.000,E,,1,08,0.9,545.4,M,46.9,M,,*00",
         "Time=12:35:19.00 Latitude=48.1173 TimeMs=45319000"},
        {"GGA empty fields keep values; the altitude slot still marks the GGA", Decoder::Gga,
         "$GPGGA,,,,,,0,00,99.99,,,,,,*00", "FixQuality=0 SatellitesUsed=0 Hdop=99.99 HasGga=1"},
        {"GGA empty latitude with S negates what the record holds", Decoder::Gga, "$GPGGA,,,S,,,,,,,,,,,*00",
         "Latitude=-1.5 HasGga=1"},
        {"RMC, 11 commas", Decoder::Rmc,
         "$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*00", kRmc},
        {"RMC, 13 commas", Decoder::Rmc,
         "$GNRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A,V*00", kRmc},
        {"RMC empty date is today", Decoder::Rmc, "$GPRMC,,,,,,,,,,,,A*00", "Date=2024-05-17 HasRmc=1"},
        {"RMC 31 April keeps the sentence, the day becomes 1", Decoder::Rmc, "$GPRMC,,,,,,,,,310413,,*00",
         "Date=2013-04-01 HasRmc=1"},
        {"RMC 7-character date rejected, and the variation fields after it", Decoder::Rmc,
         "$GPRMC,,,,,,,,,3104131,003.1,W*00", ""},
        {"RMC rejected date ends at an empty variation field: today", Decoder::Rmc,
         "$GPRMC,,,,,,,,,3104131,,W*00", "Date=2024-05-17 HasRmc=1"},
        {"RMC status X holds the status slot until the mode indicator A", Decoder::Rmc,
         "$GPRMC,123519.00,X,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A*00",
         "Time=12:35:19.00 Status=A TimeMs=45319000"},
        {"TVLDR", Decoder::Tvldr, "$TVLDR,123519.00,D,4807.038,S,01131.000,W,022.4,084.4*00",
         "TimeMs=45319000 DTime=12:35:19.00 DStatus=D DLatitude=-48.1173 DLongitude=-11.51666667 "
         "DSpeed=41.4848 "
         "DCourse=84.4"},
        {"TVLDR empty status and course", Decoder::Tvldr, "$TVLDR,,,,,,,,*00", "DCourse=0"},
        {"PORZD", Decoder::Porzd, "$PORZD,,1.25,9*00", "Rms=1.25"},
        {"PORZD empty second field before a comma", Decoder::Porzd, "$PORZD,A,,B*00", ""},
        {"PORZD empty second field at the '*'", Decoder::Porzd, "$PORZD,A,*00", "Rms=0"},
        {"GSV four GPS blocks", Decoder::Gsv,
         "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*00",
         "sat3=G3,e3,a111,s0,view sat4=G4,e15,a270,s0,view sat6=G6,e1,a10,s0,view sat13=G13,e6,a292,s0,view "
         "HasSatellites=1"},
        {"GSV GLONASS and SBAS numbers; ids 0, 97 and empty fill nothing", Decoder::Gsv,
         "$GLGSV,1,1,05,00,1,1,1,97,1,1,1,,1,1,1,70,45,120,38,40,10,200,*00",
         "sat40=S127,e10,a200,s0,view sat70=R6,e45,a120,s38,view HasSatellites=1"},
        {"GSV block cut by the '*' sets system and number only", Decoder::Gsv, "$GPGSV,1,1,01,07,45*00",
         "sat7=G7,e0,a0,s0"},
        {"GSV values wider than the row keep their low bits", Decoder::Gsv,
         "$GPGSV,1,1,01,08,300,70000,260*00", "sat8=G8,e44,a4464,s4,view HasSatellites=1"},
        {"GSV of Galileo: its ids would land on GPS rows", Decoder::Gsv, "$GAGSV,1,1,01,05,20,200,40*00", ""},
        {"GSA", Decoder::Gsa, "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*00",
         "FixMode=3 Pdop=2.5 Vdop=2.1 sat4=-0,e0,a0,s0,used sat5=-0,e0,a0,s0,used sat9=-0,e0,a0,s0,used "
         "sat12=-0,e0,a0,s0,used sat24=-0,e0,a0,s0,used"},
        {"GSA list found from the end: more than twelve ids", Decoder::Gsa,
         "$GPGSA,A,3,23,,,,,,,,,,,,,,,,,,,,,,,70,09.2,07.2,05.7*00",
         "FixMode=3 Pdop=9.2 Vdop=5.7 sat23=-0,e0,a0,s0,used sat70=-0,e0,a0,s0,used"},
        {"GSA with system id: PDOP 2.5 marks no row 2", Decoder::Gsa,
         "$GNGSA,A,3,04,,,,,,,,,,,,2.5,1.3,2.1,1*00", "FixMode=3 Pdop=2.5 Vdop=2.1 sat4=-0,e0,a0,s0,used"},
        {"GSA with Galileo system id marks nothing", Decoder::Gsa,
         "$GNGSA,A,3,04,,,,,,,,,,,,2.5,1.3,2.1,3*00", "FixMode=3 Pdop=2.5 Vdop=2.1"},
        {"GSA of a QZSS talker", Decoder::Gsa, "$GQGSA,A,3,04,,,,,,,,,,,,2.5,1.3,2.1*00", ""},
        {"GSA three fields after the mode: no list", Decoder::Gsa, "$GPGSA,A,2,1.0,1.0,1.0*00",
         "FixMode=2 Pdop=1 Vdop=1"},
        {"GSA without DOPs keeps those of an earlier GSA", Decoder::Gsa, "$GPGSA,A,1,,,,,,,,,,,,,,,*00",
         "FixMode=1"},
        {"GSA of two fields after the mode: no DOPs", Decoder::Gsa, "$GPGSA,A,2,1.0,1.0*00", "FixMode=2"},
    };
    testing::TestPlatform today;
    for (const Case& c : cases) {
        waypoints r = kSentinel;
        switch (c.decoder) {
            case Decoder::Gga:
                DecodeGga(c.sentence, r);
                break;
            case Decoder::Rmc:
                DecodeRmc(c.sentence, r, today);
                break;
            case Decoder::Gsv:
                DecodeGsv(c.sentence, r);
                break;
            case Decoder::Gsa:
                DecodeGsa(c.sentence, r);
                break;
            case Decoder::Porzd:
                DecodePorzd(c.sentence, r);
                break;
            case Decoder::Tvldr:
                DecodeTvldr(c.sentence, r);
                break;
        }
        EXPECT_EQ(Changes(kSentinel, r), c.changes) << c.legend;
    }
}

TEST(Decoders, TwoGsaOfOneEpochLeaveTheUnion) {
    waypoints r;
    DecodeGsa("$GNGSA,A,3,04,,,,,,,,,,,,2.5,1.3,2.1*00", r);
    DecodeGsa("$GNGSA,A,2,65,,,,,,,,,,,,1.5,1.3,*00", r);
    EXPECT_EQ(Changes(waypoints{}, r),
              "FixMode=2 Pdop=1.5 Vdop=2.1 sat4=-0,e0,a0,s0,used sat65=-0,e0,a0,s0,used");
}

}  // namespace
}  // namespace tervo

namespace tervo {
namespace {

// Legend: each case names the fault it would catch.
TEST(DecodeZda, WritesTimeAndARealDateOnly) {
    struct ZdaCase {
        const char* legend;
        const char* sentence;
        const char* changes;
    };
    const std::vector<ZdaCase> cases = {
        {"time and date", "$GPZDA,201530.00,04,07,2002,00,00*00",
         "Time=20:15:30.00 Date=2002-07-04 TimeMs=72930000"},
        {"any talker, whole seconds, empty zone fields", "$GNZDA,235959,31,12,2024,,*00",
         "Time=23:59:59 Date=2024-12-31 TimeMs=86399000"},
        {"a leap day", "$INZDA,000000.5,29,02,2024,-03,30*00", "Time=00:00:00.5 Date=2024-02-29 TimeMs=500"},
        {"31 April: the time alone", "$GPZDA,101500.00,31,04,2024,00,00*00",
         "Time=10:15:00.00 TimeMs=36900000"},
        {"a two-digit year is no date", "$GPZDA,101500.00,04,07,02,00,00*00",
         "Time=10:15:00.00 TimeMs=36900000"},
        {"one-digit day and month are read", "$GPZDA,,4,7,2002,,*00", "Date=2002-07-04"},
        {"a sign in the year is no date", "$GPZDA,,04,07,+002,,*00", ""},
        {"a bad time leaves Time, the date is still taken", "$GPZDA,1015,04,07,2002,00,00*00",
         "Date=2002-07-04"},
        {"every field empty", "$GPZDA,,,,,,*00", ""},
    };
    for (const ZdaCase& c : cases) {
        waypoints r = kSentinel;
        DecodeZda(c.sentence, r);
        EXPECT_EQ(Changes(kSentinel, r), c.changes) << c.legend;
    }
}

}  // namespace
}  // namespace tervo
