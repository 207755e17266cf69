// The track in time. Legend of the cases:
// - MultiTrackAtAGap: a small log written whole (a <when> after a <gx:coord>,
//   a gap not split, an invalid or untimed fix in the track, a value the log
//   does not give written as 0, data arrays out of step with the points);
// - OneTrackWithoutGap and NoTrack: no MultiTrack without a gap, no empty
//   placemark;
// - HeadTextWithAPrefix: the style and Schema with a receiver's prefix (an id without its
//   prefix would clash in a merged document).
#include "kml/time_track.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/render.h"

namespace tervo {
namespace {

using testing::Render;

std::string CrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return out;
}

waypoints Fix(const char* time, double lat, double lon, double alt) {
    waypoints p;
    p.Date = "2024-05-17";
    p.Time = time;
    p.Latitude = lat;
    p.Longitude = lon;
    p.Altitude = alt;
    return p;
}

struct Log {
    std::vector<waypoints> records;
    std::vector<const waypoints*> Points() const {
        std::vector<const waypoints*> points;
        for (const waypoints& record : records) {
            points.push_back(&record);
        }
        return points;
    }
};

// GGA + RMC, GGA and RMC 'V' (no fix), GGA alone with an empty HDOP, a step of
// 8 s, RMC 'A' alone (no altitude, satellites or HDOP), an epoch without time.
Log FiveEpochs() {
    Log log;
    waypoints p = Fix("10:00:00", 48.1, 11.5, 545.4);
    p.HasGga = p.HasRmc = 1, p.Status = 'A', p.FixQuality = 1, p.SatellitesUsed = 8, p.Hdop = 0.9;
    p.Speed = 36, p.Course = 90;
    log.records.push_back(p);
    p = Fix("10:00:01", 48.15, 11.55, 545);
    p.HasGga = p.HasRmc = 1, p.Status = 'V', p.FixQuality = 0;
    log.records.push_back(p);
    p = Fix("10:00:02.5", 48.2, 11.6, 546);
    p.HasGga = 1, p.FixQuality = 2, p.SatellitesUsed = 9, p.Speed = 12;
    log.records.push_back(p);
    p = Fix("10:00:10.5", 48.3, 11.7, 0);
    p.HasRmc = 1, p.Status = 'A', p.Speed = 18.5, p.Course = 270.3, p.SatellitesUsed = 3, p.Hdop = 4;
    log.records.push_back(p);
    p = Fix("", 48.4, 11.8, 0);
    p.HasRmc = 1, p.Status = 'A';
    log.records.push_back(p);
    return log;
}

TimeTrackOptions Options(std::optional<int64_t> gapAboveMs) {
    TimeTrackOptions options;
    options.GapAboveMs = gapAboveMs;
    return options;
}

TEST(TimeTrack, MultiTrackAtAGap) {
    const Log log = FiveEpochs();
    const std::string expected = R"(<Folder xmlns:gx="http://www.google.com/kml/ext/2.2">
<name>Track in time</name>
<Placemark>
<name>Valid track</name>
<styleUrl>#time-track</styleUrl>
<gx:MultiTrack>
<gx:interpolate>0</gx:interpolate>
<gx:Track>
<when>2024-05-17T10:00:00Z</when>
<when>2024-05-17T10:00:02.5Z</when>
<gx:coord>11.500000 48.100000 545.400</gx:coord>
<gx:coord>11.600000 48.200000 546.000</gx:coord>
<gx:angles>90.0 0 0</gx:angles>
<gx:angles>0.0 0 0</gx:angles>
<ExtendedData>
<SchemaData schemaUrl="#track-point">
<gx:SimpleArrayData name="fix_quality">
<gx:value>single</gx:value>
<gx:value>differential</gx:value>
</gx:SimpleArrayData>
<gx:SimpleArrayData name="hdop">
<gx:value>0.90</gx:value>
<gx:value></gx:value>
</gx:SimpleArrayData>
<gx:SimpleArrayData name="satellites_used">
<gx:value>8</gx:value>
<gx:value>9</gx:value>
</gx:SimpleArrayData>
<gx:SimpleArrayData name="speed_kmh">
<gx:value>36.0</gx:value>
<gx:value></gx:value>
</gx:SimpleArrayData>
</SchemaData>
</ExtendedData>
</gx:Track>
<gx:Track>
<when>2024-05-17T10:00:10.5Z</when>
<gx:coord>11.700000 48.300000 0.000</gx:coord>
<gx:angles>270.3 0 0</gx:angles>
<ExtendedData>
<SchemaData schemaUrl="#track-point">
<gx:SimpleArrayData name="fix_quality">
<gx:value>fix, quality unknown</gx:value>
</gx:SimpleArrayData>
<gx:SimpleArrayData name="hdop">
<gx:value></gx:value>
</gx:SimpleArrayData>
<gx:SimpleArrayData name="satellites_used">
<gx:value></gx:value>
</gx:SimpleArrayData>
<gx:SimpleArrayData name="speed_kmh">
<gx:value>18.5</gx:value>
</gx:SimpleArrayData>
</SchemaData>
</ExtendedData>
</gx:Track>
</gx:MultiTrack>
</Placemark>
</Folder>
)";
    EXPECT_EQ(
        Render([&](KmlStream& s) { WriteTimeTrackFolder(s, log.Points(), LogFormat::Nmea, Options(3000)); }),
        CrLf(expected));
}

