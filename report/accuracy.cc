#include "report/accuracy.h"

#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/LocalCartesian.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>

#include "report/timeline.h"

namespace tervo {

namespace {

constexpr int64_t kDayMs = 86'400'000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The whole days by which a dateless time-of-day match may shift the log.
constexpr int kLargestDayShift = 2;

// A fix that can be measured: its latitude and longitude are numbers (its
// height may be unknown).
bool Finite(const waypoints& point) {
    return std::isfinite(point.Latitude) && std::isfinite(point.Longitude);
}

// A height that is no finite number is unknown.
bool Known(double height) { return std::isfinite(height); }

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole decimal number and nothing else ("+1.5", "-0.25", "3e2"), in the C
// locale whatever the process locale.
std::optional<double> WholeNumber(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Milliseconds from the midnight before the first timed epoch of `timeline`, of
// the epoch at `seconds` on it.
int64_t MsFromMidnight(const EpochTimeline& timeline, double seconds) {
    return timeline.StartTimeOfDayMs.value_or(0) + std::llround(seconds * 1000);
}

std::optional<int64_t> MidnightUnixMs(const EpochTimeline& timeline) {
    if (!timeline.StartUnixMs) {
        return std::nullopt;
    }
    return *timeline.StartUnixMs - timeline.StartTimeOfDayMs.value_or(0);
}

// Where `timeMs` falls on the track: the reference epoch before or at it and
// the share of the way to the next one (0 at an epoch).
struct TrackPlace {
    size_t before = 0;
    double fraction = 0;
};

std::optional<TrackPlace> PlaceOnTrack(const ReferenceTrack& track, int64_t timeMs) {
    const std::vector<int64_t>& times = track.TimesMs;
    const auto after = std::upper_bound(times.begin(), times.end(), timeMs);
    if (after == times.begin()) {
        return std::nullopt;
    }
    const auto before = static_cast<size_t>(after - times.begin() - 1);
    if (times[before] == timeMs) {
        return TrackPlace{before, 0};
    }
    if (after == times.end() || !track.StepMs || *after - times[before] > 2 * *track.StepMs) {
        return std::nullopt;
    }
    return TrackPlace{
        before, static_cast<double>(timeMs - times[before]) / static_cast<double>(*after - times[before])};
}

GeoPosition PositionAt(const ReferenceTrack& track, const TrackPlace& place) {
    const GeoPosition& a = track.Positions[place.before];
    if (place.fraction == 0) {
        return a;
    }
    const GeoPosition& b = track.Positions[place.before + 1];
    const double f = place.fraction;
    // The shorter way round across the antimeridian.
    double dLon = b.Longitude - a.Longitude;
    if (dLon > 180) {
        dLon -= 360;
    } else if (dLon < -180) {
        dLon += 360;
    }
    double longitude = a.Longitude + f * dLon;
    if (longitude >= 180) {
        longitude -= 360;
    } else if (longitude < -180) {
        longitude += 360;
    }
    return {a.Latitude + f * (b.Latitude - a.Latitude), longitude, a.Height + f * (b.Height - a.Height)};
}

// The fix in the frame at its reference, whose height is `referenceHeight`
// (the frame's origin is put at height 0 when it is unknown). Without a height
// on either side, up and 3-D are unknown; east and north then take the fix at
// the reference's height (or the frame's), which moves them by far less than
// a millimetre for fixes kilometres away.
EpochError ErrorAgainst(const GeographicLib::LocalCartesian& frame, double referenceHeight,
                        const waypoints& point, LogFormat format, size_t index, double seconds) {
    EpochError error;
    error.Index = index;
    error.Seconds = seconds;
    error.Class = FixClassOf(point, format);
    const double height = EllipsoidalHeight(point, format);
    const bool heights = Known(height) && Known(referenceHeight);
    frame.Forward(point.Latitude, point.Longitude, heights ? height : frame.HeightOrigin(), error.East,
                  error.North, error.Up);
    error.Horizontal = std::hypot(error.East, error.North);
    if (!heights) {
        error.Up = kNaN;
    }
    error.ThreeD = std::hypot(error.Horizontal, error.Up);
    return error;
}

// A frame at `origin`, at height 0 when its height is unknown.
void PlaceFrame(GeographicLib::LocalCartesian& frame, const GeoPosition& origin) {
    frame.Reset(origin.Latitude, origin.Longitude, Known(origin.Height) ? origin.Height : 0);
}

// The figures of all fixes and of each class, from the matched errors and the
// unmatched fixes' classes.
void FillFigures(Accuracy& accuracy, const std::array<int64_t, kFixClassCount>& unmatched) {
    accuracy.All =
        FiguresOf(accuracy.Errors, std::accumulate(unmatched.begin(), unmatched.end(), int64_t{0}));
    for (int c = 0; c < kFixClassCount; ++c) {
        const auto fixClass = static_cast<FixClass>(c);
        std::vector<EpochError> ofClass;
        for (const EpochError& error : accuracy.Errors) {
            if (error.Class == fixClass) {
                ofClass.push_back(error);
            }
        }
        if (!ofClass.empty() || unmatched[static_cast<size_t>(c)] > 0) {
            accuracy.ByQuality.push_back({fixClass, FiguresOf(ofClass, unmatched[static_cast<size_t>(c)])});
        }
    }
}

void TakeTimeline(Accuracy& accuracy, const EpochTimeline& timeline) {
    accuracy.StartUnixMs = timeline.StartUnixMs;
    accuracy.StartTimeOfDayMs = timeline.StartTimeOfDayMs;
}

// The geocentric mean of the fixes with finite coordinates: exact across the
// antimeridian and at the poles. None without such a fix.
std::optional<GeoPosition> GeocentricMean(const list* start, LogFormat format) {
    const GeographicLib::Geocentric& earth = GeographicLib::Geocentric::WGS84();
    double sum[3] = {0, 0, 0};
    int64_t count = 0;
    int64_t withHeight = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        if (HasValidFix(point, format) && Finite(point)) {
            const double height = EllipsoidalHeight(point, format);
            withHeight += Known(height) ? 1 : 0;
            double xyz[3];
            earth.Forward(point.Latitude, point.Longitude, Known(height) ? height : 0, xyz[0], xyz[1],
                          xyz[2]);
            for (int i = 0; i < 3; ++i) {
                sum[i] += xyz[i];
            }
            ++count;
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    GeoPosition mean;
    const auto n = static_cast<double>(count);
    earth.Reverse(sum[0] / n, sum[1] / n, sum[2] / n, mean.Latitude, mean.Longitude, mean.Height);
    // Heights are taken only when every fix has one.
    if (withHeight < count) {
        mean.Height = kNaN;
    }
    return mean;
}

// A fix that may be matched by its time: on the log's scale, from its midnight.
struct Candidate {
    const waypoints* point;
    size_t index;
    int64_t timeMs;
};

// The fixes with a time and finite coordinates; the others are counted in `unmatched`.
std::vector<Candidate> CandidatesOf(const list* start, LogFormat format, const EpochTimeline& timeline,
                                    std::array<int64_t, kFixClassCount>& unmatched) {
    std::vector<Candidate> candidates;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const waypoints& point = node->Point;
        const FixClass fixClass = FixClassOf(point, format);
        if (fixClass == FixClass::NoFix) {
            continue;
        }
        if (std::isnan(timeline.Seconds[index]) || !Finite(point)) {
            ++unmatched[static_cast<size_t>(fixClass)];
            continue;
        }
        candidates.push_back({&point, index, MsFromMidnight(timeline, timeline.Seconds[index])});
    }
    return candidates;
}

// Without dates to align the scales: the whole days (the least first) by which
// the log's times of day match the most reference epochs.
int64_t BestDayShiftMs(const std::vector<Candidate>& candidates, const ReferenceTrack& reference) {
    static_assert(kLargestDayShift == 2, "the shifts tried, the least first");
    int64_t shiftMs = 0;
    size_t bestCount = 0;
    for (int days : {0, -1, 1, -2, 2}) {
        size_t count = 0;
        for (const Candidate& candidate : candidates) {
            count += PlaceOnTrack(reference, candidate.timeMs + days * kDayMs) ? 1 : 0;
        }
        if (count > bestCount) {
            bestCount = count;
            shiftMs = days * kDayMs;
        }
    }
    return shiftMs;
}

// The mean and sample standard deviation (none of a single value) of `values`.
void MeanAndDeviation(const std::vector<double>& values, std::optional<double>& mean,
                      std::optional<double>& deviation) {
    if (values.empty()) {
        return;
    }
    const auto n = static_cast<double>(values.size());
    mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
    if (values.size() < 2) {
        return;
    }
    double squares = 0;
    for (double value : values) {
        squares += (value - *mean) * (value - *mean);
    }
    deviation = std::sqrt(squares / (n - 1));
}

// East, north and up: their means and deviations; up over the errors that have one.
void AddAxisFigures(AccuracyFigures& figures, std::span<const EpochError> errors) {
    std::vector<double> east;
    std::vector<double> north;
    std::vector<double> up;
    for (const EpochError& error : errors) {
        east.push_back(error.East);
        north.push_back(error.North);
        if (!std::isnan(error.Up)) {
            up.push_back(error.Up);
        }
    }
    MeanAndDeviation(east, figures.MeanEastM, figures.SdEastM);
    MeanAndDeviation(north, figures.MeanNorthM, figures.SdNorthM);
    MeanAndDeviation(up, figures.MeanUpM, figures.SdUpM);
}

}  // namespace

double EllipsoidalHeight(const waypoints& point, LogFormat format) {
    if (format == LogFormat::Binr) {
        return point.Altitude;
    }
    return point.HasGga == 1 ? point.Altitude + point.GeoidSeparation : kNaN;
}

PointReferenceParse ParsePointReference(std::string_view text) {
    PointReferenceParse parse;
    const std::string_view whole = Trimmed(text);
    if (whole == "mean") {
        parse.Value = PointReference{true, {}};
        return parse;
    }
    std::array<std::string_view, 3> parts;
    size_t from = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const size_t comma = whole.find(',', from);
        if ((comma == std::string_view::npos) != (i + 1 == parts.size())) {
            parse.Error =
                "\"" + std::string(whole) + "\" is not LAT,LON,HEIGHT (degrees, degrees, metres) or mean";
            return parse;
        }
        parts[i] = Trimmed(whole.substr(from, comma == std::string_view::npos ? comma : comma - from));
        from = comma + 1;
    }
    static constexpr std::array<std::string_view, 3> kNames = {"latitude", "longitude", "height"};
    static constexpr std::array<double, 3> kLimits = {90, 180, std::numeric_limits<double>::infinity()};
    std::array<double, 3> values{};
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::optional<double> value = WholeNumber(parts[i]);
        const std::string quoted = std::string(kNames[i]) + " \"" + std::string(parts[i]) + "\"";
        if (!value) {
            parse.Error = quoted + " is no number";
            return parse;
        }
        if (std::fabs(*value) > kLimits[i]) {
            parse.Error = quoted + " is outside " + (i == 0 ? "-90 to 90" : "-180 to 180");
            return parse;
        }
        values[i] = *value;
    }
    parse.Value = PointReference{false, {values[0], values[1], values[2]}};
    return parse;
}

