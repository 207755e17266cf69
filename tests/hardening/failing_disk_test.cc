// Disks that refuse or fill up during a run. Each run in batch mode must end
// with its status text and a non-zero exit status, never report the run as
// finished, and never leave anything but the user's previous KMZ file in its
// place.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/console_front_end.h"
#include "core/paths.h"
#include "hardening_support.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo::testing {
namespace {

const std::string kPrevious = "PK the user's previous container";

class FailingDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ConverterPath().empty()) << "run through ctest: TERVO_APP_DIR names the built program";
        Simulate("simulate_log", 20, log);
    }

    // Which program runs on which log, in which directory, as whom.
    struct Runner {
        std::string program;
        std::string input;
        std::string workDir;
        uid_t uid = static_cast<uid_t>(-1);
    };

    // Runs the program on `log` into `output`; checks everything a failed run must hold.
    void ExpectFailure(const char* legend, const std::string& output, int status, const std::string& text) {
        ExpectFailure(legend, Runner{ConverterPath(), log, dir.path()}, output, status, text);
    }

    void ExpectFailure(const char* legend, const Runner& runner, const std::string& output, int status,
                       const std::string& text) {
        SCOPED_TRACE(legend);
        const bool hadPrevious = FileExists(output);
        const std::string directory = DirectoryPart(output);
        const bool hadDirectory = std::filesystem::is_directory(directory);
        const std::vector<std::string> before =
            hadDirectory ? Listing(directory) : std::vector<std::string>{};
        const ProgramOutcome outcome =
            RunProgram({runner.program, runner.input, output}, runner.workDir, runner.uid);
        if (!outcome.started) {
            return;  // RunProgram reported why
        }
        EXPECT_EQ(outcome.status, status) << outcome.err;
        EXPECT_NE(outcome.err.find(text), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.err.find("The progress finished"), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.err.find("KMZ file written"), std::string::npos) << outcome.err;
        if (hadPrevious) {
            EXPECT_EQ(ReadFile(output), kPrevious) << "the previous container was not kept";
        }
        if (hadDirectory) {
            EXPECT_EQ(Listing(directory), before) << "a failed run leaves nothing new behind";
        }
    }

    TempDir dir;
    const std::string log = dir.File("log.nmea");
};

TEST_F(FailingDisk, EachRefusalEndsWithItsStatusAndKeepsThePreviousContainer) {
    WriteFile(dir.File("plain"), "");
    ExpectFailure("an output directory that is missing", dir.File("missing/out.kmz"), kExitOutputNotCreated,
                  "Can't create the output file");
    ExpectFailure("a path component that is a regular file", dir.File("plain/out.kmz"), kExitOutputNotCreated,
                  "Can't create the output file");

    // A run stopped by the date rules ("Date isn't found") leaves nothing either.
    std::filesystem::create_directory(dir.File("dateless"));
    WriteFile(dir.File("dateless/out.kmz"), kPrevious);
    std::string ggaOnly;
    const std::string text = ReadFile(log);
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at) + 1;
        if (text.compare(at, 6, "$GPGGA") == 0) {
            ggaOnly.append(text, at, end - at);
        }
        at = end;
    }
    WriteFile(dir.File("dateless/log.nmea"), ggaOnly);
    WriteFile(dir.File("dateless/settings.ini"), "[Settings]\r\nCheckBox1=0\r\n");
    const std::vector<std::string> before = Listing(dir.File("dateless"));
    const ProgramOutcome dateless =
        RunProgram({ConverterPath(), dir.File("dateless/log.nmea"), dir.File("dateless/out.kmz"),
                    dir.File("dateless/settings.ini")},
                   dir.path());
    EXPECT_EQ(dateless.status, kExitStopped) << dateless.err;
    EXPECT_EQ(Listing(dir.File("dateless")), before) << dateless.err;
    EXPECT_EQ(ReadFile(dir.File("dateless/out.kmz")), kPrevious);
}

// The KML file and the icons are written in a private directory: files of the
// user's that bear their names are never opened, let alone replaced or deleted.
TEST_F(FailingDisk, FilesNamedLikeTheIntermediatesAreNeverTouched) {
    const std::string k = dir.File("k");
    std::filesystem::create_directory(k);
    WriteFile(k + "/trip.kml", "my notes");
    std::filesystem::create_symlink("/dev/full", k + "/65535.png");
    std::filesystem::create_directory(k + "/16711680.png");
    WriteFile(k + "/65280.png", "my picture");
    const ProgramOutcome outcome = RunProgram({ConverterPath(), log, k + "/trip.kmz"}, dir.path());
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(ReadFile(k + "/trip.kml"), "my notes");
    EXPECT_EQ(std::filesystem::read_symlink(k + "/65535.png"), "/dev/full");
    EXPECT_TRUE(std::filesystem::is_directory(k + "/16711680.png"));
    EXPECT_EQ(ReadFile(k + "/65280.png"), "my picture");
    EXPECT_EQ(Listing(k),
              (std::vector<std::string>{"16711680.png", "65280.png", "65535.png", "trip.kml", "trip.kmz"}));
    ZipArchive archive;
    std::string error;
    ASSERT_TRUE(ReadZip(ReadFile(k + "/trip.kmz"), &archive, &error)) << error;
    ASSERT_EQ(archive.entries.size(), 4u);
    EXPECT_EQ(archive.entries[0].name, "trip.kml");
    EXPECT_EQ(archive.entries[1].name, "16711680.png");
}

