// The satellite systems a log may name, said once for the decoders and the
// report: each system's letter, name, colour and plot marker, the NMEA talkers
// that speak for it and its NMEA 4.10+ system id.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/colour_scale.h"

namespace tervo {

// In the order the report lists them; the first three are the systems the
// record's satellite table holds.
enum class SatelliteSystem : uint8_t { Gps, Sbas, Glonass, Galileo, Beidou, Qzss, Navic };
inline constexpr int kSatelliteSystemCount = 7;

// The shape a plot marks a system's satellites with.
enum class MarkerShape : uint8_t { Circle, Square, Triangle, Diamond, InvertedTriangle, Pentagon, Hexagon };

struct SatelliteSystemInfo {
    SatelliteSystem System;
    char Letter;             // the record's System ('G' GPS, 'S' SBAS, 'R' GLONASS), then 'E', 'C', 'J', 'I'
    std::string_view Name;   // "GALILEO": the summary's JSON key
    std::string_view Label;  // "Galileo": for tables and legends
    Rgb Colour;
    MarkerShape Marker;
    // The talkers whose GSV and GSA sentences speak of this system only; empty
    // when none does (SBAS satellites come under the GPS talker).
    std::array<std::string_view, 2> Talkers;
    // The system id of NMEA 4.10 and later (GSA field 18): 1 GPS (SBAS too), 2
    // GLONASS, 3 Galileo, 4 BeiDou, 5 QZSS, 6 NavIC.
    int NmeaSystemId;
};

// The table, in SatelliteSystem order.
std::span<const SatelliteSystemInfo> SatelliteSystems();

const SatelliteSystemInfo& InfoOf(SatelliteSystem system);

inline size_t IndexOf(SatelliteSystem system) { return static_cast<size_t>(system); }

// The system of a record's System letter, or of any letter in the table.
std::optional<SatelliteSystem> SystemOfLetter(char letter);

// The system whose talker `talker` is ("GA" Galileo); none for "GN" and other
// talkers that speak of several systems or of none.
std::optional<SatelliteSystem> SystemOfTalker(std::string_view talker);

// The system of an NMEA 4.10+ system id: GPS for 1 (SBAS shares it), none for
// an id outside 1 to 6.
std::optional<SatelliteSystem> SystemOfNmeaId(int systemId);

}  // namespace tervo
