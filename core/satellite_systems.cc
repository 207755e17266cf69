#include "core/satellite_systems.h"

#include <algorithm>

namespace tervo {

namespace {

// Colours of the categorical palette the plots use elsewhere; markers that
// tell the systems apart in grey too.
constexpr std::array<SatelliteSystemInfo, kSatelliteSystemCount> kSystems = {{
    {SatelliteSystem::Gps, 'G', "GPS", "GPS", {31, 119, 180}, MarkerShape::Circle, {"GP", ""}, 1},
    {SatelliteSystem::Sbas, 'S', "SBAS", "SBAS", {148, 103, 189}, MarkerShape::Triangle, {"", ""}, 1},
    {SatelliteSystem::Glonass, 'R', "GLONASS", "GLONASS", {214, 39, 40}, MarkerShape::Square, {"GL", ""}, 2},
    {SatelliteSystem::Galileo, 'E', "GALILEO", "Galileo", {44, 160, 44}, MarkerShape::Diamond, {"GA", ""}, 3},
    {SatelliteSystem::Beidou,
     'C',
     "BEIDOU",
     "BeiDou",
     {255, 127, 14},
     MarkerShape::InvertedTriangle,
     {"GB", "BD"},
     4},
    {SatelliteSystem::Qzss, 'J', "QZSS", "QZSS", {140, 86, 75}, MarkerShape::Pentagon, {"GQ", "QZ"}, 5},
    {SatelliteSystem::Navic, 'I', "NAVIC", "NavIC", {227, 119, 194}, MarkerShape::Hexagon, {"GI", ""}, 6},
}};

struct SignalRow {
    SatelliteSystem system;
    int id;
    std::string_view name;
    Band band;
};

// The NMEA 4.11 signal ids, system by system (SBAS reads GPS's rows).
constexpr SignalRow kSignals[] = {
    {SatelliteSystem::Gps, 1, "L1 C/A", Band::L1},     {SatelliteSystem::Gps, 2, "L1 P(Y)", Band::L1},
    {SatelliteSystem::Gps, 3, "L1 M", Band::L1},       {SatelliteSystem::Gps, 4, "L2 P(Y)", Band::L2},
    {SatelliteSystem::Gps, 5, "L2C-M", Band::L2},      {SatelliteSystem::Gps, 6, "L2C-L", Band::L2},
    {SatelliteSystem::Gps, 7, "L5-I", Band::L5},       {SatelliteSystem::Gps, 8, "L5-Q", Band::L5},
    {SatelliteSystem::Glonass, 1, "G1 C/A", Band::L1}, {SatelliteSystem::Glonass, 2, "G1 P", Band::L1},
    {SatelliteSystem::Glonass, 3, "G2 C/A", Band::L2}, {SatelliteSystem::Glonass, 4, "G2 P", Band::L2},
    {SatelliteSystem::Galileo, 1, "E5a", Band::L5},    {SatelliteSystem::Galileo, 2, "E5b", Band::L5},
    {SatelliteSystem::Galileo, 3, "E5a+b", Band::L5},  {SatelliteSystem::Galileo, 4, "E6-A", Band::L6},
    {SatelliteSystem::Galileo, 5, "E6-BC", Band::L6},  {SatelliteSystem::Galileo, 6, "E1-A", Band::L1},
    {SatelliteSystem::Galileo, 7, "E1", Band::L1},  // E1-B/C, the open service
    {SatelliteSystem::Beidou, 1, "B1I", Band::L1},     {SatelliteSystem::Beidou, 2, "B1Q", Band::L1},
    {SatelliteSystem::Beidou, 3, "B1C", Band::L1},     {SatelliteSystem::Beidou, 4, "B1A", Band::L1},
    {SatelliteSystem::Beidou, 5, "B2a", Band::L5},     {SatelliteSystem::Beidou, 6, "B2b", Band::L5},
    {SatelliteSystem::Beidou, 7, "B2a+b", Band::L5},   {SatelliteSystem::Beidou, 8, "B3I", Band::L6},
    {SatelliteSystem::Beidou, 9, "B3Q", Band::L6},     {SatelliteSystem::Beidou, 10, "B3A", Band::L6},
    {SatelliteSystem::Beidou, 11, "B2I", Band::L5},    {SatelliteSystem::Beidou, 12, "B2Q", Band::L5},
    {SatelliteSystem::Qzss, 1, "L1 C/A", Band::L1},    {SatelliteSystem::Qzss, 2, "L1C (D)", Band::L1},
    {SatelliteSystem::Qzss, 3, "L1C (P)", Band::L1},   {SatelliteSystem::Qzss, 4, "LIS", Band::L1},
    {SatelliteSystem::Qzss, 5, "L2C-M", Band::L2},     {SatelliteSystem::Qzss, 6, "L2C-L", Band::L2},
    {SatelliteSystem::Qzss, 7, "L5-I", Band::L5},      {SatelliteSystem::Qzss, 8, "L5-Q", Band::L5},
    {SatelliteSystem::Qzss, 9, "L6D", Band::L6},       {SatelliteSystem::Qzss, 10, "L6E", Band::L6},
    {SatelliteSystem::Navic, 1, "L5 SPS", Band::L5},   {SatelliteSystem::Navic, 2, "S SPS", Band::S},
    {SatelliteSystem::Navic, 3, "L5 RS", Band::L5},    {SatelliteSystem::Navic, 4, "S RS", Band::S},
    {SatelliteSystem::Navic, 5, "L1 SPS", Band::L1},
};

}  // namespace

std::string_view BandName(Band band) {
    static constexpr std::string_view kNames[kBandCount] = {"L1", "L2", "L5", "L6", "S", ""};
    return kNames[static_cast<size_t>(band)];
}

SignalInfo SignalOf(SatelliteSystem system, int signalId) {
    const SatelliteSystem table = system == SatelliteSystem::Sbas ? SatelliteSystem::Gps : system;
    if (signalId == 0) {
        return {"all signals", Band::Unstated};
    }
    for (const SignalRow& row : kSignals) {
        if (row.system == table && row.id == signalId) {
            return {std::string(row.name), row.band};
        }
    }
    return {std::to_string(signalId), Band::Unstated};
}

std::span<const SatelliteSystemInfo> SatelliteSystems() { return kSystems; }

const SatelliteSystemInfo& InfoOf(SatelliteSystem system) { return kSystems[IndexOf(system)]; }

std::optional<SatelliteSystem> SystemOfLetter(char letter) {
    for (const SatelliteSystemInfo& info : kSystems) {
        if (info.Letter == letter) {
            return info.System;
        }
    }
    return std::nullopt;
}

std::optional<SatelliteSystem> SystemOfTalker(std::string_view talker) {
    for (const SatelliteSystemInfo& info : kSystems) {
        if (!talker.empty() &&
            std::find(info.Talkers.begin(), info.Talkers.end(), talker) != info.Talkers.end()) {
            return info.System;
        }
    }
    return std::nullopt;
}

std::optional<SatelliteSystem> SystemOfNmeaId(int systemId) {
    for (const SatelliteSystemInfo& info : kSystems) {
        if (info.NmeaSystemId == systemId) {
            return info.System;  // GPS before SBAS: id 1 is GPS
        }
    }
    return std::nullopt;
}

}  // namespace tervo
