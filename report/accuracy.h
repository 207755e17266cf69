// The accuracy of a log: how far its fixes lay from the truth, and how often.
// The truth is a reference: a surveyed point, the mean of the log's own fixes
// (then the figures tell precision, not accuracy), or the track of a better
// receiver recorded at the same time.
//
// Terms:
// - a fix is an epoch with a valid fix (HasValidFix); a fix whose latitude or
//   longitude is no finite number cannot be measured and counts as unmatched;
// - heights are above the WGS 84 ellipsoid. An NMEA epoch's is its GGA
//   altitude plus its geoid separation; a receiver without a geoid model
//   leaves the separation empty and writes its height above the ellipsoid as
//   the altitude, so an empty separation counts as 0 and the altitude is taken
//   as the height. (A receiver that writes a height above the geoid without
//   its separation shows that as a constant offset in "up"; east and north do
//   not depend on it.) An NMEA epoch without a GGA (an RMC alone) has no
//   height. A BINR epoch's is the height of its position message;
// - a fix's error is the fix minus the reference in the local east-north-up
//   frame at the reference (GeographicLib's LocalCartesian): east, north, up,
//   horizontal = hypot(east, north) and 3-D = hypot(east, north, up); up and
//   3-D are unknown (NaN) when the fix or its reference has no height, and the
//   figures of up and 3-D are then of the fixes that have them;
// - against a reference track, fixes are matched by UTC time. Both logs are
//   put on time scales of their own (EpochTimeline); a time is counted in
//   milliseconds from the midnight before the log's first timed epoch. When
//   both logs place their scales with dates, the dates align them. Otherwise
//   (a reference of GGA sentences only has no date) they are aligned by time
//   of day, shifted by the whole number of days (-2 to 2) that matches the
//   most fixes, so a recording across midnight matches too. A fix at the time
//   of a reference epoch takes its position; one between two reference epochs
//   at most two of the reference's typical steps apart takes the point on the
//   straight line between them at its time; any other fix is unmatched, never
//   an error of zero. Reference epochs without a valid fix are left out, so a
//   fix loss of the reference longer than two steps leaves its fixes
//   unmatched;
// - the statistics of a set of errors: CEP50 and CEP95 the 50th and 95th
//   percentile of the horizontal error, R95 the 95th percentile of the 3-D
//   error, vertical 50 % and 95 % the percentiles of |up|; 2DRMS twice the root
//   mean square of the horizontal error (about the reference, so a bias counts);
//   the means and sample standard deviations (n - 1; none for a single fix) of
//   east, north and up; the largest horizontal error and its time. Percentiles
//   are interpolated linearly between order statistics (see Percentile).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/fix_quality.h"
#include "core/point_list.h"

