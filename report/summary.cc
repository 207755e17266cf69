#include "report/summary.h"

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "report/collectors.h"
#include "report/report_text.h"
#include "report/timeline.h"

namespace tervo {

namespace {

// The nearest-rank percentile: the ceil(p n)-th smallest value.
double NearestRank(std::vector<double> values, double p) {
    const auto rank = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size())));
    const size_t index = rank == 0 ? 0 : rank - 1;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
    return values[index];
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The bucket of an epoch in FixesByQuality.
std::string QualityName(const waypoints& point, LogFormat format, FixClass fixClass) {
    if (format == LogFormat::Nmea) {
        return std::string(InfoOf(fixClass).Name);
    }
    if (fixClass == FixClass::NoFix) {
        return "No Fix";
    }
    const std::string_view text = Trimmed(point.StatusText);
    return text.empty() ? "fix" : std::string(text);
}

void Count(std::vector<QualityCount>& counts, std::string name) {
    for (QualityCount& count : counts) {
        if (count.Name == name) {
            ++count.Epochs;
            return;
        }
    }
    counts.push_back({std::move(name), 1});
}

// The NMEA buckets in class order; BINR keeps its order of first appearance.
void SortByClass(std::vector<QualityCount>& counts) {
    auto rank = [](const QualityCount& count) {
        for (int c = 0; c < kFixClassCount; ++c) {
            if (InfoOf(static_cast<FixClass>(c)).Name == count.Name) {
                return c;
            }
        }
        return kFixClassCount;
    };
    std::stable_sort(counts.begin(), counts.end(),
                     [&](const QualityCount& a, const QualityCount& b) { return rank(a) < rank(b); });
}

bool Finite(const waypoints& point) {
    return std::isfinite(point.Latitude) && std::isfinite(point.Longitude) && std::isfinite(point.Altitude);
}

}  // namespace

namespace {

// The gaps of the timed epochs: their count and the longest.
void CountGaps(Summary& summary, const EpochTimeline& timeline, const GapRule& gaps) {
    for (int64_t step : timeline.StepMs) {
        const double seconds = static_cast<double>(step) / 1000.0;
        if (gaps.IsGap(seconds)) {
            ++summary.GapCount;
            summary.LongestGapS = std::max(summary.LongestGapS.value_or(0.0), seconds);
        }
    }
}

// The figures of the valid fixes with finite coordinates, taken one by one in
// list order: distance, speeds, moving time, altitudes, HDOP, satellites used.
class FixWalk {
public:
    FixWalk(LogFormat format, const GapRule& gaps, double movingSpeedKmh)
        : format_(format), gaps_(gaps), movingSpeedKmh_(movingSpeedKmh) {}

    void Add(const waypoints& point, double seconds, Summary& summary) {
        // The step from the fix before: its length, time and whether it is a gap.
        double stepM = 0;
        double stepS = NAN;
        bool steady = false;
        if (previous_ != nullptr) {
            double metres = 0;
            GeographicLib::Geodesic::WGS84().Inverse(previous_->Latitude, previous_->Longitude,
                                                     point.Latitude, point.Longitude, metres);
            if (std::isfinite(metres)) {
                stepM = metres;
            }
            stepS = seconds - previousS_;
            steady = stepS > 0 && !gaps_.IsGap(stepS);
        }
        summary.DistanceM += stepM;
        AddSpeed(point, stepM, stepS, steady, summary);
        if (HasAltitude(point, format_)) {
            AddAltitude(point, summary);
        }
        previous_ = &point;
        previousS_ = seconds;
    }

    void Finish(Summary& summary) {
        if (summary.MovingTimeS > 0) {
            summary.MeanSpeedKmh = movingDistanceM_ / summary.MovingTimeS * 3.6;
        }
        if (!hdops_.empty()) {
            summary.HdopMedian = MedianOf(hdops_);
            summary.HdopP95 = NearestRank(hdops_, 0.95);
        }
        if (usedCount_ > 0) {
            summary.SatellitesUsedMean = static_cast<double>(usedSum_) / static_cast<double>(usedCount_);
        }
    }

private:
    // The receiver's speed, or without one the speed of a steady step.
    void AddSpeed(const waypoints& point, double stepM, double stepS, bool steady, Summary& summary) {
        std::optional<double> speed;
        const bool receiverSpeed = HasReceiverSpeed(point, format_);
        if (receiverSpeed && std::isfinite(point.Speed)) {
            speed = point.Speed;
        } else if (!receiverSpeed && steady) {
            speed = stepM / stepS * 3.6;
        }
        if (speed) {
            summary.MaxSpeedKmh = std::max(summary.MaxSpeedKmh.value_or(*speed), *speed);
            if (steady && *speed > movingSpeedKmh_) {
                summary.MovingTimeS += stepS;
                movingDistanceM_ += stepM;
            }
        }
    }

