#include "kml/viewer_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/render.h"

namespace tervo {
namespace {

using testing::Render;

waypoints Fix() {
    waypoints p;
    p.Time = "12:35:19.00";
    p.Date = "2013-04-02";
    p.Longitude = 37.617635;
    p.Latitude = -55.755814;
    p.Altitude = 150.26;
    p.Speed = 12.5;
    p.Course = 84.4;
    p.FixQuality = 2;
    p.FixMode = 3;
    p.StatusText = "3D";
    p.SatellitesUsed = 9;
    p.Hdop = 0.94;
    return p;
}

// The text from </description> on, which the brief form shares with the full one.
std::string Tail(const std::string& placemark) { return placemark.substr(placemark.find("</description>")); }

TEST(BriefPlacemark, OneLineOfPlainTextAndNoNameBeforeTheFullFormsTail) {
    struct Case {
        const char* catches;
        std::function<void(waypoints&)> change;
        LogFormat format;
        const char* description;
    };
    const Case cases[] = {
        {"a field missing or in the wrong format", [](waypoints&) {}, LogFormat::Nmea,
         "Point 7, 2013-04-02 12:35:19.00 UTC: 12.5 km/h, course 84.4°, altitude 150.3 m, Diff fix valid "
         "(2), "
         "3D (3), HDOP 0.9, 9 satellites"},
        {"the binary status unescaped, or its unknown satellite count printed as -1",
         [](waypoints& p) {
             p.StatusText = "<3D & more>";
             p.SatellitesUsed = -1;
         },
         LogFormat::Binr,
         "Point 7, 2013-04-02 12:35:19.00 UTC: 12.5 km/h, course 84.4°, altitude 150.3 m, &lt;3D &amp; "
         "more&gt;, HDOP 0.9"},
        {"an empty time or date printed as text around nothing",
         [](waypoints& p) {
             p.Time = "";
             p.FixQuality = 0;
             p.FixMode = 1;
         },
         LogFormat::Nmea,
         "Point 7: 12.5 km/h, course 84.4°, altitude 150.3 m, N/A (0), N/A (1), HDOP 0.9, 9 satellites"},
        {"a time without its date", [](waypoints& p) { p.Date = ""; }, LogFormat::Nmea,
         "Point 7, 12:35:19.00 UTC: 12.5 km/h, course 84.4°, altitude 150.3 m, Diff fix valid (2), 3D (3), "
         "HDOP 0.9, 9 satellites"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.catches);
        waypoints point = Fix();
        c.change(point);
        const std::string brief =
            Render([&](KmlStream& s) { WriteBriefPlacemark(s, point, 7, "255.png", c.format, true, "0.5"); });
        const std::string full =
            Render([&](KmlStream& s) { WritePlacemark(s, point, 7, "255.png", c.format, true, "0.5"); });
        EXPECT_EQ(brief.substr(0, brief.find("</description>")),
                  std::string("<Placemark>\r\n<description>") + c.description);
        EXPECT_EQ(Tail(brief), Tail(full));
    }
}

TEST(BriefPlacemark, ADifferentialFixTellsItsTimeSpeedCourseAndStatus) {
    DTrackPoint dtrack;
    dtrack.Time = "12:35:19.00";
    dtrack.Status = 'D';
    dtrack.Longitude = 37.5;
    dtrack.Latitude = 55.5;
    dtrack.Speed = 3.24;
    dtrack.Course = 359.96;
    const auto brief = [&] {
        return Render([&](KmlStream& s) { WriteBriefDTrackPlacemark(s, dtrack, 3, "65280.png", "0.5"); });
    };
    const std::string full =
        Render([&](KmlStream& s) { WriteDTrackPlacemark(s, dtrack, 3, "65280.png", "0.5"); });
    EXPECT_EQ(brief(),
              "<Placemark>\r\n<description>D-Track point 3, 12:35:19.00: 3.2 km/h, course 360.0°, status "
              "D" +
                  Tail(full));
    dtrack.Status = 0;
    dtrack.Time = "";
    EXPECT_EQ(brief().substr(0, brief().find("</description>")),
              "<Placemark>\r\n<description>D-Track point 3: 3.2 km/h, course 360.0°")
        << "an empty status printed as a replacement character, or an empty time as text";
}

}  // namespace
}  // namespace tervo
