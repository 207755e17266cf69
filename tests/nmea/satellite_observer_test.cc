// The report's reading of GSV and GSA sentences, as rows of sentences and what
// they leave beside the record. Legend of the cases:
// - SatelliteOfId: the id rules per talker and the extended numbering (a
//   Galileo 3 filed as GPS 3, an SBAS PRN off by one);
// - ObserveGsv: the signal id told from a satellite block, a block cut short,
//   the table's systems kept only with a signal id, a hex signal id;
// - ObserveGsa: who says the system, SBAS under GPS, a non-standard last field,
//   two lists of one system in an epoch;
// - Walk: the observations of a list walked from a node after its head.
#include "nmea/satellite_observer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tervo {
namespace {

// "E3" for Galileo 3, "-" for none.
std::string Named(const std::optional<ObservedSatellite>& satellite) {
    return satellite ? InfoOf(satellite->System).Letter + std::to_string(satellite->Number) : "-";
}

TEST(SatelliteOfId, ByTalkerAndRange) {
    struct Row {
        std::optional<SatelliteSystem> talker;
        int32_t id;
        const char* satellite;
    };
    const Row rows[] = {
        {std::nullopt, 5, "G5"},
        {std::nullopt, 33, "S120"},
        {std::nullopt, 64, "S151"},
        {std::nullopt, 70, "R6"},
        {std::nullopt, 97, "-"},
        {std::nullopt, 0, "-"},
        {std::nullopt, 193, "J1"},
        {std::nullopt, 301, "E1"},
        {std::nullopt, 437, "C37"},
        {SatelliteSystem::Gps, 40, "S127"},
        {SatelliteSystem::Glonass, 70, "R6"},
        {SatelliteSystem::Glonass, 5, "R5"},
        {SatelliteSystem::Galileo, 3, "E3"},
        {SatelliteSystem::Beidou, 63, "C63"},
        {SatelliteSystem::Beidou, 300, "-"},
        {SatelliteSystem::Qzss, 194, "J2"},
        {SatelliteSystem::Navic, 14, "I14"},
        {SatelliteSystem::Galileo, -3, "-"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Named(SatelliteOfId(row.talker, row.id)), row.satellite) << row.id;
    }
}

// The observations of one epoch as "E3/7 44,149 40" (system and number, signal
// or "-", elevation, azimuth, SNR) or "E used 5".
std::vector<std::string> Described(std::span<const SatelliteObservation> observations) {
    std::vector<std::string> out;
    for (const SatelliteObservation& o : observations) {
        const std::string system(1, InfoOf(o.System()).Letter);
        if (o.Kind() == ObservationKind::UsedCount) {
            out.push_back(system + " used " + std::to_string(o.Number()));
            continue;
        }
        const std::string signal =
            o.Signal() == SatelliteObservation::kNoSignal ? "-" : std::to_string(o.Signal());
        out.push_back(system + std::to_string(o.Number()) + "/" + signal + " " +
                      std::to_string(o.Elevation()) + "," + std::to_string(o.Azimuth()) + " " +
                      std::to_string(o.Snr()));
    }
    return out;
}

// What `sentences` leave for one epoch.
std::vector<std::string> Observed(const std::vector<std::string>& sentences) {
    PointList points;
    const list* epoch = points.AppendPoint();
    SatelliteObservations observations;
    for (const std::string& sentence : sentences) {
        if (sentence.find("GSA,") != std::string::npos) {
            ObserveGsa(sentence, epoch, observations);
        } else {
            ObserveGsv(sentence, epoch, observations);
        }
    }
    return Described(SatelliteObservations::Walk(&observations, points.Head).Next(epoch));
}

TEST(ObserveGsv, KeepsWhatTheTableCannotHold) {
    struct Case {
        const char* name;
        std::vector<std::string> sentences;
        std::vector<std::string> observed;
    };
    const std::vector<Case> cases = {
        {"Galileo E1, one not tracked",
         {"$GAGSV,3,3,10,30,14,215,16,36,08,098,,7*79"},
         {"E30/7 14,215 16", "E36/7 8,98 0"}},
        {"GPS with a signal id, SBAS among it",
         {"$GPGSV,4,4,16,29,46,133,43,44,45,171,45,1*60"},
         {"G29/1 46,133 43", "S131/1 45,171 45"}},
        {"GPS without one: the table holds it", {"$GPGSV,3,3,11,37,28,187,,39,28,183,,44,20,137,*44"}, {}},
        {"QZSS in the old numbering, empty blocks after it",
         {"$QZGSV,1,1,01,193,34,332,,,,,,,,,,,,,*6A"},
         {"J1/- 34,332 0"}},
        {"the extended numbering under GN",
         {"$GNGSV,1,1,02,05,10,100,30,301,20,200,40*00"},
         {"E1/- 20,200 40"}},
        {"a block cut short", {"$GAGSV,1,1,02,03,44,149,40,05,42*00"}, {"E3/- 44,149 40"}},
        {"BeiDou B2I, a hex signal id", {"$GBGSV,1,1,01,10,42,053,45,B*0C"}, {"C10/11 42,53 45"}},
        {"a second series of one signal replaces the first",
         {"$GAGSV,1,1,01,03,44,149,40,7*00", "$GAGSV,1,1,01,03,45,150,41,7*00",
          "$GAGSV,1,1,01,03,44,149,38,1*00"},
         {"E3/7 45,150 41", "E3/1 44,149 38"}},
        {"NavIC on S",
         {"$GIGSV,1,1,02,05,40,100,38,09,20,200,41,2*00"},
         {"I5/2 40,100 38", "I9/2 20,200 41"}},
        {"no satellites", {"$GQGSV,1,1,00,0*64"}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Observed(c.sentences), c.observed) << c.name;
    }
}

TEST(ObserveGsa, CountsTheUsedOfTheSystemItSays) {
    struct Case {
        const char* name;
        std::vector<std::string> sentences;
        std::vector<std::string> observed;
    };
    const std::vector<Case> cases = {
        {"a system id", {"$GNGSA,A,3,03,05,30,27,15,,,,,,,,0.99,0.54,0.83,3*0D"}, {"E used 5"}},
        {"the talker, SBAS apart",
         {"$GPGSA,A,3,29,20,51,44,,,,,,,,,1.0,1.0,1.0*00"},
         {"G used 2", "S used 2"}},
        {"GN without a system id says none", {"$GNGSA,A,3,31,26,21,,,,,,,,,,3.77,2.55,2.78*15"}, {}},
        {"a number for a last field, the talker says BeiDou",
         {"$BDGSA,A,3,02,03,04,,,,,,,,,,5.1,1.3,4.9,3.3*2F"},
         {"C used 3"}},
        {"an empty list still says its system",
         {"$GNGSA,A,3,,,,,,,,,,,,,99.99,99.99,99.99,5*35"},
         {"J used 0"}},
        {"NavIC by its system id", {"$GNGSA,A,3,05,09,,,,,,,,,,,1.0,1.0,1.0,6*00"}, {"I used 2"}},
        {"two lists of one system in an epoch",
         {"$GNGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,1.0,1.0,1.0,1*00",
          "$GNGSA,A,3,13,14,,,,,,,,,,,1.0,1.0,1.0,1*00"},
         {"G used 14"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Observed(c.sentences), c.observed) << c.name;
    }
}

TEST(SatelliteObservations, WalkFromANodeAfterTheHead) {
    PointList points;
    std::vector<list*> nodes;
    for (int i = 0; i < 5; ++i) {
        nodes.push_back(points.AppendPoint());
    }
    SatelliteObservations observations;
    ObserveGsv("$GAGSV,1,1,01,03,44,149,40,7*00", nodes[1], observations);
    ObserveGsv("$GAGSV,1,1,01,08,10,20,30,7*00", nodes[3], observations);
    auto walked = [&](size_t from) {
        std::vector<std::string> seen;
        SatelliteObservations::Walk walk(&observations, nodes[from]);
        for (size_t i = from; i < nodes.size(); ++i) {
            for (const std::string& o : Described(walk.Next(nodes[i]))) {
                seen.push_back(std::to_string(i) + ": " + o);
            }
        }
        return seen;
    };
    EXPECT_EQ(walked(0), (std::vector<std::string>{"1: E3/7 44,149 40", "3: E8/7 10,20 30"}));
    EXPECT_EQ(walked(2), (std::vector<std::string>{"3: E8/7 10,20 30"}));
    EXPECT_EQ(walked(4), std::vector<std::string>{});
    // The list cut short behind node 1, as for one piece of a split log: its
    // own observations are still found, though node 3 is out of reach.
    nodes[1]->Next = nullptr;
    SatelliteObservations::Walk piece(&observations, nodes[0]);
    EXPECT_TRUE(piece.Next(nodes[0]).empty());
    EXPECT_EQ(Described(piece.Next(nodes[1])), std::vector<std::string>{"E3/7 44,149 40"});
}

// Epochs of 50 observations cross the chunks of 16384: an epoch that would
// straddle two moves whole into the next, and each reads back as it was added.
// One epoch keeps at most 8192 (a hostile log naming every satellite and signal).
TEST(SatelliteObservations, EpochsAcrossChunksAndAFlood) {
    PointList points;
    SatelliteObservations observations;
    std::vector<const list*> nodes;
    for (int e = 0; e < 400; ++e) {
        nodes.push_back(points.AppendPoint());
        for (int k = 0; k < 50; ++k) {
            observations.Add(nodes.back(), SatelliteObservation::InView(SatelliteSystem::Galileo,
                                                                        static_cast<uint8_t>(k + 1), 7,
                                                                        static_cast<uint8_t>(e % 90), 0, 30));
        }
    }
    SatelliteObservations::Walk walk(&observations, points.Head);
    for (int e = 0; e < 400; ++e) {
        const std::span<const SatelliteObservation> epoch = walk.Next(nodes[static_cast<size_t>(e)]);
        ASSERT_EQ(epoch.size(), 50u) << e;
        for (int k = 0; k < 50; ++k) {
            ASSERT_EQ(epoch[static_cast<size_t>(k)].Number(), k + 1) << e;
            ASSERT_EQ(epoch[static_cast<size_t>(k)].Elevation(), e % 90) << e;
        }
    }
    const list* flooded = points.AppendPoint();
    for (int k = 0; k < 9000; ++k) {
        observations.Add(flooded, SatelliteObservation::InView(static_cast<SatelliteSystem>(k % 7),
                                                               static_cast<uint8_t>(k / 7 % 256),
                                                               static_cast<uint8_t>(k / 1792), 10, 10, 10));
    }
    EXPECT_EQ(observations.size(), 400u * 50 + 8192);
}

}  // namespace
}  // namespace tervo