ReferenceTrack ReferenceTrackOf(const list* start, LogFormat format) {
    ReferenceTrack track;
    const EpochTimeline timeline = TimeEpochs(start, format);
    track.MidnightUnixMs = MidnightUnixMs(timeline);
    if (const std::optional<double> step = TypicalStepS(timeline.StepMs)) {
        track.StepMs = std::llround(*step * 1000);
    }
    struct Fix {
        int64_t timeMs;
        GeoPosition position;
    };
    std::vector<Fix> fixes;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        ++track.Epochs;
        const waypoints& point = node->Point;
        const double seconds = timeline.Seconds[index];
        if (std::isnan(seconds) || !HasValidFix(point, format) || !Finite(point)) {
            continue;
        }
        fixes.push_back({MsFromMidnight(timeline, seconds),
                         {point.Latitude, point.Longitude, EllipsoidalHeight(point, format)}});
    }
    // A log's scale only steps back where its times do; the first fix of a time wins.
    std::stable_sort(fixes.begin(), fixes.end(),
                     [](const Fix& a, const Fix& b) { return a.timeMs < b.timeMs; });
    for (const Fix& fix : fixes) {
        if (track.TimesMs.empty() || track.TimesMs.back() != fix.timeMs) {
            track.TimesMs.push_back(fix.timeMs);
            track.Positions.push_back(fix.position);
        }
    }
    return track;
}

