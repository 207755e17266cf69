// What the report shows, gathered from the point list by pure functions that
// return plain data: the plots draw it (plots.cc) and the summary counts from
// it. The rules the summary and the plots share are written here once.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "core/fix_quality.h"
#include "core/point_list.h"
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

// A satellite in view in one epoch.
struct Sighting {
    SatelliteSystem System = SatelliteSystem::Gps;
    uint8_t Number = 0;  // within its system (SBAS PRN 120-158, GLONASS slot)
    uint8_t Elevation = 0;
    uint16_t Azimuth = 0;
    uint8_t Snr = 0;  // dB-Hz; 0 when not tracked
};

// Reads the satellites of the epochs: the rows of the record's satellite table
// that a GSV (NMEA) or a satellite message (BINR) filled, in id order.
class SatelliteReader {
public:
    // Whether the epoch carries satellite rows at all.
    bool HasSatellites(const waypoints& point) const { return point.HasSatellites == 1; }
    // The epoch's satellites in view into `out` (cleared first).
    void Read(const waypoints& point, std::vector<Sighting>& out) const;
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
// and azimuth 0 has none; one above 90 degrees is no position either). A pass
// goes on while its satellite is in view in the next sample and moves at most
// 0.3 of the plot's radius (the horizon's circle) from one sample to the next.
// Passes come in the order they ended: when their satellite was next seen, then
// those that run to the log's end, by system and number.
std::vector<SkyPass> CollectSkyPasses(const list* start, const SatelliteReader& reader,
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

// Per system with any SNR above 0, in table order: at every timed epoch with
// satellites the mean SNR of its satellites in view with an SNR above 0 (NaN
// when it has none there).
std::vector<SystemSeries> CollectSnrSeries(const list* start, const EpochTimeline& timeline,
                                           const SatelliteReader& reader);

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

struct SystemTally {
    int SatellitesSeen = 0;  // distinct satellites ever in view
    int64_t InView = 0;      // sightings over all epochs
    double SnrSum = 0;       // over the sightings with an SNR above 0
    int64_t SnrCount = 0;
};

struct SatelliteTally {
    int64_t EpochsWithSatellites = 0;
    std::array<SystemTally, kSatelliteSystemCount> Systems{};  // by SatelliteSystem
};

SatelliteTally CollectSatelliteTally(const list* start, const SatelliteReader& reader);

}  // namespace tervo
