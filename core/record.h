// The position record of one navigation epoch and the small record operations
// the decoders and writers share.
//
// A record is copied by value and owns its texts. The zero state is what value
// initialisation gives (`waypoints{}`): every text empty, every number 0, the
// characters 0, the satellite table and the D-Track fix zero.
#pragma once

#include <cstdint>
#include <string>

#include "core/record_text.h"
#include "core/satellite_table.h"

namespace tervo {

class RecordArena;

// The differential fix ($TVLDR) of an epoch.
struct DTrackPoint {
    RecordText Time;
    char Status = 0;  // 'A', 'V' or 'D'; 0 when the sentence left it empty
    double Latitude = 0;
    double Longitude = 0;
    double Speed = 0;     // km/h
    double Course = 0;    // degrees
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
    // GGA's geoid separation, metres (0 when the field is empty): the altitude
    // plus it is the height above the WGS 84 ellipsoid. Kept for the accuracy
    // report and the GPX export; the KML document never shows it.
    double GeoidSeparation = 0;
    SatelliteTable Satellites;
    DTrackSlot DTrack;
    float Rms = 0;  // metres
    // The GSA's PDOP and VDOP (0 when not given). Kept for the GPX export only;
    // the KML document never shows them.
    float Pdop = 0;
    float Vdop = 0;
    int32_t FixQuality = 0;      // GGA quality indicator
    int32_t SatellitesUsed = 0;  // -1: unknown (binary protocol)
    int32_t FixMode = 0;         // GSA fix mode
    int32_t TimeMs = 0;          // UTC milliseconds since midnight, the epoch key
    char Status = 0;             // 'A' valid, 'V' invalid, 0 unset
    uint8_t HasSatellites = 0;
    uint8_t HasGga = 0;
    uint8_t HasRmc = 0;
};

// Puts the record into the reset state (texts empty, Status ' ', StatusText " ",
// numbers and flags 0); the satellite table, HasSatellites and DTrack.Matched keep
// their values.
void ResetRecord(waypoints& record);

// Copies the scalar fields and texts of `source` into `node`; FixMode, the
// DOPs of the GSA, the satellite table, HasSatellites and DTrack are not copied.
void CopyRecordFields(const waypoints& source, waypoints& node);

// Moves the field group of one sentence kind from `source` (decoded for the same
// epoch) into `destination`, decided by the destination's flags only; resets the
// source unless nothing was merged.
void MergeRecords(waypoints& source, waypoints& destination);

// (m * 60 + s + h * 3600) * 1000 summed in 80-bit extended precision and truncated
// toward zero.
int32_t MsOfDay(int32_t hours, int32_t minutes, double seconds);

// The first date of an NMEA log: taken from the first decoded RMC. DateFound is
// set together with LogDate, even when that RMC's date text was empty.
struct NmeaLogDate {
    std::string LogDate;
    bool DateFound = false;
};

}  // namespace tervo
