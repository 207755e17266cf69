// The position record of one navigation epoch, the forward-linked point list the
// run keeps them in, and the small record operations the decoders and writers share.
//
// A record is copied by value and owns its texts. The zero state is what value
// initialisation gives (`waypoints{}`): every text empty, every number 0, the
// characters 0, the satellite table and the D-Track fix zero.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tervo {

// A text of a record. A log holds a record per second for days, and its texts
// (times, dates, fix states) are short, so up to kInlineCapacity bytes are kept
// inside the object and only a longer text goes to the heap. Like std::string
// it holds any bytes and keeps a terminating NUL behind them.
class RecordText {
public:
    static constexpr size_t kInlineCapacity = 14;

    RecordText() noexcept { SetInlineSize(0); }
    RecordText(std::string_view text) : RecordText() { assign(text.data(), text.size()); }
    RecordText(const char* text) : RecordText(std::string_view(text)) {}
    RecordText(const std::string& text) : RecordText(std::string_view(text)) {}
    RecordText(const RecordText& other) : RecordText(std::string_view(other)) {}
    RecordText(RecordText&& other) noexcept;
    ~RecordText() { Release(); }

    RecordText& operator=(const RecordText& other);
    RecordText& operator=(RecordText&& other) noexcept;
    RecordText& operator=(std::string_view text) { return assign(text.data(), text.size()); }
    RecordText& operator=(const char* text) { return *this = std::string_view(text); }
    RecordText& operator=(const std::string& text) { return *this = std::string_view(text); }

    RecordText& assign(const char* data, size_t size);
    RecordText& append(const char* data, size_t size);
    RecordText& operator+=(std::string_view text) { return append(text.data(), text.size()); }
    void clear() noexcept;

    const char* data() const noexcept { return OnHeap() ? HeapData() : bytes_; }
    const char* c_str() const noexcept { return data(); }
    size_t size() const noexcept;
    bool empty() const noexcept { return size() == 0; }
    operator std::string_view() const noexcept { return {data(), size()}; }
    std::string str() const { return std::string(data(), size()); }

    friend bool operator==(const RecordText& a, const RecordText& b) {
        return std::string_view(a) == std::string_view(b);
    }
    friend bool operator==(const RecordText& a, std::string_view b) { return std::string_view(a) == b; }
    friend bool operator==(const RecordText& a, const char* b) { return std::string_view(a) == b; }
    friend bool operator==(const RecordText& a, const std::string& b) { return std::string_view(a) == b; }

private:
    // Inline: the bytes, a NUL, and the length in the last byte. On the heap:
    // the pointer and the 32-bit length at the start, kOnHeap in the last byte.
    static constexpr uint8_t kOnHeap = 0xFF;
    bool OnHeap() const noexcept { return static_cast<uint8_t>(bytes_[15]) == kOnHeap; }
    char* HeapData() const noexcept;
    void SetInlineSize(size_t size) noexcept;
    void Release() noexcept;

    alignas(8) char bytes_[16];
};

std::ostream& operator<<(std::ostream& out, const RecordText& text);

// One row of the satellite table. Rows are indexed by the NMEA satellite id
// (GPS 1-32, SBAS 33-64, GLONASS 65-96); row 0 is never filled.
struct SatelliteInfo {
    char System = 0;        // 'G' GPS, 'S' SBAS, 'R' GLONASS
    uint8_t Number = 0;     // number within the system (SBAS PRN 120-151, GLONASS slot 1-32)
    int8_t Channel = 0;     // GLONASS frequency channel (binary protocol only)
    uint8_t Elevation = 0;  // degrees
    uint16_t Azimuth = 0;   // degrees
    uint8_t Snr = 0;        // dB-Hz
    uint8_t Used = 0;       // 1: used in the solution
    uint8_t InView = 0;     // 1: the row was filled; only such rows are written
};

inline constexpr int kSatelliteRows = 97;

// A stored row of the table with its id. The id takes the padding byte at the
// end of SatelliteInfo, which the compiler leaves to a derived class (the
// assignments of a SatelliteInfo never write that byte).
struct SatelliteRow : SatelliteInfo {
    uint8_t Id = 0;
};
static_assert(sizeof(SatelliteRow) == sizeof(SatelliteInfo), "the id is meant to fill the row's padding");

class RecordArena;

