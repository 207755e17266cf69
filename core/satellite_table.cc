#include "core/satellite_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "core/point_list.h"

namespace tervo {

// --- SatelliteTable ------------------------------------------------------------

namespace {

const SatelliteInfo kZeroRow{};

bool SameRow(const SatelliteInfo& a, const SatelliteInfo& b) {
    return a.System == b.System && a.Number == b.Number && a.Channel == b.Channel &&
           a.Elevation == b.Elevation && a.Azimuth == b.Azimuth && a.Snr == b.Snr && a.Used == b.Used &&
           a.InView == b.InView;
}

}  // namespace

SatelliteTable::SatelliteTable(const SatelliteTable& other) { CopyFrom(other); }

// Rows that lie in an arena are copied rather than taken over: the arena may
// go before the table does.
SatelliteTable::SatelliteTable(SatelliteTable&& other) {
    if (other.block_ != nullptr && other.block_->capacity == 0) {
        CopyFrom(other);
    } else {
        block_ = other.block_;
    }
    other.block_ = nullptr;
}

SatelliteTable& SatelliteTable::operator=(const SatelliteTable& other) {
    if (this != &other) {
        SatelliteTable copy(other);
        Release();
        block_ = copy.block_;
        copy.block_ = nullptr;
    }
    return *this;
}

SatelliteTable& SatelliteTable::operator=(SatelliteTable&& other) {
    if (this != &other) {
        SatelliteTable taken(std::move(other));
        Release();
        block_ = taken.block_;
        taken.block_ = nullptr;
    }
    return *this;
}

void SatelliteTable::CopyFrom(const SatelliteTable& other) {
    const size_t n = other.size();
    if (n == 0) {
        block_ = nullptr;
        return;
    }
    block_ = static_cast<Block*>(::operator new(BlockBytes(n)));
    block_->size = static_cast<uint8_t>(n);
    block_->capacity = static_cast<uint8_t>(n);
    std::memcpy(static_cast<void*>(Rows()), other.Rows(), n * sizeof(SatelliteRow));
}

void SatelliteTable::Release() noexcept {
    if (block_ != nullptr && block_->capacity != 0) {
        ::operator delete(block_);
    }
    block_ = nullptr;
}

SatelliteInfo* SatelliteTable::Find(size_t id) noexcept {
    for (SatelliteRow *row = Rows(), *last = row + size(); row != last && row->Id <= id; ++row) {
        if (row->Id == id) {
            return row;
        }
    }
    return nullptr;
}

const SatelliteInfo* SatelliteTable::Find(size_t id) const noexcept {
    return const_cast<SatelliteTable*>(this)->Find(id);
}

const SatelliteInfo& SatelliteTable::operator[](size_t id) const {
    const SatelliteInfo* row = Find(id);
    return row != nullptr ? *row : kZeroRow;
}

SatelliteInfo& SatelliteTable::operator[](size_t id) {
    if (id >= kSatelliteRows) {
        throw std::out_of_range("satellite id " + std::to_string(id));
    }
    const size_t n = size();
    SatelliteRow* rows = Rows();
    size_t at = 0;
    while (at < n && rows[at].Id < id) {
        ++at;
    }
    if (at < n && rows[at].Id == id) {
        return rows[at];
    }
    if (n == 0 || block_->capacity == n || block_->capacity == 0) {
        // A new block on the heap, twice as large, up to all 97 rows.
        const size_t capacity = std::min<size_t>(kSatelliteRows, std::max<size_t>(4, 2 * n));
        auto* grown = static_cast<Block*>(::operator new(BlockBytes(capacity)));
        grown->size = static_cast<uint8_t>(n);
        grown->capacity = static_cast<uint8_t>(capacity);
        if (n > 0) {
            std::memcpy(static_cast<void*>(grown + 1), rows, n * sizeof(SatelliteRow));
        }
        Release();
        block_ = grown;
        rows = Rows();
    }
    std::memmove(static_cast<void*>(rows + at + 1), rows + at, (n - at) * sizeof(SatelliteRow));
    SatelliteRow* row = new (rows + at) SatelliteRow{};
    row->Id = static_cast<uint8_t>(id);
    block_->size = static_cast<uint8_t>(n + 1);
    return *row;
}

bool operator==(const SatelliteTable& a, const SatelliteTable& b) {
    for (size_t id = 0; id < kSatelliteRows; ++id) {
        if (!SameRow(a[id], b[id])) {
            return false;
        }
    }
    return true;
}

void SatelliteTable::SettleIn(RecordArena& arena) {
    const size_t n = size();
    if (n == 0 || block_->capacity == 0) {
        return;
    }
    auto* settled = static_cast<Block*>(arena.Allocate(BlockBytes(n), alignof(SatelliteRow)));
    settled->size = static_cast<uint8_t>(n);
    settled->capacity = 0;
    std::memcpy(static_cast<void*>(settled + 1), Rows(), n * sizeof(SatelliteRow));
    Release();
    block_ = settled;
}

SatelliteName NameOfSatelliteId(int32_t id) {
    if (id <= 32) {
        return {'G', static_cast<uint8_t>(id)};
    }
    if (id <= 64) {
        return {'S', static_cast<uint8_t>(id + 87)};
    }
    return {'R', static_cast<uint8_t>(id - 64)};
}

int SatelliteIdOf(char system, int number) {
    switch (system) {
        case 'G':
            return number >= 1 && number <= 32 ? number : 0;
        case 'S':
            return number >= 120 && number <= 151 ? number - 87 : 0;
        case 'R':
            return number >= 1 && number <= 32 ? number + 64 : 0;
        default:
            return 0;
    }
}

}  // namespace tervo
