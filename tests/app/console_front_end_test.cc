#include "app/console_front_end.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/many_logs.h"
#include "support/test_builders.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

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
    void SimulateLog(const std::string& path, int epochs, int seed = 7) {
        const char* toolsDir = std::getenv("TERVO_TOOLS_DIR");
        ASSERT_NE(toolsDir, nullptr);
        const std::string command = std::string(toolsDir) + "/simulate_log --epochs " +
                                    std::to_string(epochs) + " --seed " + std::to_string(seed) + " --out '" +
                                    path + "'";
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
        {"an unknown long option accepted",
         {"--bogus", "log.nmea", "out.kmz"},
         kExitBadCommandLine,
         "--bogus"},
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
        {"an empty file called a success",
         {"empty.log", "out.kmz"},
         kExitWrongFormat,
         "no position found in"},
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

// The summary goes to standard output; with INPUT alone the log is only read,
// and INPUT is taken from the current directory as in every form but the
// positional INPUT OUTPUT [SETTINGS].
TEST_F(Batch, PrintsTheSummaryAndWithInputAloneWritesNoFile) {
    SimulateLog(prog + "log.nmea", 30);
    SimulateLog(work + "here.nmea", 30);
    struct Row {
        const char* legend;
        std::vector<std::string> args;
        const char* outStart;  // what standard output starts with
        int files;             // in the program's directory: the program, the log, a container
    };
    const Row rows[] = {
        {"the table after a conversion", {"--summary", "log.nmea", "out.kmz"}, "Format", 3},
        {"the table alone", {"--summary", "here.nmea"}, "Format", 2},
        {"the JSON alone", {"--summary-json", "here.nmea"}, "{", 2},
        {"the table, then the JSON", {"--summary", "--summary-json", "here.nmea"}, "Format", 2},
    };
    for (const Row& row : rows) {
        std::filesystem::remove(prog + "out.kmz");
        const Outcome outcome = Run(row.args);
        ASSERT_EQ(outcome.status, kExitCompleted) << row.legend << "\n" << outcome.err;
        EXPECT_EQ(outcome.out.rfind(row.outStart, 0), 0u) << row.legend << "\n" << outcome.out;
        EXPECT_EQ(outcome.out.back(), '\n') << row.legend;
        EXPECT_EQ(outcome.err.find("KMZ file written") != std::string::npos, row.files == 3) << row.legend;
        auto entries = std::filesystem::directory_iterator(prog);
        EXPECT_EQ(std::distance(begin(entries), end(entries)), row.files) << row.legend;
    }
    const Outcome both = Run({"--summary", "--summary-json", "here.nmea"});
    EXPECT_NE(both.out.find("\n{"), std::string::npos) << "the JSON not after the table";
    // Without a summary option one path is still too few.
    EXPECT_EQ(Run({"--plots", "log.nmea"}).status, kExitBadCommandLine);
    EXPECT_EQ(Run({"--summary", "missing.nmea"}).status, kExitInputNotOpened);
    const Outcome programs = Run({"--summary", "log.nmea"});
    EXPECT_EQ(programs.status, kExitInputNotOpened) << "INPUT alone looked for in the program's directory";
    EXPECT_NE(programs.err.find(work + "log.nmea: No such file"), std::string::npos) << programs.err;
}

// --colour-by takes a name, case ignored; anything else is a bad command line.
TEST_F(Batch, ColourByTakesOneOfItsNames) {
    SimulateLog(prog + "log.nmea", 10);
    EXPECT_EQ(Run({"--colour-by", "Speed", "log.nmea", "out.kmz"}).status, kExitCompleted);
    const Outcome bad = Run({"--colour-by", "height", "log.nmea", "out.kmz"});
    EXPECT_EQ(bad.status, kExitBadCommandLine);
    EXPECT_NE(bad.err.find("not one of quality|speed"), std::string::npos) << bad.err;
    EXPECT_NE(Run({"--help"}).out.find("--colour-by quality|speed"), std::string::npos);
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
    EXPECT_NE(
        stopped.err.find("Date isn't found\nOperation aborted.\n  A point has no date: give a fallback date"),
        std::string::npos)
        << stopped.err;
    EXPECT_FALSE(FileExists(prog + "out.kmz"));

    EXPECT_EQ(Run({"gga.nmea", "out.kmz", work + "nodate.ini"}).status, kExitStopped)
        << "an absolute settings path not read";
    EXPECT_EQ(Run({"gga.nmea", "out.kmz"}).status, kExitCompleted) << "the program's own settings file read";
    const Outcome binr = Run({"--format", "binr", "gga.nmea", "out.kmz", "nodate.ini"});
    EXPECT_EQ(binr.status, kExitWrongFormat) << "--format binr not read";
    EXPECT_NE(binr.err.find("the input looks like an NMEA log; use --format nmea"), std::string::npos)
        << binr.err;
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

// Each entry's name and inflated data; the file times aside.
std::vector<std::pair<std::string, std::string>> Entries(const std::string& kmzPath) {
    testing::ZipArchive archive;
    std::string error;
    std::vector<std::pair<std::string, std::string>> entries;
    EXPECT_TRUE(testing::ReadZip(ReadFile(kmzPath), &archive, &error)) << kmzPath << ": " << error;
    for (const testing::ZipEntry& entry : archive.entries) {
        entries.emplace_back(entry.name, entry.data);
    }
    return entries;
}

TEST_F(Batch, RefusesManyLogsFormsThatCannotBeRun) {
    struct Row {
        const char* legend;
        std::vector<std::string> args;
        std::string err;
    };
    const Row rows[] = {
        {"--out-dir without a log run", {"--out-dir", "out"}, "at least one log"},
        {"--out-dir with --merge run", {"--out-dir", "out", "--merge", "m.kmz", "a.nmea"}, "excludes"},
        {"--jobs without a form run", {"--jobs", "2", "a.nmea", "out.kmz"}, "go with --out-dir"},
        {"--settings without a form run", {"--settings", "s.ini", "a.nmea", "out.kmz"}, "go with --out-dir"},
        {"no job accepted", {"--jobs", "0", "--out-dir", "out", "a.nmea"}, "--jobs"},
        {"two logs written to one name", {"--out-dir", "out", "x/a.nmea", "y/a.nmea"}, "a.nmea.kmz"},
        {"a merge split into pieces", {"--split-day", "--merge", "m.kmz", "a.nmea"}, "--merge"},
        {"a live run split into pieces", {"--split-gap", "60", "--live", "-", "out.kmz"}, "go with --live"},
        {"exports of merged logs dropped in silence",
         {"--export", "gpx", "--merge", "m.kmz", "a.nmea"},
         "does not go with --merge"},
    };
    for (const Row& row : rows) {
        Outcome outcome = Run(row.args);
        EXPECT_EQ(outcome.status, kExitBadCommandLine) << row.legend << "\n" << outcome.err;
        EXPECT_NE(outcome.err.find(row.err), std::string::npos) << row.legend << "\n" << outcome.err;
    }
}

// A split log: a KMZ file per piece, each listed; the same with --out-dir.
TEST_F(Batch, SplitsALogIntoAKmzFilePerPieceAndListsThem) {
    const std::string log = testing::NmeaEpoch("100000", "170524") + testing::NmeaEpoch("100001", "170524") +
                            testing::NmeaEpoch("100500", "170524");
    WriteFile(prog + "gap.nmea", log);
    const Outcome one = Run({"--split-gap", "60", "gap.nmea", "gap.kmz"});
    EXPECT_EQ(one.status, kExitCompleted) << one.err;
    EXPECT_NE(one.err.find("\n  " + prog + "gap-1.kmz  Waypoints 2\n  " + prog + "gap-2.kmz  Waypoints 1\n"),
              std::string::npos)
        << one.err;
    EXPECT_FALSE(FileExists(prog + "gap.kmz"));

    WriteFile(work + "gap.nmea", log);
    std::filesystem::create_directory(work + "kmz");
    const Outcome many = Run({"--split-gap", "60", "--out-dir", "kmz", "gap.nmea"});
    EXPECT_EQ(many.status, kExitCompleted) << many.err;
    EXPECT_NE(
        many.err.find("written 2 pieces: " + work + "kmz/gap.nmea-1.kmz " + work + "kmz/gap.nmea-2.kmz"),
        std::string::npos)
        << many.err;

    const Outcome zero = Run({"--split-gap", "0", "gap.nmea", "gap.kmz"});
    EXPECT_EQ(zero.status, kExitBadCommandLine);
    EXPECT_NE(zero.err.find("--split-gap: '0' is no value between 0.1 and"), std::string::npos) << zero.err;
}

// Logs converted at once give the KMZs of one at a time and of the one-log form;
// every path is taken from the current directory, not the program's.
TEST_F(Batch, ConvertsManyLogsAtOnceAsOneAtATime) {
    const std::vector<std::string> logs = {"a.nmea", "b.nmea", "c.nmea", "d.nmea"};
    std::filesystem::create_directory(work + "logs");
    for (size_t i = 0; i < logs.size(); ++i) {
        SimulateLog(work + "logs/" + logs[i], 200 + 50 * static_cast<int>(i), static_cast<int>(i) + 1);
    }
    WriteFile(work + "wide.ini", "[Settings]\r\nEdit3=9\r\n");
    std::vector<std::string> serial = {"--jobs", "1", "--settings", "wide.ini", "--out-dir", "one"};
    std::vector<std::string> parallel = {"--jobs", "4", "--settings", "wide.ini", "--out-dir", "four"};
    for (const std::string& log : logs) {
        serial.push_back("logs/" + log);
        parallel.push_back("logs/" + log);
    }
    std::filesystem::create_directory(work + "one");
    std::filesystem::create_directory(work + "four");
    const Outcome one = Run(serial);
    ASSERT_EQ(one.status, kExitCompleted) << one.err;
    const Outcome four = Run(parallel);
    ASSERT_EQ(four.status, kExitCompleted) << four.err;
    EXPECT_EQ(four.out, "");
    EXPECT_NE(four.err.find("logs/c.nmea: Waypoints 300, written " + work + "four/c.nmea.kmz\n"),
              std::string::npos)
        << four.err;
    EXPECT_NE(four.err.find("\nlogs/d.nmea         350"), std::string::npos) << "no table\n" << four.err;
    for (const std::string& log : logs) {
        // The one-log form, its input relative to the program's directory.
        std::filesystem::copy_file(work + "logs/" + log, prog + log,
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_EQ(Run({log, log + ".kmz", "wide.ini"}).status, kExitCompleted);
        const auto alone = Entries(prog + log + ".kmz");
        ASSERT_FALSE(alone.empty());
        EXPECT_NE(alone.front().second.find("<width>9</width>"), std::string::npos) << "--settings not read";
        EXPECT_TRUE(Entries(work + "one/" + log + ".kmz") == alone) << log;
        EXPECT_TRUE(Entries(work + "four/" + log + ".kmz") == alone) << log;
    }
    EXPECT_EQ(testing::Listing(work + "four"),
              (std::vector<std::string>{"a.nmea.kmz", "b.nmea.kmz", "c.nmea.kmz", "d.nmea.kmz"}))
        << "a work file left behind";
}

// A failing log stops none of the others; the status is the first failure's in
// the order given, not in the order of finishing.
TEST_F(Batch, ReportsTheFirstFailingLogAndWritesTheOthers) {
    SimulateLog(work + "good.nmea", 300);
    SimulateLog(work + "late.nmea", 20);
    WriteFile(work + "notes.txt", "no sentence\n");
    std::filesystem::create_directory(work + "out");
    const Outcome outcome =
        Run({"--jobs", "3", "--out-dir", "out", "good.nmea", "missing.nmea", "notes.txt", "late.nmea"});
    EXPECT_EQ(outcome.status, kExitInputNotOpened) << outcome.err;
    EXPECT_NE(outcome.err.find("missing.nmea: Can't open the input file (" + work +
                               "missing.nmea: No such file or directory)\n"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("failed, status 3"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("failed, status 9"), std::string::npos) << outcome.err;
    EXPECT_TRUE(FileExists(work + "out/good.nmea.kmz"));
    EXPECT_TRUE(FileExists(work + "out/late.nmea.kmz"));
    EXPECT_FALSE(FileExists(work + "out/missing.nmea.kmz"));

    EXPECT_EQ(Run({"--out-dir", "out", "good.nmea", "notes.txt", "missing.nmea"}).status, kExitWrongFormat);
    EXPECT_EQ(Run({"--out-dir", "nowhere", "good.nmea"}).status, kExitOutputNotCreated);
}

TEST_F(Batch, MergesLogsIntoOneKmzFromTheCurrentDirectory) {
    SimulateLog(work + "a.nmea", 100, 1);
    SimulateLog(work + "b.nmea", 120, 2);
    const Outcome merged = Run({"--merge", "both.kmz", "a.nmea", "b.nmea"});
    ASSERT_EQ(merged.status, kExitCompleted) << merged.err;
    EXPECT_NE(merged.err.find("KMZ file written: " + work + "both.kmz\n"), std::string::npos) << merged.err;
    const auto entries = Entries(work + "both.kmz");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().first, "both.kml");
    EXPECT_NE(entries.front().second.find("<Folder>\r\n<name>b.nmea</name>"), std::string::npos);
    EXPECT_NE(entries.front().second.find("<Style id=\"2-NormalTrack\">"), std::string::npos);

    // A log that cannot be converted leaves the merged container unwritten.
    const Outcome failed = Run({"--merge", "none.kmz", "a.nmea", "missing.nmea"});
    EXPECT_EQ(failed.status, kExitInputNotOpened) << failed.err;
    EXPECT_FALSE(FileExists(work + "none.kmz"));
    EXPECT_EQ(testing::Listing(work), (std::vector<std::string>{"a.nmea", "b.nmea", "both.kmz"}));
}

// The accuracy against a reference: its paths from the current directory, its
// output after the summary, its bad values and its endings.
TEST_F(Batch, MeasuresTheAccuracyAgainstAReference) {
    const char* toolsDir = std::getenv("TERVO_TOOLS_DIR");
    const std::string simulate =
        std::string(toolsDir) + "/simulate_log --epochs 100 --seed 5 --fine --error-sigma 2";
    ASSERT_EQ(std::system((simulate + " --out " + prog + "log.nmea --truth " + work + "truth.nmea").c_str()),
              0);
    ASSERT_EQ(std::system((simulate + " --out " + work + "here.nmea").c_str()), 0);
    WriteFile(work + "early.nmea",
              "$GPGGA,030000.00,5545.0000,N,03737.0000,E,4,12,0.6,150.0,M,14.2,M,,*6D\r\n");
    struct Row {
        const char* legend;
        std::vector<std::string> args;
        int status;
        const char* inOut;  // "" when nothing
        const char* inErr;
        bool written;  // out.kmz in the program's directory
    };
    const Row rows[] = {
        {"the accuracy after the summary",
         {"--summary", "--reference-log", "truth.nmea", "log.nmea", "out.kmz"},
         kExitCompleted,
         "\nAccuracy against the reference log truth.nmea\n",
         "",
         true},
        {"the JSON's accuracy object, INPUT alone",
         {"--summary-json", "--reference-point", "mean", "here.nmea"},
         kExitCompleted,
         "\n  \"accuracy\": {\n    \"matched_epochs\": 80,\n",
         "",
         false},
        {"a latitude beyond the pole",
         {"--reference-point", "91,0,0", "log.nmea", "out.kmz"},
         kExitBadCommandLine,
         "",
         "--reference-point: latitude \"91\" is outside -90 to 90",
         false},
        {"two references",
         {"--reference-point", "mean", "--reference-log", "truth.nmea", "log.nmea", "out.kmz"},
         kExitBadCommandLine,
         "",
         "exclude each other",
         false},
        {"error colours without a reference",
         {"--colour-by", "error", "log.nmea", "out.kmz"},
         kExitBadCommandLine,
         "",
         "--colour-by error needs a reference",
         false},
        {"a missing reference log",
         {"--reference-log", "missing.nmea", "log.nmea", "out.kmz"},
         kExitInputNotOpened,
         "",
         "Can't open the reference log\n  missing.nmea: No such file or directory\n",
         false},
        {"a reference of other times",
         {"--colour-by", "error", "--reference-log", "early.nmea", "log.nmea", "out.kmz"},
         kExitWrongFormat,
         "",
         "tervoconverter: no epoch matched the reference log early.nmea\n",
         true},
    };
    for (const Row& row : rows) {
        std::filesystem::remove(prog + "out.kmz");
        const Outcome outcome = Run(row.args);
        EXPECT_EQ(outcome.status, row.status) << row.legend << "\n" << outcome.err;
        EXPECT_NE(outcome.out.find(row.inOut), std::string::npos) << row.legend << "\n" << outcome.out;
        EXPECT_EQ(outcome.out.empty(), std::string(row.inOut).empty()) << row.legend;
        EXPECT_NE(outcome.err.find(row.inErr), std::string::npos) << row.legend << "\n" << outcome.err;
        EXPECT_EQ(FileExists(prog + "out.kmz"), row.written) << row.legend;
    }
}

TEST_F(Batch, MergedReceiversSideBySide) {
    const char* toolsDir = std::getenv("TERVO_TOOLS_DIR");
    const std::string simulate = std::string(toolsDir) + "/simulate_log --epochs 100 --seed 5 --fine";
    ASSERT_EQ(
        std::system((simulate + " --error-sigma 0.5 --out " + work + "a.nmea --truth " + work + "truth.nmea")
                        .c_str()),
        0);
    ASSERT_EQ(std::system((simulate + " --error-sigma 4 --out " + work + "b.nmea").c_str()), 0);
    const Outcome table = Run({"--merge", "both.kmz", "--reference-log", "truth.nmea", "a.nmea", "b.nmea"});
    ASSERT_EQ(table.status, kExitCompleted) << table.err;
    EXPECT_EQ(table.out.rfind("Accuracy against the reference log truth.nmea\n"
                              "                    a.nmea                b.nmea\n"
                              "Matched epochs      80                    80\n",
                              0),
              0u)
        << table.out;
    const auto entries = Entries(work + "both.kmz");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(
        entries.front().second.find("<kml>\r\n<Document>\r\n<description><![CDATA[\r\n<table>\r\n<tr><th "
                                    "colspan=3 align=left>Accuracy against"),
        0u);

    // With the JSON alone standard output holds an array of the logs' summaries, in order.
    const Outcome json =
        Run({"--merge", "both.kmz", "--summary-json", "--reference-log", "truth.nmea", "b.nmea", "a.nmea"});
    ASSERT_EQ(json.status, kExitCompleted) << json.err;
    EXPECT_EQ(json.out.rfind("[\n{\n  \"format\": \"nmea\",", 0), 0u) << json.out;
    EXPECT_EQ(json.out.substr(json.out.size() - 6), "}\n}\n]\n");
    EXPECT_EQ(json.out.find("Accuracy against"), std::string::npos);
    EXPECT_NE(json.err.find("b.nmea                a.nmea"), std::string::npos) << json.err;
    const size_t first = json.out.find("\"cep50_m\": ");
    const size_t second = json.out.find("\"cep50_m\": ", json.out.find("\n},\n{\n"));
    ASSERT_NE(second, std::string::npos);
    EXPECT_GT(std::stod(json.out.substr(first + 11)), std::stod(json.out.substr(second + 11)))
        << "b, the worse receiver, first";
}

// The exports go beside the KMZ file under its rules: written aside and moved
// into place, never over the log or a directory; one that cannot be written
// ends the run with its own status and leaves the KMZ file and the others.
TEST_F(Batch, WritesTheExportsBesideTheKmz) {
    SimulateLog(work + "drive.nmea", 20);
    const Outcome all = Run(
        {"--export", "gpx", "--export=csv,geojson", "--time-track", work + "drive.nmea", work + "drive.kmz"});
    ASSERT_EQ(all.status, kExitCompleted) << all.err;
    EXPECT_EQ(testing::Listing(work), (std::vector<std::string>{"drive.csv", "drive.geojson", "drive.gpx",
                                                                "drive.kmz", "drive.nmea"}));
    EXPECT_EQ(std::ranges::count(ReadFile(work + "drive.csv"), '\n'), 21) << "a header and a row per epoch";

    std::filesystem::remove(work + "drive.gpx");
    std::filesystem::create_directory(work + "drive.gpx");
    const Outcome blocked = Run({"--export", "gpx,csv", work + "drive.nmea", work + "drive.kmz"});
    EXPECT_EQ(blocked.status, kExitExportFailed) << blocked.err;
    EXPECT_NE(blocked.err.find("Cannot write the export.\n  " + work + "drive.gpx: Is a directory\n"),
              std::string::npos)
        << blocked.err;
    EXPECT_NE(blocked.err.find("KMZ file written"), std::string::npos) << blocked.err;
    EXPECT_TRUE(std::filesystem::is_directory(work + "drive.gpx"));
    EXPECT_EQ(testing::Listing(work), (std::vector<std::string>{"drive.csv", "drive.geojson", "drive.gpx",
                                                                "drive.kmz", "drive.nmea"}))
        << "the work directory left behind";

    // A log named as an export would be: it is read, never written over.
    std::filesystem::copy_file(work + "drive.nmea", work + "log.csv");
    const Outcome over = Run({"--export", "csv", work + "log.csv", work + "log.kmz"});
    EXPECT_EQ(over.status, kExitExportFailed) << over.err;
    EXPECT_NE(over.err.find("never written over the log"), std::string::npos) << over.err;
    EXPECT_EQ(ReadFile(work + "log.csv"), ReadFile(work + "drive.nmea"));
}

TEST_F(Batch, RefusesBadExportFilterAndSplitValuesNamingTheOption) {
    SimulateLog(prog + "log.nmea", 5);
    struct Row {
        std::vector<std::string> args;
        std::string err;
    };
    const Row rows[] = {
        {{"--export", "kml"}, "--export: 'kml' is not gpx|csv|geojson"},
        {{"--export", "gpx", "--export", "shp"}, "--export: 'gpx,shp' is not gpx|csv|geojson"},
        {{"--max-hdop", "-1"}, "--max-hdop: '-1' is no value between 0 and 100"},
        {{"--max-hdop", "low"}, "--max-hdop: 'low' is no value"},
        {{"--min-satellites", "4.5"}, "--min-satellites: '4.5' is no value between 0 and 99"},
        {{"--min-satellites", "-3"}, "--min-satellites"},
        {{"--min-quality", "best"}, "--min-quality: 'best' is not one of no-fix|single|"},
        {{"--split-gap", "-60"}, "--split-gap: '-60' is no value between 0.1 and 10000000"},
        {{"--split-gap", "hour"}, "--split-gap: 'hour' is no value"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"log.nmea", "out.kmz"});
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, kExitBadCommandLine) << row.err << "\n" << outcome.err;
        EXPECT_NE(outcome.err.find(row.err), std::string::npos) << outcome.err;
        EXPECT_FALSE(FileExists(prog + "out.kmz"));
    }
}

}  // namespace
}  // namespace tervo
