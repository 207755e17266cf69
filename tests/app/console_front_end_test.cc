#include "app/console_front_end.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>
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
        {"--format with one path opened the window", {"--format", "binr", "log.nmea"}, true},
        {"an unknown option opened the window instead of an error", {"--bogus"}, true},
        {"a name after -- taken as an option", {"--", "--help"}, false},
    };
    for (const Row& row : rows) {
        std::vector<char*> argv{const_cast<char*>("tervoconverter")};
        for (const std::string& arg : row.args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        EXPECT_EQ(IsConsoleCommandLine(static_cast<int>(argv.size()) - 1, argv.data()), row.expected)
            << row.legend;
    }
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
        const std::string command = std::string(toolsDir) + "/simulate_log --epochs " +
                                    std::to_string(epochs) + " --seed 7 --out '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // Only the GGA sentences of a simulated log: points without any date.
    void GgaOnlyLog(const std::string& path) {
        SimulateLog(dir.File("full.nmea"), 5);
        std::istringstream full(ReadFile(dir.File("full.nmea")));
        std::string gga;
        for (std::string line; std::getline(full, line);) {
            if (line.find("GGA,") == 3) {
                gga += line + "\n";
            }
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

TEST_F(Batch, ReportsEachEndingWithItsOwnStatus) {
    SimulateLog(prog + "log.nmea", 5);
    WriteFile(work + "cwd.nmea", "");
    std::filesystem::create_directory(prog + "blocked.kmz");
    WriteFile(prog + "empty.log", "");
    WriteFile(prog + "notes.txt", "Just some notes, no sentence in them.\n");
    // A BINR 0x60 message (DOP) alone: framed, of a length the reader takes.
    WriteFile(prog + "log.binr", std::string("\x10\x60") + std::string(11, '\x01') + "\x10\x03");
    struct Row {
        const char* legend;
        std::vector<std::string> args;
        int status;
        std::string err;  // a text stderr must hold
    };
    const Row rows[] = {
        {"a bad command line accepted",
         {"--format", "gps", "log.nmea", "out.kmz"},
         kExitBadCommandLine,
         "Usage:"},
        {"an empty output name accepted", {"log.nmea", ""}, kExitBadCommandLine, "Usage:"},
        {"an unknown short option taken for a path", {"-v"}, kExitBadCommandLine, "Run with --help"},
        {"an unknown long option accepted", {"--bogus", "log.nmea", "out.kmz"}, kExitBadCommandLine, "--bogus"},
        {"the path and reason of an input that is missing not told",
         {"cwd.nmea", "out.kmz"},
         kExitInputNotOpened,
         "Can't open the input file\n  " + prog + "cwd.nmea: No such file or directory\n"},
        {"the path and reason of an output directory that is missing not told",
         {"log.nmea", dir.File("missing/out.kmz")},
         kExitOutputNotCreated,
         "  " + dir.File("missing/out.kmz") + ": No such file or directory\n"},
        {"a missing settings file passed over in silence",
         {"log.nmea", "out.kmz", "none.ini"},
         kExitCompleted,
         "warning: the settings file ./none.ini does not exist"},
        {"a BINR log converted as NMEA", {"log.binr", "out.kmz"}, kExitWrongFormat, "looks like a BINR log"},
        {"an empty file called a success", {"empty.log", "out.kmz"}, kExitWrongFormat, "no position found in"},
        {"a text file called a success", {"notes.txt", "out.kmz"}, kExitWrongFormat, "no position found in"},
        {"the input read from the current directory",
         {"cwd.nmea", "out.kmz"},
         kExitInputNotOpened,
         "Can't open the input file\n"},
        {"a KML file in a missing directory not told",
         {"log.nmea", dir.File("missing/out.kmz")},
         kExitOutputNotCreated,
         "Can't create the output file\n"},
        {"a container that cannot be created not told",
         {"log.nmea", "blocked.kmz"},
         kExitFileNotCreated,
         "Cannot create file " + prog + "blocked.kmz.\n"},
    };
    for (const Row& row : rows) {
        Outcome outcome = Run(row.args);
        EXPECT_EQ(outcome.status, row.status) << row.legend << "\n" << outcome.err;
        EXPECT_NE(outcome.err.find(row.err), std::string::npos) << row.legend << "\n" << outcome.err;
        EXPECT_EQ(outcome.out, "") << row.legend;
    }
}

TEST_F(Batch, ConvertsALogIntoAKmz) {
    SimulateLog(prog + "log.nmea", 30);
    Outcome outcome = Run({"log.nmea", "out.kmz"});
    ASSERT_EQ(outcome.status, kExitCompleted) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_NE(outcome.err.find("Waypoints 30"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find(prog + "out.kmz\n"), std::string::npos) << "the KMZ file's place not told";
    // Only the program, the log and the container are left.
    auto entries = std::filesystem::directory_iterator(prog);
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 3);
}

TEST_F(Batch, UsesAnAbsoluteInputAndOutputAsTheyStand) {
    SimulateLog(work + "log.nmea", 5);
    std::filesystem::create_directory(dir.File("out"));
    Outcome outcome = Run({work + "log.nmea", dir.File("out/track.kmz")});
    ASSERT_EQ(outcome.status, kExitCompleted) << outcome.err;
    EXPECT_TRUE(FileExists(dir.File("out/track.kmz")));
    EXPECT_FALSE(FileExists(prog + "track.kmz"));
}

TEST_F(Batch, TakesItsSettingsAndFormatFromTheCommandLineOnly) {
    // Without a fallback date the NMEA waypoint pass stops at the first point of
    // a GGA-only log; read as BINR the same log is told to be an NMEA log.
    GgaOnlyLog(prog + "gga.nmea");
    const std::string noDate = "[Settings]\r\nCheckBox1=0\r\n";
    WriteFile(work + "nodate.ini", noDate);
    WriteFile(prog + "tervoconverter.ini", noDate);

    Outcome stopped = Run({"gga.nmea", "out.kmz", "nodate.ini"});
    EXPECT_EQ(stopped.status, kExitStopped) << stopped.err;
    EXPECT_NE(stopped.err.find("Date isn't found\nOperation aborted.\n  A point has no date: give a fallback date"),
              std::string::npos)
        << stopped.err;
    EXPECT_FALSE(FileExists(prog + "out.kmz"));

    EXPECT_EQ(Run({"gga.nmea", "out.kmz", work + "nodate.ini"}).status, kExitStopped)
        << "an absolute settings path not read";
    EXPECT_EQ(Run({"gga.nmea", "out.kmz"}).status, kExitCompleted) << "the program's own settings file read";
    const Outcome binr = Run({"--format", "binr", "gga.nmea", "out.kmz", "nodate.ini"});
    EXPECT_EQ(binr.status, kExitWrongFormat) << "--format binr not read";
    EXPECT_NE(binr.err.find("the input looks like an NMEA log; use --format nmea"), std::string::npos) << binr.err;
}

// Memory exhausted in the middle of a run: the error is printed, the status is
// 1, and no KMZ is reported or left.
TEST_F(Batch, AnUnexpectedErrorEndsWithStatusOne) {
    class ThrowingGate : public AllocationGate {
    public:
        bool AllowNode() override { throw std::bad_alloc(); }
    } gate;
    SimulateLog(prog + "log.nmea", 5);
    testing::TestPlatform platform(prog);
    SentenceAssembler assembler;
    const std::string input = prog + "log.nmea";
    const std::string output = prog + "out.kmz";
    std::vector<char*> argv = {const_cast<char*>("tervoconverter"), const_cast<char*>(input.c_str()),
                               const_cast<char*>(output.c_str()), nullptr};
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(RunConsoleFrontEnd(3, argv.data(), platform, assembler, stdout, err, &gate), kExitOtherError);
    std::rewind(err);
    std::string text;
    for (int c = std::fgetc(err); c != EOF; c = std::fgetc(err)) {
        text += static_cast<char>(c);
    }
    std::fclose(err);
    EXPECT_NE(text.find("std::bad_alloc.\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("KMZ file written"), std::string::npos) << text;
    EXPECT_FALSE(FileExists(output));
}

}  // namespace
}  // namespace tervo
