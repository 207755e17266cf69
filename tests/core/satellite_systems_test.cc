// The systems' table as the decoders and the report look it up: signal names
// and bands by the NMEA 4.11 signal ids, talkers and system ids.
#include "core/satellite_systems.h"

#include <gtest/gtest.h>

#include <string>

namespace tervo {
namespace {

TEST(SignalOf, NamesAndBandsOfTheSignalIds) {
    struct Row {
        SatelliteSystem system;
        int id;
        const char* name;
        Band band;
    };
    const Row rows[] = {
        {SatelliteSystem::Gps, 1, "L1 C/A", Band::L1},
        {SatelliteSystem::Sbas, 1, "L1 C/A", Band::L1},  // SBAS reads GPS's ids
        {SatelliteSystem::Gps, 8, "L5-Q", Band::L5},
        {SatelliteSystem::Gps, 9, "9", Band::Unstated},
        {SatelliteSystem::Glonass, 3, "G2 C/A", Band::L2},
        {SatelliteSystem::Galileo, 7, "E1", Band::L1},
        {SatelliteSystem::Galileo, 2, "E5b", Band::L5},
        {SatelliteSystem::Galileo, 5, "E6-BC", Band::L6},
        {SatelliteSystem::Beidou, 11, "B2I", Band::L5},
        {SatelliteSystem::Beidou, 10, "B3A", Band::L6},
        {SatelliteSystem::Beidou, 13, "13", Band::Unstated},
        {SatelliteSystem::Qzss, 10, "L6E", Band::L6},
        {SatelliteSystem::Navic, 2, "S SPS", Band::S},
        {SatelliteSystem::Navic, 0, "all signals", Band::Unstated},
    };
    for (const Row& row : rows) {
        const SignalInfo signal = SignalOf(row.system, row.id);
        EXPECT_EQ(signal.Name, row.name) << InfoOf(row.system).Label << " " << row.id;
        EXPECT_EQ(signal.Band, row.band) << InfoOf(row.system).Label << " " << row.id;
    }
}

TEST(SatelliteSystems, ByTalkerAndBySystemId) {
    EXPECT_EQ(SystemOfTalker("GA"), SatelliteSystem::Galileo);
    EXPECT_EQ(SystemOfTalker("BD"), SatelliteSystem::Beidou);
    EXPECT_EQ(SystemOfTalker("QZ"), SatelliteSystem::Qzss);
    EXPECT_EQ(SystemOfTalker("GN"), std::nullopt) << "several systems";
    EXPECT_EQ(SystemOfTalker(""), std::nullopt) << "SBAS's empty talkers match nothing";
    EXPECT_EQ(SystemOfNmeaId(1), SatelliteSystem::Gps) << "not SBAS, which shares the id";
    EXPECT_EQ(SystemOfNmeaId(6), SatelliteSystem::Navic);
    EXPECT_EQ(SystemOfNmeaId(0), std::nullopt);
    EXPECT_EQ(SystemOfNmeaId(7), std::nullopt);
}

}  // namespace
}  // namespace tervo
