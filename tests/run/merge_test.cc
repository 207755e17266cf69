#include "run/merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "kml/document.h"
#include "kml/icon.h"
#include "kml/kml_stream.h"
#include "run/memory_files.h"
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

// What a document holds between its "<Document>" line and "</Document>"; empty
// when `kml` is no such document.
std::string DocumentBody(const std::string& kml) {
    const std::string start = "<kml>\r\n<Document>\r\n";
    const std::string end = "</Document>\r\n</kml>";
    if (!kml.starts_with(start) || !kml.ends_with(end)) {
        return {};
    }
    return kml.substr(start.size(), kml.size() - start.size() - end.size());
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
        std::string(tools ? tools : ".") + "/simulate_log " + arguments + " --out '" + path + "'";
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
// ids prefixed and the palette's colours, nothing else; each log's legend is
// packed under its own number.
TEST(MergedDocument, HoldsEachLogsOwnDocumentApartFromIdsAndColours) {
    TempDir dir;
    const std::string logs[] = {Simulated("--epochs 400 --seed 7", dir.File("a.nmea")),
                                Simulated("--epochs 300 --seed 8 --nmea 4.1", dir.File("b & c.nmea"))};
    testing::TestPlatform platform(dir.path());
    ConversionSettings base;
    base.ShapeStyleTrack = 0x123456;
    base.ShapeRightPoint = 0x654321;
    base.CheckBox2 = true;  // the full track's style too
    base.Extras.ColourBy = kColourBySpeed;

    std::vector<MergedLog> merged;
    std::vector<std::string> singles;
    for (size_t i = 0; i < 2; ++i) {
        base.InputPath = logs[i];
        testing::RecordingView view;
        SentenceAssembler assembler;
        MemoryFiles single = MemoryFiles::OfFile(logs[i]);
        ASSERT_EQ(RunConversion(base, view, assembler, platform, single), ConversionResult::Completed);
        singles.push_back(single.kml());

        SentenceAssembler own;
        merged.push_back(ConvertForMerge(base, i, view, own, platform));
        ASSERT_EQ(merged.back().Result, ConversionResult::Completed);
    }
    StringSink sink;
    KmlStream kml(sink);
    WriteMergedDocument(kml, merged);
    ASSERT_TRUE(kml.Close());
    const std::string& document = sink.text;

    for (size_t i = 0; i < 2; ++i) {
        std::string folder = i == 0 ? FolderOf(document, "a.nmea", "b &amp; c.nmea")
                                    : FolderOf(document, "b &amp; c.nmea", "");
        ASSERT_FALSE(folder.empty()) << i;
        const std::string number = std::to_string(i + 1);
        EXPECT_NE(folder.find("<Style id=\"" + number + "-NormalTrack\">"), std::string::npos);
        EXPECT_NE(folder.find("<href>" + number + "/plots/legend.png</href>"), std::string::npos);
        // Undo the renames and the colours, then the folder is the log's document.
        Replace(folder, "<Style id=\"" + number + "-", "<Style id=\"");
        Replace(folder, "<styleUrl>#" + number + "-", "<styleUrl>#");
        Replace(folder, "<href>" + number + "/", "<href>");
        const int32_t colour = MergePalette()[i];
        Replace(folder, KmlColor(colour), KmlColor(base.ShapeStyleTrack));
        Replace(folder, WaypointIconName(colour), WaypointIconName(base.ShapeRightPoint));
        const size_t head = folder.find("</name>\r\n") + 9;
        EXPECT_TRUE(folder.substr(head) == DocumentBody(singles[i])) << "log " << i + 1;
    }

    // Well-formed, and packed with each icon once and each log's legend.
    WriteFile(dir.File("merged.kml"), document);
    const std::string lint = "xmllint --noout '" + dir.File("merged.kml") + "'";
    EXPECT_EQ(std::system(lint.c_str()), 0) << lint;

    PackMergedKmz(dir.File("merged.kmz"), merged, platform);
    testing::ZipArchive archive;
    std::string error;
    ASSERT_TRUE(testing::ReadZip(ReadFile(dir.File("merged.kmz")), &archive, &error)) << error;
    std::vector<std::string> names;
    for (const testing::ZipEntry& entry : archive.entries) {
        names.push_back(entry.name);
    }
    std::set<std::string> icons;
    for (const MergedLog& log : merged) {
        for (const int32_t colour : log.IconColours) {
            icons.insert(WaypointIconName(colour));
        }
    }
    ASSERT_EQ(names.size(), icons.size() + 3) << "an icon packed more than once";
    EXPECT_EQ(names.front(), "merged.kml");
    EXPECT_EQ(archive.entries.front().data, document);
    EXPECT_EQ(std::set<std::string>(names.begin() + 1, names.end() - 2), icons);
    EXPECT_EQ(icons.count(WaypointIconName(MergePalette()[0])), 1u);
    EXPECT_EQ(icons.count(WaypointIconName(MergePalette()[1])), 1u);
    EXPECT_EQ(names[names.size() - 2], "1/plots/legend.png");
    EXPECT_EQ(names.back(), "2/plots/legend.png");
    EXPECT_EQ(testing::Listing(dir.path()),
              (std::vector<std::string>{"a.nmea", "b & c.nmea", "merged.kml", "merged.kmz"}))
        << "the icons' directory left behind";
}

}  // namespace
}  // namespace tervo
