// Input and output names as users give them: blanks, quotes, letters beyond
// ASCII, and paths as long as the system takes.
#include <gtest/gtest.h>
#include <limits.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/paths.h"
#include "fuzz/kml_checks.h"
#include "hardening_support.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo::testing {
namespace {

const std::string kAwkwardName = "trip 'one' \"two\" Škoda трек $HOME ;&";

// A directory inside `base` (created) whose path is `length` bytes long with
// its final separator; no component is longer than NAME_MAX.
std::string DirectoryOfLength(const std::string& base, size_t length) {
    std::string path = base;
    while (length - path.size() > NAME_MAX + 1) {
        path += std::string(199, 'd') + "/";
    }
    path += std::string(length - path.size() - 1, 'e') + "/";
    std::filesystem::create_directories(path);
    return path;
}

class PathNames : public ::testing::Test {
protected:
    // The names of the entries in `directory`.
    static std::vector<std::string> Listing(const std::string& directory) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
};

TEST_F(PathNames, AwkwardAndLongNamesConvert) {
    const std::string name = kAwkwardName;
    // The longest path the system takes (PATH_MAX counts the final NUL), and a
    // name of many bytes in it, so that every file of the run just fits.
    const std::string longName = std::string(120, 'n') + " " + name;
    const std::string deep = DirectoryOfLength(dir.File("deep/"), PATH_MAX - 1 - (longName.size() + 4));
    struct Row {
        const char* legend;
        std::string input;
        std::string output;
    };
    const Row rows[] = {
        {"blanks, quotes and non-ASCII letters", dir.File(name + ".nmea"), dir.File(name + ".kmz")},
        {"a container path of PATH_MAX - 1 bytes", dir.File("log.nmea"), deep + longName + ".kmz"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        ASSERT_LE(row.output.size(), size_t{PATH_MAX - 1});
        Simulate("simulate_log", 5, row.input);
        const std::string outputDir = DirectoryPart(row.output);
        const std::string kmlName = ChangeFileExtension(FileNamePart(row.output), ".kml");

        const RunOutcome run = ConvertFile(row.input, row.output);
        EXPECT_EQ(FinishedDocumentError(run, dir.path()), "");
        EXPECT_EQ(run.countText, "Waypoints 5");
        ZipArchive archive;
        std::string error;
        ASSERT_TRUE(ReadZip(ReadFile(row.output), &archive, &error)) << error;
        EXPECT_EQ(archive.entries.front().name, kmlName);
        std::filesystem::remove(row.output);

        const ProgramOutcome batch = RunProgram({ConverterPath(), row.input, row.output}, dir.path());
        EXPECT_EQ(batch.status, 0) << batch.err;
        EXPECT_EQ(fuzzing::KmlDocumentError(ZipEntryData(row.output, kmlName), "Waypoints 5"), "");
        // Only the log, the container and what was there before: the intermediate files are gone.
        for (const std::string& entry : Listing(outputDir)) {
            EXPECT_FALSE(entry.ends_with(".kml") || entry.ends_with(".png") || entry.ends_with(".tmp"))
                << entry;
        }
    }
}

TEST_F(PathNames, APathBeyondTheLimitFailsClearly) {
    const std::string output =
        DirectoryOfLength(dir.File("deep/"), PATH_MAX - 10) + "longer than the limit.kmz";
    Simulate("simulate_log", 2, dir.File("log.nmea"));
    const RunOutcome run = ConvertFile(dir.File("log.nmea"), output);
    EXPECT_EQ(run.result, ConversionResult::OutputNotCreated);
    EXPECT_EQ(run.statuses, std::vector<std::string>{"Can't create the output file"});
    const ProgramOutcome batch = RunProgram({ConverterPath(), dir.File("log.nmea"), output}, dir.path());
    EXPECT_EQ(batch.status, 4) << batch.err;
}

}  // namespace
}  // namespace tervo::testing
