// The fields of an epoch as the CSV rows and the GeoJSON points show them: the
// placemark's table (position, altitude, time, speed, course, RMS, the GGA
// quality and GSA mode or the binary fix status, HDOP, satellites used) with the
// fix class and whether the fix is valid. One table, so the two formats name and
// fill their fields alike.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/fix_quality.h"
#include "core/record.h"

namespace tervo {

// A field's value. None where the log does not give it (an NMEA epoch without
// GGA has no altitude, HDOP or satellites used, one without RMC no speed or
// course; an RMS, HDOP of 0 or less or a number that is not finite is none too).
struct FieldValue {
    enum class Kind : uint8_t { None, Number, Integer, Text, Boolean, DateTime };
    Kind kind = Kind::None;
    double number = 0;  // Number, with `decimals` decimals
    int decimals = 0;
    int64_t integer = 0;         // Integer
    std::string_view text = {};  // Text; DateTime: the date, joined by "T" to `time`, ending in "Z"
    std::string_view time = {};  // DateTime
    bool boolean = false;        // Boolean
};

struct EpochField {
    std::string_view Name;
    // The position, which GeoJSON puts into the geometry instead.
    bool InGeometry = false;
    FieldValue (*ValueOf)(const waypoints& point, LogFormat format) = nullptr;
};

inline constexpr size_t kEpochFieldCount = 14;

// In column order: time, longitude, latitude, altitude_m, speed_kmh,
// course_deg, rms_m, fix, valid, gga_quality, gsa_mode, status, hdop,
// satellites_used. The time is the epoch's Date and Time as an ISO 8601 UTC time
// when UnixMsOfDateTime takes them (else none); status is the RMC status
// letter (NMEA) or the fix-status text (BINR).
const std::array<EpochField, kEpochFieldCount>& EpochFields();

}  // namespace tervo
