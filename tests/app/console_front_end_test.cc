#include "app/console_front_end.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tervo {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ConsoleCommandLine, TellsWhenTheWindowWouldNotOpen) {
    struct Row {
        const char* legend;
        std::vector<std::string> args;
        bool expected;
    };
    const Row rows[] = {
        {"no argument kept from the window", {}, false},
        {"one argument kept from the window", {"log.nmea"}, false},
        {"two arguments opened the window", {"log.nmea", "out.kmz"}, true},
        {"--help opened the window", {"--help"}, true},
        {"--version opened the window", {"--version"}, true},
        {"--format with one path opened the window", {"--format", "binr", "log.nmea"}, true},
        {"an unknown option opened the window instead of an error", {"--bogus"}, true},
        {"a name after -- taken as an option", {"--", "--help"}, false},
        {"a single-dash name taken as an option", {"-x"}, false},
    };
    for (const Row& row : rows) {
        std::vector<char*> argv{const_cast<char*>("tervoconverter")};
        for (const std::string& arg : row.args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        EXPECT_EQ(IsConsoleCommandLine(static_cast<int>(argv.size()) - 1, argv.data()), row.expected) << row.legend;
    }
}

TEST(ConsoleCommandLine, PutsTheSettingsArgumentInTheCurrentDirectory) {
    EXPECT_EQ(SettingsPathFromArgument("mine.ini"), "./mine.ini");
    EXPECT_EQ(SettingsPathFromArgument(""), "./") << "no third argument must name no file";
    EXPECT_EQ(SettingsPathFromArgument("/etc/mine.ini"), "/etc/mine.ini") << "an absolute path put behind ./";
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a copy of the built program from its own directory `prog`, with `work`
// as the current directory, so both relative-path rules can be told apart.
class Batch : public ::testing::Test {
protected:
    void SetUp() override {
        const char* appDir = std::getenv("TERVO_APP_DIR");
        ASSERT_NE(appDir, nullptr) << "run through ctest: TERVO_APP_DIR names the built program's directory";
        std::filesystem::create_directory(prog);
        std::filesystem::create_directory(work);
        std::filesystem::copy_file(std::string(appDir) + "/tervoconverter", prog + "tervoconverter");
    }

    Outcome Run(const std::vector<std::string>& args) {
        std::vector<char*> argv{const_cast<char*>("tervoconverter")};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        const std::string program = prog + "tervoconverter";
        const std::string outPath = dir.File("stdout");
        const std::string errPath = dir.File("stderr");
        pid_t child = fork();
        if (child == 0) {
            int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || chdir(work.c_str()) != 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
                _exit(127);
            }
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        Outcome outcome;
        int wstatus = 0;
        if (child > 0 && waitpid(child, &wstatus, 0) == child && WIFEXITED(wstatus)) {
            outcome.status = WEXITSTATUS(wstatus);
        }
        outcome.out = ReadFile(outPath);
        outcome.err = ReadFile(errPath);
        return outcome;
    }

    // A simulated NMEA log of `epochs` epochs at `path`.
    void SimulateLog(const std::string& path, int epochs) {
        const char* toolsDir = std::getenv("TERVO_TOOLS_DIR");
        ASSERT_NE(toolsDir, nullptr);
        const std::string command = std::string(toolsDir) + "/simulate_log --epochs " + std::to_string(epochs) +
                                    " --seed 7 --out '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // Only the GGA sentences of a simulated log: points without any date.
    void GgaOnlyLog(const std::string& path) {
        SimulateLog(dir.File("full.nmea"), 5);
        std::string full = ReadFile(dir.File("full.nmea"));
        std::string gga;
        size_t start = 0;
        while (start < full.size()) {
            size_t end = full.find('\n', start);
            end = end == std::string::npos ? full.size() : end + 1;
            std::string line = full.substr(start, end - start);
            if (line.size() > 6 && line.compare(3, 3, "GGA") == 0) {
                gga += line;
            }
            start = end;
        }
        ASSERT_FALSE(gga.empty());
        WriteFile(path, gga);
    }

    TempDir dir;
    const std::string prog = dir.File("prog/");
    const std::string work = dir.File("work/");
};

TEST_F(Batch, HelpAndVersionGoToStdoutAlone) {
    Outcome help = Run({"--help"});
    EXPECT_EQ(help.status, kExitCompleted);
    EXPECT_NE(help.out.find("Usage: tervoconverter"), std::string::npos);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
    EXPECT_EQ(help.err, "");

    Outcome version = Run({"--version"});
    EXPECT_EQ(version.status, kExitCompleted);
    EXPECT_EQ(version.out, "tervoconverter 5.2\n");
    EXPECT_EQ(version.err, "");
}

TEST_F(Batch, RejectsABadCommandLineWithStatus2) {
    WriteFile(prog + "log.nmea", "");
    struct Row {
        const char* legend;
        std::vector<std::string> args;
    };
    const Row rows[] = {
        {"no arguments accepted", {}},
        {"one argument accepted", {"log.nmea"}},
        {"an unknown format accepted", {"--format", "gps", "log.nmea", "out.kmz"}},
        {"a missing format value accepted", {"log.nmea", "out.kmz", "--format"}},
        {"an unknown option accepted", {"--bogus", "log.nmea", "out.kmz"}},
        {"an empty output name accepted", {"log.nmea", ""}},
    };
    for (const Row& row : rows) {
        Outcome outcome = Run(row.args);
        EXPECT_EQ(outcome.status, kExitBadCommandLine) << row.legend;
        EXPECT_NE(outcome.err.find("Usage:"), std::string::npos) << row.legend;
        EXPECT_EQ(outcome.out, "") << row.legend;
    }
    EXPECT_FALSE(FileExists(prog + "out.kml"));
}

TEST_F(Batch, ReadsTheInputFromTheProgramsDirectory) {
    WriteFile(work + "log.nmea", "");
    Outcome outcome = Run({"log.nmea", "out.kmz"});
    EXPECT_EQ(outcome.status, kExitInputNotOpened) << "the input was read from the current directory";
    EXPECT_NE(outcome.err.find("Can't open the input file"), std::string::npos);
    EXPECT_EQ(outcome.out, "");
}

TEST_F(Batch, ReportsAKmlFileThatCannotBeCreated) {
    WriteFile(prog + "log.nmea", "");
    Outcome outcome = Run({"log.nmea", dir.File("missing/out.kmz")});
    EXPECT_EQ(outcome.status, kExitOutputNotCreated);
    EXPECT_NE(outcome.err.find("Can't create the output file"), std::string::npos);
}

TEST_F(Batch, ConvertsALogIntoAKmz) {
    SimulateLog(prog + "log.nmea", 30);
    Outcome outcome = Run({"log.nmea", "out.kmz"});
    ASSERT_EQ(outcome.status, kExitCompleted) << outcome.err;
    EXPECT_TRUE(FileExists(prog + "out.kmz"));
    EXPECT_EQ(outcome.out, "");
    EXPECT_NE(outcome.err.find("Waypoints 30"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find(prog + "out.kmz\n"), std::string::npos) << "the KMZ file's place not told";
    // Only the program, the log and the container are left.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(prog)) {
        ++entries;
    }
    EXPECT_EQ(entries, 3);
}

TEST_F(Batch, UsesAnAbsoluteInputAndOutputAsTheyStand) {
    SimulateLog(work + "log.nmea", 5);
    std::filesystem::create_directory(dir.File("out"));
    Outcome outcome = Run({work + "log.nmea", dir.File("out/track.kmz")});
    ASSERT_EQ(outcome.status, kExitCompleted) << outcome.err;
    EXPECT_TRUE(FileExists(dir.File("out/track.kmz")));
    EXPECT_FALSE(FileExists(prog + "track.kmz"));
}

TEST_F(Batch, StopsOnAPointWithoutDateWithStatus5) {
    GgaOnlyLog(prog + "gga.nmea");
    WriteFile(work + "nodate.ini", "[Settings]\r\nCheckBox1=0\r\n");
    Outcome outcome = Run({"gga.nmea", "out.kmz", "nodate.ini"});
    EXPECT_EQ(outcome.status, kExitStopped) << outcome.err;
    EXPECT_NE(outcome.err.find("Date isn't found"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("Operation aborted.\n"), std::string::npos) << outcome.err;
    EXPECT_FALSE(FileExists(prog + "out.kmz"));
}

TEST_F(Batch, IgnoresTheProgramsOwnSettingsFile) {
    GgaOnlyLog(prog + "gga.nmea");
    // Read in batch mode, this file would stop the run for want of a date.
    WriteFile(prog + "tervoconverter.ini", "[Settings]\r\nCheckBox1=0\r\n");
    WriteFile(work + "tervoconverter.ini", "[Settings]\r\nCheckBox1=0\r\n");
    Outcome outcome = Run({"gga.nmea", "out.kmz"});
    EXPECT_EQ(outcome.status, kExitCompleted) << outcome.err;
}

TEST_F(Batch, ReadsBinrOnlyWhenAsked) {
    // The NMEA waypoint pass stops without a date; read as BINR the log gives no points.
    GgaOnlyLog(prog + "gga.nmea");
    WriteFile(work + "nodate.ini", "[Settings]\r\nCheckBox1=0\r\n");
    EXPECT_EQ(Run({"--format", "binr", "gga.nmea", "out.kmz", "nodate.ini"}).status, kExitCompleted);
    EXPECT_EQ(Run({"--format=nmea", "gga.nmea", "out.kmz", "nodate.ini"}).status, kExitStopped);
}

TEST_F(Batch, ReportsAFileThatCannotBeCreatedWithStatus6) {
    SimulateLog(prog + "log.nmea", 5);
    // A directory where the container should go.
    std::filesystem::create_directory(prog + "out.kmz");
    Outcome outcome = Run({"log.nmea", "out.kmz"});
    EXPECT_EQ(outcome.status, kExitFileNotCreated) << outcome.err;
    EXPECT_NE(outcome.err.find("Cannot create file " + prog + "out.kmz.\n"), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace tervo
