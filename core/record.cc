#include "core/record.h"

#include <cstdio>
#include <new>

namespace tervo {

list* PointList::AppendPoint() {
    if (gate_ != nullptr && !gate_->AllowNode()) {
        return nullptr;
    }
    list* node = nullptr;
    try {
        node = &nodes_.emplace_back();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (Tail == nullptr) {
        Head = node;
        Start = node;
    } else {
        Tail->Next = node;
    }
    Tail = node;
    return node;
}

void PointList::FreePointList(list* node) {
    if (node == nullptr) {
        return;
    }
    // Nodes sit in the deque in append order, so "this node and every node after
    // it" is a tail of the deque.
    while (!nodes_.empty()) {
        list* last = &nodes_.back();
        if (Start == last) {
            Start = nullptr;
        }
        if (FirstFix == last) {
            FirstFix = nullptr;
        }
        if (Head == last) {
            Head = nullptr;
        }
        nodes_.pop_back();
        if (last == node) {
            break;
        }
    }
    Tail = nodes_.empty() ? nullptr : &nodes_.back();
    if (Tail != nullptr) {
        Tail->Next = nullptr;
    }
}

void ResetRecord(waypoints& r) {
    r.Time.clear();
    r.Date.clear();
    r.DTrack.Time.clear();
    r.Status = ' ';
    r.StatusText.assign(1, ' ');
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
    r.DTrack.Status = 0;
    r.DTrack.Latitude = 0;
    r.DTrack.Longitude = 0;
    r.DTrack.Speed = 0;
    r.DTrack.Course = 0;
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
