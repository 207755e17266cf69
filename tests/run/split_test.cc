#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
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

SplitRun SplitInMemory(const std::string& log, Extras extras) {
    ConversionSettings settings;
    // Swapped in: g++ 12 takes the assignment for a read of an uninitialised string.
    std::swap(settings.Extras, extras);
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

// The parts joined into one log, split in memory.
SplitRun SplitParts(const std::vector<std::string>& parts, const Extras& extras) {
    std::string log;
    for (const std::string& part : parts) {
        log += part;
    }
    return SplitInMemory(log, extras);
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
        const SplitRun run = SplitParts(c.parts, c.extras);
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

// An epoch with the HDOP given.
std::string Fix(const std::string& hhmmss, const std::string& hdop, const std::string& ddmmyy = "170524") {
    return testing::NmeaSentence("GPGGA," + hhmmss + ".00,5545.0783,N,03736.8141,E,1,10," + hdop +
                                 ",150.1,M,14.2,M,,") +
           testing::NmeaSentence("GPRMC," + hhmmss + ".00,A,5545.0783,N,03736.8141,E,20.0,232.9," + ddmmyy +
                                 ",,,A");
}

// The log is cut as it was recorded, and each piece takes the extras as a run
// of its part alone: the filter within it, its track in time, and its own
// exports beside it.
TEST(SplitLog, EachPieceTakesTheExtrasAsARunOfItsPartAlone) {
    struct Case {
        const char* catches;
        Extras extras;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {"a piece's summary counting the whole log's filtered epochs, or one piece's exports for all",
         Extras{.SplitGap = 60, .SummaryInKml = 1, .TimeTrack = 1, .Export = "gpx,csv", .MaxHdop = 2},
         {Fix("100000", "0.9") + Fix("100001", "5.0") + Fix("100002", "0.9"),
          Fix("100500", "5.0") + Fix("100501", "0.9") + Fix("100502", "0.9")}},
        {"the Galileo satellites of a piece lost where the walk met the piece's end",
         Extras{.SplitGap = 60, .SummaryInKml = 1},
         {Fix("100000", "0.9") + testing::NmeaSentence("GAGSV,1,1,01,03,44,149,40,7") + Fix("100001", "0.9"),
          Fix("100500", "0.9") + testing::NmeaSentence("GAGSV,1,1,01,08,10,20,30,7") + Fix("100501", "0.9")}},
        {"epochs the filter took out (90 s of them) taken for a gap",
         Extras{.SplitGap = 60, .MaxHdop = 2},
         {Fix("100000", "0.9") + Fix("100030", "5.0") + Fix("100100", "5.0") + Fix("100130", "0.9")}},
        {"a piece the filter took every epoch of written as the whole log",
         Extras{.SplitDay = 1, .SummaryInKml = 1, .MaxHdop = 2},
         {Epochs({"235958", "235959"}, "170524"),
          Fix("000000", "5.0", "180524") + Fix("000001", "5.0", "180524")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.catches);
        const SplitRun run = SplitParts(c.parts, c.extras);
        ASSERT_EQ(run.result, ConversionResult::Completed);
        ASSERT_EQ(run.pieces.size(), c.parts.size());
        ConversionSettings alone;
        alone.Extras = c.extras;
        alone.Extras.SplitGap.reset();
        alone.Extras.SplitDay.reset();
        for (size_t i = 0; i < c.parts.size(); ++i) {
            const fuzzing::InMemoryRun part = fuzzing::ConvertInMemory(c.parts[i], alone);
            EXPECT_EQ(run.pieces[i].kml, part.kml) << "piece " << i;
            ASSERT_EQ(run.pieces[i].besides.size(), part.besides.size());
            for (size_t k = 0; k < part.besides.size(); ++k) {
                EXPECT_EQ(run.pieces[i].besides[k].bytes, part.besides[k].bytes);
            }
        }
    }
}

// Pieces and their exports are packed beside their places and put there only
// once all are written: a piece that cannot be written leaves every file as it was.
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
    settings.Extras.Export = "gpx";
    testing::TestPlatform platform;
    SentenceAssembler assembler;
    testing::RecordingView view;
    EXPECT_THROW(RunConversion(settings, view, assembler, platform), CreateFileError);
    EXPECT_EQ(testing::Listing(dir.path()), before);
    EXPECT_EQ(testing::ReadFile(dir.File("drive-1.kmz")), "previous");

    std::filesystem::remove(dir.File("drive-3.kmz"));
    ASSERT_EQ(RunConversion(settings, view, assembler, platform), ConversionResult::Completed);
    EXPECT_EQ(testing::Listing(dir.path()),
              (std::vector<std::string>{"drive-1.gpx", "drive-1.kmz", "drive-2.gpx", "drive-2.kmz",
                                        "drive-3.gpx", "drive-3.kmz", "drive.nmea"}));
}

}  // namespace
}  // namespace tervo
