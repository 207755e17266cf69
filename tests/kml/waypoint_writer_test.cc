#include "kml/waypoint_writer.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/recording_view.h"

namespace tervo {
namespace {

using testing::RecordingView;

// The lines joined with the CR LF that every line feed of the document becomes.
std::string Crlf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

template <typename Write>
std::string Render(Write write) {
    StringSink sink;
    KmlStream stream(sink);
    write(stream);
    stream.Close();
    return sink.text;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// Every <name> of the text in order, and every <href>.
std::vector<std::string> Elements(const std::string& text, const std::string& tag) {
    std::vector<std::string> out;
    const std::string open = "<" + tag + ">";
    const std::string close = "</" + tag + ">";
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        size_t begin = at + open.size();
        out.push_back(text.substr(begin, text.find(close, begin) - begin));
    }
    return out;
}

// A fix with every field of the description set, and satellites of the three
// systems: GPS 12 used, SBAS 127 with values above 127 (printed unsigned), and
// GLONASS slot 32 on channel -3 in the last row of the table.
waypoints RichPoint() {
    waypoints p;
    p.Time = "12:35:19.00";
    p.Date = "2013-04-02";
    p.Longitude = 37.617635;
    p.Latitude = -55.755814;
    p.Altitude = 150.25;
    p.Speed = 12.5;
    p.Course = 84.4;
    p.Rms = 2.5f;
    p.FixQuality = 2;
    p.FixMode = 3;
    p.StatusText = "3D";
    p.SatellitesUsed = 7;
    p.Hdop = 0.9;
    p.HasSatellites = 1;
    p.Satellites[12] = {'G', 12, 0, 45, 270, 41, 1, 1};
    p.Satellites[20] = {'G', 20, 0, 10, 10, 10, 1, 0};  // filled but not in view: never written
    p.Satellites[40] = {'S', 127, 0, 200, 359, 255, 0, 1};
    p.Satellites[96] = {'R', 32, -3, 10, 5, 30, 0, 1};
    return p;
}

const std::string kSatelliteHead = Crlf({
    "\t<table>",
    "<tfoot><tr><th colspan=5 align=center>Information about the satellites</th></tr></tfoot>",
    "\t<tr>\t<th>SYS</th>\t<th>Svn</th>\t<th>El</th>\t<th>Az</th>\t<th>SNR</th>\t</tr>",
});

std::string RichPlacemarkTail(bool extrude) {
    std::string out = Crlf({
        "]]></description>",
        "<LookAt>",
        "<longitude>37.617635</longitude>",
        "<latitude>-55.755814</latitude>",
        "<tilt>66</tilt>",
        "</LookAt>",
        "<TimeStamp>",
        "<when>2013-04-02T12:35:19.00Z</when>",
        "</TimeStamp>",
        "<Style>",
        "<IconStyle>",
        "<scale>0.5</scale>",
        "<heading>84.400000</heading>",
        "<Icon>",
        "<href>16711680.png</href>",
        "</Icon>",
        "</IconStyle>",
        "</Style>",
        "<Point>",
    });
    if (extrude) {
        out += Crlf({"<extrude>1</extrude>", "<altitudeMode>relativeToGround</altitudeMode>"});
    }
    return out + Crlf({"<coordinates>37.617635,-55.755814,150.250000</coordinates>", "</Point>", "</Placemark>"});
}

std::string RichPlacemarkHead() {
    return Crlf({
        "<Placemark>",
        "<name>7</name>",
        "<description><![CDATA[",
        "\t<table>",
        "\t<tr><th>Longitude</th><td>37.617635</td></tr>",
        "\t<tr><th>Latitude</th><td>-55.755814</td></tr>",
        "\t<tr><th>Altitude</th><td>150.250m</td></tr>",
        "\t<tr><th>Time</th><td>2013-04-02T12:35:19.00Z</td></tr>",
        "\t<tr><th>Speed</th><td>12.5kmh</td></tr>",
        "\t<tr><th>COG</th><td>84.4</td></tr>",
        "\t<tr><th>RMS</th><td>2.5m</td></tr>",
    });
}

TEST(WritePlacemark, NmeaPointByteForByte) {
    std::string expected = RichPlacemarkHead() + Crlf({
        "\t<tr><th>Status(GGA)</th><td>Diff fix valid (2)</td></tr>",
        "\t<tr><th>Status(GSA)</th><td>3D (3)</td></tr>",
        "\t<tr><th>HDOP</th><td>0.900</td></tr>",
        "\t<tr><th>SAT</th><td>7</td></tr>",
        "\t</table>",
    }) + kSatelliteHead + Crlf({
        "\t<tr>\t<td>G</td>\t<td>12*</td>\t<td>45</td>\t<td>270</td>\t<td>41</td>\t</tr>",
        "\t<tr>\t<td>S</td>\t<td>127</td>\t<td>200</td>\t<td>359</td>\t<td>255</td>\t</tr>",
        "\t<tr>\t<td>R</td>\t<td>32</td>\t<td>10</td>\t<td>5</td>\t<td>30</td>\t</tr>",
        "\t</table>",
    }) + RichPlacemarkTail(true);
    EXPECT_EQ(Render([](KmlStream& s) { WritePlacemark(s, RichPoint(), 7, "16711680.png", 0, true, "0.5"); }),
              expected);
}

TEST(WritePlacemark, BinrPointByteForByte) {
    waypoints point = RichPoint();
    point.SatellitesUsed = -1;
    std::string expected = RichPlacemarkHead() + Crlf({
        "\t<tr><th>Status</th><td>3D</td></tr>",
        "\t<tr><th>HDOP</th><td>0.900</td></tr>",
        "\t<tr><th>SAT</th><td>None</td></tr>",
        "\t</table>",
    }) + kSatelliteHead + Crlf({
        "\t<tr>\t<td>G</td>\t<td>12*</td>\t<td>45</td>\t<td>270</td>\t<td>41</td>\t</tr>",
        "\t<tr>\t<td>S</td>\t<td>127</td>\t<td>200</td>\t<td>359</td>\t<td>255</td>\t</tr>",
        "\t<tr>\t<td>R/-3</td>\t<td>32</td>\t<td>10</td>\t<td>5</td>\t<td>30</td>\t</tr>",
        "\t</table>",
    }) + RichPlacemarkTail(false);
    EXPECT_EQ(Render([&](KmlStream& s) { WritePlacemark(s, point, 7, "16711680.png", 1, false, "0.5"); }),
              expected);
}

TEST(WritePlacemark, StatusAndCountRows) {
    const char* kHdop = "HDOP</th><td>0.000";
    struct Case {
        const char* legend;
        int format;
        int32_t quality;
        int32_t mode;
        int32_t satellites;
        std::vector<std::string> rows;  // the rows from the first Status row on
    } cases[] = {
        {"quality 0 / mode 1 named as no fix", 0, 0, 1, 0,
         {"Status(GGA)</th><td>N/A (0)", "Status(GSA)</th><td>N/A (1)", kHdop, "SAT</th><td>0"}},
        {"quality 1 valid, mode 2", 0, 1, 2, 5,
         {"Status(GGA)</th><td>Fix valid (1)", "Status(GSA)</th><td>2D (2)", kHdop, "SAT</th><td>5"}},
        {"quality 6 dead reckoning; no GSA data shows mode 0", 0, 6, 0, 3,
         {"Status(GGA)</th><td>Dead (6)", "Status(GSA)</th><td>0", kHdop, "SAT</th><td>3"}},
        {"an unnamed quality and mode print as bare numbers", 0, 4, 5, 12,
         {"Status(GGA)</th><td>4", "Status(GSA)</th><td>5", kHdop, "SAT</th><td>12"}},
        {"-1 satellites is only 'None' for the binary protocol", 0, 1, 3, -1,
         {"Status(GGA)</th><td>Fix valid (1)", "Status(GSA)</th><td>3D (3)", kHdop, "SAT</th><td>-1"}},
        {"binary protocol: a real count stays a number", 1, 0, 0, 9,
         {"Status</th><td>2D", kHdop, "SAT</th><td>9"}},
    };
    for (const Case& c : cases) {
        waypoints point;
        point.FixQuality = c.quality;
        point.FixMode = c.mode;
        point.SatellitesUsed = c.satellites;
        point.StatusText = "2D";
        point.Satellites[5].InView = 1;  // HasSatellites 0 rules: no satellite table
        std::string text = Render([&](KmlStream& s) { WritePlacemark(s, point, 0, "i.png", c.format, false, "1"); });
        std::string expected;
        for (const std::string& row : c.rows) {
            expected += "\t<tr><th>" + row + "</td></tr>\r\n";
        }
        expected += "\t</table>\r\n]]></description>\r\n";
        size_t begin = text.find("\t<tr><th>Status");
        size_t end = text.find("<LookAt>");
        ASSERT_NE(begin, std::string::npos) << c.legend;
        EXPECT_EQ(text.substr(begin, end - begin), expected) << c.legend;
    }
}

TEST(WritePlacemark, ValuesFromTheLogCannotBreakTheDocument) {
    waypoints point;
    point.Time = std::string("1<2&3]]>\xB0", 9);
    point.Date = "2013-04-02";
    std::string text = Render([&](KmlStream& s) { WritePlacemark(s, point, 0, "a&b.png", 0, false, "<1>"); });
    EXPECT_NE(text.find("<td>2013-04-02T1&lt;2&amp;3]]&gt;\xEF\xBF\xBDZ</td>"), std::string::npos);
    EXPECT_NE(text.find("<when>2013-04-02T1&lt;2&amp;3]]&gt;\xEF\xBF\xBDZ</when>"), std::string::npos);
    EXPECT_NE(text.find("<scale>&lt;1&gt;</scale>"), std::string::npos);
    EXPECT_NE(text.find("<href>a&amp;b.png</href>"), std::string::npos);
    EXPECT_EQ(Count(text, "]]>"), 1u) << "only the real end of the CDATA section";
}

DTrackPoint RichDTrack() {
    DTrackPoint d;
    d.Time = "12:35:19.00";
    d.Status = 'D';
    d.Latitude = 55.755814;
    d.Longitude = -37.617635;
    d.Speed = 3.75;
    d.Course = 359.9;
    d.Matched = 1;
    return d;
}

TEST(WriteDTrackPlacemark, ByteForByte) {
    std::string expected = Crlf({
        "<Placemark>",
        "<name>3</name>",
        "<description><![CDATA[",
        "\t<table>",
        "\t<tr><th>Longitude</th><td>-37.617635</td></tr>",
        "\t<tr><th>Latitude</th><td>55.755814</td></tr>",
        "\t<tr><th>Status</th><td>D</td></tr>",
        "\t<tr><th>Time</th><td>12:35:19.00</td></tr>",
        "\t<tr><th>Speed</th><td>3.8kmh</td></tr>",
        "\t<tr><th>COG</th><td>359.9</td></tr>",
        "\t</table>",
        "]]></description>",
        "<LookAt>",
        "<longitude>-37.617635</longitude>",
        "<latitude>55.755814</latitude>",
        "<tilt>66</tilt>",
        "</LookAt>",
        "<Style>",
        "<IconStyle>",
        "<scale>0.5</scale>",
        "<heading>359.900000</heading>",
        "<Icon>",
        "<href>65280.png</href>",
        "</Icon>",
        "</IconStyle>",
        "</Style>",
        "<Point>",
        "<coordinates>-37.617635,55.755814,0.000000</coordinates>",
        "</Point>",
        "</Placemark>",
    });
    EXPECT_EQ(Render([](KmlStream& s) { WriteDTrackPlacemark(s, RichDTrack(), 3, "65280.png", "0.5"); }), expected);
}

TEST(WriteDTrackPlacemark, EmptyStatusIsNoRawNulByte) {
    DTrackPoint d = RichDTrack();
    d.Status = 0;
    std::string text = Render([&](KmlStream& s) { WriteDTrackPlacemark(s, d, 0, "i.png", "1"); });
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_NE(text.find("<th>Status</th><td>\xEF\xBF\xBD</td>"), std::string::npos);
}

// ---- The NMEA folder: rows, date rules, numbering, status panes ----

enum class Row { A, V, G, RA, RV };

void SetRow(waypoints& p, Row row) {
    p.HasGga = (row == Row::A || row == Row::V || row == Row::G) ? 1 : 0;
    p.HasRmc = row == Row::G ? 0 : 1;
    p.Status = (row == Row::V || row == Row::RV) ? 'V' : 'A';
}

WaypointOptions Options(bool useFallback) {
    WaypointOptions o;
    o.Scale = "0.5";
    o.UseFallbackDate = useFallback;
    o.FallbackDate = "2000-01-01";
    o.ValidIconName = "valid.png";
    o.InvalidIconName = "invalid.png";
    o.DTrackIconName = "dtrack.png";
    return o;
}

TEST(WriteNmeaWaypoints, DateRules) {
    const char* kOwn = "2011-11-11";
    const char* kLog = "2013-04-02";
    const char* kFallback = "2000-01-01";
    const char* kStop = nullptr;
    struct Case {
        const char* legend;
        bool checkBox1;
        bool dateFound;
        bool emptyDate;
        Row row;
        const char* expected;  // the date the point ends with, or kStop
    } cases[] = {
        {"checked, no date: A takes the fallback", true, false, true, Row::A, kFallback},
        {"checked, no date: V takes the fallback", true, true, true, Row::V, kFallback},
        {"checked, no date: G takes the fallback", true, false, true, Row::G, kFallback},
        {"checked, log date, own date: A keeps it", true, true, false, Row::A, kOwn},
        {"checked, log date, own date: V takes the fallback", true, true, false, Row::V, kFallback},
        {"checked, log date: G always replaced", true, true, false, Row::G, kFallback},
        {"checked, no log date, own date: A keeps it", true, false, false, Row::A, kOwn},
        {"checked, no log date, own date: V keeps it", true, false, false, Row::V, kOwn},
        {"checked, no log date: G always replaced", true, false, false, Row::G, kFallback},
        {"unchecked, log date, no own date: A takes the log date", false, true, true, Row::A, kLog},
        {"unchecked, log date, no own date: V takes the log date", false, true, true, Row::V, kLog},
        {"unchecked, log date, no own date: G takes the log date", false, true, true, Row::G, kLog},
        {"unchecked, no date at all: A stops", false, false, true, Row::A, kStop},
        {"unchecked, no date at all: V stops", false, false, true, Row::V, kStop},
        {"unchecked, no date at all: G stops", false, false, true, Row::G, kStop},
        {"unchecked, log date, own date: A keeps it", false, true, false, Row::A, kOwn},
        {"unchecked, log date, own date: V keeps it", false, true, false, Row::V, kOwn},
        {"unchecked, log date: G replaced by it", false, true, false, Row::G, kLog},
        {"unchecked, no log date, own date: A keeps it", false, false, false, Row::A, kOwn},
        {"unchecked, no log date, own date: V keeps it", false, false, false, Row::V, kOwn},
        {"unchecked, no log date: G stops", false, false, false, Row::G, kStop},
        {"RMC-only valid point keeps even an empty date", false, false, true, Row::RA, ""},
        {"RMC-only invalid point keeps its date under the fallback", true, true, false, Row::RV, kOwn},
    };
    for (const Case& c : cases) {
        // A point that is written whatever the rules, then the point under test.
        PointList points;
        waypoints& before = points.AppendPoint()->Point;
        SetRow(before, Row::RA);
        before.Date = "1999-09-09";
        waypoints& point = points.AppendPoint()->Point;
        SetRow(point, c.row);
        point.Time = "10:00:00";
        point.Date = c.emptyDate ? "" : kOwn;
        NmeaLogDate logDate{c.dateFound ? kLog : "", c.dateFound};
        RecordingView view;
        WaypointsOutcome outcome = WaypointsOutcome::Written;
        std::string text = Render([&](KmlStream& s) {
            outcome = WriteNmeaWaypoints(s, points.Start, Options(c.checkBox1), logDate, view);
        });
        if (c.expected == kStop) {
            EXPECT_EQ(outcome, WaypointsOutcome::DateNotFound) << c.legend;
            EXPECT_EQ(Elements(text, "name"), (std::vector<std::string>{"WayPoints", "0"})) << c.legend;
            EXPECT_EQ(text.substr(text.size() - 14), "</Placemark>\r\n") << c.legend << ": nothing after it";
            EXPECT_EQ(view.calls, (std::vector<std::string>{"ShowStatus()", "ShowStatus(Creation of KML-file)"}))
                << c.legend;
            continue;
        }
        EXPECT_EQ(outcome, WaypointsOutcome::Written) << c.legend;
        EXPECT_EQ(point.Date, c.expected) << c.legend << ": the date is kept in the list";
        EXPECT_EQ(Elements(text, "when"),
                  (std::vector<std::string>{"1999-09-09T" "Z", std::string(c.expected) + "T10:00:00Z"}))
            << c.legend;
    }
}

TEST(WriteNmeaWaypoints, LogDateTakenEvenWhenTheFirstRmcHadNone) {
    PointList points;
    waypoints& point = points.AppendPoint()->Point;
    SetRow(point, Row::G);
    point.Date = "";
    RecordingView view;
    WaypointsOutcome outcome = WaypointsOutcome::DateNotFound;
    std::string text = Render([&](KmlStream& s) {
        outcome = WriteNmeaWaypoints(s, points.Start, Options(false), NmeaLogDate{"", true}, view);
    });
    EXPECT_EQ(outcome, WaypointsOutcome::Written);
    EXPECT_EQ(Elements(text, "when"), (std::vector<std::string>{"TZ"}));
}

TEST(WriteNmeaWaypoints, NumbersOnlyWrittenPointsAndPicksIcons) {
    struct Node {
        const char* legend;
        uint8_t gga;
        uint8_t rmc;
        char status;
        const char* icon;  // nullptr: no placemark
    } nodes[] = {
        {"GGA+RMC valid", 1, 1, 'A', "valid.png"},
        {"GGA+RMC with an unknown status is skipped", 1, 1, 'D', nullptr},
        {"neither GGA nor RMC (satellites only) is skipped", 0, 0, 'A', nullptr},
        {"GGA+RMC invalid", 1, 1, 'V', "invalid.png"},
        {"GGA only, whatever its status", 1, 0, 'V', "valid.png"},
        {"RMC only, status unset, is skipped", 0, 1, 0, nullptr},
        {"RMC only valid", 0, 1, 'A', "valid.png"},
        {"RMC only invalid", 0, 1, 'V', "invalid.png"},
        {"flags other than 0/1 match no row", 2, 1, 'A', nullptr},
    };
    PointList points;
    std::vector<std::string> names = {"WayPoints"};
    std::vector<std::string> icons;
    for (const Node& n : nodes) {
        waypoints& p = points.AppendPoint()->Point;
        p.HasGga = n.gga;
        p.HasRmc = n.rmc;
        p.Status = n.status;
        p.Date = "2013-04-02";
        if (n.icon != nullptr) {
            names.push_back(std::to_string(icons.size()));
            icons.push_back(n.icon);
        }
    }
    RecordingView view;
    std::string text = Render([&](KmlStream& s) {
        EXPECT_EQ(WriteNmeaWaypoints(s, points.Start, Options(true), NmeaLogDate{"2013-04-02", true}, view),
                  WaypointsOutcome::Written);
    });
    EXPECT_EQ(Elements(text, "name"), names);
    EXPECT_EQ(Elements(text, "href"), icons);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"ShowStatus()", "ShowStatus(Creation of KML-file)",
                                                    "ShowCount()", "ShowCount(Waypoints 5)"}));
    EXPECT_EQ(Count(text, "Status(GGA)"), 5u) << "NMEA placemarks use the NMEA status rows";
    EXPECT_EQ(text.substr(text.size() - 11), "</Folder>\r\n");
}