TEST(TimeTrack, OneTrackWithoutGapAndNoTrack) {
    const Log log = FiveEpochs();
    const std::string text = Render(
        [&](KmlStream& s) { WriteTimeTrackFolder(s, log.Points(), LogFormat::Nmea, Options(std::nullopt)); });
    EXPECT_EQ(text.find("MultiTrack"), std::string::npos);
    EXPECT_EQ(text.find("<gx:Track>"), text.rfind("<gx:Track>")) << "one track";
    EXPECT_NE(text.find("<when>2024-05-17T10:00:10.5Z</when>\r\n<gx:coord>11.500000"), std::string::npos)
        << "the three timed fixes in one track, every <when> first";

    Log invalid;
    invalid.records = {Fix("10:00:00", 48.1, 11.5, 0)};
    EXPECT_EQ(Render([&](KmlStream& s) {
                  WriteTimeTrackFolder(s, invalid.Points(), LogFormat::Nmea, Options(3000));
              }),
              CrLf("<Folder xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n<name>Track in time</name>\n"
                   "</Folder>\n"));
}

TEST(TimeTrack, HeadTextWithAPrefix) {
    TimeTrackOptions options;
    options.IdPrefix = "2-";
    const Log log = FiveEpochs();
    const std::string head = Render([&](KmlStream& s) {
        WriteTimeTrackStyle(s, options);
        WriteTrackPointSchema(s, options.IdPrefix);
    });
    const std::string folder =
        Render([&](KmlStream& s) { WriteTimeTrackFolder(s, log.Points(), LogFormat::Nmea, options); });
    EXPECT_NE(head.find("<Style id=\"2-time-track\">"), std::string::npos);
    EXPECT_NE(head.find("<Schema xmlns:gx=\"http://www.google.com/kml/ext/2.2\" id=\"2-track-point\""),
              std::string::npos);
    EXPECT_NE(folder.find("<styleUrl>#2-time-track</styleUrl>"), std::string::npos);
    EXPECT_NE(folder.find("<SchemaData schemaUrl=\"#2-track-point\">"), std::string::npos);
    // Every array of the track is a field of the Schema, and the other way round.
    for (const char* name : {"fix_quality", "hdop", "satellites_used", "speed_kmh"}) {
        EXPECT_NE(head.find("<gx:SimpleArrayField name=\"" + std::string(name) + "\""), std::string::npos)
            << name;
        EXPECT_NE(folder.find("<gx:SimpleArrayData name=\"" + std::string(name) + "\""), std::string::npos)
            << name;
    }
}

}  // namespace
}  // namespace tervo
