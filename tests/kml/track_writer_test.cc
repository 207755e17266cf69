#include "kml/track_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/render.h"

namespace tervo {
namespace {

using testing::Render;

std::string Frame(const std::string& opening, const std::string& name, const std::string& coordinates) {
    return opening + "<name>" + name + "</name>\r\n<styleUrl>#" + name +
           "</styleUrl>\r\n<LineString>\r\n<tessellate>1</tessellate>\r\n<coordinates>\r\n" + coordinates +
           "</coordinates>\r\n</LineString>\r\n</Placemark>\r\n";
}

// One node per row; each says which track draws it. The NMEA and D-Track lines
// have no tab, the binary and all-points lines start with one.
struct Node {
    const char* legend;
    uint8_t gga;
    uint8_t rmc;
    char status;
    char dtrackStatus;
    uint8_t matched;
    bool nmea;
    bool binr;
    bool dtrack;
};

const Node kNodes[] = {
    {"GGA+RMC valid: every track", 1, 1, 'A', 'A', 1, true, true, true},
    {"GGA+RMC invalid: left out of every NormalTrack", 1, 1, 'V', 'D', 1, false, false, true},
    {"GGA only, even without a fix", 1, 0, 0, 'V', 1, true, false, true},
    {"GGA only with status V still drawn by the NMEA rule", 1, 0, 'V', 'A', 0, true, false, false},
    {"RMC only valid", 0, 1, 'A', 'X', 1, true, true, false},
    {"RMC only invalid", 0, 1, 'V', 0, 1, false, false, false},
    {"neither GGA nor RMC, status A: only the binary rule", 0, 0, 'A', 'a', 1, false, true, false},
    {"lower-case status is no valid status", 1, 1, 'a', 'd', 1, false, false, false},
    {"flag value 2 is not 1", 2, 0, 'A', 'A', 2, false, true, false},
};

TEST(TrackWriters, SelectionAndCoordinateLines) {
    PointList points;
    std::string nmea, binr, all, dtrack;
    int i = 0;
    for (const Node& n : kNodes) {
        waypoints& p = points.AppendPoint()->Point;
        p.HasGga = n.gga;
        p.HasRmc = n.rmc;
        p.Status = n.status;
        DTrackPoint& fix = p.DTrack.Edit();
        fix.Status = n.dtrackStatus;
        fix.Matched = n.matched;
        // Distinct coordinates per node; every other one south and west.
        double sign = i % 2 == 0 ? 1 : -1;
        p.Longitude = sign * (10.5 + i);
        p.Latitude = sign * (50.25 + i);
        p.Altitude = 100.125 + i;
        fix.Longitude = -p.Longitude;
        fix.Latitude = -p.Latitude;
        char line[128];
        std::snprintf(line, sizeof line, "%.6f,%.6f,%.6f\r\n", p.Longitude, p.Latitude, p.Altitude);
        if (n.nmea) {
            nmea += line;
        }
        if (n.binr) {
            binr += std::string("\t") + line;
        }
        all += std::string("\t") + line;
        if (n.dtrack) {
            std::snprintf(line, sizeof line, "%.6f,%.6f,0.000000\r\n", fix.Longitude, fix.Latitude);
            dtrack += line;
        }
        ++i;
    }
    EXPECT_EQ(Render([&](KmlStream& s) { WriteNmeaTrack(s, points.Start, "NormalTrack"); }),
              Frame("<Placemark>\r\n", "NormalTrack", nmea));
    EXPECT_EQ(Render([&](KmlStream& s) { WriteBinrTrack(s, points.Start, "NormalTrack"); }),
              Frame("<Placemark>\r\n", "NormalTrack", binr));
    EXPECT_EQ(Render([&](KmlStream& s) { WriteAllPointsTrack(s, points.Start, "IncorrectTrack"); }),
              Frame("<Placemark\r\n>", "IncorrectTrack", all));
    EXPECT_EQ(Render([&](KmlStream& s) { WriteDTrackLine(s, points.Start, "D-Track"); }),
              Frame("<Placemark>\r\n", "D-Track", dtrack));
}

TEST(TrackWriters, NoStartGivesTheEmptyFrame) {
    EXPECT_EQ(Render([](KmlStream& s) { WriteNmeaTrack(s, nullptr, "NormalTrack"); }),
              Frame("<Placemark>\r\n", "NormalTrack", ""));
    EXPECT_EQ(Render([](KmlStream& s) { WriteBinrTrack(s, nullptr, "NormalTrack"); }),
              Frame("<Placemark>\r\n", "NormalTrack", ""));
    EXPECT_EQ(Render([](KmlStream& s) { WriteAllPointsTrack(s, nullptr, "IncorrectTrack"); }),
              Frame("<Placemark\r\n>", "IncorrectTrack", ""));
    EXPECT_EQ(Render([](KmlStream& s) { WriteDTrackLine(s, nullptr, "D-Track"); }),
              Frame("<Placemark>\r\n", "D-Track", ""));
}

}  // namespace
}  // namespace tervo
