#include "app/settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "app/field_values.h"
#include "support/test_files.h"

namespace tervo {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Extras with the given members asked for.
Extras Asked(std::initializer_list<std::pair<std::optional<double> Extras::*, double>> values) {
    Extras extras;
    for (const auto& [member, value] : values) {
        extras.*member = value;
    }
    return extras;
}

TEST(LoadSettings, AppliesTheBuiltInDefaultsWhenThereIsNoFile) {
    TempDir dir;
    for (const std::string& path : {dir.File("missing.ini"), dir.path()}) {
        WindowSettings start = InitialWindowSettings();
        start.Left = 10;
        start.Top = 20;
        start.Extras.ThinSeconds = 5;  // the built-in defaults ask for no extra
        MemorySettingsControls controls(start);
        const WindowSettings baseline = LoadSettings(path, controls);

        WindowSettings expected = BuiltInDefaultSettings();
        expected.Left = 10;  // the window is not moved
        expected.Top = 20;
        EXPECT_EQ(controls.values(), expected) << path;
        EXPECT_EQ(baseline, expected) << path;
        EXPECT_TRUE(controls.dateEnabled()) << path;
        EXPECT_FALSE(controls.fullTrackEnabled()) << "All waypoints left enabled while unchecked: " << path;
    }
}

TEST(LoadSettings, KeepsTheCurrentValueOfEveryKeyItCannotRead) {
    struct Row {
        const char* legend;
        std::string body;                             // lines after the section header
        std::function<void(WindowSettings&)> change;  // what differs from the initial values
    };
    const Row rows[] = {
        {"a header-only file took the built-in defaults", "", [](WindowSettings&) {}},
        {"one key changed others (white swatches, Edit7 1 must stay)", "Edit3=8\r\n",
         [](WindowSettings& v) { v.Edit3 = "8"; }},
        {"0x hex colour not read", "ShapeStyleTrack=0xFF\r\n",
         [](WindowSettings& v) { v.ShapeStyleTrack = 255; }},
        {"$ hex colour not read", "ShapeStyleTrack=$FF\r\n",
         [](WindowSettings& v) { v.ShapeStyleTrack = 255; }},
        {"decimal colour not read", "ShapeStyleTrack=255\r\n",
         [](WindowSettings& v) { v.ShapeStyleTrack = 255; }},
        {"a word became a colour", "ShapeStyleTrack=red\r\n", [](WindowSettings&) {}},
        {"a word changed a check state", "CheckBox1=yes\r\n", [](WindowSettings&) {}},
        {"2 not read as checked", "CheckBox2=2\r\n", [](WindowSettings& v) { v.CheckBox2 = true; }},
        {"-1 not read as checked", "CheckBox3=-1\r\n", [](WindowSettings& v) { v.CheckBox3 = true; }},
        {"0 not read as unchecked", "CheckBox1=0\r\n", [](WindowSettings& v) { v.CheckBox1 = false; }},
        {"an empty text value kept the field", "Edit3=\r\n", [](WindowSettings& v) { v.Edit3 = ""; }},
        {"an empty colour value read as 0", "ShapeDTrack=\r\n", [](WindowSettings&) {}},
        {"the date not fitted to its mask", "MaskEdit1=2024-5-17\r\n",
         [](WindowSettings& v) { v.MaskEdit1 = "2024-5_-17"; }},
        {"the position not applied", "Left=-5\r\n", [](WindowSettings& v) { v.Left = -5; }},
    };
    for (const Row& row : rows) {
        TempDir dir;
        WriteFile(dir.File("s.ini"), "[Settings]\r\n" + row.body);
        MemorySettingsControls controls;
        const WindowSettings baseline = LoadSettings(dir.File("s.ini"), controls);
        WindowSettings expected = InitialWindowSettings();
        row.change(expected);
        EXPECT_EQ(controls.values(), expected) << row.legend;
        EXPECT_EQ(baseline, expected) << "baseline not read back: " << row.legend;
    }
}

TEST(LoadSettings, ReadsTheExtrasBehindTheSettings) {
    struct Row {
        const char* legend;
        std::string text;  // the whole file
        Extras expected;   // from ThinSeconds 5 and ThinDegrees 30
    };
    const auto with = [](std::optional<double> Extras::*member, std::optional<double> value) {
        Extras extras = Asked({{&Extras::ThinSeconds, 5}, {&Extras::ThinDegrees, 30}});
        extras.*member = value;
        return extras;
    };
    const Row rows[] = {
        {"a flag not read", "[Extras]\r\nViewer=1\r\n", with(&Extras::Viewer, 1)},
        {"a number not read", "[Extras]\r\nThinSeconds= 12.5\r\n", with(&Extras::ThinSeconds, 12.5)},
        {"a count not read", "[Extras]\r\nMaxPlacemarks=500\r\n", with(&Extras::MaxPlacemarks, 500)},
        {"names read with case", "[extras]\nthinMETRES=100\n", with(&Extras::ThinMetres, 100)},
        {"an empty value kept the extra", "[Extras]\r\nThinSeconds=\r\n", with(&Extras::ThinSeconds, {})},
        {"a word read", "[Extras]\r\nThinSeconds=ten\r\n", with(&Extras::Viewer, {})},
        {"a value above the range read", "[Extras]\r\nThinDegrees=181\r\n", with(&Extras::Viewer, {})},
        {"a flag of 2 read", "[Extras]\r\nRegions=2\r\n", with(&Extras::Viewer, {})},
        {"a fractional count read", "[Extras]\r\nMaxPlacemarks=2.5\r\n", with(&Extras::Viewer, {})},
        {"a key of [Settings] read as an extra", "[Settings]\r\nViewer=1\r\n", with(&Extras::Viewer, {})},
    };
    for (const Row& row : rows) {
        TempDir dir;
        WriteFile(dir.File("s.ini"), row.text);
        WindowSettings start = InitialWindowSettings();
        start.Extras = Asked({{&Extras::ThinSeconds, 5}, {&Extras::ThinDegrees, 30}});
        MemorySettingsControls controls(start);
        const WindowSettings baseline = LoadSettings(dir.File("s.ini"), controls);
        EXPECT_EQ(controls.values().Extras, row.expected) << row.legend;
        EXPECT_EQ(baseline.Extras, row.expected) << "baseline: " << row.legend;
    }
}

TEST(LoadSettings, EnablesTheDependentControlsFromTheCheckBoxes) {
    TempDir dir;
    WriteFile(dir.File("s.ini"), "[Settings]\r\nCheckBox1=0\r\nCheckBox2=1\r\n");
    MemorySettingsControls controls;
    LoadSettings(dir.File("s.ini"), controls);
    EXPECT_FALSE(controls.dateEnabled());
    EXPECT_TRUE(controls.fullTrackEnabled());
}

TEST(SaveSettings, ResolvesThePlace) {
    struct Row {
        const char* legend;
        const char* place;
        const char* expected;
    };
    const Row rows[] = {
        {"an empty place not the default file", "", "/prog/tervoconverter.ini"},
        {"a bare name not behind the program's directory with .ini", "mine", "/prog/mine.ini"},
        {"a bare name's own extension replaced", "mine.cfg", "/prog/mine.cfg"},
        {"a relative place with a directory moved or given .ini", "sub/mine", "sub/mine"},
        {"an absolute place changed", "/etc/x/mine", "/etc/x/mine"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ResolveSettingsPlace(row.place, "/prog/", "/prog/tervoconverter.ini"), row.expected)
            << row.legend;
    }
    EXPECT_EQ(DefaultSettingsPath("/prog/", "tervo.bin"), "/prog/tervo.ini");
}

TEST(DefaultSettingsPath, BesideAWritableProgramElseInTheUsersConfiguration) {
    struct Row {
        const char* legend;
        bool writable;
        const char* configHome;  // nullptr: unset
        const char* home;
        const char* expected;
    };
    const Row rows[] = {
        {"a writable program directory left", true, "/xdg", "/home/ann", "/prog/tervo.ini"},
        {"XDG_CONFIG_HOME not used", false, "/xdg", "/home/ann", "/xdg/tervoconverter/tervoconverter.ini"},
        {"its final separator doubled", false, "/xdg/", "/home/ann",
         "/xdg/tervoconverter/tervoconverter.ini"},
        {"unset: ~/.config not used", false, nullptr, "/home/ann",
         "/home/ann/.config/tervoconverter/tervoconverter.ini"},
        {"empty: ~/.config not used", false, "", "/home/ann/",
         "/home/ann/.config/tervoconverter/tervoconverter.ini"},
        {"a relative one used", false, "cfg", "/home/ann",
         "/home/ann/.config/tervoconverter/tervoconverter.ini"},
        {"no home: not beside the program", false, nullptr, "", "/prog/tervo.ini"},
    };
    for (const Row& row : rows) {
        testing::TestPlatform platform("/prog/");
        platform.SetDirectoriesWritable(row.writable);
        if (row.configHome != nullptr) {
            platform.SetEnvironmentValue("XDG_CONFIG_HOME", row.configHome);
        }
        platform.SetEnvironmentValue("HOME", row.home);
        EXPECT_EQ(DefaultSettingsPath(platform, "tervo.bin"), row.expected) << row.legend;
    }
}

TEST(SaveSettings, MakesTheDirectoriesOfTheDefaultFileOnly) {
    TempDir dir;
    const std::string defaultPath = dir.File("config/tervoconverter/tervoconverter.ini");
    MemorySettingsControls controls(BuiltInDefaultSettings());
    EXPECT_THROW(SaveSettings(dir.File("other/s.ini"), controls, dir.path(), defaultPath), SettingsWriteError)
        << "a chosen place's directory made";
    EXPECT_EQ(SaveSettings("", controls, dir.path(), defaultPath), defaultPath);
    MemorySettingsControls loaded;
    LoadSettings(defaultPath, loaded);
    EXPECT_EQ(loaded.values(), BuiltInDefaultSettings());
}

TEST(SaveSettings, WritesTheFifteenKeysInOrder) {
    TempDir dir;
    MemorySettingsControls controls(BuiltInDefaultSettings());
    EXPECT_EQ(SaveSettings("mine", controls, dir.path(), dir.File("default.ini")), dir.File("mine.ini"));
    EXPECT_EQ(
        ReadFile(dir.File("mine.ini")),
        "[Settings]\r\nCheckBox1=1\r\nMaskEdit1=2000-01-01\r\nShapeStyleTrack=255\r\nShapeFullTrack=32768\r\n"
        "Edit3=5\r\nCheckBox2=0\r\nCheckBox4=0\r\nShapeRightPoint=16711680\r\nShapeIncorPoint=65535\r\n"
        "CheckBox3=0\r\nEdit4=0.5\r\nShapeDTrack=65280\r\nEdit7=7\r\nLeft=426\r\nTop=199\r\n");
}

TEST(SaveSettings, RoundTripsThroughLoadAndKeepsForeignLines) {
    TempDir dir;
    const std::string path = dir.File("s.ini");
    WriteFile(path, "[Other]\r\nKeep=me\r\n[Settings]\r\nMine=1\r\nEdit3=9\r\n");
    WindowSettings values{false, "2024-05-17", 1,          2, "3", true, true, 4,
                          5,     true,         "0.700000", 6, "8", -7,   9,    {}};
    MemorySettingsControls controls(values);
    SaveSettings(path, controls, dir.path(), "");
    SaveSettings(path, controls, dir.path(), "");

    const std::string text = ReadFile(path);
    EXPECT_EQ(text.find("Edit3="), text.rfind("Edit3=")) << "a key written twice";
    const std::string kept = "[Other]\r\nKeep=me\r\n[Settings]\r\nMine=1\r\nEdit3=3\r\n";
    EXPECT_EQ(text.substr(0, kept.size()), kept);
    MemorySettingsControls loaded;
    LoadSettings(path, loaded);
    EXPECT_EQ(loaded.values(), values);
}

TEST(SaveSettings, LeavesAFileWithoutExtrasAsItWas) {
    TempDir dir;
    const std::string path = dir.File("s.ini");
    const std::string text =
        "[Other]\r\nKeep=me\r\n[Settings]\nCheckBox1=1\nMaskEdit1=2000-01-01\nShapeStyleTrack=255\n"
        "ShapeFullTrack=32768\nEdit3=5\nCheckBox2=0\nCheckBox4=0\nShapeRightPoint=16711680\n"
        "ShapeIncorPoint=65535\nCheckBox3=0\nEdit4=0.5\nShapeDTrack=65280\nEdit7=7\nLeft=426\nTop=199\n"
        "\n[Tail]\r\nA=1";
    WriteFile(path, text);
    MemorySettingsControls controls;
    LoadSettings(path, controls);
    SaveSettings(path, controls, dir.path(), "");
    EXPECT_EQ(ReadFile(path), text);
}

TEST(SaveSettings, WritesTheExtrasAskedForAndThoseTheFileHolds) {
    TempDir dir;
    const std::string path = dir.File("s.ini");
    WindowSettings values = BuiltInDefaultSettings();
    values.Extras =
        Asked({{&Extras::Viewer, 1}, {&Extras::ThinSeconds, 12.5}, {&Extras::MaxPlacemarks, 500}});
    MemorySettingsControls controls(values);
    SaveSettings(path, controls, dir.path(), "");
    const std::string settings = ReadFile(path);
    const std::string extras = "[Extras]\r\nViewer=1\r\nThinSeconds=12.5\r\nMaxPlacemarks=500\r\n";
    ASSERT_GT(settings.size(), extras.size());
    EXPECT_EQ(settings.substr(settings.size() - extras.size()), extras);
    MemorySettingsControls loaded;
    LoadSettings(path, loaded);
    EXPECT_EQ(loaded.values().Extras, values.Extras);

    // Switched off or no longer asked for: kept in the file so that they read back so.
    values.Extras = Asked({{&Extras::Viewer, 0}, {&Extras::MaxPlacemarks, 500}});
    MemorySettingsControls changed(values);
    SaveSettings(path, changed, dir.path(), "");
    EXPECT_EQ(ReadFile(path).substr(settings.size() - extras.size()),
              "[Extras]\r\nViewer=0\r\nThinSeconds=\r\nMaxPlacemarks=500\r\n");
    WindowSettings start = InitialWindowSettings();
    start.Extras.ThinSeconds = 7;
    MemorySettingsControls reloaded(start);
    LoadSettings(path, reloaded);
    EXPECT_EQ(reloaded.values().Extras, values.Extras);
}

TEST(SaveSettings, ReportsAPlaceItCannotWrite) {
    TempDir dir;
    const std::string path = dir.File("missing/s.ini");
    MemorySettingsControls controls;
    try {
        SaveSettings(path, controls, dir.path(), "");
        ADD_FAILURE() << "no error";
    } catch (const SettingsWriteError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
    }
}

TEST(SettingsChanged, ComparesTheDisplayValuesOnly) {
    struct Row {
        const char* legend;
        std::function<void(WindowSettings&)> change;
        bool expected;
    };
    const Row rows[] = {
        {"scale up and down (0.5 -> 0.500000) not asked",
         [](WindowSettings& v) { v.Edit4 = StepScale(StepScale(v.Edit4, true), false); }, true},
        {"width up and down asked",
         [](WindowSettings& v) { v.Edit3 = StepWidth(StepWidth(v.Edit3, true), false); }, false},
        {"a moved window asked", [](WindowSettings& v) { v.Top += 5; }, false},
        {"the date compared with case", [](WindowSettings& v) { v.MaskEdit1 = "2000-01-0A"; }, false},
        {"the widths compared without case", [](WindowSettings& v) { v.Edit7 = "A"; }, true},
        {"a colour not compared", [](WindowSettings& v) { v.ShapeDTrack = 1; }, true},
        {"a check box not compared", [](WindowSettings& v) { v.CheckBox4 = true; }, true},
        {"the date not compared", [](WindowSettings& v) { v.MaskEdit1 = "2000-01-02"; }, true},
        {"an extra not compared", [](WindowSettings& v) { v.Extras.Regions = 0; }, true},
    };
    WindowSettings baseline = InitialWindowSettings();
    baseline.MaskEdit1 = "2000-01-0a";
    baseline.Edit7 = "a";
    for (const Row& row : rows) {
        WindowSettings current = baseline;
        row.change(current);
        EXPECT_EQ(SettingsChanged(current, baseline), row.expected) << row.legend;
    }
}

}  // namespace
}  // namespace tervo
