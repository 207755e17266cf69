#include "core/satellite_observations.h"

#include <algorithm>
#include <cstring>

namespace tervo {

namespace {

// Whether `node` is `start` or comes after it, following Next.
bool Reaches(const list* start, const list* node) {
    for (const list* at = start; at != nullptr; at = at->Next) {
        if (at == node) {
            return true;
        }
    }
    return false;
}

}  // namespace

// --- SatelliteObservation ------------------------------------------------------

SatelliteObservation SatelliteObservation::InView(SatelliteSystem system, uint8_t number, uint8_t signal,
                                                  uint8_t elevation, uint16_t azimuth, uint8_t snr) {
    SatelliteObservation o;
    const uint8_t code = signal < 16 ? signal : kNoSignalCode;
    o.head_ = static_cast<uint8_t>(static_cast<uint8_t>(system) << kCodeBits | code);
    o.number_ = number;
    o.elevation_ = elevation;
    const uint16_t kept = std::min<uint16_t>(azimuth, 511);
    o.low_ = static_cast<uint8_t>(kept & 0xFF);
    o.high_ = static_cast<uint8_t>(std::min<uint8_t>(snr, 127) << 1 | kept >> 8);
    return o;
}

SatelliteObservation SatelliteObservation::UsedCount(SatelliteSystem system, uint8_t count) {
    SatelliteObservation o;
    o.head_ = static_cast<uint8_t>(static_cast<uint8_t>(system) << kCodeBits | kUsedCode);
    o.number_ = count;
    return o;
}

uint8_t SatelliteObservation::Signal() const {
    const uint8_t code = head_ & kCodeMask;
    return code < 16 ? code : kNoSignal;
}

void SatelliteObservation::AddCount(int count) {
    number_ = static_cast<uint8_t>(std::min(255, number_ + count));
}

// --- SatelliteObservations -----------------------------------------------------

void SatelliteObservations::MakeRoom() {
    if (used_ < kChunk) {
        return;
    }
    // The last epoch's observations move with it into the new chunk.
    chunks_.push_back(std::make_unique<SatelliteObservation[]>(kChunk));
    Epoch& last = epochs_.back();
    if (last.count > 0) {
        std::memcpy(chunks_.back().get(), Begin(last), last.count * sizeof(SatelliteObservation));
    }
    last.chunk = static_cast<uint32_t>(chunks_.size() - 1);
    last.first = 0;
    used_ = last.count;
}

void SatelliteObservations::Add(const list* epoch, const SatelliteObservation& observation) {
    if (epochs_.empty() || epochs_.back().node != epoch) {
        // Where the last chunk is full, MakeRoom opens the next one.
        epochs_.push_back({epoch, static_cast<uint32_t>(chunks_.size() - (used_ < kChunk ? 1 : 0)),
                           static_cast<uint16_t>(used_ < kChunk ? used_ : 0), 0});
        inLastEpoch_.reset();
    }
    Epoch& last = epochs_.back();
    SatelliteObservation* begin = last.count > 0 ? Begin(last) : nullptr;
    SatelliteObservation* end = begin + last.count;
    if (observation.Kind() == ObservationKind::InView) {
        const uint8_t signal = observation.Signal();
        const size_t key =
            (static_cast<size_t>(observation.System()) * 256 + observation.Number()) * kSignalCodes +
            (signal < 16 ? signal : 16);
        if (!inLastEpoch_.test(key)) {
            begin = end;  // nothing to replace
            if (last.count < kMostPerEpoch) {
                inLastEpoch_.set(key);
            }
        }
    }
    SatelliteObservation* same = std::find_if(begin, end, [&](const SatelliteObservation& o) {
        return o.Kind() == observation.Kind() && o.System() == observation.System() &&
               (o.Kind() == ObservationKind::UsedCount ||
                (o.Number() == observation.Number() && o.Signal() == observation.Signal()));
    });
    if (same != end && observation.Kind() == ObservationKind::UsedCount) {
        same->AddCount(observation.Number());
    } else if (same != end) {
        *same = observation;
    } else if (last.count < kMostPerEpoch) {
        MakeRoom();
        chunks_[last.chunk][last.first + last.count] = observation;
        ++last.count;
        ++used_;
        ++size_;
    }
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
        // At or after `start`: `start` is not ahead of it. Asked so, and not as
        // whether the node is ahead of `start`, the answer stays ordered for a
        // list cut short behind `start` (one piece of a split log), whose later
        // nodes `start` no longer reaches.
        const list* node = epochs[middle].node;
        if (node == start || !Reaches(node, start)) {
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
    const Epoch& epoch = observations_->epochs_[epoch_++];
    return {observations_->Begin(epoch), epoch.count};
}

}  // namespace tervo
