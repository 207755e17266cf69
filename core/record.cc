#include "core/record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

namespace tervo {

// --- RecordText ----------------------------------------------------------------

RecordText::RecordText(RecordText&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.SetInlineSize(0);
}

RecordText& RecordText::operator=(const RecordText& other) {
    if (this != &other) {
        assign(other.data(), other.size());
    }
    return *this;
}

RecordText& RecordText::operator=(RecordText&& other) noexcept {
    if (this != &other) {
        Release();
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.SetInlineSize(0);
    }
    return *this;
}

char* RecordText::HeapData() const noexcept {
    char* heap;
    std::memcpy(&heap, bytes_, sizeof heap);
    return heap;
}

size_t RecordText::size() const noexcept {
    if (!OnHeap()) {
        return static_cast<uint8_t>(bytes_[15]);
    }
    uint32_t size;
    std::memcpy(&size, bytes_ + 8, sizeof size);
    return size;
}

void RecordText::SetInlineSize(size_t size) noexcept {
    bytes_[size] = 0;
    bytes_[15] = static_cast<char>(size);
}

void RecordText::Release() noexcept {
    if (OnHeap()) {
        delete[] HeapData();
        SetInlineSize(0);
    }
}

RecordText& RecordText::assign(const char* data, size_t size) {
    // `data` may lie inside this text.
    if (size <= kInlineCapacity) {
        char bytes[kInlineCapacity];
        std::memcpy(bytes, data, size);
        Release();
        std::memcpy(bytes_, bytes, size);
        SetInlineSize(size);
        return *this;
    }
    if (size > UINT32_MAX) {
        throw std::length_error("record text too long");
    }
    char* heap = new char[size + 1];
    std::memcpy(heap, data, size);
    heap[size] = 0;
    Release();
    const auto size32 = static_cast<uint32_t>(size);
    std::memcpy(bytes_, &heap, sizeof heap);
    std::memcpy(bytes_ + 8, &size32, sizeof size32);
    bytes_[15] = static_cast<char>(kOnHeap);
    return *this;
}

RecordText& RecordText::append(const char* data, size_t size) {
    const size_t old = this->size();
    if (!OnHeap() && old + size <= kInlineCapacity) {
        std::memmove(bytes_ + old, data, size);
        SetInlineSize(old + size);
        return *this;
    }
    std::string joined(this->data(), old);
    joined.append(data, size);
    return assign(joined.data(), joined.size());
}

void RecordText::clear() noexcept {
    Release();
    SetInlineSize(0);
}

std::ostream& operator<<(std::ostream& out, const RecordText& text) { return out << std::string_view(text); }

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
    for (SatelliteRow* row = Rows(), *last = row + size(); row != last && row->Id <= id; ++row) {
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

// --- DTrackSlot ----------------------------------------------------------------

const DTrackPoint DTrackSlot::kAbsent{};

DTrackSlot::DTrackSlot(const DTrackSlot& other) {
    if (other) {
        bits_ = reinterpret_cast<uintptr_t>(new DTrackPoint(*other));
    }
}

DTrackSlot::DTrackSlot(DTrackSlot&& other) {
    if (other.InArena()) {
        bits_ = reinterpret_cast<uintptr_t>(new DTrackPoint(*other));
        other.Release();
    } else {
        bits_ = other.bits_;
        other.bits_ = 0;
    }
}

DTrackSlot& DTrackSlot::operator=(const DTrackSlot& other) {
    if (this != &other) {
        DTrackSlot copy(other);
        Release();
        bits_ = copy.bits_;
        copy.bits_ = 0;
    }
    return *this;
}

DTrackSlot& DTrackSlot::operator=(DTrackSlot&& other) {
    if (this != &other) {
        DTrackSlot taken(std::move(other));
        Release();
        bits_ = taken.bits_;
        taken.bits_ = 0;
    }
    return *this;
}

void DTrackSlot::Release() noexcept {
    if (InArena()) {
        Point()->~DTrackPoint();
    } else {
        delete Point();
    }
    bits_ = 0;
}

DTrackPoint& DTrackSlot::Edit() {
    if (bits_ == 0) {
        bits_ = reinterpret_cast<uintptr_t>(new DTrackPoint{});
    }
    return *Point();
}

void DTrackSlot::SettleIn(RecordArena& arena) {
    if (bits_ == 0 || InArena()) {
        return;
    }
    void* place = arena.Allocate(sizeof(DTrackPoint), alignof(DTrackPoint));
    auto* settled = new (place) DTrackPoint(std::move(*Point()));
    Release();
    bits_ = reinterpret_cast<uintptr_t>(settled) | kInArena;
}

// --- RecordArena ---------------------------------------------------------------

void* RecordArena::Allocate(size_t size, size_t alignment) {
    size_t at = (used_ + alignment - 1) & ~(alignment - 1);
    if (chunks_.empty() || at + size > kChunkSize) {
        if (size > kChunkSize) {
            throw std::bad_alloc();
        }
        chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kChunkSize));
        at = 0;
    }
    used_ = at + size;
    return chunks_.back().get() + at;
}

