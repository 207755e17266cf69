// Whole BINR conversions through RunConversion, checked on the KML inside the
// container.
//
// cold_start.binr is `simulate_binr --epochs 8 --seed 4 --acquire 2`: two epochs
// before the first fix, a lost fix at the seventh, DLE bytes in the payloads,
// noise between the messages and a message across the 1024-byte boundary. The
// expected documents beside it were checked by hand. Run the tests with
// TERVO_REBUILD_EXPECTED=1 to rewrite them from the current output instead of
// comparing; a changed expected file must be explained in its commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "nmea/sentence.h"
#include "run/conversion.h"
#include "support/recording_view.h"
#include "support/test_files.h"
#include "support/whole_conversion.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

using testing::RecordingView;
using testing::TempDir;
using testing::TestDataDir;
using testing::TestPlatform;

TEST(BinrConversion, DocumentsMatchTheCheckedFiles) {
    struct Case {
        const char* legend;
        const char* expected;
        bool checkBox2;
        bool checkBox3;
        bool checkBox4;
        const char* waypoints;
    };
    const Case cases[] = {
        {"every node from the head, invalid ones with their own icon; all-points line; extruded",
         "cold_start.kml", true, true, false, "Waypoints 8"},
        {"from the first fix on: the two acquisition epochs are left out of folder and line",
         "cold_start_first_fix.kml", false, false, true, "Waypoints 6"},
    };
    const std::string log = TestDataDir() + "binr/cold_start.binr";
    SentenceAssembler assembler;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        TempDir dir;
        ConversionSettings settings =
            testing::CheckedFileSettings(log, "cold_start.binr", dir, LogFormat::Binr);
        settings.CheckBox2 = c.checkBox2;
        settings.CheckBox3 = c.checkBox3;
        settings.CheckBox4 = c.checkBox4;

        RecordingView view;
        view.recordTicks = false;
        TestPlatform platform(dir.path());
        ASSERT_EQ(RunConversion(settings, view, assembler, platform), ConversionResult::Completed);
        const std::string document = testing::ZipEntryData(dir.File("t.kmz"), "t.kml");
        const std::string expectedPath = TestDataDir() + "binr/" + c.expected;
        if (!testing::MatchesCheckedFile(document, expectedPath)) {
            continue;
        }
        // 1572 bytes make a step at every 15th byte, and the window a turn before each.
        EXPECT_EQ(view.steps, 104);
        EXPECT_EQ(view.events, 1572);
        EXPECT_NE(
            std::find(view.calls.begin(), view.calls.end(), std::string("ShowCount(") + c.waypoints + ")"),
            view.calls.end());
    }
}

}  // namespace
}  // namespace tervo