// The satellite table: the 97 rows of ids 0 to 96, of which only the rows ever
// written are stored, in id order. A row that is not stored reads as a zero
// row. An epoch sees a dozen or two satellites, and a log holds an epoch per
// second for days.
//
// A reference to a row stays valid until the next row is added.
class SatelliteTable {
public:
    SatelliteTable() noexcept = default;
    SatelliteTable(const SatelliteTable& other);
    SatelliteTable(SatelliteTable&& other);
    SatelliteTable& operator=(const SatelliteTable& other);
    SatelliteTable& operator=(SatelliteTable&& other);
    ~SatelliteTable() { Release(); }

    // The row of `id`, added as a zero row when it is not stored yet. Throws
    // std::out_of_range for an id outside 0 to 96.
    SatelliteInfo& operator[](size_t id);
    // The row of `id`; a zero row when it is not stored.
    const SatelliteInfo& operator[](size_t id) const;
    // The stored row of `id`, or nullptr.
    SatelliteInfo* Find(size_t id) noexcept;
    const SatelliteInfo* Find(size_t id) const noexcept;

    // The stored rows in id order.
    const SatelliteRow* begin() const noexcept { return Rows(); }
    const SatelliteRow* end() const noexcept { return Rows() + size(); }
    size_t size() const noexcept { return block_ == nullptr ? 0 : block_->size; }

    // Equal when every one of the 97 rows reads the same.
    friend bool operator==(const SatelliteTable& a, const SatelliteTable& b);

    // Moves the rows into the arena, packed to their number; the table then
    // refers to them there. Adding a row later moves them back to the heap.
    void SettleIn(RecordArena& arena);

private:
    // capacity 0: the rows lie in an arena, which owns them.
    struct Block {
        uint8_t size;
        uint8_t capacity;
    };
    static size_t BlockBytes(size_t capacity) { return sizeof(Block) + capacity * sizeof(SatelliteRow); }
    SatelliteRow* Rows() const noexcept {
        return block_ == nullptr ? nullptr : reinterpret_cast<SatelliteRow*>(block_ + 1);
    }
    void CopyFrom(const SatelliteTable& other);
    void Release() noexcept;

    Block* block_ = nullptr;
};

// The differential fix ($TVLDR) of an epoch.
struct DTrackPoint {
    RecordText Time;
    char Status = 0;  // 'A', 'V' or 'D'; 0 when the sentence left it empty
    double Latitude = 0;
    double Longitude = 0;
    double Speed = 0;   // km/h
    double Course = 0;  // degrees
    uint8_t Matched = 0;  // set by the epoch assembly, never by a decoder
};

// The D-Track fix of a record, kept only once something was written into it:
// most epochs of most logs have none. Reading an absent fix gives the zero fix.
class DTrackSlot {
public:
    DTrackSlot() noexcept = default;
    DTrackSlot(const DTrackSlot& other);
    DTrackSlot(DTrackSlot&& other);
    DTrackSlot& operator=(const DTrackSlot& other);
    DTrackSlot& operator=(DTrackSlot&& other);
    ~DTrackSlot() { Release(); }

    const DTrackPoint& operator*() const noexcept { return bits_ != 0 ? *Point() : kAbsent; }
    const DTrackPoint* operator->() const noexcept { return &**this; }
    explicit operator bool() const noexcept { return bits_ != 0; }
    // The fix for writing, made as the zero fix when there is none yet.
    DTrackPoint& Edit();

    // Moves the fix into the arena, as SatelliteTable::SettleIn does.
    void SettleIn(RecordArena& arena);

private:
    static const DTrackPoint kAbsent;
    void Release() noexcept;

    DTrackPoint* Point() const noexcept { return reinterpret_cast<DTrackPoint*>(bits_ & ~kInArena); }
    bool InArena() const noexcept { return (bits_ & kInArena) != 0; }

    // The fix's address, its lowest bit set when the fix lies in an arena.
    static constexpr uintptr_t kInArena = 1;
    uintptr_t bits_ = 0;
};

