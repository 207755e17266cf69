// The satellite table of a position record: only the rows ever written are stored.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tervo {

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

// The table's ids: GPS 1 to 32 as themselves, SBAS PRN 120 to 151 as 33 to 64,
// GLONASS slots 1 to 32 as 65 to 96.
struct SatelliteName {
    char System = 0;     // 'G', 'S' or 'R'
    uint8_t Number = 0;  // within the system
};
// The system and number of id 1 to 96 (an id up to 32 is GPS, up to 64 SBAS,
// any other GLONASS).
SatelliteName NameOfSatelliteId(int32_t id);
// The id of a satellite; 0 when the table has no row for it.
int SatelliteIdOf(char system, int number);

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

}  // namespace tervo
