#include "run/conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/in_memory_run.h"
#include "support/recording_view.h"
#include "support/test_builders.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

using testing::NodeBudget;

using testing::RecordingView;
using testing::TempDir;

class ConversionRun : public ::testing::Test {
protected:
    ConversionSettings Settings(const std::string& inputName) {
        ConversionSettings s;
        s.InputPath = dir.File(inputName);
        s.InputName = inputName;
        s.OutputName = "out.kmz";
        s.OutputPath = dir.File("previous.kmz");
        s.ShapeStyleTrack = 255;
        s.ShapeDTrack = 65280;
        s.ShapeRightPoint = 16711680;
        s.ShapeIncorPoint = 65535;
        s.ShapeFullTrack = 32768;
        s.Edit3 = "5";
        s.Edit7 = "7";
        return s;
    }

    TempDir dir;
    testing::TestPlatform platform;
    SentenceAssembler assembler;
    RecordingView view;
};

TEST_F(ConversionRun, MissingInputChangesNothingButTheStatus) {
    ConversionSettings s = Settings("missing.nmea");
    EXPECT_EQ(RunConversion(s, view, assembler, platform), ConversionResult::InputNotOpened);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"ShowStatus()", "ShowStatus(Can't open the input file)",
                                                    "ProcessPendingEvents"}));
    EXPECT_FALSE(testing::FileExists(dir.File("out.kml")));
}

TEST_F(ConversionRun, ADirectoryIsNoInputFile) {
    ConversionSettings s = Settings("");
    s.InputPath = dir.path();
    EXPECT_EQ(RunConversion(s, view, assembler, platform), ConversionResult::InputNotOpened);
}

TEST_F(ConversionRun, KmlFileThatCannotBeCreatedLeavesOutputPathAndLockAlone) {
    testing::WriteFile(dir.File("in.nmea"), "");
    ConversionSettings s = Settings("in.nmea");
    s.OutputPath = dir.File("no-such-dir/previous.kmz");
    EXPECT_EQ(RunConversion(s, view, assembler, platform), ConversionResult::OutputNotCreated);
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"ShowStatus()", "ShowStatus(Can't create the output file)",
                                        "ProcessPendingEvents"}));
}

TEST_F(ConversionRun, EmptyLogCompletesWithTheFullTranscript) {
    testing::WriteFile(dir.File("in.nmea"), "");
    ConversionSettings s = Settings("in.nmea");
    s.Interactive = true;
    ASSERT_EQ(RunConversion(s, view, assembler, platform), ConversionResult::Completed);
    EXPECT_EQ(
        view.Folded(),
        (std::vector<std::string>{
            "SetOutputPath(" + dir.File("out.kmz") + ")", "ResetProgress", "ShowStatus( )", "ShowCount( )",
            "DisableRun", "ShowStatus()", "ShowStatus(The progress started)", "LockControls",
            "ProcessPendingEvents", "ShowStatus()", "ShowStatus(Creation of KML-file)", "ShowCount()",
            "ShowCount(Waypoints 0)", "ShowStatus()", "ShowStatus(The progress finished)",
            "ShowInformation(The progress finished!\n\rInput file in.nmea\n\rWaypoints 0)",
            "UnlockControls"}));
    EXPECT_EQ(view.steps, 0);
    // Only the container is left behind.
    EXPECT_TRUE(testing::FileExists(dir.File("out.kmz")));
    EXPECT_FALSE(testing::FileExists(dir.File("out.kml")));
    EXPECT_FALSE(testing::FileExists(dir.File("255.png")));
}