TEST_F(FailingDisk, AReadOnlyContainerIsNotReplaced) {
    const std::string locked = dir.File("locked/out.kmz");
    std::filesystem::create_directory(dir.File("locked"));
    WriteFile(locked, kPrevious);
    const std::string chattr = "chattr +i '" + locked + "' 2>/dev/null";
    if (std::system(chattr.c_str()) == 0) {
        ExpectFailure("an immutable container replaced", locked, kExitFileNotCreated,
                      "Cannot create file " + locked);
        std::system(("chattr -i '" + locked + "'").c_str());
    }

    // Without write permission; root would ignore it, so root runs the program as
    // nobody. Nobody may not reach the checkout or TMPDIR, so the program and the
    // log are copied into a directory under /tmp that every user can enter.
    std::optional<SharedDir> shared;
    Runner runner{ConverterPath(), log, dir.path()};
    std::string folder = dir.File("readonly");
    if (geteuid() == 0) {
        shared.emplace();
        runner = {shared->CopyIn(ConverterPath(), "tervoconverter"), shared->CopyIn(log, "log.nmea"),
                  shared->path(), 65534};
        folder = shared->File("readonly");
    }
    const std::string readOnly = folder + "/out.kmz";
    std::filesystem::create_directory(folder);
    chmod(folder.c_str(), 0777);  // the KML file and the icons are written beside the container
    WriteFile(readOnly, kPrevious);
    chmod(readOnly.c_str(), 0444);
    ExpectFailure("a read-only container replaced", runner, readOnly, kExitFileNotCreated,
                  "Cannot create file " + readOnly);
}

// A small tmpfs mounted for one test; mounted() is false where this machine
// does not let us mount.
class SmallDisk {
public:
    SmallDisk(const std::string& path, size_t bytes) : path_(path) {
        std::filesystem::create_directory(path);
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            umount2(path_.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

// Bytes a file of `size` bytes takes on a tmpfs.
size_t Pages(size_t size) { return (size + 4095) / 4096 * 4096; }

TEST_F(FailingDisk, ADiskThatFillsUpDuringTheRun) {
    // What the run writes, measured on the real disk: the KML file, the icons and the container.
    Simulate("simulate_log", 1500, log);
    const std::string measured = dir.File("measured/out.kmz");
    std::filesystem::create_directory(dir.File("measured"));
    ASSERT_EQ(RunProgram({ConverterPath(), log, measured}, dir.path()).status, 0);
    ZipArchive archive;
    std::string error;
    ASSERT_TRUE(ReadZip(ReadFile(measured), &archive, &error)) << error;
    size_t sources = 0;
    for (const ZipEntry& entry : archive.entries) {
        sources += Pages(entry.uncompressedSize);
    }
    const size_t container = std::filesystem::file_size(measured);
    ASSERT_GT(container, 64u * 1024)
        << "the log is too small to fill the disk while the container is written";

    {
        SmallDisk disk(dir.File("kml-full"), 256 * 1024);
        if (!disk.mounted()) {
            GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root and CAP_SYS_ADMIN)";
        }
        ASSERT_LT(256u * 1024, sources) << "the KML file would fit";
        WriteFile(dir.File("kml-full/out.kmz"), kPrevious);
        ExpectFailure("a disk that fills up while the KML file is written", dir.File("kml-full/out.kmz"),
                      kExitWriteFailed, "Can't write the output file");
    }
    {
        // Room for the previous container, the KML file and the icons, and half the new container.
        SmallDisk disk(dir.File("kmz-full"), Pages(kPrevious.size()) + sources + Pages(container / 2));
        ASSERT_TRUE(disk.mounted());
        WriteFile(dir.File("kmz-full/out.kmz"), kPrevious);
        ExpectFailure("a disk that fills up while the container is written", dir.File("kmz-full/out.kmz"),
                      kExitFileNotCreated, "Cannot create file " + dir.File("kmz-full/out.kmz"));
    }
}

}  // namespace
}  // namespace tervo::testing
