// The fix classes and the colour scale. Legend: each case names the fault it
// would catch.
#include "core/fix_quality.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/colour_scale.h"

namespace tervo {
namespace {

TEST(FixClassOf, NmeaByGgaQualityThenRmcStatus) {
    struct Case {
        const char* legend;
        uint8_t gga;
        int32_t quality;
        uint8_t rmc;
        char status;
        FixClass expected;
    };
    const std::vector<Case> cases = {
        {"GGA quality 0 without RMC: no fix", 1, 0, 0, 0, FixClass::NoFix},
        {"GGA quality 1", 1, 1, 1, 'A', FixClass::Single},
        {"GGA quality 4 whatever the RMC says", 1, 4, 1, 'V', FixClass::RtkFixed},
        {"GGA quality 5", 1, 5, 0, 0, FixClass::RtkFloat},
        {"GGA quality 8", 1, 8, 0, 0, FixClass::Simulated},
        {"GGA quality 9: a fix of unknown quality", 1, 9, 0, 0, FixClass::Unrated},
        {"GGA quality 0 but RMC 'A': valid, quality unknown", 1, 0, 1, 'A', FixClass::Unrated},
        {"RMC only, 'A'", 0, 0, 1, 'A', FixClass::Unrated},
        {"RMC only, 'V'", 0, 0, 1, 'V', FixClass::NoFix},
        {"a quality left from no GGA does not count", 0, 2, 1, 'V', FixClass::NoFix},
        {"negative quality", 1, -1, 0, 0, FixClass::NoFix},
    };
    for (const Case& c : cases) {
        waypoints p;
        p.HasGga = c.gga;
        p.FixQuality = c.quality;
        p.HasRmc = c.rmc;
        p.Status = c.status;
        EXPECT_EQ(FixClassOf(p, LogFormat::Nmea), c.expected) << c.legend;
        EXPECT_EQ(HasValidFix(p, LogFormat::Nmea), c.expected != FixClass::NoFix) << c.legend;
    }
}

TEST(FixClassOf, BinrByStatus) {
    struct Case {
        char status;
        const char* text;
        FixClass expected;
    };
    for (const Case& c :
         {Case{'V', "No Fix", FixClass::NoFix}, Case{'A', "3D", FixClass::Single},
          Case{'A', "2D,RAIM", FixClass::Single}, Case{'A', "3D,DIFF,RAIM", FixClass::Differential},
          Case{0, "3D", FixClass::NoFix}}) {
        waypoints p;
        p.Status = c.status;
        p.StatusText = c.text;
        p.HasGga = 1;
        p.FixQuality = 4;  // never set by the binary protocol; must not matter
        EXPECT_EQ(FixClassOf(p, LogFormat::Binr), c.expected) << c.text;
    }
}

TEST(InfoOf, EveryClassHasItsOwnNameKeyAndColour) {
    std::set<std::string> names, keys;
    std::set<int32_t> colours;
    for (int c = 0; c < kFixClassCount; ++c) {
        const FixClassInfo& info = InfoOf(static_cast<FixClass>(c));
        names.insert(std::string(info.Name));
        keys.insert(std::string(info.Key));
        colours.insert(BgrOf(info.Colour));
        EXPECT_EQ(info.Key.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string::npos) << info.Key;
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(kFixClassCount));
    EXPECT_EQ(keys.size(), static_cast<size_t>(kFixClassCount));
    EXPECT_EQ(colours.size(), static_cast<size_t>(kFixClassCount));
    EXPECT_EQ(InfoOf(FixClass::RtkFixed).Name, "RTK fixed");
    EXPECT_EQ(InfoOf(FixClass::RtkFixed).Key, "rtk-fixed");
}

TEST(Viridis, RunsFromPurpleToYellowAndClamps) {
    EXPECT_EQ(Viridis(0), (Rgb{0x44, 0x01, 0x54}));
    EXPECT_EQ(Viridis(1), (Rgb{0xFD, 0xE7, 0x25}));
    EXPECT_EQ(Viridis(-3), Viridis(0));
    EXPECT_EQ(Viridis(7), Viridis(1));
    EXPECT_EQ(Viridis(0.0 / 0.0), Viridis(0)) << "NaN";
    EXPECT_EQ(Viridis(5 / 9.0), (Rgb{0x1F, 0x9E, 0x89}));
    // Lightness (the green channel here) rises all the way.
    for (int i = 1; i <= 100; ++i) {
        EXPECT_GE(Viridis(i / 100.0).G, Viridis((i - 1) / 100.0).G) << i;
    }
    EXPECT_EQ(BgrOf({255, 0, 0}), 255);
    EXPECT_EQ(BgrOf({0, 0, 255}), 16711680);
}

}  // namespace
}  // namespace tervo
