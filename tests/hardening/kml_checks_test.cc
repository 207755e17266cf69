// The checks the fuzz targets abort on: each must reject the fault it names,
// or a fuzz run would pass over it in silence.
#include "fuzz/kml_checks.h"

#include <gtest/gtest.h>

#include <string>

namespace tervo::fuzzing {
namespace {

// A document with `body` inside its WayPoints folder and `after` behind it.
std::string Document(const std::string& body, const std::string& after = "") {
    return "<kml>\r\n<Document>\r\n<Folder>\r\n<name>WayPoints</name>\r\n" + body + "</Folder>\r\n" + after +
           "</Document>\r\n</kml>";
}

const std::string kPlacemark =
    "<Placemark>\r\n<description><![CDATA[<table><tr><th colspan=5>a & b</th></tr>]]></description>\r\n"
    "<LookAt>\r\n<longitude>37.5</longitude>\r\n<latitude>-55.25</latitude>\r\n</LookAt>\r\n"
    "<Style id=\"s\">\r\n<heading>356.700000</heading>\r\n</Style>\r\n"
    "<Point>\r\n<coordinates>37.615220,55.757251,150.200000</coordinates>\r\n</Point>\r\n</Placemark>\r\n";

TEST(KmlChecks, RejectEachFaultAndPassASoundDocument) {
    struct Case {
        const char* legend;  // what a check that passes this would let through
        std::string document;
        std::string countText;
        std::string error;  // a part of the report; "" when the document is sound
    };
    const Case cases[] = {
        {"a sound document rejected (CDATA markup, attributes, the all-points start tag's line break)",
         Document(kPlacemark,
                  "<Placemark\r\n><coordinates>\r\n\t1.0,2.0,3.0\r\n</coordinates></Placemark>\r\n"),
         "Waypoints 1", ""},
        {"an unclosed element", "<kml>\r\n<Document>\r\n</kml>", "", "does not close <Document>"},
        {"an end of file inside an element", "<kml>\r\n<Document>\r\n", "", "end of document inside"},
        {"an unclosed CDATA section", Document("<description><![CDATA[x</description>\r\n"), "Waypoints 0",
         "CDATA section not closed"},
        {"a CDATA end in plain text", Document("<name>a]]>b</name>\r\n"), "Waypoints 0", "\"]]>\" outside"},
        {"a NUL byte", Document(std::string("<name>a\0b</name>\r\n", 17)), "Waypoints 0",
         "cannot stand in XML"},
        {"a control byte", Document("<name>a\x01</name>\r\n"), "Waypoints 0", "cannot stand in XML"},
        {"a byte that is no UTF-8", Document("<name>\xB0</name>\r\n"), "Waypoints 0", "not valid UTF-8"},
        {"a bare ampersand", Document("<name>a & b</name>\r\n"), "Waypoints 0", "starts no reference"},
        {"an entity XML does not define", Document("<name>&nbsp;</name>\r\n"), "Waypoints 0",
         "starts no reference"},
        {"a bare less-than sign", Document("<name>a < b</name>\r\n"), "Waypoints 0", "starts no tag"},
        {"an unquoted attribute", Document("<Style id=s>\r\n</Style>\r\n"), "Waypoints 0", "not quoted"},
        {"a second root element", "<kml>\r\n</kml>\r\n<kml>\r\n</kml>", "", "second root"},
        {"a LF without CR", Document("<name>x</name>\n"), "Waypoints 0", "line feed without"},
        {"a bare CR", Document("<name>x\r</name>\r\n"), "Waypoints 0", "carriage return without"},
        {"a coordinate tuple of two numbers", Document("<coordinates>1.0,2.0</coordinates>\r\n"),
         "Waypoints 0", "not three numbers"},
        {"a NaN coordinate", Document("<coordinates>\r\n1.0,-nan,3.0\r\n</coordinates>\r\n"), "Waypoints 0",
         "not three numbers"},
        {"an infinite altitude", Document("<coordinates>1.0,2.0,inf</coordinates>\r\n"), "Waypoints 0",
         "not three numbers"},
        {"a heading that is no number", Document("<heading>nan</heading>\r\n"), "Waypoints 0",
         "is no number"},
        {"a count that differs from the folder", Document(kPlacemark + kPlacemark), "Waypoints 1",
         "WayPoints folder says \"Waypoints 2\""},
        {"a viewer's hourly folders counted only up to the first one's end",
         Document("<Folder>\r\n<name>10:00</name>\r\n" + kPlacemark + "</Folder>\r\n<Folder>\r\n" +
                  kPlacemark + kPlacemark + "</Folder>\r\n"),
         "Waypoints 2", "WayPoints folder says \"Waypoints 3\""},
    };
    for (const Case& c : cases) {
        const std::string error = KmlDocumentError(c.document, c.countText);
        if (c.error.empty()) {
            EXPECT_EQ(error, "") << c.legend;
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.legend << "\nreport: " << error;
        }
    }
}

}  // namespace
}  // namespace tervo::fuzzing
