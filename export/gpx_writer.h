// The GPX 1.1 export: one track of the valid fixes, a segment per gap.
//
// A point is in the track when it has a valid fix (HasValidFix) and a finite
// position within the ranges GPX allows (latitude -90 to 90, longitude -180 to
// 180, where 180 is written as -180, the same meridian). Each point carries
// what the log gives of: ele, time (its Date and Time, when UnixMsOfDateTime
// takes them), geoidheight (GGA's geoid separation), fix, sat, hdop, vdop and
// pdop (the GSA's; the binary protocol gives neither), and course (degrees)
// and speed (m/s, as GPX 1.0 gave speed) as <tervo:course> and <tervo:speed>
// in its extensions. fix is dgps for a differential or RTK fix, pps for PPS, 2d or 3d for
// a single fix or one of unknown quality (NMEA: by the GSA mode; BINR: by the
// fix status), and left out for one that was not measured (dead reckoning,
// manual, simulated) or whose dimension the log does not tell.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/byte_sink.h"
#include "core/fix_quality.h"
#include "core/record.h"

namespace tervo {

inline constexpr std::string_view kGpxExtensionNamespace = "urn:tervoconverter:gpx:1";

struct GpxOptions {
    std::string TrackName;  // the track's <name>; none when empty
    // The longest step within a segment (the gap rule; see PlaceInTime).
    std::optional<int64_t> GapAboveMs;
};

// Writes the whole document onto `sink` and closes it; false when a byte was lost.
bool WriteGpx(ByteSink& sink, std::span<const waypoints* const> points, LogFormat format,
              const GpxOptions& options);

}  // namespace tervo