TEST(WaypointFolders, NoStartGivesEmptyFolders) {
    RecordingView nmeaView;
    EXPECT_EQ(Render([&](KmlStream& s) {
                  EXPECT_EQ(WriteNmeaWaypoints(s, nullptr, Options(false), NmeaLogDate{}, nmeaView),
                            WaypointsOutcome::Written);
              }),
              Crlf({"<Folder>", "<name>WayPoints</name>", "</Folder>"}));
    EXPECT_EQ(nmeaView.calls.back(), "ShowCount(Waypoints 0)");
    RecordingView binrView;
    EXPECT_EQ(Render([&](KmlStream& s) { WriteBinrWaypoints(s, nullptr, Options(false), binrView); }),
              Crlf({"<Folder>", "<name>WayPoints</name>", "</Folder>"}));
    EXPECT_EQ(binrView.calls.back(), "ShowCount(Waypoints 0)");
    EXPECT_EQ(Render([&](KmlStream& s) { WriteDTrackWaypoints(s, nullptr, Options(false)); }),
              Crlf({"<Folder>", "<name>D-Track WayPoints</name>", "</Folder>"}));
}

TEST(WriteBinrWaypoints, StatusPicksIconAndNoDateRuleApplies) {
    const char statuses[] = {'A', 'V', 0, 'D', 'A'};
    PointList points;
    for (char status : statuses) {
        waypoints& p = points.AppendPoint()->Point;
        p.Status = status;
        p.HasGga = 1;  // flags mean nothing to the binary folder
        p.StatusText = "3D";
    }
    RecordingView view;
    std::string text = Render([&](KmlStream& s) { WriteBinrWaypoints(s, points.Start, Options(true), view); });
    EXPECT_EQ(Elements(text, "name"), (std::vector<std::string>{"WayPoints", "0", "1", "2"}));
    EXPECT_EQ(Elements(text, "href"), (std::vector<std::string>{"valid.png", "invalid.png", "valid.png"}));
    EXPECT_EQ(Elements(text, "when"), (std::vector<std::string>{"TZ", "TZ", "TZ"})) << "no fallback date";
    EXPECT_EQ(Count(text, "<th>Status</th><td>3D</td>"), 3u);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"ShowStatus()", "ShowStatus(Creation of KML-file)",
                                                    "ShowCount()", "ShowCount(Waypoints 3)"}));
}

