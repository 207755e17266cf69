// What the report needs of the satellites that the record's satellite table
// cannot hold, kept beside the point list while a log is read: satellites of
// Galileo, BeiDou, QZSS and NavIC, every satellite of a GSV that names its
// signal (NMEA 4.10 and later: one sentence per signal, which the table would
// merge into one row), and the number of satellites each GSA that says its
// system marks used.
//
// The table's rows stay what the record has always held; the report reads an
// epoch's satellites from both (see SatelliteReader). An observation takes 5
// bytes, and an epoch with observations 16 more.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/point_list.h"
#include "core/satellite_systems.h"

namespace tervo {

enum class ObservationKind : uint8_t {
    InView,     // a GSV's satellite block, complete up to its SNR field
    UsedCount,  // a GSA's count of its system's satellites used; Number() holds it
};

// One observation, packed into 5 bytes: the system and the signal share a byte,
// the azimuth (9 bits) and the SNR (7 bits) two. An azimuth above 511 is kept
// as 511, an SNR above 127 as 127 (neither is a real value).
class SatelliteObservation {
public:
    static constexpr uint8_t kNoSignal = 0xFF;  // the sentence names no signal

    // `signal`: the NMEA 4.10+ signal id 0 to 15, or kNoSignal.
    static SatelliteObservation InView(SatelliteSystem system, uint8_t number, uint8_t signal,
                                       uint8_t elevation, uint16_t azimuth, uint8_t snr);
    static SatelliteObservation UsedCount(SatelliteSystem system, uint8_t count);

    ObservationKind Kind() const {
        return (head_ & kCodeMask) == kUsedCode ? ObservationKind::UsedCount : ObservationKind::InView;
    }
    SatelliteSystem System() const { return static_cast<SatelliteSystem>(head_ >> kCodeBits); }
    uint8_t Signal() const;                     // kNoSignal for a sentence without one, and for a UsedCount
    uint8_t Number() const { return number_; }  // within the system (SBAS PRN 120-158, GLONASS slot)
    uint8_t Elevation() const { return elevation_; }                                     // degrees
    uint16_t Azimuth() const { return static_cast<uint16_t>(low_ | (high_ & 1) << 8); }  // degrees
    uint8_t Snr() const { return static_cast<uint8_t>(high_ >> 1); }  // dB-Hz; 0 when not tracked

    // Adds `count` to a UsedCount's count (at most 255).
    void AddCount(int count);

private:
    // The low bits of the head: the signal id, or one of two codes.
    static constexpr int kCodeBits = 5;
    static constexpr uint8_t kCodeMask = (1 << kCodeBits) - 1;
    static constexpr uint8_t kUsedCode = 30;
    static constexpr uint8_t kNoSignalCode = 31;

    uint8_t head_ = 0;  // system << kCodeBits | code
    uint8_t number_ = 0;
    uint8_t elevation_ = 0;
    uint8_t low_ = 0;   // the azimuth's low 8 bits
    uint8_t high_ = 0;  // the SNR << 1 | the azimuth's ninth bit
};
static_assert(sizeof(SatelliteObservation) == 5, "observations are kept by the million");

// The observations of a log's epochs, in the order the read loop meets them.
// Epochs are the nodes of one point list, named by their address; observations
// are only ever added to the list's last node.
class SatelliteObservations {
public:
    // Adds an observation of `epoch`. An InView one replaces the observation of
    // the same satellite and signal the epoch has already (a second GSV series
    // in one epoch); a UsedCount one adds its count to the epoch's count of
    // that system. Beyond kMostPerEpoch of an epoch, new ones are dropped.
    void Add(const list* epoch, const SatelliteObservation& observation);

    // Forgets the epochs of the nodes for which `keep` says false, as
    // PointList::Unlink takes them out of the list: a walk passes over them.
    template <typename Keep>
    void KeepEpochs(Keep keep) {
        std::erase_if(epochs_, [&](const Epoch& epoch) {
            if (keep(*epoch.node)) {
                return false;
            }
            size_ -= epoch.count;
            return true;
        });
        inLastEpoch_.reset();
    }

    bool empty() const { return size_ == 0; }
    size_t size() const { return size_; }

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
    // Observations live in chunks that never move; an epoch's lie together in
    // one chunk (an epoch that outgrows its chunk moves to the next).
    static constexpr size_t kChunk = 16384;
    // An epoch keeps at most this many (a real one holds a few dozen).
    static constexpr uint16_t kMostPerEpoch = kChunk / 2;
    struct Epoch {
        const list* node;
        uint32_t chunk;
        uint16_t first;
        uint16_t count;
    };
    SatelliteObservation* Begin(const Epoch& epoch) const { return chunks_[epoch.chunk].get() + epoch.first; }
    // Room for one more observation of the last epoch.
    void MakeRoom();

    // The satellites and signals (InView) the last epoch holds already, by
    // system, number and signal code: most are not there, and need no search.
    static constexpr size_t kSignalCodes = 17;  // ids 0 to 15 and none
    std::bitset<kSatelliteSystemCount * 256 * kSignalCodes> inLastEpoch_;
    std::vector<Epoch> epochs_;
    std::vector<std::unique_ptr<SatelliteObservation[]>> chunks_;
    size_t used_ = kChunk;  // observations in the last chunk
    size_t size_ = 0;
};

}  // namespace tervo
