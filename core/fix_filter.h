// The fix filter of the extras (--min-quality, --max-hdop, --min-satellites)
// and what an epoch's log gives of the values the filter and the exports read.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/fix_quality.h"
#include "core/record.h"

namespace tervo {

// The HDOP the log gives for the epoch (NMEA: a GGA's; BINR: message 0x60's);
// nullopt when it gives none: an NMEA epoch without GGA, or a value not above 0
// (an empty field reads 0).
std::optional<double> GivenHdop(const waypoints& point, LogFormat format);
// The satellites used (NMEA: a GGA's; BINR: nullopt for -1, unknown).
std::optional<int32_t> GivenSatellitesUsed(const waypoints& point, LogFormat format);
// Whether the log gives the altitude (NMEA: with a GGA; BINR: always).
bool GivesAltitude(const waypoints& point, LogFormat format);
// Whether it gives speed and course (NMEA: with an RMC; BINR: always).
bool GivesMotion(const waypoints& point, LogFormat format);

// The rank of a class for a minimum quality, worst first: no fix 0; dead
// reckoning, manual and simulated 1 (positions that were not measured); single
// and a fix of unknown quality 2; differential and PPS 3; RTK float 4; RTK
// fixed 5.
int QualityRank(FixClass fixClass);

// The class whose key (FixClassInfo::Key, "rtk-fixed") is `key`; nullopt for
// any other text.
std::optional<FixClass> FixClassOfKey(std::string_view key);

struct FixFilter {
    std::optional<FixClass> MinQuality = {};    // keeps the classes of its rank and above
    std::optional<double> MaxHdop = {};         // keeps an HDOP not above it
    std::optional<int32_t> MinSatellites = {};  // keeps at least this many satellites used
    bool IsActive() const { return MinQuality || MaxHdop || MinSatellites; }
};

// The tests an epoch fails, as a mask; 0 when it passes.
enum FilterFailure : uint8_t {
    kFailsQuality = 1,
    kFailsHdop = 2,
    kFailsSatellites = 4,
};

// A value the log does not give for the epoch passes its test: an RMC-only
// epoch passes --max-hdop and --min-satellites, so that a log without GGA
// keeps its fixes. A fix class always fails a minimum above its rank, so no
// fix fails every --min-quality but "no-fix".
uint8_t FilterFailures(const waypoints& point, LogFormat format, const FixFilter& filter);

inline bool PassesFilter(const waypoints& point, LogFormat format, const FixFilter& filter) {
    return FilterFailures(point, format, filter) == 0;
}

// What a filter took out of a log: epochs, and per test the epochs that failed
// it (an epoch that fails two tests counts in both).
struct FilteredOut {
    int64_t Epochs = 0;
    int64_t Quality = 0;
    int64_t Hdop = 0;
    int64_t Satellites = 0;

    // Counts an epoch that failed the tests of `failures` (FilterFailures);
    // nothing for 0.
    void Add(uint8_t failures);
    bool operator==(const FilteredOut&) const = default;
};

}  // namespace tervo
