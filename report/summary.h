// The summary of a log: what a person wants to know of a recording before
// looking at the map. Computed from the point list after the read, and shown as
// a text table (standard output), JSON, or an HTML table (a KML description).
//
// Terms:
// - an epoch is a node of the point list; it has a time when its Time text is
//   not empty (see EpochTimeline for the time scale, its dates and midnights);
// - an epoch has a valid fix as HasValidFix says: NMEA, a GGA with quality 1 or
//   more or an RMC with status 'A'; BINR, status 'A'. Positions, distance,
//   speeds, altitudes, HDOP and satellites used are taken from such epochs
//   only, and only when their coordinates are finite;
// - the typical epoch step is the median of the positive steps between timed
//   epochs; a gap is a step longer than GapFactor typical steps;
// - distance is the sum of the geodesics on the WGS 84 ellipsoid between
//   successive valid fixes (across gaps and fix losses too, as the valid track
//   is drawn);
// - an epoch's speed is the receiver's (NMEA: when the epoch has an RMC; BINR:
//   always); a GGA-only epoch's speed is the geodesic from the valid fix before
//   it over the time between them, when that step is positive and no gap;
// - moving time sums the steps (no gap) from one valid fix to the next whose
//   speed is above MovingSpeedKmh; the mean speed is the distance of those
//   steps over the moving time;
// - altitude, HDOP and satellites used come from epochs with a GGA (NMEA) or
//   any valid epoch (BINR); an HDOP of 0 or less (an empty field) and a
//   satellite count of -1 (BINR: unknown) are left out. The HDOP median of an
//   even count is the mean of the two middle values; the 95th percentile is the
//   nearest rank (the ceil(0.95 n)-th smallest);
// - satellites per system count every epoch, valid or not: the distinct
//   satellites ever in view, the mean number in view over the epochs that carry
//   satellites, and the mean SNR over the signals in view whose SNR is above 0.
//   NMEA logs read with SatelliteObservations add Galileo, BeiDou, QZSS and
//   NavIC, each signal a GSV names (distinct satellites and mean SNR per
//   signal), and the mean number used over the epochs whose GSA said the
//   system (SBAS: said GPS).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/fix_filter.h"
#include "core/fix_quality.h"
#include "core/point_list.h"
#include "report/collectors.h"

namespace tervo {

struct SummaryOptions {
    double GapFactor = kGapFactor;  // a gap: a step longer than this many typical steps
    double MovingSpeedKmh = 1.0;    // moving: faster than this
};

// Epochs of one fix class (NMEA: InfoOf(FixClassOf(...)).Name) or one status
// text (BINR: "3D,DIFF", "No Fix").
struct QualityCount {
    std::string Name;
    int64_t Epochs = 0;
};

// One signal of a system, by its NMEA 4.10+ signal id.
struct SignalSummary {
    int Id = 0;
    std::string Name;  // SignalOf(...).Name: "L1 C/A"
    tervo::Band Band = tervo::Band::Unstated;
    int SatellitesSeen = 0;             // distinct satellites ever in view on it
    std::optional<double> MeanSnrDbHz;  // over its sightings with SNR above 0
};

// The satellites of one system: 'G' GPS, 'S' SBAS, 'R' GLONASS, 'E' Galileo,
// 'C' BeiDou, 'J' QZSS, 'I' NavIC.
struct SystemSignals {
    char System = 0;
    std::string Name;                   // the JSON key: "GALILEO"
    std::string Label;                  // for the tables: "Galileo"
    int SatellitesSeen = 0;             // distinct satellites ever in view
    std::optional<double> MeanInView;   // per epoch with satellites
    std::optional<double> MeanSnrDbHz;  // over the signals in view with SNR above 0
    std::optional<double> MeanUsed;  // per epoch whose GSA said the system; none when neither seen nor used
    // The signals seen, by band (L1 first), then id; none when no GSV names its signal.
    std::vector<SignalSummary> Signals;
};

struct Summary {
    LogFormat Format = LogFormat::Nmea;
    // What the extras' fix filter left out, when one was asked for; the rest of
    // the summary is of the epochs it kept.
    std::optional<FilteredOut> Filtered;
    int64_t Epochs = 0;
    int64_t TimedEpochs = 0;
    int64_t Fixes = 0;
    std::optional<double> FixShare;  // Fixes / Epochs, 0 to 1
    // Calendar time of the first and last timed epoch: UTC ms since 1970-01-01.
    std::optional<int64_t> FirstUnixMs;
    std::optional<int64_t> LastUnixMs;
    // Their UTC milliseconds of the day, known even without any date.
    std::optional<int32_t> FirstTimeOfDayMs;
    std::optional<int32_t> LastTimeOfDayMs;
    std::optional<double> DurationS;        // last timed epoch minus first
    std::optional<double> TimeToFirstFixS;  // first timed valid fix minus first timed epoch
    std::optional<double> TypicalStepS;
    int64_t GapCount = 0;
    std::optional<double> LongestGapS;
    double DistanceM = 0;
    double MovingTimeS = 0;
    std::optional<double> MaxSpeedKmh;
    std::optional<double> MeanSpeedKmh;  // while moving
    std::optional<double> AltitudeMinM;
    std::optional<double> AltitudeMaxM;
    std::optional<double> HdopMedian;
    std::optional<double> HdopP95;
    std::optional<double> SatellitesUsedMean;
    std::optional<int> SatellitesUsedMin;
    std::optional<int> SatellitesUsedMax;
    // Every epoch by its class (NMEA, in class order) or status text (BINR, in
    // order of first appearance); classes without epochs are left out. The
    // counts of all but "no fix" ("No Fix" in BINR) add up to Fixes.
    std::vector<QualityCount> FixesByQuality;
    // GPS, SBAS and GLONASS when any satellite was in view, then the other
    // systems seen, in table order; none when no satellite was in view.
    std::vector<SystemSignals> Systems;
};

// The summary of the nodes from `start` to the end of the list. `observations`
// are those the NMEA read loop kept for this list (NmeaReadOptions), or nullptr.
Summary ComputeSummary(const list* start, LogFormat format, const SummaryOptions& options = {},
                       const SatelliteObservations* observations = nullptr);
// The summary of the whole list, from its Head (not its Start: the time to the
// first fix is counted from the log's first epoch).
Summary ComputeSummary(const PointList& points, LogFormat format, const SummaryOptions& options = {},
                       const SatelliteObservations* observations = nullptr);

// An aligned two-column text table with units, lines ending in "\n".
std::string SummaryTable(const Summary& summary);

// A further member of the summary's JSON object: its key and its value as
// JSON text, written as it stands (an object two spaces in: AccuracyJson(a, 2)).
struct JsonMember {
    std::string Key;
    std::string Value;
};

// One JSON object, keys in snake_case, numbers with a "." whatever the locale,
// null for a value the log does not give, `more` after the summary's own
// members. Ends in "\n".
std::string SummaryJson(const Summary& summary, const std::vector<JsonMember>& more = {});

// An HTML <table> of the summary for a KML description, lines ending in "\n"
// (KmlStream::Text writes them as CR LF). Texts inside it are HTML-escaped
// already and it holds no "]]>": write it inside <![CDATA[ ... ]]> as it
// stands, as the placemark descriptions are written; do not escape it again.
std::string SummaryHtmlTable(const Summary& summary);

}  // namespace tervo
