#include "run/merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "kml/document.h"
#include "kml/icon.h"
#include "support/recording_view.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

TEST(PrefixStyleIds, RenamesTheIdsAndTheirReferencesAlone) {
    struct Row {
        const char* legend;
        std::string body;
        std::string expected;
    };
    const Row rows[] = {
        {"an id not renamed", "<Style id=\"NormalTrack\">", "<Style id=\"2-NormalTrack\">"},
        {"a reference not followed", "<styleUrl>#D-Track</styleUrl>", "<styleUrl>#2-D-Track</styleUrl>"},
        {"every occurrence not renamed", "<Style id=\"A\"><Style id=\"B\">",
         "<Style id=\"2-A\"><Style id=\"2-B\">"},
        {"a style without id touched", "<Style>\r\n<IconStyle>", "<Style>\r\n<IconStyle>"},
        {"a name that reads like an id touched", "<name>NormalTrack</name>", "<name>NormalTrack</name>"},
        {"an escaped value taken for a tag", "&lt;Style id=\"X\"&gt;", "&lt;Style id=\"X\"&gt;"},
        {"an empty body changed", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PrefixStyleIds(row.body, "2-"), row.expected) << row.legend;
    }
}

TEST(DocumentBody, IsWhatLiesBetweenTheDocumentTags) {
    EXPECT_EQ(DocumentBody("<kml>\r\n<Document>\r\nX\r\n</Document>\r\n</kml>"), "X\r\n");
    EXPECT_EQ(DocumentBody("<kml>\r\n<Document>\r\n</Document>\r\n</kml>"), "");
    EXPECT_EQ(DocumentBody("<kml>\r\n<Document>\r\nX"), "") << "a document cut short taken";
    EXPECT_EQ(DocumentBody(""), "");
}

TEST(MergePalette, GivesEachOfSevenLogsItsOwnColourThenStartsAgain) {
    const ConversionSettings base;
    std::set<int32_t> colours;
    for (size_t i = 0; i < 7; ++i) {
        const ConversionSettings settings = SettingsForMergedLog(base, i);
        EXPECT_EQ(settings.ShapeStyleTrack, settings.ShapeRightPoint) << i;
        EXPECT_EQ(settings.ShapeIncorPoint, base.ShapeIncorPoint) << "only the line and valid icon change";
        EXPECT_EQ(settings.ShapeDTrack, base.ShapeDTrack);
        colours.insert(settings.ShapeStyleTrack);
    }
    EXPECT_EQ(colours.size(), 7u);
    EXPECT_EQ(colours.count(0), 0u) << "black is lost on dark imagery";
    EXPECT_EQ(SettingsForMergedLog(base, 7).ShapeStyleTrack, SettingsForMergedLog(base, 0).ShapeStyleTrack);
}

std::string Simulated(const std::string& arguments, const std::string& path) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    const std::string command =
        std::string(tools ? tools : ".") + "/simulate_log " + arguments + " --out " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
}

// The top-level folder named `name` in a merged document, up to its closing
// tag: the next log's folder is named `next` (empty for the last one).
std::string FolderOf(const std::string& merged, const std::string& name, const std::string& next) {
    const size_t start = merged.find("<Folder>\r\n<name>" + name + "</name>\r\n");
    const size_t stop = next.empty() ? merged.rfind("</Folder>\r\n</Document>")
                                     : merged.find("</Folder>\r\n<Folder>\r\n<name>" + next + "</name>");
    if (start == std::string::npos || stop == std::string::npos) {
        return "";
    }
    return merged.substr(start, stop - start);
}

