#include "app/live_console.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "app/console_front_end.h"
#include "support/processes.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

using testing::Child;
using testing::PtyPair;
using testing::ReadFile;
using testing::TempDir;
using testing::WaitUntil;

TEST(ByteCountText, ShowsThreeFiguresAndAUnit) {
    const std::pair<uint64_t, const char*> rows[] = {
        {0, "0 B"},           {999, "999 B"},     {1000, "1.0 kB"},    {12345, "12.3 kB"},
        {999949, "999.9 kB"}, {999950, "1.0 MB"}, {4500000, "4.5 MB"}, {1234567890, "1.2 GB"},
    };
    for (const auto& [bytes, text] : rows) {
        EXPECT_EQ(ByteCountText(bytes), text) << bytes;
    }
}

TEST(LiveStatusText, SaysWhatCameSoFar) {
    struct Case {
        const char* legend;
        LiveFigures figures;
        const char* text;
    };
    auto figures = [](int64_t epochs, int64_t fixes, const char* quality, int satellites, const char* last,
                      uint64_t bytes) {
        LiveFigures f;
        f.Epochs = epochs;
        f.Fixes = fixes;
        f.Quality = quality;
        f.Satellites = satellites;
        f.LastFixTime = last;
        f.Bytes = bytes;
        return f;
    };
    const Case cases[] = {
        {"nothing decoded yet", figures(0, 0, "", 0, "", 320), "waiting for data, 320 B received"},
        {"epochs without a fix", figures(5, 0, "No fix", 0, "", 5000),
         "0 fixes, No fix, 0 satellites, no fix yet, 5.0 kB received"},
        {"one of each", figures(1, 1, "Single", 1, "10:15:00.00", 1000),
         "1 fix, Single, 1 satellite, last fix 10:15:00.00, 1.0 kB received"},
        {"a BINR receiver does not tell its satellites in use",
         figures(9, 9, "Differential", -1, "07:00:01.500", 2000),
         "9 fixes, Differential, last fix 07:00:01.500, 2.0 kB received"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LiveStatusText(c.figures), c.text) << c.legend;
    }
}

// Runs the console front end in this process; its exit status and standard error.
std::pair<int, std::string> RunInProcess(std::vector<std::string> args) {
    args.insert(args.begin(), "tervoconverter");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    testing::TestPlatform platform;
    SentenceAssembler assembler;
    std::FILE* err = std::tmpfile();
    const int status =
        RunConsoleFrontEnd(static_cast<int>(argv.size()), argv.data(), platform, assembler, stdout, err);
    std::rewind(err);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, err)) > 0;) {
        text.append(buffer, n);
    }
    std::fclose(err);
    return {status, text};
}

TEST(LiveForm, RefusesWhatItCannotUse) {
    TempDir dir;
    testing::WriteFile(dir.File("taken.nmea"), "a recording of before");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* said;
    };
    const Case cases[] = {
        {{"--refresh", "5", "in.nmea", "out.kmz"}, 2, "--refresh and --record go with --live SOURCE"},
        {{"--live", "udp://host:1", dir.File("out.kmz")}, 2, "unknown kind of address"},
        {{"--live", "/dev/ttyUSB0:1234", dir.File("out.kmz")}, 2, "'1234' is no baud rate"},
        {{"--live", "-"}, 2, "takes OUTPUT.kmz"},
        {{"--live", "-", "--refresh", "0.05", dir.File("out.kmz")}, 2, "--refresh"},
        {{"--live", "-", "--merge", "m.kmz", dir.File("out.kmz")}, 2, "excludes"},
        // The recording of before is kept: the run does not start.
        {{"--live", "-", "--record", dir.File("taken.nmea"), dir.File("out.kmz")}, 4, "never written over"},
    };
    for (const Case& c : cases) {
        const auto [status, err] = RunInProcess(c.args);
        EXPECT_EQ(status, c.status) << c.args[1] << "\n" << err;
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
    }
    EXPECT_EQ(ReadFile(dir.File("taken.nmea")), "a recording of before");
    EXPECT_FALSE(testing::FileExists(dir.File("out.kmz")));
}

// The entries of a KMZ file, name and inflated bytes, in order.
std::vector<std::pair<std::string, std::string>> Entries(const std::string& path) {
    testing::ZipArchive archive;
    std::string error;
    EXPECT_TRUE(testing::ReadZip(ReadFile(path), &archive, &error)) << path << ": " << error;
    std::vector<std::pair<std::string, std::string>> entries;
    for (const testing::ZipEntry& entry : archive.entries) {
        entries.emplace_back(entry.name, entry.data);
    }
    return entries;
}