std::optional<GeoPosition> ReferenceAt(const ReferenceTrack& track, int64_t timeMs) {
    const std::optional<TrackPlace> place = PlaceOnTrack(track, timeMs);
    if (!place) {
        return std::nullopt;
    }
    return PositionAt(track, *place);
}

Accuracy AccuracyAgainstPoint(const list* start, LogFormat format, const PointReference& reference) {
    Accuracy accuracy;
    const EpochTimeline timeline = TimeEpochs(start, format);
    TakeTimeline(accuracy, timeline);
    accuracy.Origin = reference.Mean ? GeocentricMean(start, format) : std::optional(reference.Position);
    std::optional<GeographicLib::LocalCartesian> frame;
    if (accuracy.Origin) {
        PlaceFrame(frame.emplace(), *accuracy.Origin);
    }
    std::array<int64_t, kFixClassCount> unmatched{};
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const waypoints& point = node->Point;
        const FixClass fixClass = FixClassOf(point, format);
        if (fixClass == FixClass::NoFix) {
            continue;
        }
        if (!frame || !Finite(point)) {
            ++unmatched[static_cast<size_t>(fixClass)];
            continue;
        }
        accuracy.Errors.push_back(
            ErrorAgainst(*frame, accuracy.Origin->Height, point, format, index, timeline.Seconds[index]));
    }
    FillFigures(accuracy, unmatched);
    return accuracy;
}

