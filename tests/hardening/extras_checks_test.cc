// How the fuzz targets choose extras, and the summary check they abort on.
#include "fuzz/extras_checks.h"

#include <gtest/gtest.h>

#include <string>

#include "report/summary.h"

namespace tervo::fuzzing {
namespace {

TEST(ExtrasFromLastBytes, AUsualEndingAsksForNoneAndEachBitForItsExtra) {
    struct Case {
        const char* legend;  // what a wrong reading of the bytes would do
        std::string log;
        int32_t format;
        Extras expected;
    };
    const Case cases[] = {
        {"an NMEA log as written slowed down by extras", "$GPGGA*00\r\n", 0, {}},
        {"a BINR log as written slowed down by extras", std::string("\x10\x88\x10\x03", 4), 1, {}},
        {"a log too short read past its start", "\n", 0, {}},
        {"bit 0 of the last byte missed", "$\r\x0B", 0, {.ThinSeconds = 2}},
        {"the high half taken from the last byte", "$-:", 0, {.Viewer = 1, .LineTolerance = 1000}},
        {"colour by quality winning over speed", std::string("\x11\x83", 2), 1, {.ColourBy = kColourBySpeed}},
        {"the track in time and the filters missed",
         "$M\n",
         0,
         {.TimeTrack = 1, .MinQuality = 1, .MaxHdop = 5, .MinSatellites = 4}},
        {"the error colours missed beside the accuracy",
         std::string("$\x8C\x8A", 3),
         0,
         {.ColourBy = kColourByError, .ReferencePoint = "mean"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtrasFromLastBytes(c.log, c.format), c.expected) << c.legend;
    }
}

TEST(JsonError, RejectsEachFaultAndPassesTheSummary) {
    struct Case {
        const char* legend;  // what a check that passes this would let through
        std::string text;
        std::string error;  // a part of the report; "" for sound JSON
    };
    const Case cases[] = {
        {"sound JSON rejected", "{\"a\": [1, -0.5e+3, true, null, \"x\\u00e9\\n\"], \"b\": {}}\n", ""},
        {"a NaN", "{\"a\": nan}", "no value"},
        {"a trailing comma", "[1,]", "no value"},
        {"a leading zero", "01", "text after the value"},
        {"a fraction without digits", "1.", "fraction without digits"},
        {"a raw control character in a string", "\"a\x01\"", "control character"},
        {"an unknown escape", "\"\\x\"", "unknown escape"},
        {"a string not closed", "\"abc", "not closed"},
        {"a member without a name", "{1: 2}", "without a name"},
        {"an empty text", "", "no value"},
    };
    for (const Case& c : cases) {
        const std::string error = JsonError(c.text);
        if (c.error.empty()) {
            EXPECT_EQ(error, "") << c.legend;
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.legend << "\nreport: " << error;
        }
    }
    EXPECT_EQ(JsonError(SummaryJson(Summary{})), "") << "the summary of an empty log";
}

}  // namespace
}  // namespace tervo::fuzzing
