// Logs for the report tests: a hand-built point, our simulator's NMEA log, and
// the NMEA read loop that turns a log into a point list.
#pragma once

#include <string>

#include "core/point_list.h"
#include "core/satellite_observations.h"
#include "support/test_files.h"

namespace tervo::testing {

// The bytes simulate_log writes with `arguments` (TERVO_TOOLS_DIR names its folder).
std::string SimulatedNmea(const std::string& arguments, const TempDir& dir);

// Reads NMEA bytes into `points` as the run does (no start at the first fix),
// keeping the satellite observations in `observations` when given.
void ReadNmeaBytes(const std::string& bytes, PointList& points,
                   SatelliteObservations* observations = nullptr);

// A fix of one NMEA epoch with GGA and RMC, for hand-built lists.
struct NmeaFix {
    const char* time;  // "hh:mm:ss"
    const char* date;  // "yyyy-mm-dd" or ""
    int quality;       // GGA quality; -1: no GGA
    char status;       // RMC status; 0: no RMC
    double latitude;
    double longitude;
    double altitude;
    double speedKmh;
    double hdop;
    int used;
};

// Appends a node holding `fix`.
waypoints& AppendFix(PointList& points, const NmeaFix& fix);

}  // namespace tervo::testing
