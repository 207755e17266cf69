#include "report/collectors.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <memory>

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
        if (track.sample == sample) {
            // Another signal of a satellite already placed in this sample.
            uint8_t& snr = track.pass.Points.back().Snr;
            snr = std::max(snr, sighting.Snr);
            return;
        }
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

// The SNR series of CollectSnrSeries as they grow, epoch by epoch.
class SnrGatherer {
public:
    void Take(double seconds, const std::vector<Sighting>& sightings) {
        std::array<std::array<double, kSatelliteSystemCount>, kBandCount> sum{};
        std::array<std::array<int, kSatelliteSystemCount>, kBandCount> count{};
        for (const Sighting& sighting : sightings) {
            if (sighting.Snr > 0) {
                const auto band = static_cast<size_t>(BandOf(sighting));
                sum[band][IndexOf(sighting.System)] += sighting.Snr;
                ++count[band][IndexOf(sighting.System)];
            }
        }
        for (size_t b = 0; b < kBandCount; ++b) {
            for (size_t s = 0; s < kSatelliteSystemCount; ++s) {
                std::vector<Sample>& samples = series_[b][s];
                if (count[b][s] > 0) {
                    samples.push_back({seconds, sum[b][s] / count[b][s]});
                } else if (!samples.empty() && !std::isnan(samples.back().Value)) {
                    samples.push_back({seconds, kNaN});
                }
            }
        }
    }

    std::vector<BandSeries> Finish() {
        std::vector<BandSeries> bands;
        for (size_t b = 0; b < kBandCount; ++b) {
            BandSeries band{static_cast<Band>(b), {}};
            for (size_t s = 0; s < kSatelliteSystemCount; ++s) {
                if (!series_[b][s].empty()) {
                    band.Systems.push_back({static_cast<SatelliteSystem>(s), std::move(series_[b][s])});
                }
            }
            if (!band.Systems.empty()) {
                bands.push_back(std::move(band));
            }
        }
        return bands;
    }

private:
    std::array<std::array<std::vector<Sample>, kSatelliteSystemCount>, kBandCount> series_;
};

// The counts of CollectSatelliteTally as they grow, epoch by epoch.
class TallyCounter {
public:
    void TakeUsed(const std::array<std::optional<int>, kSatelliteSystemCount>& counts) {
        for (size_t s = 0; s < kSatelliteSystemCount; ++s) {
            // SBAS satellites are listed under GPS's word.
            const bool said = counts[s] || (static_cast<SatelliteSystem>(s) == SatelliteSystem::Sbas &&
                                            counts[IndexOf(SatelliteSystem::Gps)]);
            if (said) {
                tally_.Systems[s].Used += counts[s].value_or(0);
                ++tally_.Systems[s].UsedEpochs;
            }
        }
    }

    void TakeInView(const std::vector<Sighting>& sightings) {
        ++tally_.EpochsWithSatellites;
        std::array<std::bitset<256>, kSatelliteSystemCount> here{};
        for (const Sighting& sighting : sightings) {
            const size_t s = IndexOf(sighting.System);
            SystemTally& system = tally_.Systems[s];
            seen_[s].set(sighting.Number);
            here[s].set(sighting.Number);
            if (sighting.Snr > 0) {
                system.SnrSum += sighting.Snr;
                ++system.SnrCount;
            }
            if (sighting.Signal < system.Signals.size()) {
                SignalTally& signal = system.Signals[sighting.Signal];
                signalSeen_[s][sighting.Signal].set(sighting.Number);
                signal.SnrSum += sighting.Snr > 0 ? sighting.Snr : 0;
                signal.SnrCount += sighting.Snr > 0 ? 1 : 0;
            }
        }
        for (size_t s = 0; s < kSatelliteSystemCount; ++s) {
            tally_.Systems[s].InView += static_cast<int64_t>(here[s].count());
        }
    }