TEST_F(ConversionRun, BatchRunShowsNoMessageBoxAndAnUnknownFormatReadsNothing) {
    testing::WriteFile(dir.File("in.nmea"), "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n");
    ConversionSettings s = Settings("in.nmea");
    s.Format = LogFormatOfIndex(7);
    ASSERT_EQ(RunConversion(s, view, assembler, platform), ConversionResult::Completed);
    for (const std::string& call : view.calls) {
        EXPECT_EQ(call.rfind("ShowInformation", 0), std::string::npos);
        EXPECT_NE(call, "ShowStatus(Creation of KML-file)");
    }
    EXPECT_EQ(view.steps, 0);  // nothing was read
    std::string kml = testing::ZipEntryData(dir.File("out.kmz"), "out.kml");
    EXPECT_NE(kml.find("<Style id=\"D-Track\">"), std::string::npos);
    EXPECT_EQ(kml.find("<Folder>"), std::string::npos);
}

TEST_F(ConversionRun, ALogUnderOneHundredBytesStepsOncePerByte) {
    const std::string log = "$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n";  // 34 bytes
    testing::WriteFile(dir.File("short.nmea"), log);
    ConversionSettings s = Settings("short.nmea");
    view.recordTicks = false;
    ASSERT_EQ(RunConversion(s, view, assembler, platform), ConversionResult::Completed);
    EXPECT_EQ(view.steps, static_cast<int>(log.size()));
}

TEST_F(ConversionRun, OutputPathEmptyMeansTheProgramDirectory) {
    testing::WriteFile(dir.File("in.nmea"), "");
    testing::TestPlatform programHere(dir.path());
    ConversionSettings s = Settings("in.nmea");
    s.OutputPath = "";
    s.OutputName = "log.txt.kmz";
    ASSERT_EQ(RunConversion(s, view, assembler, programHere), ConversionResult::Completed);
    EXPECT_EQ(view.calls.front(), "SetOutputPath(" + dir.File("log.txt.kmz") + ")");
    EXPECT_FALSE(testing::ZipEntryData(dir.File("log.txt.kmz"), "log.txt.kml").empty());
}

TEST_F(ConversionRun, DocumentStartsAndEndsExactlyUnderACommaLocale) {
    testing::WriteFile(dir.File("in.nmea"), "");
    ConversionSettings s = Settings("in.nmea");
    s.Edit3 = "5";
    s.CheckBox2 = true;
    if (!testing::UseCommaLocale()) {
        GTEST_SKIP() << "no locale with a comma decimal separator can be made here";
    }
    ConversionResult result = RunConversion(s, view, assembler, platform);
    testing::RestoreCLocale();
    ASSERT_EQ(result, ConversionResult::Completed);
    std::string kml = testing::ZipEntryData(dir.File("out.kmz"), "out.kml");
    const std::string head =
        "<kml>\r\n<Document>\r\n<Style id=\"NormalTrack\">\r\n<LineStyle>\r\n<color>FF0000FF</color>\r\n"
        "<width>5</width>\r\n</LineStyle>\r\n</Style>\r\n<Style id=\"D-Track\">\r\n<LineStyle>\r\n"
        "<color>FF00FF00</color>\r\n<width>7</width>\r\n</LineStyle>\r\n</Style>\r\n";
    EXPECT_EQ(kml.substr(0, head.size()), head);
    const std::string tail = "</Document>\r\n</kml>";
    ASSERT_GE(kml.size(), tail.size());
    EXPECT_EQ(kml.substr(kml.size() - tail.size()), tail);
    // The all-points style comes right before its line string, with the track width.
    EXPECT_NE(kml.find("<Style id=\"IncorrectTrack\">\r\n<LineStyle>\r\n<color>FF008000</color>\r\n"
                       "<width>5</width>"),
              std::string::npos);
}

// An allocation gate that refuses every node.

TEST_F(ConversionRun, ANodeThatCannotBeAllocatedStopsTheRunAndKeepsTheRemains) {
    testing::WriteFile(dir.File("in.nmea"),
                       "$GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*69\r\n");
    ConversionSettings s = Settings("in.nmea");
    s.Interactive = true;
    NodeBudget gate(0);
    EXPECT_EQ(RunConversion(s, view, assembler, platform, &gate), ConversionResult::Stopped);
    std::vector<std::string> folded = view.Folded();
    ASSERT_GE(folded.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(folded.end() - 3, folded.end()),
              (std::vector<std::string>{"ShowStatus(Can't create the list!)", "ProcessPendingEvents",
                                        "UnlockControls"}));
    // Nothing new is left behind: no KML file, no icons, no container.
    EXPECT_EQ(testing::Listing(dir.path()), std::vector<std::string>{"in.nmea"});
}

