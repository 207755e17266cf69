// A day of 1 Hz epochs in each format, converted whole: logs large enough for
// the KML to be deflated in chunks on every core while the waypoint folder is
// written on a thread of its own, over thousands of hand-overs. Labelled slow
// (a quick local run leaves it out) and threads (scripts/run_tsan.sh runs it
// under ThreadSanitizer).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fuzz/in_memory_run.h"
#include "run/conversion.h"
#include "support/recording_view.h"
#include "support/test_files.h"
#include "support/whole_conversion.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

// The container must hold, under the CRC of its bytes, the document the
// writers give after the read loop.
TEST(DayLongLog, EachFormatGivesTheDocumentOfTheWritersAfterTheReadLoop) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    ASSERT_NE(tools, nullptr) << "run through ctest: TERVO_TOOLS_DIR names the simulators' directory";
    testing::TempDir dir;
    for (const LogFormat format : {LogFormat::Nmea, LogFormat::Binr}) {
        const std::string tool = format == LogFormat::Nmea ? "simulate_log" : "simulate_binr";
        SCOPED_TRACE(tool);
        const std::string path = dir.File("day.log");
        const std::string command =
            std::string(tools) + "/" + tool + " --hours 24 --seed 3 --out '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string log = testing::ReadFile(path);
        ASSERT_GT(log.size(), size_t{10} << 20) << "too small to be deflated in chunks";

        ConversionSettings s = testing::CheckedFileSettings(path, "day.log", dir, format);
        s.CheckBox2 = true;  // the line through all points as well
        testing::RecordingView view;
        view.recordTicks = false;
        SentenceAssembler assembler;
        testing::TestPlatform platform;
        ASSERT_EQ(RunConversion(s, view, assembler, platform), ConversionResult::Completed);
        std::string count;
        for (const std::string& call : view.calls) {
            if (call.starts_with("ShowCount(")) {
                count = call.substr(10, call.size() - 11);
            }
        }

        testing::ZipArchive archive;
        std::string error;
        ASSERT_TRUE(testing::ReadZip(testing::ReadFile(dir.File("t.kmz")), &archive, &error)) << error;
        const testing::ZipEntry* kml = nullptr;
        for (const testing::ZipEntry& entry : archive.entries) {
            if (entry.name == "t.kml") {
                kml = &entry;
            }
        }
        ASSERT_NE(kml, nullptr) << "no t.kml in the container";
        EXPECT_EQ(kml->crc, kml->computedCrc);

        // The reference: the folder written after the log is read.
        const fuzzing::InMemoryRun expected = fuzzing::ConvertInMemory(log, s, nullptr, false);
        ASSERT_EQ(expected.result, ConversionResult::Completed);
        ASSERT_TRUE(expected.countText.starts_with("Waypoints ")) << expected.countText;
        EXPECT_GT(std::stoi(expected.countText.substr(10)), 80000);
        EXPECT_EQ(count, expected.countText);
        EXPECT_TRUE(kml->data == expected.kml)
            << "the document differs from the writers' after the read loop";
    }
}

}  // namespace
}  // namespace tervo
