// What the report shows, gathered from the point list by pure functions that
// return plain data: the plots draw it (plots.cc) and the summary counts from
// it. The rules the summary and the plots share are written here once.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "core/fix_quality.h"
#include "core/point_list.h"
#include "core/satellite_observations.h"
#include "core/satellite_systems.h"
#include "report/timeline.h"

namespace tervo {

// --- Rules.

// A gap: a step longer than this many typical steps.
inline constexpr double kGapFactor = 3;

struct GapRule {
    double AboveS = std::numeric_limits<double>::infinity();
    bool IsGap(double stepS) const { return stepS > AboveS; }
};

// The gaps of a series whose typical step is `typicalStepS`: steps longer than
// `factor` of them; none without a typical step.
GapRule GapRuleOf(std::optional<double> typicalStepS, double factor = kGapFactor);

// The receiver says the epoch's speed: NMEA when the epoch has an RMC, BINR always.
bool HasReceiverSpeed(const waypoints& point, LogFormat format);

// The epoch's altitude, HDOP and satellites used count: NMEA when the epoch has
// a GGA, BINR always.
bool HasAltitude(const waypoints& point, LogFormat format);

// --- The satellites of an epoch.

// A satellite in view in one epoch, on one signal.
struct Sighting {
    SatelliteSystem System = SatelliteSystem::Gps;
    uint8_t Number = 0;  // within its system (SBAS PRN 120-158, GLONASS slot)
    uint8_t Elevation = 0;
    uint16_t Azimuth = 0;
    uint8_t Snr = 0;                                   // dB-Hz; 0 when not tracked
    uint8_t Signal = SatelliteObservation::kNoSignal;  // the NMEA 4.10+ signal id
};

// The band of a sighting's signal; a sighting without a signal id is taken for
// the L1 band (logs without signal ids come from receivers that tell of one
// signal per satellite, their L1 one).
Band BandOf(const Sighting& sighting);

// The satellites of one epoch: the record's satellite table and the
// observations kept beside it (SatelliteObservations).
class EpochSatellites {
public:
    EpochSatellites(const waypoints& point, std::span<const SatelliteObservation> observations)
        : point_(point), observations_(observations) {}

    // Whether the epoch carries satellites in view: rows a GSV (NMEA) or a
    // satellite message (BINR) filled, or observations of them.
    bool HasSatellites() const;
    // The satellites in view into `out` (cleared first): the observations, and
    // the table's rows (in id order) of the systems they do not show.
    void Read(std::vector<Sighting>& out) const;
    // The used counts of the systems a GSA said, or none.
    std::array<std::optional<int>, kSatelliteSystemCount> UsedCounts() const;

private:
    const waypoints& point_;
    std::span<const SatelliteObservation> observations_;
};

// Reads the epochs of the list from `start` in list order: Next must be
// called for every node from `start` on, in order. `observations` may be
// nullptr (a BINR log, or a read without them): the table's rows alone.
class SatelliteReader {
public:
    SatelliteReader(const SatelliteObservations* observations, const list* start)
        : walk_(observations, start) {}
    EpochSatellites Next(const list* node) { return {node->Point, walk_.Next(node)}; }

private:
    SatelliteObservations::Walk walk_;
};

// --- Sky passes.

struct SkyPoint {
    double Elevation = 0;  // degrees, 0 at the horizon
    double Azimuth = 0;    // degrees clockwise from north
    uint8_t Snr = 0;
};

// A satellite's positions in successive samples.
struct SkyPass {
    SatelliteSystem System = SatelliteSystem::Gps;
    uint8_t Number = 0;
    std::vector<SkyPoint> Points;
    bool ToTheEnd = false;  // the satellite is in view in the log's last sample
};

// How a sky plot samples a log: every stride-th epoch with satellites, the
// stride the least that keeps at most kMostSkySamples samples.
inline constexpr size_t kMostSkySamples = 1200;

// The passes of every satellite in view with a position (a row of elevation 0
// and azimuth 0 has none; one above 90 degrees is no position either), with
// the SNR of its strongest signal in each sample. A pass
// goes on while its satellite is in view in the next sample and moves at most
// 0.3 of the plot's radius (the horizon's circle) from one sample to the next.
// Passes come in the order they ended: when their satellite was next seen, then
// those that run to the log's end, by system and number.
std::vector<SkyPass> CollectSkyPasses(const list* start, const SatelliteObservations* observations,
                                      size_t mostSamples = kMostSkySamples);

// --- Series over time.

struct Sample {
    double Seconds = 0;  // on the epoch scale (EpochTimeline)
    double Value = 0;    // NaN: no value, a line breaks here
};

struct SystemSeries {
    SatelliteSystem System = SatelliteSystem::Gps;
    std::vector<Sample> Samples;
};

// The series of one band.
struct BandSeries {
    tervo::Band Band = tervo::Band::L1;
    std::vector<SystemSeries> Systems;  // in table order
};

// Per band (BandOf) and system with any SNR above 0, bands and systems in
// table order: at the timed epochs with satellites the mean SNR of the
// system's signals of that band in view with an SNR above 0. A series begins
// at its first value; an epoch without a value after one gives a NaN (one for
// a run of such epochs).
std::vector<BandSeries> CollectSnrSeries(const list* start, const EpochTimeline& timeline,
                                         const SatelliteObservations* observations);

// The speed (km/h) and altitude (m) of the valid fixes: at each timed epoch
// without a valid fix both get a NaN sample; a valid fix adds its speed when
// the receiver says it (HasReceiverSpeed) and its altitude when it counts
// (HasAltitude), each when it is finite.
struct MotionSeries {
    std::vector<Sample> Speed;
    std::vector<Sample> Altitude;
};
MotionSeries CollectMotion(const list* start, LogFormat format, const EpochTimeline& timeline);

// --- The fix-quality timeline.

struct QualitySpan {
    double From = 0;  // seconds on the epoch scale
    double To = 0;
    FixClass Class = FixClass::NoFix;
};

// Every epoch by its class; each timed epoch covers the time to the next timed
// one, or its typical step where that step is not positive or is a gap, and at
// the end (1 s when the log has no typical step).
struct QualityTimeline {
    std::array<int64_t, kFixClassCount> Epochs{};  // by FixClass
    int64_t Total = 0;
    std::vector<QualitySpan> Spans;
};
QualityTimeline CollectQualityTimeline(const list* start, LogFormat format, const EpochTimeline& timeline);

// --- Satellites per system, for the summary.

struct SignalTally {
    int SatellitesSeen = 0;  // distinct satellites ever in view on this signal
    double SnrSum = 0;       // over its sightings with an SNR above 0
    int64_t SnrCount = 0;
};

struct SystemTally {
    int SatellitesSeen = 0;  // distinct satellites ever in view
    int64_t InView = 0;      // satellites in view (on any signal), summed over the epochs
    double SnrSum = 0;       // over the sightings (every signal) with an SNR above 0
    int64_t SnrCount = 0;
    int64_t Used = 0;        // satellites used, summed over the epochs a GSA said the system
    int64_t UsedEpochs = 0;  // those epochs (for SBAS: those that said GPS)
    // By signal id 0 to 15; sightings without one are in none.
    std::array<SignalTally, 16> Signals{};
};

struct SatelliteTally {
    int64_t EpochsWithSatellites = 0;
    std::array<SystemTally, kSatelliteSystemCount> Systems{};  // by SatelliteSystem
};

SatelliteTally CollectSatelliteTally(const list* start, const SatelliteObservations* observations);

}  // namespace tervo