// Two receivers merged: each folder is its log's own document with the style
// ids prefixed and the palette's colours, nothing else.
TEST(MergedDocument, HoldsEachLogsOwnDocumentApartFromIdsAndColours) {
    TempDir dir;
    const std::string logs[] = {Simulated("--epochs 400 --seed 7", dir.File("a.nmea")),
                                Simulated("--epochs 300 --seed 8 --nmea 4.1", dir.File("b.nmea"))};
    testing::TestPlatform platform(dir.path());
    ConversionSettings base;
    base.ShapeStyleTrack = 0x123456;
    base.ShapeRightPoint = 0x654321;
    base.CheckBox2 = true;  // the full track's style too

    std::vector<MergedLog> merged;
    std::vector<std::string> singles;
    std::vector<int32_t> colours;
    for (size_t i = 0; i < 2; ++i) {
        base.InputPath = logs[i];
        testing::RecordingView view;
        SentenceAssembler assembler;
        const MemoryConversion single = ConvertIntoMemory(base, view, assembler, platform);
        ASSERT_EQ(single.result, ConversionResult::Completed);
        singles.push_back(single.kml);

        SentenceAssembler own;
        const MemoryConversion coloured =
            ConvertIntoMemory(SettingsForMergedLog(base, i), view, own, platform);
        ASSERT_EQ(coloured.result, ConversionResult::Completed);
        merged.push_back({i == 0 ? "a.nmea" : "b & c.nmea", coloured.kml});
        colours.insert(colours.end(), coloured.iconColours.begin(), coloured.iconColours.end());
    }
    const std::string document = ComposeMergedDocument(merged);

    for (size_t i = 0; i < 2; ++i) {
        std::string folder = i == 0 ? FolderOf(document, "a.nmea", "b &amp; c.nmea")
                                    : FolderOf(document, "b &amp; c.nmea", "");
        ASSERT_FALSE(folder.empty()) << i;
        const std::string prefix = std::to_string(i + 1) + "-";
        EXPECT_NE(folder.find("<Style id=\"" + prefix + "NormalTrack\">"), std::string::npos);
        // Undo the renames and the colours, then the folder is the log's document.
        Replace(folder, "<Style id=\"" + prefix, "<Style id=\"");
        Replace(folder, "<styleUrl>#" + prefix, "<styleUrl>#");
        const int32_t colour = MergePalette()[i];
        Replace(folder, KmlColor(colour), KmlColor(base.ShapeStyleTrack));
        Replace(folder, WaypointIconName(colour), WaypointIconName(base.ShapeRightPoint));
        const size_t head = folder.find("</name>\r\n") + 9;
        EXPECT_TRUE(folder.substr(head) == DocumentBody(singles[i])) << "log " << i + 1;
    }

    // Well-formed, and packed with each icon once.
    WriteFile(dir.File("merged.kml"), document);
    const std::string lint = "xmllint --noout '" + dir.File("merged.kml") + "'";
    EXPECT_EQ(std::system(lint.c_str()), 0) << lint;

    PackMergedKmz(dir.File("merged.kmz"), document, colours, platform);
    testing::ZipArchive archive;
    std::string error;
    ASSERT_TRUE(testing::ReadZip(ReadFile(dir.File("merged.kmz")), &archive, &error)) << error;
    std::vector<std::string> names;
    for (const testing::ZipEntry& entry : archive.entries) {
        names.push_back(entry.name);
    }
    std::set<std::string> icons;
    for (const int32_t colour : colours) {
        icons.insert(WaypointIconName(colour));
    }
    ASSERT_EQ(names.size(), icons.size() + 1) << "an icon packed more than once";
    EXPECT_EQ(names.front(), "merged.kml");
    EXPECT_EQ(archive.entries.front().data, document);
    EXPECT_EQ(std::set<std::string>(names.begin() + 1, names.end()), icons);
    EXPECT_EQ(icons.count(WaypointIconName(MergePalette()[0])), 1u);
    EXPECT_EQ(icons.count(WaypointIconName(MergePalette()[1])), 1u);
    EXPECT_EQ(testing::Listing(dir.path()),
              (std::vector<std::string>{"a.nmea", "b.nmea", "merged.kml", "merged.kmz"}))
        << "the icons' directory left behind";
}

}  // namespace
}  // namespace tervo
