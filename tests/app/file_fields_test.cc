#include "app/file_fields.h"

#include <gtest/gtest.h>

#include <string>

namespace tervo {
namespace {

TEST(Edit1Change, KeepsTheFullPathInStep) {
    struct Row {
        const char* legend;
        const char* previousFullPath;
        const char* text;
        const char* expectedFullPath;
        bool expectedRun;
    };
    const Row rows[] = {
        {"a first name not put in the program's directory", "", "log.nmea", "/prog/log.nmea", true},
        {"the chosen file's directory lost", "/data/logs/a.nmea", "b.nmea", "/data/logs/b.nmea", true},
        {"an emptied field left Run enabled", "/data/logs/a.nmea", "", "/data/logs/", false},
        {"an absolute name put behind a directory", "/data/logs/a.nmea", "/tmp/x.nmea", "/tmp/x.nmea", true},
        {"a relative path not kept behind the directory", "", "sub/x.nmea", "/prog/sub/x.nmea", true},
    };
    for (const Row& row : rows) {
        FileField edit1{"old", row.previousFullPath};
        EXPECT_EQ(Edit1Change(edit1, row.text, "/prog/"), row.expectedRun) << row.legend;
        EXPECT_EQ(edit1.fullPath, row.expectedFullPath) << row.legend;
        EXPECT_EQ(edit1.text, row.text) << row.legend;
    }
}

TEST(FileFields, AChosenInputProposesItsNameWithKmz) {
    FileField edit1;
    FileField edit6{"old.kmz", "/old/old.kmz"};
    SetInputFile(edit1, edit6, "/data/logs/track.nmea", "/prog/");
    EXPECT_EQ(edit1.text, "track.nmea");
    EXPECT_EQ(edit1.fullPath, "/data/logs/track.nmea");
    EXPECT_EQ(edit6.text, "track.nmea.kmz");
    EXPECT_EQ(edit6.fullPath, "/data/logs/track.nmea.kmz");

    Edit1Change(edit1, "other.nmea", "/prog/");
    EXPECT_EQ(edit1.fullPath, "/data/logs/other.nmea") << "typing after a choice lost its directory";
}

TEST(FileFields, ChosenOutputAndSettingsKeepThePathAsChosen) {
    FileField edit6;
    SetOutputFile(edit6, "/out/result");
    EXPECT_EQ(edit6.text, "result");
    EXPECT_EQ(edit6.fullPath, "/out/result") << "an extension added to a chosen output";

    FileField edit2;
    SetSettingsFile(edit2, "/cfg/mine.ini");
    EXPECT_EQ(edit2.text, "mine.ini");
    EXPECT_EQ(edit2.fullPath, "/cfg/mine.ini");
    Edit2Change(edit2, "typed");
    EXPECT_EQ(edit2.fullPath, "typed");
}

TEST(FileFields, RunNeedsAnInputAndAnOutputName) {
    EXPECT_TRUE(RunEnabled("a.nmea", "a.kmz"));
    EXPECT_TRUE(RunEnabled("a.nmea", "/out/a.kmz"));
    EXPECT_FALSE(RunEnabled("", "a.kmz"));
    EXPECT_FALSE(RunEnabled("a.nmea", "")) << "an empty output converts the log and then fails";
    EXPECT_FALSE(RunEnabled("a.nmea", "/out/")) << "a directory is no output file";
}

TEST(MakeConversionSettings, AnAbsoluteOutputTextIsUsedAsItStands) {
    struct Row {
        const char* legend;
        const char* fullPath;
        const char* text;
        const char* expectedPath;
        const char* expectedName;
    };
    const Row rows[] = {
        {"a name lost the kept directory", "/data/logs/a.nmea.kmz", "x.kmz", "/data/logs/a.nmea.kmz",
         "x.kmz"},
        {"an absolute text glued behind the kept directory", "/data/logs/a.nmea.kmz", "/data/out/x.kmz",
         "/data/out/x.kmz", "x.kmz"},
        {"an absolute text without a kept path", "", "/data/out/x.kmz", "/data/out/x.kmz", "x.kmz"},
    };
    for (const Row& row : rows) {
        const ConversionSettings settings =
            MakeConversionSettings(WindowSettings{}, FileField{"a.nmea", "/data/logs/a.nmea"},
                                   FileField{row.text, row.fullPath}, LogFormat::Nmea, true);
        EXPECT_EQ(settings.OutputPath, row.expectedPath) << row.legend;
        EXPECT_EQ(settings.OutputName, row.expectedName) << row.legend;
    }
}

TEST(MakeConversionSettings, PassesTheExtrasAsAsked) {
    WindowSettings values;
    values.Extras.Viewer = 1;
    values.Extras.ThinSeconds = 3;
    const ConversionSettings settings = MakeConversionSettings(
        values, FileField{"a.nmea", "/a.nmea"}, FileField{"a.kmz", "/a.kmz"}, LogFormat::Nmea, true);
    EXPECT_EQ(settings.Extras, values.Extras) << "the preset's parts filled in before the run";
}

}  // namespace
}  // namespace tervo