    SatelliteTally Finish() {
        for (size_t s = 0; s < kSatelliteSystemCount; ++s) {
            tally_.Systems[s].SatellitesSeen = static_cast<int>(seen_[s].count());
            for (size_t g = 0; g < signalSeen_[s].size(); ++g) {
                tally_.Systems[s].Signals[g].SatellitesSeen = static_cast<int>(signalSeen_[s][g].count());
            }
        }
        return tally_;
    }

private:
    SatelliteTally tally_;
    std::array<std::bitset<256>, kSatelliteSystemCount> seen_{};
    std::array<std::array<std::bitset<256>, 16>, kSatelliteSystemCount> signalSeen_{};
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

Band BandOf(const Sighting& sighting) {
    return sighting.Signal == SatelliteObservation::kNoSignal
               ? Band::L1
               : SignalOf(sighting.System, sighting.Signal).Band;
}

bool EpochSatellites::HasSatellites() const {
    return point_.HasSatellites == 1 ||
           std::any_of(observations_.begin(), observations_.end(),
                       [](const SatelliteObservation& o) { return o.Kind() == ObservationKind::InView; });
}

void EpochSatellites::Read(std::vector<Sighting>& out) const {
    out.clear();
    std::array<bool, kSatelliteSystemCount> observed{};
    for (const SatelliteObservation& o : observations_) {
        observed[IndexOf(o.System())] = observed[IndexOf(o.System())] || o.Kind() == ObservationKind::InView;
    }
    for (const SatelliteRow& row : point_.Satellites) {
        const std::optional<SatelliteSystem> system = TableSystemOf(row.System);
        if (row.InView == 1 && system && !observed[IndexOf(*system)]) {
            out.push_back({*system, row.Number, row.Elevation, row.Azimuth, row.Snr});
        }
    }
    for (const SatelliteObservation& o : observations_) {
        if (o.Kind() == ObservationKind::InView) {
            out.push_back({o.System(), o.Number(), o.Elevation(), o.Azimuth(), o.Snr(), o.Signal()});
        }
    }
}

std::array<std::optional<int>, kSatelliteSystemCount> EpochSatellites::UsedCounts() const {
    std::array<std::optional<int>, kSatelliteSystemCount> counts{};
    for (const SatelliteObservation& o : observations_) {
        if (o.Kind() == ObservationKind::UsedCount) {
            counts[IndexOf(o.System())] = o.Number();
        }
    }
    return counts;
}

std::vector<SkyPass> CollectSkyPasses(const list* start, const SatelliteObservations* observations,
                                      size_t mostSamples) {
    size_t satelliteEpochs = 0;
    SatelliteReader counter(observations, start);
    for (const list* node = start; node != nullptr; node = node->Next) {
        satelliteEpochs += counter.Next(node).HasSatellites() ? 1 : 0;
    }
    const size_t stride =
        std::max<size_t>(1, (satelliteEpochs + mostSamples - 1) / std::max<size_t>(mostSamples, 1));
    auto follower = std::make_unique<PassFollower>();
    SatelliteReader reader(observations, start);
    std::vector<Sighting> sightings;
    long sample = -1;
    size_t seen = 0;
    for (const list* node = start; node != nullptr; node = node->Next) {
        const EpochSatellites epoch = reader.Next(node);
        if (!epoch.HasSatellites() || seen++ % stride != 0) {
            continue;
        }
        ++sample;
        epoch.Read(sightings);
        for (const Sighting& sighting : sightings) {
            if (HasSkyPosition(sighting)) {
                follower->Take(sample, sighting);
            }
        }
    }
    return follower->Finish(sample);
}

std::vector<BandSeries> CollectSnrSeries(const list* start, const EpochTimeline& timeline,
                                         const SatelliteObservations* observations) {
    SnrGatherer gatherer;
    SatelliteReader reader(observations, start);
    std::vector<Sighting> sightings;
    size_t index = 0;
    for (const list* node = start; node != nullptr; node = node->Next, ++index) {
        const EpochSatellites epoch = reader.Next(node);
        const double seconds = timeline.Seconds[index];
        if (!epoch.HasSatellites() || std::isnan(seconds)) {
            continue;
        }
        epoch.Read(sightings);
        gatherer.Take(seconds, sightings);
    }
    return gatherer.Finish();
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

SatelliteTally CollectSatelliteTally(const list* start, const SatelliteObservations* observations) {
    TallyCounter counter;
    SatelliteReader reader(observations, start);
    std::vector<Sighting> sightings;
    for (const list* node = start; node != nullptr; node = node->Next) {
        const EpochSatellites epoch = reader.Next(node);
        counter.TakeUsed(epoch.UsedCounts());
        if (epoch.HasSatellites()) {
            epoch.Read(sightings);
            counter.TakeInView(sightings);
        }
    }
    return counter.Finish();
}

}  // namespace tervo