    void AddAltitude(const waypoints& point, Summary& summary) {
        summary.AltitudeMinM = std::min(summary.AltitudeMinM.value_or(point.Altitude), point.Altitude);
        summary.AltitudeMaxM = std::max(summary.AltitudeMaxM.value_or(point.Altitude), point.Altitude);
        if (std::isfinite(point.Hdop) && point.Hdop > 0) {
            hdops_.push_back(point.Hdop);
        }
        if (point.SatellitesUsed >= 0) {
            const int used = point.SatellitesUsed;
            usedSum_ += used;
            ++usedCount_;
            summary.SatellitesUsedMin = std::min(summary.SatellitesUsedMin.value_or(used), used);
            summary.SatellitesUsedMax = std::max(summary.SatellitesUsedMax.value_or(used), used);
        }
    }

    LogFormat format_;
    GapRule gaps_;
    double movingSpeedKmh_;
    const waypoints* previous_ = nullptr;
    double previousS_ = NAN;
    double movingDistanceM_ = 0;
    std::vector<double> hdops_;
    int64_t usedSum_ = 0;
    int64_t usedCount_ = 0;
};

std::optional<double> Ratio(double sum, int64_t count) {
    return count > 0 ? std::optional<double>(sum / static_cast<double>(count)) : std::nullopt;
}

SystemSignals SystemOf(SatelliteSystem system, const SystemTally& counted, int64_t epochsWithSatellites) {
    const SatelliteSystemInfo& info = InfoOf(system);
    SystemSignals signals;
    signals.System = info.Letter;
    signals.Name = std::string(info.Name);
    signals.Label = std::string(info.Label);
    signals.SatellitesSeen = counted.SatellitesSeen;
    signals.MeanInView = Ratio(static_cast<double>(counted.InView), epochsWithSatellites);
    signals.MeanSnrDbHz = Ratio(counted.SnrSum, counted.SnrCount);
    // A system neither seen nor used has no count of its own to show.
    if (counted.SatellitesSeen > 0 || counted.Used > 0) {
        signals.MeanUsed = Ratio(static_cast<double>(counted.Used), counted.UsedEpochs);
    }
    for (size_t id = 0; id < counted.Signals.size(); ++id) {
        const SignalTally& signal = counted.Signals[id];
        if (signal.SatellitesSeen > 0) {
            const SignalInfo named = SignalOf(system, static_cast<int>(id));
            signals.Signals.push_back({static_cast<int>(id), named.Name, named.Band, signal.SatellitesSeen,
                                       Ratio(signal.SnrSum, signal.SnrCount)});
        }
    }
    std::stable_sort(signals.Signals.begin(), signals.Signals.end(),
                     [](const SignalSummary& a, const SignalSummary& b) { return a.Band < b.Band; });
    return signals;
}

// GPS, SBAS and GLONASS when the log has satellites in view at all, the
// others when seen, in table order. A log without satellites in view has none
// (its GSA alone say nothing of what was seen): no zero counts that would look
// like data.
std::vector<SystemSignals> SystemsOf(const SatelliteTally& tally) {
    std::vector<SystemSignals> systems;
    for (const SatelliteSystemInfo& info : SatelliteSystems()) {
        const SystemTally& counted = tally.Systems[IndexOf(info.System)];
        const bool tableSystem = IndexOf(info.System) <= IndexOf(SatelliteSystem::Glonass);
        if ((tableSystem && tally.EpochsWithSatellites > 0) || counted.SatellitesSeen > 0) {
            systems.push_back(SystemOf(info.System, counted, tally.EpochsWithSatellites));
        }
    }
    return systems;
}

// The times of the first and last timed epoch, the duration and the time to the first fix.
void PlaceInTime(Summary& summary, const EpochTimeline& timeline, std::optional<double> firstS,
                 std::optional<double> lastS) {
    if (!firstS) {
        return;
    }
    summary.DurationS = *lastS - *firstS;
    if (summary.TimeToFirstFixS) {
        *summary.TimeToFirstFixS -= *firstS;
    }
    if (timeline.StartUnixMs) {
        summary.FirstUnixMs = *timeline.StartUnixMs + std::llround(*firstS * 1000);
        summary.LastUnixMs = *timeline.StartUnixMs + std::llround(*lastS * 1000);
    }
}

}  // namespace

