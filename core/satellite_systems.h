// The satellite systems a log may name, said once for the decoders and the
// report: each system's letter, name, colour and plot marker, the NMEA talkers
// that speak for it and its NMEA 4.10+ system id.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
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

// --- Signals.

// The frequency band of a signal, by its carrier: L1 (1559-1610 MHz: GPS L1,
// GLONASS G1, Galileo E1, BeiDou B1), L2 (1215-1254 MHz), L5 (1164-1215 MHz:
// GPS L5, Galileo E5a and E5b, BeiDou B2), L6 (1260-1300 MHz: Galileo E6,
// BeiDou B3, QZSS L6) and S (NavIC's 2492 MHz). Unstated: the sentence named no
// signal, or one the table does not place.
enum class Band : uint8_t { L1, L2, L5, L6, S, Unstated };
inline constexpr int kBandCount = 6;

std::string_view BandName(Band band);  // "L1" ... "S"; "" for Unstated

struct SignalInfo {
    std::string Name;  // "L1 C/A", "E5a", "B1I"; the id in decimal ("12") where the table has none
    tervo::Band Band = tervo::Band::Unstated;
};

// The signal `signalId` (0 to 15, the GSV's last field in NMEA 4.10 and later)
// of `system`, by the NMEA 4.11 table of signal ids. SBAS takes GPS's table.
// Id 0 is "all signals".
SignalInfo SignalOf(SatelliteSystem system, int signalId);

}  // namespace tervo
