#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/in_memory_run.h"
#include "run/conversion.h"
#include "run/memory_files.h"
#include "support/recording_view.h"
#include "support/test_builders.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::NmeaEpoch;

std::string Epochs(const std::vector<std::string>& times, const std::string& ddmmyy) {
    std::string log;
    for (const std::string& time : times) {
        log += NmeaEpoch(time, ddmmyy);
    }
    return log;
}

// A split run in memory: its result, report and pieces.
struct SplitRun {
    ConversionResult result;
    RunReport report;
    std::vector<MemoryFiles::Piece> pieces;
};

SplitRun SplitInMemory(const std::string& log, const Extras& extras) {
    ConversionSettings settings;
    settings.Extras = extras;
    FixedPlatform platform({2024, 5, 17}, {2024, 5, 17, 10, 20, 30}, "/nonexistent/");
    SentenceAssembler assembler;
    testing::RecordingView view;
    MemoryFiles files = MemoryFiles::OfText(log);
    files.SetContainerPath("/data/drive.kmz");
    SplitRun run;
    run.result = RunConversion(settings, view, assembler, platform, files, nullptr, &run.report);
    run.pieces = files.pieces();
    return run;
}

// Each piece is the document a run of its part of the log alone writes.
TEST(SplitLog, EachPieceIsTheWholeDocumentOfItsPartOfTheLog) {
    struct Case {
        const char* catches;
        Extras extras;
        std::vector<std::string> parts;  // the log, piece by piece
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"an epoch lost or doubled at a gap, or a piece not a whole document",
         Extras{.SplitGap = 60},
         {Epochs({"100000", "100001", "100002"}, "170524"), Epochs({"100500", "100501"}, "170524")},
         {"/data/drive-1.kmz", "/data/drive-2.kmz"}},
        {"the day of the date not followed across midnight",
         Extras{.SplitDay = 1},
         {Epochs({"235958", "235959"}, "170524"), Epochs({"000000"}, "180524")},
         {"/data/drive-2024-05-17.kmz", "/data/drive-2024-05-18.kmz"}},
        {"a log without a cut not written whole as its one piece",
         Extras{.SplitGap = 60, .SplitDay = 1},
         {Epochs({"100000", "100030"}, "170524")},
         {"/data/drive-2024-05-17.kmz"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.catches);
        std::string log;
        for (const std::string& part : c.parts) {
            log += part;
        }
        const SplitRun run = SplitInMemory(log, c.extras);
        ASSERT_EQ(run.result, ConversionResult::Completed);
        ASSERT_EQ(run.pieces.size(), c.parts.size());
        int placemarks = 0;
        for (size_t i = 0; i < c.parts.size(); ++i) {
            EXPECT_EQ(run.pieces[i].path, c.paths[i]);
            EXPECT_EQ(run.report.Pieces.at(i).Path, c.paths[i]);
            EXPECT_EQ(run.pieces[i].kml, fuzzing::ConvertInMemory(c.parts[i], ConversionSettings{}).kml);
            placemarks += run.report.Pieces[i].Placemarks;
        }
        EXPECT_EQ(run.report.Placemarks, placemarks);
    }
}

// Pieces are packed beside their places and put there only once all are
// written: a piece that cannot be written leaves every file as it was.
TEST(SplitLog, APieceThatCannotBeWrittenLeavesNothingBehind) {
    testing::TempDir dir;
    const std::string log =
        Epochs({"100000", "100001"}, "170524") + Epochs({"100500"}, "170524") + Epochs({"101000"}, "170524");
    testing::WriteFile(dir.File("drive.nmea"), log);
    testing::WriteFile(dir.File("drive-1.kmz"), "previous");
    std::filesystem::create_directory(dir.File("drive-3.kmz"));
    const std::vector<std::string> before = testing::Listing(dir.path());
    ConversionSettings settings;
    settings.InputPath = dir.File("drive.nmea");
    settings.OutputName = "drive.kmz";
    settings.OutputPath = dir.File("drive.kmz");
    settings.Extras.SplitGap = 60;
    testing::TestPlatform platform;
    SentenceAssembler assembler;
    testing::RecordingView view;
    EXPECT_THROW(RunConversion(settings, view, assembler, platform), CreateFileError);
    EXPECT_EQ(testing::Listing(dir.path()), before);
    EXPECT_EQ(testing::ReadFile(dir.File("drive-1.kmz")), "previous");

    std::filesystem::remove(dir.File("drive-3.kmz"));
    ASSERT_EQ(RunConversion(settings, view, assembler, platform), ConversionResult::Completed);
    EXPECT_EQ(testing::Listing(dir.path()),
              (std::vector<std::string>{"drive-1.kmz", "drive-2.kmz", "drive-3.kmz", "drive.nmea"}));
}

}  // namespace
}  // namespace tervo