Summary ComputeSummary(const list* start, LogFormat format, const SummaryOptions& options,
                       const SatelliteObservations* observations) {
    Summary summary;
    summary.Format = format;
    const EpochTimeline timeline = TimeEpochs(start, format);
    summary.TypicalStepS = TypicalStepS(timeline.StepMs);
    const GapRule gaps = GapRuleOf(summary.TypicalStepS, options.GapFactor);
    CountGaps(summary, timeline, gaps);

    FixWalk fixes(format, gaps, options.MovingSpeedKmh);
    std::optional<double> firstS;
    std::optional<double> lastS;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const waypoints& point = node->Point;
        const double seconds = timeline.Seconds[index];
        const bool timed = !std::isnan(seconds);
        ++summary.Epochs;
        const FixClass fixClass = FixClassOf(point, format);
        Count(summary.FixesByQuality, QualityName(point, format, fixClass));
        if (timed) {
            ++summary.TimedEpochs;
            if (!firstS) {
                firstS = seconds;
                summary.FirstTimeOfDayMs = point.TimeMs;
            }
            lastS = seconds;
            summary.LastTimeOfDayMs = point.TimeMs;
        }
        if (fixClass == FixClass::NoFix) {
            continue;
        }
        ++summary.Fixes;
        if (timed && !summary.TimeToFirstFixS) {
            summary.TimeToFirstFixS = seconds;
        }
        if (Finite(point)) {
            fixes.Add(point, seconds, summary);
        }
    }

    if (summary.Epochs > 0) {
        summary.FixShare = static_cast<double>(summary.Fixes) / static_cast<double>(summary.Epochs);
    }
    PlaceInTime(summary, timeline, firstS, lastS);
    fixes.Finish(summary);
    if (format == LogFormat::Nmea) {
        SortByClass(summary.FixesByQuality);
    }
    summary.Systems = SystemsOf(CollectSatelliteTally(start, observations));
    return summary;
}

Summary ComputeSummary(const PointList& points, LogFormat format, const SummaryOptions& options,
                       const SatelliteObservations* observations) {
    return ComputeSummary(points.Head, format, options, observations);
}

// --- Showing it.

