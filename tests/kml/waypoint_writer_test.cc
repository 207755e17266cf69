#include "kml/waypoint_writer.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/render.h"

namespace tervo {
namespace {

// The lines joined with the CR LF that every line feed of the document becomes.
std::string Crlf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

using testing::Render;

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
    p.SatellitesUsed = -1;
    p.Hdop = 0.9;
    p.HasSatellites = 1;
    p.Satellites[12] = {'G', 12, 0, 45, 270, 41, 1, 1};
    p.Satellites[20] = {'G', 20, 0, 10, 10, 10, 1, 0};  // filled but not in view: never written
    p.Satellites[40] = {'S', 127, 0, 200, 359, 255, 0, 1};
    p.Satellites[96] = {'R', 32, -3, 10, 5, 30, 0, 1};
    return p;
}

// The rich point's placemark. The formats differ in the status rows, the -1
// satellite count ("None" for the binary protocol only) and the GLONASS cell.
std::string RichPlacemark(LogFormat format, bool extrude) {
    const bool binr = format == LogFormat::Binr;
    std::string status = binr ? Crlf({"\t<tr><th>Status</th><td>3D</td></tr>"})
                              : Crlf({"\t<tr><th>Status(GGA)</th><td>Diff fix valid (2)</td></tr>",
                                      "\t<tr><th>Status(GSA)</th><td>3D (3)</td></tr>"});
    std::string point =
        extrude ? Crlf({"<extrude>1</extrude>", "<altitudeMode>relativeToGround</altitudeMode>"}) : "";
    return Crlf({"<Placemark>", "<name>7</name>", "<description><![CDATA[", "\t<table>",
                 "\t<tr><th>Longitude</th><td>37.617635</td></tr>",
                 "\t<tr><th>Latitude</th><td>-55.755814</td></tr>",
                 "\t<tr><th>Altitude</th><td>150.250m</td></tr>",
                 "\t<tr><th>Time</th><td>2013-04-02T12:35:19.00Z</td></tr>",
                 "\t<tr><th>Speed</th><td>12.5kmh</td></tr>", "\t<tr><th>COG</th><td>84.4</td></tr>",
                 "\t<tr><th>RMS</th><td>2.5m</td></tr>"}) +
           status +
           Crlf({"\t<tr><th>HDOP</th><td>0.900</td></tr>",
                 binr ? "\t<tr><th>SAT</th><td>None</td></tr>" : "\t<tr><th>SAT</th><td>-1</td></tr>",
                 "\t</table>",
                 "\t<table>",
                 "<tfoot><tr><th colspan=5 align=center>Information about the satellites</th></tr></tfoot>",
                 "\t<tr>\t<th>SYS</th>\t<th>Svn</th>\t<th>El</th>\t<th>Az</th>\t<th>SNR</th>\t</tr>",
                 "\t<tr>\t<td>G</td>\t<td>12*</td>\t<td>45</td>\t<td>270</td>\t<td>41</td>\t</tr>",
                 "\t<tr>\t<td>S</td>\t<td>127</td>\t<td>200</td>\t<td>359</td>\t<td>255</td>\t</tr>",
                 std::string("\t<tr>\t<td>") + (binr ? "R/-3" : "R") +
                     "</td>\t<td>32</td>\t<td>10</td>\t<td>5</td>\t<td>30</td>\t</tr>",
                 "\t</table>",
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
                 "<Point>"}) +
           point +
           Crlf({"<coordinates>37.617635,-55.755814,150.250000</coordinates>", "</Point>", "</Placemark>"});
}

TEST(WritePlacemark, RichPointByteForByteInBothFormats) {
    for (LogFormat format : {LogFormat::Nmea, LogFormat::Binr}) {
        for (bool extrude : {false, true}) {
            EXPECT_EQ(Render([&](KmlStream& s) {
                          WritePlacemark(s, RichPoint(), 7, "16711680.png", format, extrude, "0.5");
                      }),
                      RichPlacemark(format, extrude))
                << "format " << LogFormatName(format) << ", extrude " << extrude;
        }
    }
}

TEST(WritePlacemark, TimeStampOnlyForARealDateAndTime) {
    struct Case {
        const char* legend;
        const char* date;
        const char* time;
        bool stamped;
    } cases[] = {
        {"whole seconds", "2024-05-17", "10:20:30", true},
        {"a fraction of any length", "2024-05-17", "23:59:59.99", true},
        {"empty time field (a log starting without a fix)", "2000-01-01", "", false},
        {"empty date", "", "10:20:30", false},
        {"letters in the time", "2024-05-17", "12:ab:19.0", false},
        {"negative BINR fields", "2024-05-17", "-1:-5:-3.000", false},
        {"hour 24", "2024-05-17", "24:00:00", false},
        {"minute 60", "2024-05-17", "10:60:00", false},
        {"a point without fraction digits", "2024-05-17", "10:20:30.", false},
        {"something after the fraction", "2024-05-17", "10:20:30.5x", false},
        {"month 13", "2024-13-01", "10:20:30", false},
        {"day 00", "2024-05-00", "10:20:30", false},
        {"a short year", "224-05-17", "10:20:30", false},
    };
    for (const Case& c : cases) {
        waypoints point;
        point.Date = c.date;
        point.Time = c.time;
        point.Status = 'A';
        const std::string text = Render(
            [&](KmlStream& s) { WritePlacemark(s, point, 0, "i.png", LogFormat::Nmea, false, "0.5"); });
        EXPECT_EQ(Count(text, "<TimeStamp>\r\n<when>"), c.stamped ? 1u : 0u) << c.legend;
        EXPECT_EQ(Count(text, "<th>Time</th>"), 1u) << c.legend << ": the data table keeps the time text";
    }
}

TEST(WritePlacemark, QualityAndModeTexts) {
    struct Case {
        const char* legend;
        int32_t quality;
        int32_t mode;
        const char* gga;
        const char* gsa;
    } cases[] = {
        {"quality 0 and mode 1 are named as no fix", 0, 1, "N/A (0)", "N/A (1)"},
        {"quality 1 valid, mode 2", 1, 2, "Fix valid (1)", "2D (2)"},
        {"quality 6 dead reckoning; no GSA data gives mode 0", 6, 0, "Dead (6)", "0"},
        {"unnamed values print as bare numbers", 4, 5, "4", "5"},
    };
    for (const Case& c : cases) {
        waypoints point;
        point.FixQuality = c.quality;
        point.FixMode = c.mode;
        point.Satellites[5].InView = 1;  // HasSatellites 0 rules: no satellite table
        std::string text =
            Render([&](KmlStream& s) { WritePlacemark(s, point, 0, "i.png", LogFormat::Nmea, false, "1"); });
        EXPECT_NE(text.find(std::string("<th>Status(GGA)</th><td>") + c.gga +
                            "</td></tr>\r\n\t<tr><th>Status(GSA)"
                            "</th><td>" +
                            c.gsa +
                            "</td></tr>\r\n\t<tr><th>HDOP</th><td>0.000</td></tr>\r\n"
                            "\t<tr><th>SAT</th><td>0</td></tr>\r\n\t</table>\r\n]]>"),
                  std::string::npos)
            << c.legend;
    }
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

// The whole folder as a run writes it: Begin, each node, End; stops where the
// date rule stops.
WaypointsOutcome WriteFolder(KmlStream& s, list* start, const WaypointOptions& options,
                             const NmeaLogDate& logDate, LogFormat format, int* count = nullptr) {
    WaypointFolder folder(s, options, format);
    folder.Begin();
    for (list* node = start; node != nullptr; node = node->Next) {
        if (!folder.Add(node->Point, logDate)) {
            return WaypointsOutcome::DateNotFound;
        }
    }
    folder.End();
    if (count != nullptr) {
        *count = folder.Count();
    }
    return WaypointsOutcome::Written;
}

TEST(WaypointFolder, DateRules) {
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
        WaypointsOutcome outcome = WaypointsOutcome::Written;
        std::string text = Render([&](KmlStream& s) {
            outcome = WriteFolder(s, points.Start, Options(c.checkBox1), logDate, LogFormat::Nmea);
        });
        if (c.expected == kStop) {
            EXPECT_EQ(outcome, WaypointsOutcome::DateNotFound) << c.legend;
            EXPECT_EQ(Elements(text, "name"), (std::vector<std::string>{"WayPoints", "0"})) << c.legend;
            EXPECT_EQ(text.substr(text.size() - 14), "</Placemark>\r\n") << c.legend << ": nothing after it";
            continue;
        }
        EXPECT_EQ(outcome, WaypointsOutcome::Written) << c.legend;
        EXPECT_EQ(point.Date, c.expected) << c.legend << ": the date is kept in the list";
        const std::vector<std::string> stamped = {std::string(c.expected) + "T10:00:00Z"};
        EXPECT_EQ(Elements(text, "when"), *c.expected ? stamped : std::vector<std::string>{})
            << c.legend << ": only a point with a date and a time is stamped";
    }
}

TEST(WaypointFolder, NmeaNumbersOnlyWrittenPointsAndPicksIcons) {
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
    int count = 0;
    std::string text = Render([&](KmlStream& s) {
        EXPECT_EQ(WriteFolder(s, points.Start, Options(true), NmeaLogDate{"2013-04-02", true},
                              LogFormat::Nmea, &count),
                  WaypointsOutcome::Written);
    });
    EXPECT_EQ(Elements(text, "name"), names);
    EXPECT_EQ(Elements(text, "href"), icons);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(Count(text, "Status(GGA)"), 5u) << "NMEA placemarks use the NMEA status rows";
    EXPECT_EQ(text.substr(text.size() - 11), "</Folder>\r\n");
}

TEST(WaypointFolders, NoStartGivesEmptyFolders) {
    for (LogFormat format : {LogFormat::Nmea, LogFormat::Binr}) {
        int count = -1;
        EXPECT_EQ(Render([&](KmlStream& s) {
                      EXPECT_EQ(WriteFolder(s, nullptr, Options(false), NmeaLogDate{}, format, &count),
                                WaypointsOutcome::Written);
                  }),
                  Crlf({"<Folder>", "<name>WayPoints</name>", "</Folder>"}));
        EXPECT_EQ(count, 0);
    }
    EXPECT_EQ(Render([&](KmlStream& s) { WriteDTrackWaypoints(s, nullptr, Options(false)); }),
              Crlf({"<Folder>", "<name>D-Track WayPoints</name>", "</Folder>"}));
}

TEST(WaypointFolder, BinrStatusPicksIconNoDateRuleAndExtrude) {
    const char statuses[] = {'A', 'V', 0, 'D', 'A'};
    PointList points;
    for (char status : statuses) {
        waypoints& p = points.AppendPoint()->Point;
        p.Status = status;
        p.HasGga = 1;  // flags mean nothing to the binary folder
        p.StatusText = "3D";
        p.SatellitesUsed = 9;
    }
    WaypointOptions options = Options(true);
    options.Extrude = true;
    int count = 0;
    std::string text = Render(
        [&](KmlStream& s) { WriteFolder(s, points.Start, options, NmeaLogDate{}, LogFormat::Binr, &count); });
    EXPECT_EQ(Elements(text, "name"), (std::vector<std::string>{"WayPoints", "0", "1", "2"}));
    EXPECT_EQ(Elements(text, "href"), (std::vector<std::string>{"valid.png", "invalid.png", "valid.png"}));
    EXPECT_EQ(Elements(text, "when"), std::vector<std::string>{}) << "no fallback date, so no time stamp";
    EXPECT_EQ(Count(text, "<th>Status</th><td>3D</td>"), 3u);
    EXPECT_EQ(Count(text, "<th>SAT</th><td>9</td>"), 3u) << "a known count is no None";
    EXPECT_EQ(Count(text, "<Point>\r\n<extrude>1</extrude>\r\n"), 3u)
        << "CheckBox3 reaches the binary folder";
    EXPECT_EQ(count, 3);
}

TEST(WriteDTrackWaypoints, EveryMatchedFixWhateverItsStatus) {
    struct Node {
        char status;
        uint8_t matched;
    } nodes[] = {{'A', 1}, {'D', 0}, {0, 1}, {'V', 1}, {'X', 0}};
    PointList points;
    for (const Node& n : nodes) {
        DTrackPoint& d = points.AppendPoint()->Point.DTrack.Edit();
        d.Status = n.status;
        d.Matched = n.matched;
    }
    std::string text = Render([&](KmlStream& s) { WriteDTrackWaypoints(s, points.Start, Options(false)); });
    EXPECT_EQ(Elements(text, "name"), (std::vector<std::string>{"D-Track WayPoints", "0", "1", "2"}));
    EXPECT_EQ(Elements(text, "href"), (std::vector<std::string>(3, "dtrack.png")));
    EXPECT_EQ(text.substr(text.size() - 11), "</Folder>\r\n");
}

}  // namespace
}  // namespace tervo
