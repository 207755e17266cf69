#include "core/satellite_observations.h"

#include <algorithm>

namespace tervo {

namespace {

// Whether `node` is `start` or comes after it.
bool Reaches(const list* start, const list* node) {
    for (const list* at = start; at != nullptr; at = at->Next) {
        if (at == node) {
            return true;
        }
    }
    return false;
}

}  // namespace

void SatelliteObservations::Add(const list* epoch, const SatelliteObservation& observation) {
    if (epochs_.empty() || epochs_.back().node != epoch) {
        epochs_.push_back({epoch, static_cast<uint32_t>(observations_.size())});
    }
    const auto first = observations_.begin() + epochs_.back().first;
    const auto same = std::find_if(first, observations_.end(), [&](const SatelliteObservation& o) {
        return o.Kind == observation.Kind && o.System == observation.System &&
               (o.Kind == ObservationKind::UsedCount ||
                (o.Number == observation.Number && o.Signal == observation.Signal));
    });
    if (same == observations_.end()) {
        observations_.push_back(observation);
    } else if (observation.Kind == ObservationKind::UsedCount) {
        same->Number = static_cast<uint8_t>(std::min(255, same->Number + observation.Number));
    } else {
        *same = observation;
    }
}

std::span<const SatelliteObservation> SatelliteObservations::ObservationsOf(size_t epoch) const {
    const size_t first = epochs_[epoch].first;
    const size_t end = epoch + 1 < epochs_.size() ? epochs_[epoch + 1].first : observations_.size();
    return {observations_.data() + first, end - first};
}

// The epochs of the nodes from `start` on are the last ones: the first of them
// is found by halving, each probe a walk along the list.
SatelliteObservations::Walk::Walk(const SatelliteObservations* observations, const list* start)
    : observations_(observations) {
    if (observations_ == nullptr) {
        return;
    }
    const std::vector<Epoch>& epochs = observations_->epochs_;
    size_t low = 0;
    size_t high = epochs.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (Reaches(start, epochs[middle].node)) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    epoch_ = low;
}

std::span<const SatelliteObservation> SatelliteObservations::Walk::Next(const list* node) {
    if (observations_ == nullptr || epoch_ >= observations_->epochs_.size() ||
        observations_->epochs_[epoch_].node != node) {
        return {};
    }
    return observations_->ObservationsOf(epoch_++);
}

}  // namespace tervo
