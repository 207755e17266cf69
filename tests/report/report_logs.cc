#include "report_logs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "nmea/nmea_reader.h"
#include "support/recording_view.h"

namespace tervo::testing {

std::string SimulatedNmea(const std::string& arguments, const TempDir& dir) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    const std::string path = dir.File("log.nmea");
    const std::string command =
        std::string(tools ? tools : ".") + "/simulate_log " + arguments + " --out " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadFile(path);
}

void ReadNmeaBytes(const std::string& bytes, PointList& points, SatelliteObservations* observations) {
    RecordingView view;
    view.recordTicks = false;
    SentenceAssembler assembler;
    TestPlatform platform;
    NmeaLogDate logDate;
    std::FILE* input = MemoryInput(bytes);
    ASSERT_EQ(ReadNmeaLog(input, view, 1 << 30, false, assembler, platform, points, logDate, {},
                          {.Observations = observations}),
              ReadOutcome::Finished);
    std::fclose(input);
}

waypoints& AppendFix(PointList& points, const NmeaFix& fix) {
    waypoints& p = points.AppendPoint()->Point;
    p.Time = fix.time;
    const std::string time = fix.time;
    if (!time.empty()) {
        p.TimeMs =
            MsOfDay(std::stoi(time.substr(0, 2)), std::stoi(time.substr(3, 2)), std::stod(time.substr(6)));
    }
    p.Date = fix.date;
    if (fix.quality >= 0) {
        p.HasGga = 1;
        p.FixQuality = fix.quality;
        p.Altitude = fix.altitude;
        p.Hdop = fix.hdop;
        p.SatellitesUsed = fix.used;
    }
    if (fix.status != 0) {
        p.HasRmc = 1;
        p.Status = fix.status;
        p.Speed = fix.speedKmh;
    }
    p.Latitude = fix.latitude;
    p.Longitude = fix.longitude;
    return p;
}

}  // namespace tervo::testing