namespace tervo {

struct GeoPosition {
    double Latitude = 0;   // degrees, south negative
    double Longitude = 0;  // degrees, west negative
    double Height = 0;     // metres above the WGS 84 ellipsoid
};

// The height of an epoch above the ellipsoid, as the terms above say; NaN when
// it has none.
double EllipsoidalHeight(const waypoints& point, LogFormat format);

// The reference point of a static test.
struct PointReference {
    bool Mean = false;     // the mean of the log's fixes
    GeoPosition Position;  // when not Mean
};

// "LAT,LON,HEIGHT" (decimal degrees and metres, blanks around each allowed) or
// "mean". On failure Value is empty and Error says what is wrong, in words
// that follow the option's name: `latitude "91" is outside -90 to 90`.
struct PointReferenceParse {
    std::optional<PointReference> Value;
    std::string Error;
};
PointReferenceParse ParsePointReference(std::string_view text);

// The fixes of a reference log on its time scale.
struct ReferenceTrack {
    // Per fix with finite coordinates, strictly increasing: milliseconds from the
    // midnight before the reference's first timed epoch (beyond a day after a
    // midnight). Fixes of a time already taken are left out.
    std::vector<int64_t> TimesMs;
    std::vector<GeoPosition> Positions;
    // That midnight in UTC milliseconds since 1970, when a date places the scale.
    std::optional<int64_t> MidnightUnixMs;
    // The reference's typical epoch step (over all its timed epochs).
    std::optional<int64_t> StepMs;
    int64_t Epochs = 0;  // every epoch of the reference log
};

ReferenceTrack ReferenceTrackOf(const list* start, LogFormat format);

// The reference position at `timeMs` of the track's scale, by the matching
// rule of the terms above; nothing when the fix would be unmatched.
std::optional<GeoPosition> ReferenceAt(const ReferenceTrack& track, int64_t timeMs);

// One matched fix.
struct EpochError {
    size_t Index = 0;    // of its node, counted from the `start` given
    double Seconds = 0;  // on the log's EpochTimeline; NaN for an epoch without a time
    FixClass Class = FixClass::Single;
    double East = 0;  // metres
    double North = 0;
    double Up = 0;  // NaN when a height is unknown, and ThreeD with it
    double Horizontal = 0;
    double ThreeD = 0;
};

// The statistics of one set of fixes; nothing where no fix (or, for the
// standard deviations, fewer than two) was matched.
struct AccuracyFigures {
    int64_t MatchedEpochs = 0;
    int64_t UnmatchedEpochs = 0;
    std::optional<double> Cep50M;
    std::optional<double> Cep95M;
    std::optional<double> TwiceDrmsM;
    std::optional<double> R95ThreeDM;
    std::optional<double> MeanEastM;
    std::optional<double> MeanNorthM;
    std::optional<double> MeanUpM;
    std::optional<double> SdEastM;
    std::optional<double> SdNorthM;
    std::optional<double> SdUpM;
    std::optional<double> MaxHorizontalM;
    // The first fix with the largest horizontal error, on the log's scale
    // (NaN for an epoch without a time).
    std::optional<double> MaxHorizontalSeconds;
    std::optional<double> Vertical50M;
    std::optional<double> Vertical95M;
};

struct QualityFigures {
    FixClass Class = FixClass::Single;
    AccuracyFigures Figures;
};

struct Accuracy {
    // The matched fixes in log order.
    std::vector<EpochError> Errors;
    AccuracyFigures All;
    // Each fix class with a matched or unmatched fix, in class order (BINR
    // fixes are single or differential: FixClassOf).
    std::vector<QualityFigures> ByQuality;
    // The reference point taken (the mean when asked for it; its height is
    // unknown unless every fix has one); none for a track.
    std::optional<GeoPosition> Origin;
    // The log's time scale, to show times: its first timed epoch in UTC
    // milliseconds since 1970 when a date places it, and of its day.
    std::optional<int64_t> StartUnixMs;
    std::optional<int32_t> StartTimeOfDayMs;
};

// The accuracy of the fixes from `start` against a point (or the mean of
// those fixes, on the geocentric mean; none when there is no fix to take it
// from: every fix is then unmatched).
Accuracy AccuracyAgainstPoint(const list* start, LogFormat format, const PointReference& reference);

// The accuracy of the fixes from `start` against a reference track.
Accuracy AccuracyAgainstTrack(const list* start, LogFormat format, const ReferenceTrack& reference);

// The statistics of `errors`, with `unmatched` fixes beside them.
AccuracyFigures FiguresOf(std::span<const EpochError> errors, int64_t unmatched);

// The p-th quantile (0 to 1) of `values`, interpolated linearly between order
// statistics: with the values sorted x[0] <= ... <= x[n-1] and h = p (n - 1),
// x[floor h] + (h - floor h) (x[floor h + 1] - x[floor h]). NaN for none.
double Percentile(std::vector<double> values, double p);

// --- Showing it. The reference is named by the caller: "the point 48.1, 11.5,
// 540.2 m", "the mean of the fixes", "the reference log truth.nmea".

// "2024-05-17T10:20:30Z" when the log's scale has a date, "10:20:30 UTC (no
// date)" when not, "unknown" for an epoch without a time.
std::string AccuracyTimeText(const Accuracy& accuracy, double seconds);

// The accuracy section of the summary: a heading line "Accuracy against ..."
// and a table with a column for all fixes and one per fix class. Lines end in "\n".
std::string AccuracyTable(const Accuracy& accuracy, std::string_view reference);

// The JSON object "accuracy" of the summary: the figures of all fixes and
// "by_quality", each fix class's name (InfoOf) -> the same figures. Metres with
// four decimals, null where there is no value; the closing brace `indent`
// spaces in, no line end after it.
std::string AccuracyJson(const Accuracy& accuracy, int indent);

// The same section as an HTML <table> for a KML description, written as
// SummaryHtmlTable's is (escaped, no "]]>", lines ending in "\n").
std::string AccuracyHtmlTable(const Accuracy& accuracy, std::string_view reference);

// Receivers side by side: a column per receiver, its figures of all fixes.
struct NamedAccuracy {
    std::string Name;  // the receiver, as the merged document names it
    const Accuracy* Result = nullptr;
};
std::string AccuracyComparisonTable(std::span<const NamedAccuracy> receivers, std::string_view reference);
std::string AccuracyComparisonHtmlTable(std::span<const NamedAccuracy> receivers, std::string_view reference);

}  // namespace tervo