// The <Placemark> elements of a KMZ file's document; 0 while there is none.
size_t Placemarks(const std::string& kmz) {
    testing::ZipArchive archive;
    std::string error;
    if (!testing::FileExists(kmz) || !testing::ReadZip(ReadFile(kmz), &archive, &error) ||
        archive.entries.empty()) {
        return 0;
    }
    const std::string& kml = archive.entries.front().data;
    size_t count = 0;
    for (size_t at = kml.find("<Placemark>"); at != std::string::npos; at = kml.find("<Placemark>", at + 1)) {
        ++count;
    }
    return count;
}

// The whole program on a serial receiver at 10 Hz, with paths from the current
// directory: the KMZ file refreshes while the epochs come, SIGTERM ends the run
// with status 0, the recording holds every byte sent, and the last KMZ file
// holds what converting the recording gives (the ZIP's file times aside, which
// say when each was written).
TEST(LiveForm, RefreshesWhileReceivingAndEndsWithTheConversionOfTheRecording) {
    ASSERT_TRUE(testing::Installed("socat")) << "socat comes with scripts/setup.sh";
    TempDir dir;
    const std::string sent =
        testing::SimulatedLogFile("--epochs 40 --rate 10 --seed 3", dir.File("sent.nmea"));
    PtyPair pty(dir);
    Child live({testing::ProgramPath(), "--live", pty.rx + ":115200", "drive.kmz", "--record", "rec.nmea",
                "--refresh", "0.5"},
               dir.path(), dir.File("live.err"));
    ASSERT_TRUE(WaitUntil([&] { return testing::FileExists(dir.File("drive-live.kml")); }, 5));
    Child simulator({testing::ToolPath("simulate_log"), "--epochs", "40", "--rate", "10", "--seed", "3",
                     "--paced", "--out", pty.tx});
    size_t seen = 0;
    EXPECT_TRUE(WaitUntil([&] { return (seen = Placemarks(dir.File("drive.kmz"))) > 5; }, 5));
    EXPECT_TRUE(WaitUntil([&] { return Placemarks(dir.File("drive.kmz")) > seen; }, 5)) << "no refresh";
    EXPECT_EQ(simulator.Wait(), 0);
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(dir.File("rec.nmea")).size() == sent.size(); }, 5));
    live.Signal(SIGTERM);
    EXPECT_EQ(live.Wait(), 0) << ReadFile(dir.File("live.err"));

    EXPECT_TRUE(ReadFile(dir.File("rec.nmea")) == sent);
    TempDir other;
    const std::string command =
        testing::ProgramPath() + " " + dir.File("rec.nmea") + " " + other.File("drive.kmz");
    ASSERT_EQ(std::system((command + " 2>/dev/null").c_str()), 0) << command;
    EXPECT_TRUE(Entries(dir.File("drive.kmz")) == Entries(other.File("drive.kmz")));
    EXPECT_EQ(testing::Listing(dir.File("drive-live")), std::vector<std::string>{"closed.kml"});
    const std::string err = ReadFile(dir.File("live.err"));
    EXPECT_NE(err.find("drive-live.kml in Google Earth or CesiumJS"), std::string::npos) << err;
    // The last epoch is complete only once the log has ended.
    EXPECT_NE(err.find("39 fixes, single, "), std::string::npos) << err;
}

// A kill at any moment leaves the last KMZ file whole and the recording with
// every byte received before it.
TEST(LiveForm, AKillLeavesTheLastKmzAndTheRecording) {
    TempDir dir;
    const std::string sent = testing::SimulatedLogFile("--epochs 30 --seed 8", dir.File("sent.nmea"));
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    // Standard input of the program is the pipe's read end.
    const std::string fdPath = "/dev/fd/" + std::to_string(input[0]);
    Child live(
        {"sh", "-c",
         "exec " + testing::ProgramPath() + " --live - drive.kmz --record rec.nmea --refresh 0.5 <" + fdPath},
        dir.path(), dir.File("live.err"));
    ::close(input[0]);
    ASSERT_EQ(::write(input[1], sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
    EXPECT_TRUE(WaitUntil([&] { return Placemarks(dir.File("drive.kmz")) > 30; }, 5));
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(dir.File("rec.nmea")).size() == sent.size(); }, 5));
    live.Signal(SIGKILL);
    EXPECT_EQ(live.Wait(), -1);
    ::close(input[1]);
    EXPECT_TRUE(ReadFile(dir.File("rec.nmea")) == sent);
    EXPECT_GT(Placemarks(dir.File("drive.kmz")), 30u);
}

}  // namespace
}  // namespace tervo