Accuracy AccuracyAgainstTrack(const list* start, LogFormat format, const ReferenceTrack& reference) {
    Accuracy accuracy;
    const EpochTimeline timeline = TimeEpochs(start, format);
    TakeTimeline(accuracy, timeline);
    std::array<int64_t, kFixClassCount> unmatched{};
    const std::vector<Candidate> candidates = CandidatesOf(start, format, timeline, unmatched);
    const std::optional<int64_t> logMidnight = MidnightUnixMs(timeline);
    const int64_t shiftMs = logMidnight && reference.MidnightUnixMs ? *logMidnight - *reference.MidnightUnixMs
                                                                    : BestDayShiftMs(candidates, reference);
    GeographicLib::LocalCartesian frame;
    for (const Candidate& candidate : candidates) {
        const std::optional<TrackPlace> place = PlaceOnTrack(reference, candidate.timeMs + shiftMs);
        if (!place) {
            ++unmatched[static_cast<size_t>(FixClassOf(*candidate.point, format))];
            continue;
        }
        const GeoPosition truth = PositionAt(reference, *place);
        PlaceFrame(frame, truth);
        accuracy.Errors.push_back(ErrorAgainst(frame, truth.Height, *candidate.point, format, candidate.index,
                                               timeline.Seconds[candidate.index]));
    }
    FillFigures(accuracy, unmatched);
    return accuracy;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return kNaN;
    }
    std::sort(values.begin(), values.end());
    const double h = std::clamp(p, 0.0, 1.0) * static_cast<double>(values.size() - 1);
    const auto low = static_cast<size_t>(std::floor(h));
    if (low + 1 >= values.size()) {
        return values.back();
    }
    return values[low] + (h - static_cast<double>(low)) * (values[low + 1] - values[low]);
}

AccuracyFigures FiguresOf(std::span<const EpochError> errors, int64_t unmatched) {
    AccuracyFigures figures;
    figures.MatchedEpochs = static_cast<int64_t>(errors.size());
    figures.UnmatchedEpochs = unmatched;
    if (errors.empty()) {
        return figures;
    }
    std::vector<double> horizontal;
    std::vector<double> threeD;
    std::vector<double> vertical;
    double sumSquares = 0;
    const EpochError* largest = &errors[0];
    for (const EpochError& error : errors) {
        horizontal.push_back(error.Horizontal);
        if (!std::isnan(error.Up)) {
            threeD.push_back(error.ThreeD);
            vertical.push_back(std::fabs(error.Up));
        }
        sumSquares += error.Horizontal * error.Horizontal;
        if (error.Horizontal > largest->Horizontal) {
            largest = &error;
        }
    }
    AddAxisFigures(figures, errors);
    figures.TwiceDrmsM = 2 * std::sqrt(sumSquares / static_cast<double>(errors.size()));
    figures.MaxHorizontalM = largest->Horizontal;
    figures.MaxHorizontalSeconds = largest->Seconds;
    figures.Cep50M = Percentile(horizontal, 0.5);
    figures.Cep95M = Percentile(std::move(horizontal), 0.95);
    if (!vertical.empty()) {
        figures.R95ThreeDM = Percentile(std::move(threeD), 0.95);
        figures.Vertical50M = Percentile(vertical, 0.5);
        figures.Vertical95M = Percentile(std::move(vertical), 0.95);
    }
    return figures;
}

}  // namespace tervo