namespace {

// "1:02:03" of a count of seconds (rounded to whole seconds).
std::string Clock(double seconds) {
    const long long whole = std::llround(seconds);
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

std::string TimeText(std::optional<int64_t> unixMs, std::optional<int32_t> timeOfDayMs) {
    if (unixMs) {
        return IsoUtcText(*unixMs);
    }
    if (timeOfDayMs) {
        return TimeOfDayText(*timeOfDayMs) + " UTC (no date)";
    }
    return "unknown";
}

std::string Or(const std::optional<double>& value, int decimals, std::string_view unit,
               const char* none = "-") {
    return value ? NumberText(*value, decimals) + std::string(unit) : none;
}

// The rows a table shows, with the values already as text.
struct Row {
    std::string label;
    std::string value;
    bool heading = false;  // a group's title: no value
};

// A system's row ("12 seen, 9.5 in view, 7.3 used, mean SNR 38.2 dB-Hz"; used
// only when a GSA said the system), then a row per signal.
void AddSystemRows(std::vector<Row>& rows, const SystemSignals& system) {
    rows.push_back({"  " + system.Label,
                    std::to_string(system.SatellitesSeen) + " seen, " + Or(system.MeanInView, 1, "") +
                        " in view, " + (system.MeanUsed ? NumberText(*system.MeanUsed, 1) + " used, " : "") +
                        "mean SNR " + Or(system.MeanSnrDbHz, 1, " dB-Hz")});
    for (const SignalSummary& signal : system.Signals) {
        const std::string_view band = BandName(signal.Band);
        rows.push_back({"    " + signal.Name, std::to_string(signal.SatellitesSeen) + " seen, mean SNR " +
                                                  Or(signal.MeanSnrDbHz, 1, " dB-Hz") +
                                                  (band.empty() ? "" : ", " + std::string(band) + " band")});
    }
}

std::vector<Row> Rows(const Summary& s) {
    std::vector<Row> rows;
    rows.push_back({"Format", s.Format == LogFormat::Nmea ? "NMEA" : "BINR"});
    rows.push_back({"Epochs", std::to_string(s.Epochs)});
    if (s.Filtered) {
        const FilteredOut& f = *s.Filtered;
        rows.push_back({"Filtered out", std::to_string(f.Epochs) + " epochs (quality " +
                                            std::to_string(f.Quality) + ", HDOP " + std::to_string(f.Hdop) +
                                            ", satellites " + std::to_string(f.Satellites) + ")"});
    }
    rows.push_back({"Fixes", std::to_string(s.Fixes) +
                                 (s.FixShare ? " (" + NumberText(*s.FixShare * 100, 1) + " %)" : "")});
    rows.push_back({"First time", TimeText(s.FirstUnixMs, s.FirstTimeOfDayMs)});
    rows.push_back({"Last time", TimeText(s.LastUnixMs, s.LastTimeOfDayMs)});
    rows.push_back(
        {"Duration", s.DurationS ? NumberText(*s.DurationS, 3) + " s (" + Clock(*s.DurationS) + ")" : "-"});
    rows.push_back({"Time to first fix", Or(s.TimeToFirstFixS, 3, " s", "no fix")});
    rows.push_back({"Typical epoch step", Or(s.TypicalStepS, 3, " s")});
    rows.push_back({"Gaps", std::to_string(s.GapCount) +
                                (s.LongestGapS ? ", longest " + NumberText(*s.LongestGapS, 3) + " s" : "")});
    rows.push_back({"Distance", NumberText(s.DistanceM / 1000, 3) + " km"});
    rows.push_back({"Moving time", NumberText(s.MovingTimeS, 3) + " s (" + Clock(s.MovingTimeS) + ")"});
    rows.push_back({"Maximum speed", Or(s.MaxSpeedKmh, 1, " km/h")});
    rows.push_back({"Mean speed while moving", Or(s.MeanSpeedKmh, 1, " km/h")});
    rows.push_back({"Altitude", s.AltitudeMinM ? NumberText(*s.AltitudeMinM, 1) + " to " +
                                                     NumberText(*s.AltitudeMaxM, 1) + " m"
                                               : "-"});
    rows.push_back({"HDOP median", Or(s.HdopMedian, 2, "")});
    rows.push_back({"HDOP 95th percentile", Or(s.HdopP95, 2, "")});
    rows.push_back({"Satellites used", s.SatellitesUsedMean
                                           ? "mean " + NumberText(*s.SatellitesUsedMean, 1) + ", " +
                                                 std::to_string(*s.SatellitesUsedMin) + " to " +
                                                 std::to_string(*s.SatellitesUsedMax)
                                           : "-"});
    rows.push_back({"Epochs by fix quality", "", true});
    for (const QualityCount& count : s.FixesByQuality) {
        rows.push_back({"  " + count.Name, std::to_string(count.Epochs)});
    }
    if (s.Systems.empty()) {
        rows.push_back({"Satellites by system", "none in view"});
    } else {
        rows.push_back({"Satellites by system", "", true});
    }
    for (const SystemSignals& system : s.Systems) {
        AddSystemRows(rows, system);
    }
    return rows;
}

template <typename T>
std::optional<int64_t> Wide(const std::optional<T>& value) {
    return value ? std::optional<int64_t>(*value) : std::nullopt;
}

std::optional<std::string> IsoOf(const std::optional<int64_t>& unixMs) {
    return unixMs ? std::optional<std::string>(IsoUtcText(*unixMs)) : std::nullopt;
}

std::optional<std::string> DayTimeOf(const std::optional<int32_t>& ms) {
    return ms ? std::optional<std::string>(TimeOfDayText(*ms)) : std::nullopt;
}

// A system's member of "satellites_by_system".
std::string SystemJson(const SystemSignals& system) {
    JsonObject signals(6);
    for (const SignalSummary& signal : system.Signals) {
        const std::string_view band = BandName(signal.Band);
        JsonObject one(8);
        one.Text("band", band.empty() ? std::nullopt : std::optional<std::string>(band))
            .Int("satellites_seen", signal.SatellitesSeen)
            .Num("mean_snr_dbhz", signal.MeanSnrDbHz, 2);
        signals.Raw(signal.Name, one.str());
    }
    JsonObject one(4);
    one.Int("satellites_seen", system.SatellitesSeen)
        .Num("mean_in_view", system.MeanInView, 3)
        .Num("mean_snr_dbhz", system.MeanSnrDbHz, 2)
        .Num("mean_used", system.MeanUsed, 3)
        .Raw("signals", signals.str());
    return one.str();
}

}  // namespace

std::string SummaryTable(const Summary& summary) {
    const std::vector<Row> rows = Rows(summary);
    size_t width = 0;
    for (const Row& row : rows) {
        width = std::max(width, row.label.size());
    }
    std::string out;
    for (const Row& row : rows) {
        if (row.heading) {
            out += row.label + "\n";
        } else {
            out += row.label + std::string(width + 2 - row.label.size(), ' ') + row.value + "\n";
        }
    }
    return out;
}

std::string SummaryJson(const Summary& s, const std::vector<JsonMember>& more) {
    JsonObject qualities(2);
    for (const QualityCount& count : s.FixesByQuality) {
        qualities.Raw(count.Name, std::to_string(count.Epochs));
    }
    JsonObject systems(2);
    for (const SystemSignals& system : s.Systems) {
        systems.Raw(system.Name, SystemJson(system));
    }
    JsonObject root(0);
    root.Text("format", std::string(s.Format == LogFormat::Nmea ? "nmea" : "binr"));
    if (s.Filtered) {
        JsonObject filtered(2);
        filtered.Int("epochs", s.Filtered->Epochs)
            .Int("quality", s.Filtered->Quality)
            .Int("hdop", s.Filtered->Hdop)
            .Int("satellites", s.Filtered->Satellites);
        root.Raw("filtered_out", filtered.str());
    }
    root.Int("epochs", s.Epochs)
        .Int("timed_epochs", s.TimedEpochs)
        .Int("fixes", s.Fixes)
        .Num("fix_share", s.FixShare, 6)
        .Text("first_time", IsoOf(s.FirstUnixMs))
        .Text("last_time", IsoOf(s.LastUnixMs))
        .Text("first_time_of_day", DayTimeOf(s.FirstTimeOfDayMs))
        .Text("last_time_of_day", DayTimeOf(s.LastTimeOfDayMs))
        .Num("duration_s", s.DurationS, 3)
        .Num("time_to_first_fix_s", s.TimeToFirstFixS, 3)
        .Num("typical_step_s", s.TypicalStepS, 3)
        .Int("gap_count", s.GapCount)
        .Num("longest_gap_s", s.LongestGapS, 3)
        .Num("distance_m", s.DistanceM, 3)
        .Num("moving_time_s", s.MovingTimeS, 3)
        .Num("max_speed_kmh", s.MaxSpeedKmh, 3)
        .Num("mean_speed_kmh", s.MeanSpeedKmh, 3)
        .Num("altitude_min_m", s.AltitudeMinM, 3)
        .Num("altitude_max_m", s.AltitudeMaxM, 3)
        .Num("hdop_median", s.HdopMedian, 3)
        .Num("hdop_p95", s.HdopP95, 3)
        .Num("satellites_used_mean", s.SatellitesUsedMean, 3)
        .Int("satellites_used_min", Wide(s.SatellitesUsedMin))
        .Int("satellites_used_max", Wide(s.SatellitesUsedMax))
        .Raw("fixes_by_quality", qualities.str())
        .Raw("satellites_by_system", systems.str());
    for (const JsonMember& member : more) {
        root.Raw(member.Key, member.Value);
    }
    return root.str() + "\n";
}

std::string SummaryHtmlTable(const Summary& summary) {
    std::string out = "<table>\n";
    for (const Row& row : Rows(summary)) {
        if (row.heading) {
            out += "<tr><th colspan=2 align=left>" + HtmlEscaped(row.label) + "</th></tr>\n";
        } else {
            out += "<tr><th align=left>" + HtmlEscaped(Trimmed(row.label)) + "</th><td>" +
                   HtmlEscaped(row.value) + "</td></tr>\n";
        }
    }
    return out + "</table>\n";
}

}  // namespace tervo
