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

}  // namespace

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
