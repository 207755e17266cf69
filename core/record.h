// The position record of one navigation epoch, the forward-linked point list the
// run keeps them in, and the small record operations the decoders and writers share.
//
// A record is copied by value and owns its texts. The zero state is what value
// initialisation gives (`waypoints{}`): every text empty, every number 0, the
// characters 0, the satellite table and the D-Track fix zero.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>

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

// The satellite table. Code indexes it only with `Satellites[id]` and walks it
// by index from 0 to kSatelliteRows - 1, so its storage can change freely.
using SatelliteTable = std::array<SatelliteInfo, kSatelliteRows>;

// The differential fix ($TVLDR) of an epoch.
struct DTrackPoint {
    std::string Time;
    char Status = 0;  // 'A', 'V' or 'D'; 0 when the sentence left it empty
    double Latitude = 0;
    double Longitude = 0;
    double Speed = 0;   // km/h
    double Course = 0;  // degrees
    uint8_t Matched = 0;  // set by the epoch assembly, never by a decoder
};

// Position record: what the decoders understood of one epoch.
struct waypoints {
    std::string Time;        // "hh:mm:ss" plus the fraction as sent (NMEA) or ".mmm" (BINR)
    double Latitude = 0;     // degrees, south negative
    double Longitude = 0;    // degrees, west negative
    double Altitude = 0;     // metres
    std::string Date;        // "yyyy-mm-dd"
    char Status = 0;         // 'A' valid, 'V' invalid, 0 unset
    float Rms = 0;           // metres
    int32_t FixQuality = 0;  // GGA quality indicator
    std::string StatusText;  // fix-status text of the binary protocol
    int32_t SatellitesUsed = 0;  // -1: unknown (binary protocol)
    double Hdop = 0;
    double Speed = 0;   // km/h
    double Course = 0;  // degrees
    int32_t FixMode = 0;  // GSA fix mode
    SatelliteTable Satellites{};
    uint8_t HasSatellites = 0;
    int32_t TimeMs = 0;  // UTC milliseconds since midnight, the epoch key
    uint8_t HasGga = 0;
    uint8_t HasRmc = 0;
    DTrackPoint DTrack;
};

// A node of the point list.
struct list {
    waypoints Point;
    list* Next = nullptr;
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
class PointList {
public:
    explicit PointList(AllocationGate* gate = nullptr) : gate_(gate) {}
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
    // that named a released node are cleared.
    void FreePointList(list* node);

    size_t size() const { return nodes_.size(); }

private:
    std::deque<list> nodes_;
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