void RecordArena::Release() noexcept {
    chunks_.clear();
    used_ = kChunkSize;
}

// --- PointList -----------------------------------------------------------------

void PointList::ChunkDeleter::operator()(list* nodes) const { ::operator delete(static_cast<void*>(nodes)); }

list* PointList::AppendPoint() {
    if (gate_ != nullptr && !gate_->AllowNode()) {
        return nullptr;
    }
    if (size_ == chunks_.size() * kChunkNodes) {
        try {
            chunks_.emplace_back(static_cast<list*>(::operator new(kChunkNodes * sizeof(list))));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    list* node = new (NodeAt(size_)) list{};
    ++size_;
    if (Tail == nullptr) {
        Head = node;
        Start = node;
    } else {
        Tail->Next = node;
        try {
            Tail->Point.Satellites.SettleIn(arena_);
            Tail->Point.DTrack.SettleIn(arena_);
        } catch (const std::bad_alloc&) {
            // Left on the heap, where it serves as well.
        }
    }
    Tail = node;
    return node;
}

void PointList::FreePointList(list* node) {
    if (node == nullptr) {
        return;
    }
    // Nodes lie in append order, so "this node and every node after it" is the
    // end of the store.
    while (size_ > 0) {
        list* last = NodeAt(size_ - 1);
        if (Start == last) {
            Start = nullptr;
        }
        if (FirstFix == last) {
            FirstFix = nullptr;
        }
        if (Head == last) {
            Head = nullptr;
        }
        last->~list();
        --size_;
        if (last == node) {
            break;
        }
    }
    Tail = size_ == 0 ? nullptr : NodeAt(size_ - 1);
    if (Tail != nullptr) {
        Tail->Next = nullptr;
    } else {
        chunks_.clear();
        arena_.Release();
    }
}

void ResetRecord(waypoints& r) {
    r.Time.clear();
    r.Date.clear();
    r.Status = ' ';
    r.StatusText = " ";
    r.Latitude = 0;
    r.Longitude = 0;
    r.Altitude = 0;
    r.Rms = 0;
    r.FixQuality = 0;
    r.FixMode = 0;
    r.SatellitesUsed = 0;
    r.Hdop = 0;
    r.Speed = 0;
    r.Course = 0;
    r.TimeMs = 0;
    r.HasGga = 0;
    r.HasRmc = 0;
    if (r.DTrack) {
        DTrackPoint& dtrack = r.DTrack.Edit();
        dtrack.Time.clear();
        dtrack.Status = 0;
        dtrack.Latitude = 0;
        dtrack.Longitude = 0;
        dtrack.Speed = 0;
        dtrack.Course = 0;
    }
}

void CopyRecordFields(const waypoints& s, waypoints& d) {
    d.Time = s.Time;
    d.Latitude = s.Latitude;
    d.Longitude = s.Longitude;
    d.Altitude = s.Altitude;
    d.Date = s.Date;
    d.Status = s.Status;
    d.Rms = s.Rms;
    d.FixQuality = s.FixQuality;
    d.StatusText = s.StatusText;
    d.SatellitesUsed = s.SatellitesUsed;
    d.Hdop = s.Hdop;
    d.Speed = s.Speed;
    d.Course = s.Course;
    d.HasGga = s.HasGga;
    d.HasRmc = s.HasRmc;
    d.TimeMs = s.TimeMs;
}

void MergeRecords(waypoints& source, waypoints& destination) {
    if (destination.HasRmc == 1) {
        // The node holds the RMC of the epoch: the source is its GGA.
        destination.Altitude = source.Altitude;
        destination.FixQuality = source.FixQuality;
        destination.StatusText = source.StatusText;
        destination.SatellitesUsed = source.SatellitesUsed;
        destination.Hdop = source.Hdop;
        destination.HasGga = source.HasGga;
    } else if (destination.HasGga == 1) {
        // The node holds the GGA of the epoch: the source is its RMC.
        destination.Speed = source.Speed;
        destination.Course = source.Course;
        destination.Status = source.Status;
        destination.HasRmc = source.HasRmc;
        destination.Date.append(source.Date.data(), source.Date.size());
    } else {
        return;
    }
    ResetRecord(source);
}

int32_t MsOfDay(int32_t hours, int32_t minutes, double seconds) {
    long double sum = static_cast<long double>(minutes) * 60;
    sum += static_cast<long double>(seconds);
    sum += static_cast<long double>(hours) * 3600;
    long double ms = sum * 1000;
    // Out-of-range values (hostile input) saturate instead of overflowing.
    if (!(ms > -2147483648.0L)) {
        return ms != ms ? 0 : INT32_MIN;
    }
    if (ms >= 2147483648.0L) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(ms);
}

std::string KmlColor(int32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "FF%06X", static_cast<uint32_t>(colour));
    return text;
}

}  // namespace tervo
