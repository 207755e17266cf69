#include "core/record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include "core/point_list.h"

namespace tervo {

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

void ResetRecord(waypoints& r) {
    r.Time.clear();
    r.Date.clear();
    r.Status = ' ';
    r.StatusText = " ";
    r.Latitude = 0;
    r.Longitude = 0;
    r.Altitude = 0;
    r.GeoidSeparation = 0;
    r.Rms = 0;
    r.FixQuality = 0;
    r.FixMode = 0;
    r.Pdop = 0;
    r.Vdop = 0;
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
    d.GeoidSeparation = s.GeoidSeparation;
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
        destination.GeoidSeparation = source.GeoidSeparation;
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

}  // namespace tervo
