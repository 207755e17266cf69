// The fix filter and the values it reads. Legend: each case names the fault it
// would catch.
#include "core/fix_filter.h"

#include <gtest/gtest.h>

#include <vector>

namespace tervo {
namespace {

// An NMEA epoch with a GGA of the given quality, satellites and HDOP.
waypoints Gga(int32_t quality, int32_t satellites, double hdop) {
    waypoints p;
    p.HasGga = 1;
    p.FixQuality = quality;
    p.SatellitesUsed = satellites;
    p.Hdop = hdop;
    return p;
}

waypoints RmcOnly(char status) {
    waypoints p;
    p.HasRmc = 1;
    p.Status = status;
    return p;
}

waypoints Binr(const char* statusText, int32_t satellites, double hdop) {
    waypoints p;
    p.Status = statusText[0] == 'N' ? 'V' : 'A';
    p.StatusText = statusText;
    p.SatellitesUsed = satellites;
    p.Hdop = hdop;
    return p;
}

TEST(FilterFailures, EachTestAndWhatTheLogDoesNotGive) {
    struct Case {
        const char* legend;
        waypoints point;
        LogFormat format;
        FixFilter filter;
        uint8_t failures;
    };
    const FixFilter differential{.MinQuality = FixClass::Differential};
    const FixFilter single{.MinQuality = FixClass::Single};
    const FixFilter hdop2{.MaxHdop = 2.0};
    const FixFilter sats5{.MinSatellites = 5};
    const FixFilter all{.MinQuality = FixClass::RtkFloat, .MaxHdop = 1.0, .MinSatellites = 10};
    const std::vector<Case> cases = {
        {"no filter keeps even no fix", Gga(0, 0, 0), LogFormat::Nmea, {}, 0},
        {"single below differential", Gga(1, 8, 1), LogFormat::Nmea, differential, kFailsQuality},
        {"PPS ranks with differential", Gga(3, 8, 1), LogFormat::Nmea, differential, 0},
        {"RTK float (5) above differential, though its number is lower than RTK fixed's (4)", Gga(5, 8, 1),
         LogFormat::Nmea, differential, 0},
        {"RTK fixed (4) passes a minimum of RTK float (5): the rank, not the number", Gga(4, 8, 1),
         LogFormat::Nmea, FixFilter{.MinQuality = FixClass::RtkFloat}, 0},
        {"dead reckoning (6) is below single, though its number is higher", Gga(6, 8, 1), LogFormat::Nmea,
         single, kFailsQuality},
        {"a fix of unknown quality ranks with single", RmcOnly('A'), LogFormat::Nmea, single, 0},
        {"... and below differential", RmcOnly('A'), LogFormat::Nmea, differential, kFailsQuality},
        {"no fix fails a minimum", RmcOnly('V'), LogFormat::Nmea, single, kFailsQuality},
        {"HDOP at the limit passes", Gga(1, 8, 2.0), LogFormat::Nmea, hdop2, 0},
        {"HDOP above it fails", Gga(1, 8, 2.1), LogFormat::Nmea, hdop2, kFailsHdop},
        {"an empty HDOP field (0) is not a perfect HDOP: not given, passes", Gga(1, 8, 0), LogFormat::Nmea,
         hdop2, 0},
        {"an HDOP left from no GGA is not given",
         [] {
             waypoints p = RmcOnly('A');
             p.Hdop = 9;
             return p;
         }(),
         LogFormat::Nmea, hdop2, 0},
        {"an infinite HDOP fails", Gga(1, 8, 1.0 / 0.0), LogFormat::Nmea, hdop2, kFailsHdop},
        {"satellites at the limit pass", Gga(1, 5, 1), LogFormat::Nmea, sats5, 0},
        {"one fewer fails", Gga(1, 4, 1), LogFormat::Nmea, sats5, kFailsSatellites},
        {"an RMC-only epoch gives no satellite count: passes", RmcOnly('A'), LogFormat::Nmea, sats5, 0},
        {"BINR: -1 satellites is unknown and passes", Binr("3D", -1, 1), LogFormat::Binr, sats5, 0},
        {"BINR: a count is read without a GGA", Binr("3D", 4, 1), LogFormat::Binr, sats5, kFailsSatellites},
        {"BINR: the HDOP is read without a GGA", Binr("3D", 8, 3), LogFormat::Binr, hdop2, kFailsHdop},
        {"BINR: DIFF passes differential", Binr("3D,DIFF", 8, 1), LogFormat::Binr, differential, 0},
        {"every failure is told, not the first alone", Gga(2, 6, 1.5), LogFormat::Nmea, all,
         kFailsQuality | kFailsHdop | kFailsSatellites},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FilterFailures(c.point, c.format, c.filter), c.failures) << c.legend;
        EXPECT_EQ(PassesFilter(c.point, c.format, c.filter), c.failures == 0) << c.legend;
    }
}

TEST(FixClassOfKey, ReadsTheKeysAlone) {
    EXPECT_EQ(FixClassOfKey("rtk-fixed"), FixClass::RtkFixed);
    EXPECT_EQ(FixClassOfKey("single"), FixClass::Single);
    EXPECT_EQ(FixClassOfKey("no-fix"), FixClass::NoFix);
    EXPECT_EQ(FixClassOfKey("RTK fixed"), std::nullopt) << "a display name is no key";
    EXPECT_EQ(FixClassOfKey("Single"), std::nullopt);
    EXPECT_EQ(FixClassOfKey(""), std::nullopt);
}

}  // namespace
}  // namespace tervo
