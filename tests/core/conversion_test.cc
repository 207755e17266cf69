#include "core/conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_view.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

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
    EXPECT_EQ(view.calls, (std::vector<std::string>{"ShowStatus()", "ShowStatus(Can't create the output file)",
                                                    "ProcessPendingEvents"}));
}

TEST_F(ConversionRun, EmptyLogCompletesWithTheFullTranscript) {
    testing::WriteFile(dir.File("in.nmea"), "");
    ConversionSettings s = Settings("in.nmea");
    s.Interactive = true;
    ASSERT_EQ(RunConversion(s, view, assembler, platform), ConversionResult::Completed);
    EXPECT_EQ(view.Folded(),
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
    s.Format = 7;
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
class NoNodes : public AllocationGate {
public:
    bool AllowNode() override { return false; }
};

TEST_F(ConversionRun, ANodeThatCannotBeAllocatedStopsTheRunAndKeepsTheRemains) {
    testing::WriteFile(dir.File("in.nmea"),
                       "$GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*69\r\n");
    ConversionSettings s = Settings("in.nmea");
    s.Interactive = true;
    NoNodes gate;
    EXPECT_EQ(RunConversion(s, view, assembler, platform, &gate), ConversionResult::Stopped);
    std::vector<std::string> folded = view.Folded();
    ASSERT_GE(folded.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(folded.end() - 3, folded.end()),
              (std::vector<std::string>{"ShowStatus(Can't create the list!)", "ProcessPendingEvents",
                                        "UnlockControls"}));
    // The partial KML file and the icons stay; no container is written.
    EXPECT_TRUE(testing::FileExists(dir.File("out.kml")));
    EXPECT_TRUE(testing::FileExists(dir.File("255.png")) || testing::FileExists(dir.File("16711680.png")));
    EXPECT_FALSE(testing::FileExists(dir.File("out.kmz")));
}

TEST(Paths, KmlPathReplacesTheLastExtension) {
    EXPECT_EQ(ChangeFileExtension("log.txt.kmz", ".kml"), "log.txt.kml");
    EXPECT_EQ(ChangeFileExtension("track", ".kml"), "track.kml");
    EXPECT_EQ(ChangeFileExtension("/a.b/track", ".kml"), "/a.b/track.kml");
    EXPECT_EQ(DirectoryPart("/home/u/log.kmz"), "/home/u/");
    EXPECT_EQ(DirectoryPart("log.kmz"), "");
    EXPECT_EQ(FileNamePart("/home/u/log.kmz"), "log.kmz");
}

}  // namespace
}  // namespace tervo