// Position record: what the decoders understood of one epoch. The fields are
// declared largest first, so that the record packs without holes.
struct waypoints {
    RecordText Time;        // "hh:mm:ss" plus the fraction as sent (NMEA) or ".mmm" (BINR)
    RecordText Date;        // "yyyy-mm-dd"
    RecordText StatusText;  // fix-status text of the binary protocol
    double Latitude = 0;    // degrees, south negative
    double Longitude = 0;   // degrees, west negative
    double Altitude = 0;    // metres
    double Hdop = 0;
    double Speed = 0;   // km/h
    double Course = 0;  // degrees
    SatelliteTable Satellites;
    DTrackSlot DTrack;
    float Rms = 0;               // metres
    int32_t FixQuality = 0;      // GGA quality indicator
    int32_t SatellitesUsed = 0;  // -1: unknown (binary protocol)
    int32_t FixMode = 0;         // GSA fix mode
    int32_t TimeMs = 0;          // UTC milliseconds since midnight, the epoch key
    char Status = 0;             // 'A' valid, 'V' invalid, 0 unset
    uint8_t HasSatellites = 0;
    uint8_t HasGga = 0;
    uint8_t HasRmc = 0;
};

// A node of the point list.
struct list {
    waypoints Point;
    list* Next = nullptr;
};

// Bump-allocated memory for the satellite rows and D-Track fixes of the nodes
// the read loop has left behind, without the per-block overhead of the heap.
// Released whole.
class RecordArena {
public:
    void* Allocate(size_t size, size_t alignment);
    void Release() noexcept;

private:
    static constexpr size_t kChunkSize = 64 * 1024;
    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    size_t used_ = kChunkSize;
};

// Decides whether one more node may be allocated. Tests pass one that refuses,
// to drive the "Can't create the list!" stop; the run's default allows every node.
class AllocationGate {
public:
    virtual ~AllocationGate() = default;
    virtual bool AllowNode() = 0;
};

// The point list of one run with its run-wide pointers. Nodes keep their
// address for the life of the list; `Next` links them in append order.
//
// The decoders write only into the last node, so when a node is appended the
// one before it is complete: its satellite rows and D-Track fix then move into
// the list's arena, packed. Nodes live in chunks of kChunkNodes.
class PointList {
public:
    explicit PointList(AllocationGate* gate = nullptr) : gate_(gate) {}
    ~PointList() { FreePointList(Head); }
    PointList(const PointList&) = delete;
    PointList& operator=(const PointList&) = delete;

    list* Head = nullptr;
    list* Tail = nullptr;
    list* Start = nullptr;
    list* FirstFix = nullptr;

    // Links a new zero-state node behind Tail (or makes it Head, Start and Tail)
    // and returns it. Returns nullptr, with the list unchanged, when the node
    // cannot be allocated.
    list* AppendPoint();

    // Releases `node` and every node after it; nullptr does nothing. The pointers
    // that named a released node are cleared. The arena is released with the
    // last node.
    void FreePointList(list* node);

    size_t size() const { return size_; }

private:
    static constexpr size_t kChunkNodes = 1024;
    struct ChunkDeleter {
        void operator()(list* nodes) const;
    };
    list* NodeAt(size_t index) const { return chunks_[index / kChunkNodes].get() + index % kChunkNodes; }

    std::vector<std::unique_ptr<list, ChunkDeleter>> chunks_;
    size_t size_ = 0;
    RecordArena arena_;
    AllocationGate* gate_;
};

// Puts the record into the reset state (texts empty, Status ' ', StatusText " ",
// numbers and flags 0); the satellite table, HasSatellites and DTrack.Matched keep
// their values.
void ResetRecord(waypoints& record);

// Copies the scalar fields and texts of `source` into `node`; FixMode, the
// satellite table, HasSatellites and DTrack are not copied.
void CopyRecordFields(const waypoints& source, waypoints& node);

// Moves the field group of one sentence kind from `source` (decoded for the same
// epoch) into `destination`, decided by the destination's flags only; resets the
// source unless nothing was merged.
void MergeRecords(waypoints& source, waypoints& destination);

// (m * 60 + s + h * 3600) * 1000 summed in 80-bit extended precision and truncated
// toward zero.
int32_t MsOfDay(int32_t hours, int32_t minutes, double seconds);

// "FF" followed by the colour as 0xBBGGRR in upper-case hex, at least six digits.
std::string KmlColor(int32_t colour);

}  // namespace tervo

namespace tervo {

// The first date of an NMEA log: taken from the first decoded RMC. DateFound is
// set together with LogDate, even when that RMC's date text was empty.
struct NmeaLogDate {
    std::string LogDate;
    bool DateFound = false;
};

}  // namespace tervo
