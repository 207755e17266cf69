// The track in time, the exports and the fix filter through the one run of
// RunConversion, on a small log worked out by hand: seven epochs a second
// apart but for a gap of 11 s before the sixth; the second with 4 satellites,
// the third with an HDOP of 3.5, the fourth without a fix, the fifth
// differential.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fuzz/in_memory_run.h"
#include "run/conversion.h"
#include "run/memory_files.h"
#include "run/merge.h"
#include "support/test_builders.h"

namespace tervo {
namespace {

using testing::NmeaSentence;

std::string Epoch(const char* time, const char* quality, const char* satellites, const char* hdop,
                  char status) {
    return NmeaSentence(std::string("GPGGA,") + time + ",5545.0455,N,03736.9375,E," + quality + "," +
                        satellites + "," + hdop + ",150.0,M,14.0,M,,") +
           NmeaSentence(std::string("GPRMC,") + time + "," + status +
                        ",5545.0455,N,03736.9375,E,020.0,246.4,170524,,,A");
}

const std::string& Log() {
    static const std::string log =
        Epoch("101500.00", "1", "13", "0.9", 'A') + Epoch("101501.00", "1", "04", "0.9", 'A') +
        Epoch("101502.00", "1", "12", "3.5", 'A') + Epoch("101503.00", "0", "00", "99.9", 'V') +
        Epoch("101504.00", "2", "12", "0.8", 'A') + Epoch("101515.00", "1", "12", "0.9", 'A') +
        Epoch("101516.00", "1", "12", "0.9", 'A');
    return log;
}

fuzzing::InMemoryRun Convert(Extras extras) {
    ConversionSettings settings;
    // Swapped in: g++ 12 takes the assignment for a read of an uninitialised string.
    std::swap(settings.Extras, extras);
    return fuzzing::ConvertInMemory(Log(), settings);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

std::string Beside(const fuzzing::InMemoryRun& run, const std::string& extension) {
    for (const fuzzing::InMemoryEntry& file : run.besides) {
        if (file.name == extension) {
            return std::string(file.bytes.begin(), file.bytes.end());
        }
    }
    return "(none)";
}

TEST(ExportExtras, ExportsAndAFilterThatKeepsAllLeaveTheDocumentAlone) {
    const fuzzing::InMemoryRun plain = Convert({});
    const fuzzing::InMemoryRun run = Convert({.Export = "gpx,csv,geojson", .MaxHdop = 100});
    ASSERT_EQ(run.result, ConversionResult::Completed);
    EXPECT_EQ(run.kml, plain.kml);
    EXPECT_TRUE(plain.kml.starts_with("<kml>\r\n<Document>\r\n"));
    EXPECT_TRUE(
        Convert({.TimeTrack = 1})
            .kml.starts_with("<kml xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\r\n<Document>\r\n"))
        << "a viewer that keeps the first declaration of a prefix finds it on <kml>";
    ASSERT_EQ(run.besides.size(), 3u);
    EXPECT_EQ(run.besides[0].name, ".gpx");
    EXPECT_EQ(run.besides[1].name, ".csv");
    EXPECT_EQ(run.besides[2].name, ".geojson");
    EXPECT_TRUE(plain.besides.empty());
}

// Each output counted by what marks one of its points, with and without a
// filter (epochs 2, 3 and 4 out: 2 by satellites, 3 by HDOP, 4 by both).
TEST(ExportExtras, TheFilterReachesEveryOutputAndTheSummaryCountsIt) {
    struct Row {
        const char* legend;
        Extras extras;
        const char* waypoints;
        size_t whens;  // in the track in time
        size_t tracks;
        size_t trkpts;
        size_t trksegs;
        size_t csvLines;  // with the header
        size_t features;
    } rows[] = {
        {"no filter: the gap after the fifth epoch splits the track",
         {.Summary = 1, .TimeTrack = 1, .Export = "gpx,csv,geojson"},
         "Waypoints 7",
         6,
         2,
         6,
         2,
         8,
         8},
        {"satellites and HDOP: the holes they leave are gaps too",
         {.Summary = 1, .TimeTrack = 1, .Export = "gpx,csv,geojson", .MaxHdop = 2, .MinSatellites = 8},
         "Waypoints 4",
         4,
         3,
         4,
         3,
         5,
         5},
        {"differential at least: one epoch",
         {.Summary = 1, .TimeTrack = 1, .Export = "gpx,csv,geojson", .MinQuality = 2},
         "Waypoints 1",
         1,
         1,
         1,
         1,
         2,
         1},
    };
    for (const Row& row : rows) {
        const fuzzing::InMemoryRun run = Convert(row.extras);
        ASSERT_EQ(run.result, ConversionResult::Completed) << row.legend;
        EXPECT_EQ(run.countText, row.waypoints) << row.legend;
        EXPECT_EQ(Count(run.kml, "<when>") - Count(run.kml, "<TimeStamp>"), row.whens) << row.legend;
        EXPECT_EQ(Count(run.kml, "<gx:Track>"), row.tracks) << row.legend;
        EXPECT_EQ(Count(run.kml, "<gx:MultiTrack>"), row.tracks > 1 ? 1u : 0u) << row.legend;
        EXPECT_EQ(Count(Beside(run, ".gpx"), "<trkpt "), row.trkpts) << row.legend;
        EXPECT_EQ(Count(Beside(run, ".gpx"), "<trkseg>"), row.trksegs) << row.legend;
        EXPECT_EQ(Count(Beside(run, ".csv"), "\r\n"), row.csvLines) << row.legend;
        EXPECT_EQ(Count(Beside(run, ".geojson"), "\"type\":\"Feature\""), row.features) << row.legend;
    }
    const Summary plain = *Convert({.Summary = 1}).report.Summary;
    EXPECT_FALSE(plain.Filtered) << "a summary without a filter tells of none";
    const Summary filtered = *Convert({.Summary = 1, .MaxHdop = 2, .MinSatellites = 8}).report.Summary;
    EXPECT_EQ(filtered.Filtered, (FilteredOut{.Epochs = 3, .Quality = 0, .Hdop = 2, .Satellites = 2}));
    EXPECT_EQ(filtered.Epochs, 4) << "the rest of the summary is of the epochs kept";
    EXPECT_EQ(filtered.Fixes, 4);
    EXPECT_NE(SummaryTable(filtered).find("  3 epochs (quality 0, HDOP 2, satellites 2)\n"),
              std::string::npos)
        << SummaryTable(filtered);
    EXPECT_NE(SummaryJson(filtered).find(
                  "\"filtered_out\": {\n    \"epochs\": 3,\n    \"quality\": 0,\n    \"hdop\": 2,\n    "
                  "\"satellites\": 2\n  },\n  \"epochs\": 4,"),
              std::string::npos)
        << SummaryJson(filtered);
    EXPECT_EQ(SummaryJson(plain).find("filtered_out"), std::string::npos);
}

// A merged log's track in time takes its receiver's prefix and colour.
TEST(ExportExtras, TheTrackInTimeOfAMergedLogTakesItsPrefix) {
    ConversionSettings settings;
    settings.Extras.TimeTrack = 1;
    settings.ShapeStyleTrack = 0x0000FF;
    FixedPlatform platform({2024, 5, 17}, {2024, 5, 17, 10, 20, 30}, "/nonexistent/");
    SentenceAssembler assembler;
    SilentView view;
    MemoryFiles files = MemoryFiles::OfText(Log());
    files.SetPlace({.PartOnly = true, .StyleIdPrefix = "2-", .EntryPrefix = "2/"});
    ASSERT_EQ(RunConversion(settings, view, assembler, platform, files), ConversionResult::Completed);
    const std::string& part = files.kml();
    EXPECT_NE(part.find("<Style id=\"2-time-track\">\r\n<LineStyle>\r\n<color>FF0000FF</color>"),
              std::string::npos);
    EXPECT_NE(part.find("id=\"2-track-point\""), std::string::npos);
    EXPECT_NE(part.find("<styleUrl>#2-time-track</styleUrl>"), std::string::npos);
    EXPECT_NE(part.find("<SchemaData schemaUrl=\"#2-track-point\">"), std::string::npos);
    EXPECT_EQ(part.find("\"time-track\""), std::string::npos) << "an id without its prefix";

    // The merged document declares the prefix on its frame when a part uses it.
    const auto frameOf = [](bool declaresGx) {
        StringSink sink;
        KmlStream kml(sink);
        MergedLog logs[2];
        logs[1].DeclaresGx = declaresGx;
        WriteMergedDocument(kml, logs);
        kml.Close();
        return sink.text.substr(0, sink.text.find('\n'));
    };
    EXPECT_EQ(frameOf(true), "<kml xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\r");
    EXPECT_EQ(frameOf(false), "<kml>\r");
}

TEST(CheckExportList, KeepsEachNameOnceInItsOrder) {
    struct Row {
        const char* text;
        std::optional<std::string> list;
    } rows[] = {
        {"gpx", "gpx"},
        {" CSV,gpx,csv", "gpx,csv"},
        {"geojson,GPX", "gpx,geojson"},
        {"kml", std::nullopt},
        {"gpx,", std::nullopt},
        {"", std::nullopt},
        {"gpx csv", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CheckExportList(row.text), row.list) << row.text;
    }
}

// --min-quality's names are the fix classes' keys, in class order: a name
// The filter takes the second of three epochs out; the Galileo satellites of
// the two kept epochs (E01 and E02, then E04) are still found beside them.
TEST(ExportExtras, TheSatellitesOfTheEpochsKeptOutliveTheFilter) {
    std::string log;
    const char* hdops[] = {"0.9", "5.0", "0.9"};
    const char* galileo[] = {"2,01,40,100,41,02,30,200,39", "1,03,20,300,35", "1,04,50,050,44"};
    for (int i = 0; i < 3; ++i) {
        const std::string time = "10150" + std::to_string(i) + ".00";
        log += NmeaSentence("GPGGA," + time + ",5545.0455,N,03736.9375,E,1,08," + hdops[i] +
                            ",150.0,M,14.0,M,,") +
               NmeaSentence(std::string("GAGSV,1,1,0") + galileo[i]);
    }
    ConversionSettings settings;
    settings.Extras = {.Summary = 1, .MaxHdop = 2};
    const fuzzing::InMemoryRun run = fuzzing::ConvertInMemory(log, settings);
    ASSERT_EQ(run.result, ConversionResult::Completed);
    const std::vector<SystemSignals>& systems = run.report.Summary->Systems;
    ASSERT_EQ(systems.size(), 4u);
    EXPECT_EQ(systems[3].Name, "GALILEO");
    EXPECT_EQ(systems[3].SatellitesSeen, 3);
    EXPECT_EQ(systems[3].MeanInView, 1.5);
    EXPECT_EQ(systems[3].MeanSnrDbHz, (41.0 + 39 + 44) / 3);
}

// taken for another class would filter by the wrong rank.
TEST(CheckExportList, MinQualityNamesTheFixClasses) {
    for (const ExtraKey& key : ExtraKeys()) {
        if (std::string_view(key.Key) != "MinQuality") {
            continue;
        }
        ASSERT_EQ(key.Choices.size(), static_cast<size_t>(kFixClassCount));
        for (int c = 0; c < kFixClassCount; ++c) {
            EXPECT_EQ(key.Choices[c], InfoOf(static_cast<FixClass>(c)).Key);
        }
        return;
    }
    FAIL() << "no MinQuality key";
}

}  // namespace
}  // namespace tervo