TEST(WriteDTrackWaypoints, EveryMatchedFixWhateverItsStatus) {
    struct Node {
        char status;
        uint8_t matched;
    } nodes[] = {{'A', 1}, {'D', 0}, {0, 1}, {'V', 1}, {'X', 0}};
    PointList points;
    for (const Node& n : nodes) {
        DTrackPoint& d = points.AppendPoint()->Point.DTrack;
        d.Status = n.status;
        d.Matched = n.matched;
    }
    std::string text = Render([&](KmlStream& s) { WriteDTrackWaypoints(s, points.Start, Options(false)); });
    EXPECT_EQ(Elements(text, "name"), (std::vector<std::string>{"D-Track WayPoints", "0", "1", "2"}));
    EXPECT_EQ(Elements(text, "href"), (std::vector<std::string>(3, "dtrack.png")));
    EXPECT_EQ(text.substr(text.size() - 11), "</Folder>\r\n");
}

TEST(WaypointFolders, ExtrudeOnlyOnWaypointPlacemarks) {
    for (bool extrude : {false, true}) {
        PointList points;
        for (Row row : {Row::A, Row::G}) {
            waypoints& p = points.AppendPoint()->Point;
            SetRow(p, row);
            p.DTrack.Matched = 1;
            p.DTrack.Status = 'A';
        }
        WaypointOptions options = Options(true);
        options.Extrude = extrude;
        RecordingView view;
        std::string text = Render([&](KmlStream& s) {
            WriteNmeaWaypoints(s, points.Start, options, NmeaLogDate{}, view);
            WriteBinrWaypoints(s, points.Start, options, view);
            WriteDTrackWaypoints(s, points.Start, options);
        });
        const std::string lines = "<Point>\r\n<extrude>1</extrude>\r\n<altitudeMode>relativeToGround</altitudeMode>"
                                  "\r\n<coordinates>";
        EXPECT_EQ(Count(text, lines), extrude ? 4u : 0u) << "extrude " << extrude;
        EXPECT_EQ(Count(text, "<extrude>"), extrude ? 4u : 0u) << "never on the D-Track placemarks";
    }
}

}  // namespace
}  // namespace tervo
