#include "report/collectors.h"

#include <algorithm>
#include <bitset>
#include <cmath>

namespace tervo {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The longest step of a pass, as a share of the plot's radius: a longer one is
// a satellite that left and came back between two samples.
constexpr double kLongestPassStep = 0.3;

// The systems of the record's satellite table, by its System letter.
std::optional<SatelliteSystem> TableSystemOf(char letter) {
    switch (letter) {
        case 'G':
            return SatelliteSystem::Gps;
        case 'S':
            return SatelliteSystem::Sbas;
        case 'R':
            return SatelliteSystem::Glonass;
        default:
            return std::nullopt;
    }
}

bool HasSkyPosition(const Sighting& sighting) {
    return !(sighting.Elevation == 0 && sighting.Azimuth == 0) && sighting.Elevation <= 90;
}

// A position on the sky plot's disc of radius 1: north up, east right.
struct DiscPoint {
    double x, y;
};

DiscPoint OnDisc(double elevation, double azimuth) {
    const double r = (90 - elevation) / 90;
    return {r * std::sin(azimuth * M_PI / 180), -r * std::cos(azimuth * M_PI / 180)};
}

// The passes of CollectSkyPasses as they are followed, sample by sample.
class PassFollower {
public:
    void Take(long sample, const Sighting& sighting) {
        Track& track = tracks_[IndexOf(sighting.System)][sighting.Number];
        const SkyPoint point{static_cast<double>(sighting.Elevation), static_cast<double>(sighting.Azimuth),
                             sighting.Snr};
        const DiscPoint here = OnDisc(point.Elevation, point.Azimuth);
        const bool continues = track.sample == sample - 1 &&
                               std::hypot(here.x - track.at.x, here.y - track.at.y) <= kLongestPassStep;
        if (!continues && track.sample >= 0) {
            ended_.push_back(std::move(track.pass));
            track.pass = {};
        }
        track.pass.System = sighting.System;
        track.pass.Number = sighting.Number;
        track.pass.Points.push_back(point);
        track.sample = sample;
        track.at = here;
    }

    std::vector<SkyPass> Finish(long lastSample) {
        for (auto& system : tracks_) {
            for (Track& track : system) {
                if (track.sample >= 0) {
                    track.pass.ToTheEnd = track.sample == lastSample;
                    ended_.push_back(std::move(track.pass));
                }
            }
        }
        return std::move(ended_);
    }

private:
    struct Track {
        long sample = -2;  // the sample it was last seen in
        DiscPoint at{0, 0};
        SkyPass pass;
    };
    std::array<std::array<Track, 256>, kSatelliteSystemCount> tracks_{};
    std::vector<SkyPass> ended_;
};

}  // namespace

GapRule GapRuleOf(std::optional<double> typicalStepS, double factor) {
    GapRule rule;
    if (typicalStepS) {
        rule.AboveS = *typicalStepS * factor;
    }
    return rule;
}

bool HasReceiverSpeed(const waypoints& point, LogFormat format) {
    return format == LogFormat::Binr || point.HasRmc == 1;
}

bool HasAltitude(const waypoints& point, LogFormat format) {
    return format == LogFormat::Binr || point.HasGga == 1;
}

void SatelliteReader::Read(const waypoints& point, std::vector<Sighting>& out) const {
    out.clear();
    for (const SatelliteRow& row : point.Satellites) {
        const std::optional<SatelliteSystem> system = TableSystemOf(row.System);
        if (row.InView == 1 && system) {
            out.push_back({*system, row.Number, row.Elevation, row.Azimuth, row.Snr});
        }
    }
}

std::vector<SkyPass> CollectSkyPasses(const list* start, const SatelliteReader& reader, size_t mostSamples) {
    size_t satelliteEpochs = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        satelliteEpochs += reader.HasSatellites(node->Point) ? 1 : 0;
    }
    const size_t stride =
        std::max<size_t>(1, (satelliteEpochs + mostSamples - 1) / std::max<size_t>(mostSamples, 1));
    auto follower = std::make_unique<PassFollower>();
    std::vector<Sighting> sightings;
    long sample = -1;
    size_t seen = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        if (!reader.HasSatellites(node->Point) || seen++ % stride != 0) {
            continue;
        }
        ++sample;
        reader.Read(node->Point, sightings);
        for (const Sighting& sighting : sightings) {
            if (HasSkyPosition(sighting)) {
                follower->Take(sample, sighting);
            }
        }
    }
    return follower->Finish(sample);
}