// A gate that lets `allowed` nodes through and refuses the rest.

std::string Simulated(const std::string& tool, const std::string& arguments, const std::string& path) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    const std::string command =
        std::string(tools ? tools : ".") + "/" + tool + " " + arguments + " --out " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return testing::ReadFile(path);
}

// The "WayPoints" folder is written while the log is read. Over logs long
// enough for many hand-overs, the document must be the one the writers give
// after the read loop, also when the log's date comes late, when the run starts
// at a first fix that comes late, and when the run stops.
TEST_F(ConversionRun, TheFolderWrittenWhileReadingIsTheOneWrittenAfter) {
    const std::string nmea = Simulated("simulate_log", "--epochs 6000 --seed 5", dir.File("sim.nmea"));
    // No RMC in the first two thirds: the nodes wait for the log's date.
    std::string lateDate;
    for (size_t at = 0; at < nmea.size();) {
        const size_t end = nmea.find('\n', at) + 1;
        if (at > nmea.size() * 2 / 3 || nmea.compare(at, 6, "$GPRMC") != 0) {
            lateDate.append(nmea, at, end - at);
        }
        at = end;
    }
    std::string ggaOnly;
    for (size_t at = 0; at < nmea.size();) {
        const size_t end = nmea.find('\n', at) + 1;
        if (nmea.compare(at, 6, "$GPGGA") == 0) {
            ggaOnly.append(nmea, at, end - at);
        }
        at = end;
    }
    const std::string binr =
        Simulated("simulate_binr", "--epochs 6000 --seed 5 --acquire 2500", dir.File("sim.binr"));
    struct Case {
        const char* legend;
        const std::string& log;
        int32_t format;
        bool fallbackDate;
        bool startFirstFix;
        int nodes;  // the gate's budget; -1 lets every node through
        ConversionResult result;
    };
    const Case cases[] = {
        {"NMEA", nmea, 0, true, false, -1, ConversionResult::Completed},
        {"NMEA, the log's date, first fix", nmea, 0, false, true, -1, ConversionResult::Completed},
        {"NMEA whose date comes late", lateDate, 0, false, false, -1, ConversionResult::Completed},
        {"NMEA without a date: Date isn't found", ggaOnly, 0, false, false, -1, ConversionResult::Stopped},
        {"NMEA whose list cannot grow", nmea, 0, true, false, 5000, ConversionResult::Stopped},
        {"BINR, first fix late", binr, 1, true, true, -1, ConversionResult::Completed},
        {"BINR whose list cannot grow", binr, 1, true, false, 5000, ConversionResult::Stopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        testing::WriteFile(dir.File("in.log"), c.log);
        ConversionSettings s = Settings("in.log");
        s.Format = LogFormatOfIndex(c.format);
        s.CheckBox1 = c.fallbackDate;
        s.CheckBox4 = c.startFirstFix;
        s.CheckBox2 = true;
        std::optional<NodeBudget> gate;
        if (c.nodes >= 0) {
            gate.emplace(c.nodes);
        }
        ASSERT_EQ(RunConversion(s, view, assembler, platform, gate ? &*gate : nullptr), c.result);
        // The reference: the same run with the folder written after the log is read.
        std::optional<NodeBudget> afterGate;
        if (c.nodes >= 0) {
            afterGate.emplace(c.nodes);
        }
        const fuzzing::InMemoryRun after =
            fuzzing::ConvertInMemory(c.log, s, afterGate ? &*afterGate : nullptr, false);
        ASSERT_EQ(after.result, c.result);
        if (c.result == ConversionResult::Completed) {
            EXPECT_TRUE(testing::ZipEntryData(dir.File("out.kmz"), "out.kml") == after.kml);
        } else {
            std::optional<NodeBudget> whileGate;
            if (c.nodes >= 0) {
                whileGate.emplace(c.nodes);
            }
            const fuzzing::InMemoryRun whileReading =
                fuzzing::ConvertInMemory(c.log, s, whileGate ? &*whileGate : nullptr, true);
            EXPECT_TRUE(whileReading.kml == after.kml);
            // A stopped run got as far as the head and the styles, and with
            // "Date isn't found" the folder's start; on the disk it leaves nothing.
            const std::string& kml = after.kml;
            const std::string end = c.nodes < 0 ? "</Style>\r\n<Folder>\r\n<name>WayPoints</name>\r\n"
                                                : "<width>7</width>\r\n</LineStyle>\r\n</Style>\r\n";
            EXPECT_TRUE(kml.size() > end.size() && kml.compare(kml.size() - end.size(), end.size(), end) == 0)
                << kml.substr(kml.size() > 200 ? kml.size() - 200 : 0);
            EXPECT_EQ(kml.find("<Placemark>"), std::string::npos);
            for (const std::string& name : testing::Listing(dir.path())) {
                EXPECT_TRUE(name.starts_with("sim.") || name == "in.log" || name == "out.kmz") << name;
            }
        }
    }
}

// A log from memory and a document sink that throws once the head is written,
// which is on the folder writer's thread when the folder fills the first buffer.
class FailingSinkFiles : public RunFiles {
public:
    explicit FailingSinkFiles(std::string log) : log_(std::move(log)) {}
    InputFile OpenLog(int64_t* size) override {
        *size = static_cast<int64_t>(log_.size());
        return InputFile(fmemopen(log_.data(), log_.size(), "rb"));
    }
    ByteSink* CreateDocument() override { return &sink_; }
    std::string ContainerPath() const override { return "memory.kmz"; }
    std::string MakeIcon(int32_t colour) override { return std::to_string(colour) + ".png"; }
    void Pack(const std::string&, const std::string&, const std::string&) override {}
    void AddEntry(const std::string&, const std::vector<uint8_t>&) override {}

private:
    class Sink : public ByteSink {
    public:
        bool Write(const char*, size_t) override { throw std::runtime_error("the disk caught fire"); }
        bool Close() override { return true; }
    } sink_;
    std::string log_;
};

class ThrowingGate : public AllocationGate {
public:
    bool AllowNode() override { throw std::bad_alloc(); }
};

// Whatever error leaves a run, it leaves through the one teardown: the
// controls are unlocked and nothing is reported as finished.
TEST_F(ConversionRun, AnErrorLeavingTheRunUnlocksTheControls) {
    const std::string log = Simulated("simulate_log", "--epochs 3000 --seed 3", dir.File("sim.nmea"));
    testing::WriteFile(dir.File("in.nmea"), log);
    ThrowingGate gate;
    FailingSinkFiles failing(log);
    struct Case {
        const char* legend;
        std::function<void()> run;
    } cases[] = {
        {"memory exhausted at the allocation seam",
         [&] { RunConversion(Settings("in.nmea"), view, assembler, platform, &gate); }},
        {"an error on the folder writer's thread",
         [&] { RunConversion(Settings("in.nmea"), view, assembler, platform, failing); }},
    };
    for (const Case& c : cases) {
        view.calls.clear();
        EXPECT_ANY_THROW(c.run()) << c.legend;
        const std::vector<std::string> folded = view.Folded();
        ASSERT_FALSE(folded.empty()) << c.legend;
        EXPECT_EQ(folded.back(), "UnlockControls") << c.legend;
        EXPECT_EQ(std::count(folded.begin(), folded.end(), "ShowStatus(The progress finished)"), 0)
            << c.legend;
    }
    EXPECT_EQ(testing::Listing(dir.path()), (std::vector<std::string>{"in.nmea", "sim.nmea"}));
}

}  // namespace
}  // namespace tervo
