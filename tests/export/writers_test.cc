// The GPX, CSV and GeoJSON writers, each against the whole text of a small log
// worked out by hand. The log holds what the formats must tell apart: a GGA and
// RMC fix with a geoid separation, a fix lost (RMC 'V'), a GGA-only fix without HDOP, an RMC-only fix
// after a gap of 8 s (no altitude, satellites or HDOP, though the record holds
// numbers there), and an epoch without time whose latitude is no number.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "export/csv_writer.h"
#include "export/geojson_writer.h"
#include "export/gpx_writer.h"

namespace tervo {
namespace {

waypoints Epoch(const char* time, double lat, double lon, double alt) {
    waypoints p;
    p.Date = "2024-05-17";
    p.Time = time;
    p.Latitude = lat;
    p.Longitude = lon;
    p.Altitude = alt;
    return p;
}

std::vector<waypoints> NmeaLog() {
    std::vector<waypoints> log;
    waypoints p = Epoch("10:00:00", 48.1, 11.5, 545.4);
    p.HasGga = p.HasRmc = 1, p.Status = 'A', p.FixQuality = 1, p.SatellitesUsed = 8, p.Hdop = 0.9;
    p.Speed = 36, p.Course = 90, p.FixMode = 3, p.Rms = 1.5f, p.GeoidSeparation = 47.3;
    p.Pdop = 1.6f, p.Vdop = 1.3f;
    log.push_back(p);
    p = Epoch("10:00:01", 48.15, 11.55, 545);
    p.HasGga = p.HasRmc = 1, p.Status = 'V', p.FixQuality = 0, p.SatellitesUsed = 3, p.Hdop = 9.5;
    log.push_back(p);
    p = Epoch("10:00:02.5", 48.2, 11.6, 546);
    p.HasGga = 1, p.FixQuality = 2, p.SatellitesUsed = 9, p.FixMode = 2;
    log.push_back(p);
    p = Epoch("10:00:10.5", 48.3, 11.7, 0);
    p.HasRmc = 1, p.Status = 'A', p.Speed = 18.5, p.Course = 270.3, p.SatellitesUsed = 3, p.Hdop = 4;
    log.push_back(p);
    p = Epoch("", NAN, 11.8, 0);
    p.HasRmc = 1, p.Status = 'A';
    log.push_back(p);
    return log;
}

std::vector<const waypoints*> Pointers(const std::vector<waypoints>& log) {
    std::vector<const waypoints*> points;
    for (const waypoints& p : log) {
        points.push_back(&p);
    }
    return points;
}

TEST(WriteGpx, NmeaTrackWithASegmentPerGap) {
    const std::vector<waypoints> log = NmeaLog();
    StringSink sink;
    ASSERT_TRUE(WriteGpx(sink, Pointers(log), LogFormat::Nmea, {"drive & back.nmea", 3000}));
    EXPECT_EQ(sink.text, R"(<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="TervoConverter" xmlns="http://www.topografix.com/GPX/1/1" xmlns:tervo="urn:tervoconverter:gpx:1">
<trk>
<name>drive &amp; back.nmea</name>
<trkseg>
<trkpt lat="48.1000000" lon="11.5000000">
<ele>545.400</ele>
<time>2024-05-17T10:00:00Z</time>
<geoidheight>47.300</geoidheight>
<fix>3d</fix>
<sat>8</sat>
<hdop>0.90</hdop>
<vdop>1.30</vdop>
<pdop>1.60</pdop>
<extensions>
<tervo:course>90.0</tervo:course>
<tervo:speed>10.000</tervo:speed>
</extensions>
</trkpt>
<trkpt lat="48.2000000" lon="11.6000000">
<ele>546.000</ele>
<time>2024-05-17T10:00:02.5Z</time>
<fix>dgps</fix>
<sat>9</sat>
</trkpt>
</trkseg>
<trkseg>
<trkpt lat="48.3000000" lon="11.7000000">
<time>2024-05-17T10:00:10.5Z</time>
<extensions>
<tervo:course>270.3</tervo:course>
<tervo:speed>5.139</tervo:speed>
</extensions>
</trkpt>
</trkseg>
</trk>
</gpx>
)");
}

TEST(WriteGpx, BinrFixesAndTheRangesOfGpx) {
    std::vector<waypoints> log;
    waypoints p = Epoch("10:00:00.000", 10, 180, 5);
    p.Status = 'A', p.StatusText = "2D", p.SatellitesUsed = -1, p.Hdop = 1.25;
    log.push_back(p);
    p = Epoch("10:00:01.000", 91, 10, 5);  // past the pole: no GPX point
    p.Status = 'A', p.StatusText = "3D";
    log.push_back(p);
    p = Epoch("10:00:02.000", -10, -179.5, 5);
    p.Status = 'A', p.StatusText = "3D,DIFF,RAIM", p.SatellitesUsed = 7;
    log.push_back(p);
    StringSink sink;
    ASSERT_TRUE(WriteGpx(sink, Pointers(log), LogFormat::Binr, {}));
    const std::string points = sink.text.substr(sink.text.find("<trk>"));
    EXPECT_EQ(points, R"(<trk>
<trkseg>
<trkpt lat="10.0000000" lon="-180.0000000">
<ele>5.000</ele>
<time>2024-05-17T10:00:00.000Z</time>
<fix>2d</fix>
<hdop>1.25</hdop>
<extensions>
<tervo:course>0.0</tervo:course>
<tervo:speed>0.000</tervo:speed>
</extensions>
</trkpt>
<trkpt lat="-10.0000000" lon="-179.5000000">
<ele>5.000</ele>
<time>2024-05-17T10:00:02.000Z</time>
<fix>dgps</fix>
<sat>7</sat>
<extensions>
<tervo:course>0.0</tervo:course>
<tervo:speed>0.000</tervo:speed>
</extensions>
</trkpt>
</trkseg>
</trk>
</gpx>
)") << "longitude 180 as -180, no sat for -1, no hdop for 0, no name";
}

TEST(WriteCsv, ARowPerEpochWithEmptyCellsForWhatTheLogDoesNotGive) {
    const std::vector<waypoints> log = NmeaLog();
    StringSink sink;
    ASSERT_TRUE(WriteCsv(sink, Pointers(log), LogFormat::Nmea));
    EXPECT_EQ(sink.text,
              "time,longitude,latitude,altitude_m,speed_kmh,course_deg,rms_m,fix,valid,gga_quality,gsa_mode,"
              "status,hdop,satellites_used\r\n"
              "2024-05-17T10:00:00Z,11.5000000,48.1000000,545.400,36.0,90.0,1.5,single,1,1,3,A,0.90,8\r\n"
              "2024-05-17T10:00:01Z,11.5500000,48.1500000,545.000,0.0,0.0,,no fix,0,0,,V,9.50,3\r\n"
              "2024-05-17T10:00:02.5Z,11.6000000,48.2000000,546.000,,,,differential,1,2,2,,,9\r\n"
              "2024-05-17T10:00:10.5Z,11.7000000,48.3000000,,18.5,270.3,,\"fix, quality unknown\",1,,,A,,\r\n"
              ",11.8000000,,,0.0,0.0,,\"fix, quality unknown\",1,,,A,,\r\n");
}

TEST(WriteGeoJson, TrackThenEveryPlottableEpoch) {
    const std::vector<waypoints> log = NmeaLog();
    StringSink sink;
    ASSERT_TRUE(WriteGeoJson(sink, Pointers(log), LogFormat::Nmea, "drive"));
    EXPECT_EQ(sink.text,
              R"({"type":"FeatureCollection","name":"drive","features":[
{"type":"Feature","properties":{"name":"Valid track"},"geometry":{"type":"LineString","coordinates":[[11.5000000,48.1000000,545.400],[11.6000000,48.2000000,546.000],[11.7000000,48.3000000]]}},
{"type":"Feature","properties":{"time":"2024-05-17T10:00:00Z","altitude_m":545.400,"speed_kmh":36.0,"course_deg":90.0,"rms_m":1.5,"fix":"single","valid":true,"gga_quality":1,"gsa_mode":3,"status":"A","hdop":0.90,"satellites_used":8},"geometry":{"type":"Point","coordinates":[11.5000000,48.1000000,545.400]}},
{"type":"Feature","properties":{"time":"2024-05-17T10:00:01Z","altitude_m":545.000,"speed_kmh":0.0,"course_deg":0.0,"rms_m":null,"fix":"no fix","valid":false,"gga_quality":0,"gsa_mode":null,"status":"V","hdop":9.50,"satellites_used":3},"geometry":{"type":"Point","coordinates":[11.5500000,48.1500000,545.000]}},
{"type":"Feature","properties":{"time":"2024-05-17T10:00:02.5Z","altitude_m":546.000,"speed_kmh":null,"course_deg":null,"rms_m":null,"fix":"differential","valid":true,"gga_quality":2,"gsa_mode":2,"status":null,"hdop":null,"satellites_used":9},"geometry":{"type":"Point","coordinates":[11.6000000,48.2000000,546.000]}},
{"type":"Feature","properties":{"time":"2024-05-17T10:00:10.5Z","altitude_m":null,"speed_kmh":18.5,"course_deg":270.3,"rms_m":null,"fix":"fix, quality unknown","valid":true,"gga_quality":null,"gsa_mode":null,"status":"A","hdop":null,"satellites_used":null},"geometry":{"type":"Point","coordinates":[11.7000000,48.3000000]}}
]}
)");

    StringSink empty;
    ASSERT_TRUE(WriteGeoJson(empty, {}, LogFormat::Nmea, ""));
    EXPECT_EQ(empty.text, "{\"type\":\"FeatureCollection\",\"features\":[\n]}\n") << "still valid JSON";
}

}  // namespace
}  // namespace tervo