std::vector<SystemSeries> CollectSnrSeries(const list* start, const EpochTimeline& timeline,
                                           const SatelliteReader& reader) {
    std::array<SystemSeries, kSatelliteSystemCount> series;
    std::array<bool, kSatelliteSystemCount> any{};
    std::vector<Sighting> sightings;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const double seconds = timeline.Seconds[index];
        if (!reader.HasSatellites(node->Point) || std::isnan(seconds)) {
            continue;
        }
        std::array<double, kSatelliteSystemCount> sum{};
        std::array<int, kSatelliteSystemCount> count{};
        reader.Read(node->Point, sightings);
        for (const Sighting& sighting : sightings) {
            if (sighting.Snr > 0) {
                sum[IndexOf(sighting.System)] += sighting.Snr;
                ++count[IndexOf(sighting.System)];
            }
        }
        for (size_t s = 0; s < series.size(); ++s) {
            series[s].Samples.push_back({seconds, count[s] > 0 ? sum[s] / count[s] : kNaN});
            any[s] = any[s] || count[s] > 0;
        }
    }
    std::vector<SystemSeries> present;
    for (size_t s = 0; s < series.size(); ++s) {
        if (any[s]) {
            series[s].System = static_cast<SatelliteSystem>(s);
            present.push_back(std::move(series[s]));
        }
    }
    return present;
}

MotionSeries CollectMotion(const list* start, LogFormat format, const EpochTimeline& timeline) {
    MotionSeries motion;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const waypoints& point = node->Point;
        const double seconds = timeline.Seconds[index];
        if (std::isnan(seconds)) {
            continue;
        }
        if (!HasValidFix(point, format)) {
            motion.Speed.push_back({seconds, kNaN});
            motion.Altitude.push_back({seconds, kNaN});
            continue;
        }
        if (HasReceiverSpeed(point, format) && std::isfinite(point.Speed)) {
            motion.Speed.push_back({seconds, point.Speed});
        }
        if (HasAltitude(point, format) && std::isfinite(point.Altitude)) {
            motion.Altitude.push_back({seconds, point.Altitude});
        }
    }
    return motion;
}

QualityTimeline CollectQualityTimeline(const list* start, LogFormat format, const EpochTimeline& timeline) {
    QualityTimeline quality;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const FixClass fixClass = FixClassOf(node->Point, format);
        ++quality.Epochs[static_cast<size_t>(fixClass)];
        ++quality.Total;
        if (!std::isnan(timeline.Seconds[index])) {
            quality.Spans.push_back({timeline.Seconds[index], kNaN, fixClass});
        }
    }
    const std::optional<double> typical = TypicalStepS(timeline.StepMs);
    const GapRule gaps = GapRuleOf(typical);
    const double own = typical.value_or(1);
    for (size_t i = 0; i < quality.Spans.size(); ++i) {
        QualitySpan& span = quality.Spans[i];
        const double next = i + 1 < quality.Spans.size() ? quality.Spans[i + 1].From : kNaN;
        const double step = next - span.From;
        span.To = step > 0 && !gaps.IsGap(step) ? next : span.From + own;
    }
    return quality;
}

SatelliteTally CollectSatelliteTally(const list* start, const SatelliteReader& reader) {
    SatelliteTally tally;
    std::array<std::bitset<256>, kSatelliteSystemCount> seen{};
    std::vector<Sighting> sightings;
    for (const list* node = start; node != nullptr; node = node->Next) {
        if (!reader.HasSatellites(node->Point)) {
            continue;
        }
        ++tally.EpochsWithSatellites;
        reader.Read(node->Point, sightings);
        for (const Sighting& sighting : sightings) {
            SystemTally& system = tally.Systems[IndexOf(sighting.System)];
            seen[IndexOf(sighting.System)].set(sighting.Number);
            ++system.InView;
            if (sighting.Snr > 0) {
                system.SnrSum += sighting.Snr;
                ++system.SnrCount;
            }
        }
    }
    for (size_t s = 0; s < seen.size(); ++s) {
        tally.Systems[s].SatellitesSeen = static_cast<int>(seen[s].count());
    }
    return tally;
}

}  // namespace tervo
