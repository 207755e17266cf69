// What the report needs of the satellites that the record's satellite table
// cannot hold, kept beside the point list while a log is read: satellites of
// Galileo, BeiDou, QZSS and NavIC, every satellite of a GSV that names its
// signal (NMEA 4.10 and later: one sentence per signal, which the table would
// merge into one row), and the number of satellites each GSA that says its
// system marks used.
//
// The table's rows stay what the record has always held; the report reads an
// epoch's satellites from both (see SatelliteReader). An observation takes 8
// bytes, and an epoch with observations 16 more.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/point_list.h"
#include "core/satellite_systems.h"

namespace tervo {

enum class ObservationKind : uint8_t {
    InView,     // a GSV's satellite block, complete up to its SNR field
    UsedCount,  // a GSA's count of its system's satellites used; Number holds it
};

struct SatelliteObservation {
    uint16_t Azimuth = 0;  // degrees
    SatelliteSystem System = SatelliteSystem::Gps;
    uint8_t Signal = kNoSignal;  // the NMEA 4.10+ signal id 0 to 15
    uint8_t Number = 0;          // within the system (SBAS PRN 120-158, GLONASS slot)
    uint8_t Elevation = 0;       // degrees
    uint8_t Snr = 0;             // dB-Hz; 0 when not tracked
    ObservationKind Kind = ObservationKind::InView;

    static constexpr uint8_t kNoSignal = 0xFF;  // the sentence names no signal
};
static_assert(sizeof(SatelliteObservation) == 8, "observations are kept by the million");

// The observations of a log's epochs, in the order the read loop meets them.
// Epochs are the nodes of one point list, named by their address; observations
// are only ever added to the list's last node.
class SatelliteObservations {
public:
    // Adds an observation of `epoch`. An InView one replaces the observation of
    // the same satellite and signal the epoch has already (a second GSV series
    // in one epoch); a UsedCount one adds its count to the epoch's count of
    // that system.
    void Add(const list* epoch, const SatelliteObservation& observation);

    bool empty() const { return observations_.empty(); }
    size_t size() const { return observations_.size(); }

    // Walks the epochs of the list from `start` in list order: Next(node) must
    // be called for every node from `start` on, in order, and gives that node's
    // observations (none for most nodes of most logs).
    class Walk {
    public:
        Walk(const SatelliteObservations* observations, const list* start);
        std::span<const SatelliteObservation> Next(const list* node);

    private:
        const SatelliteObservations* observations_;
        size_t epoch_ = 0;  // the next epoch with observations
    };

private:
    struct Epoch {
        const list* node;
        uint32_t first;  // its observations run from here to the next epoch's first
    };
    std::span<const SatelliteObservation> ObservationsOf(size_t epoch) const;

    std::vector<Epoch> epochs_;
    std::vector<SatelliteObservation> observations_;
};

}  // namespace tervo
