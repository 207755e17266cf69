// The extras that report on the log: the summary, the plots, a coloured track
// and dates from ZDA sentences, each through the one run of RunConversion.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/in_memory_run.h"
#include "run/conversion.h"
#include "support/test_builders.h"
#include "support/test_files.h"

namespace tervo {
namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

std::vector<std::string> EntryNames(const fuzzing::InMemoryRun& run) {
    std::vector<std::string> names;
    for (const fuzzing::InMemoryEntry& entry : run.entries) {
        names.push_back(entry.name);
    }
    return names;
}

class ReportExtras : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* tools = std::getenv("TERVO_TOOLS_DIR");
        ASSERT_NE(tools, nullptr) << "run through ctest: TERVO_TOOLS_DIR names the simulators";
        testing::TempDir dir;
        const std::string path = dir.File("log.nmea");
        const std::string command = std::string(tools) + "/simulate_log --epochs 600 --seed 9 --out " + path;
        ASSERT_EQ(std::system(command.c_str()), 0);
        log_ = new std::string(testing::ReadFile(path));
        plain_ = new std::string(fuzzing::ConvertInMemory(*log_, ConversionSettings{}).kml);
    }
    static void TearDownTestSuite() {
        delete log_;
        delete plain_;
    }

    static fuzzing::InMemoryRun Convert(const Extras& extras) {
        ConversionSettings settings;
        settings.Extras = extras;
        return fuzzing::ConvertInMemory(*log_, settings);
    }

    static std::string* log_;
    static std::string* plain_;
};

std::string* ReportExtras::log_ = nullptr;
std::string* ReportExtras::plain_ = nullptr;

// What only a front end shows leaves the document as it is without extras.
TEST_F(ReportExtras, FrontEndSummariesLeaveTheDocumentAlone) {
    struct Row {
        const char* legend;
        Extras extras;
        bool summary;
        size_t plots;
    } rows[] = {
        {"no extra", Extras{}, false, 0},
        {"the table", Extras{.Summary = 1}, true, 0},
        {"the JSON", Extras{.SummaryJson = 1}, true, 0},
        {"a flag set to 0", Extras{.Summary = 0}, false, 0},
        {"the window's summary", Extras{.ShowSummary = 1}, true, 4},
    };
    for (const Row& row : rows) {
        const fuzzing::InMemoryRun run = Convert(row.extras);
        ASSERT_EQ(run.result, ConversionResult::Completed) << row.legend;
        EXPECT_EQ(run.kml, *plain_) << row.legend;
        EXPECT_TRUE(run.entries.empty()) << row.legend;
        EXPECT_EQ(run.report.Summary.has_value(), row.summary) << row.legend;
        EXPECT_EQ(run.report.Plots.size(), row.plots) << row.legend;
    }
    // The summary is of the whole log as read.
    const fuzzing::InMemoryRun run = Convert(Extras{.Summary = 1});
    EXPECT_EQ(run.report.Summary->Epochs, 600);
    EXPECT_GT(run.report.Summary->DistanceM, 0);
}

// A receiver of four constellations on two bands: the read keeps what the
// summary needs beyond the record, and only when a summary or plots are asked for.
TEST_F(ReportExtras, EveryConstellationAndBandReachTheSummary) {
    testing::TempDir dir;
    const std::string path = dir.File("multi.nmea");
    const std::string command = std::string(std::getenv("TERVO_TOOLS_DIR")) +
                                "/simulate_log --epochs 30 --nmea 4.11 --dual-band --seed 2 --out " + path;
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string log = testing::ReadFile(path);
    ConversionSettings settings;
    settings.Extras = Extras{.Summary = 1, .SummaryInKml = 1};
    const fuzzing::InMemoryRun run = fuzzing::ConvertInMemory(log, settings);
    ASSERT_EQ(run.result, ConversionResult::Completed);
    std::vector<std::string> systems;
    for (const SystemSignals& system : run.report.Summary->Systems) {
        systems.push_back(system.Name + " " + std::to_string(system.Signals.size()));
    }
    EXPECT_EQ(systems,
              (std::vector<std::string>{"GPS 2", "SBAS 1", "GLONASS 1", "GALILEO 2", "BEIDOU 2", "QZSS 2"}));
    EXPECT_NE(run.kml.find("<th align=left>Galileo</th>"), std::string::npos);
    EXPECT_NE(run.kml.find("<th align=left>B2a</th>"), std::string::npos);
}

TEST_F(ReportExtras, DocumentExtrasAddTheirPartsAndEntries) {
    const std::string png = "\x89PNG\r\n\x1a\n";
    struct Row {
        const char* legend;
        Extras extras;
        std::vector<std::string> entries;
        std::vector<std::string> inKml;  // each once, in this order
    } rows[] = {
        {"the summary in the description",
         Extras{.SummaryInKml = 1},
         {},
         {"<kml>\r\n<Document>\r\n<description><![CDATA[\r\n<table>\r\n",
          "]]></description>\r\n<Style id=\"NormalTrack\">", "<name>WayPoints</name>"}},
        {"the plots",
         Extras{.Plots = 1},
         {"plots/sky.png", "plots/snr.png", "plots/speed_altitude.png", "plots/fix_quality.png"},
         {"<name>D-Track</name>", "<Folder>\r\n<name>Plots</name>\r\n<visibility>0</visibility>\r\n",
          "<href>plots/sky.png</href>", "<href>plots/fix_quality.png</href>", "</Folder>\r\n</Document>"}},
        {"a track by fix quality",
         Extras{.ColourBy = kColourByQuality},
         {"plots/legend.png"},
         {"<Style id=\"quality-single\">", "<name>WayPoints</name>", "<name>D-Track</name>",
          "<name>Track by fix quality</name>", "<name>Legend</name>", "<href>plots/legend.png</href>",
          "</Folder>\r\n</Document>"}},
        {"a track by speed",
         Extras{.ColourBy = kColourBySpeed},
         {"plots/legend.png"},
         {"<Style id=\"speed-7\">", "<name>WayPoints</name>", "<name>D-Track</name>",
          "<name>Track by speed</name>", "<href>plots/legend.png</href>", "</Folder>\r\n</Document>"}},
        {"a coloured track, then the plots",
         Extras{.Plots = 1, .ColourBy = kColourBySpeed},
         {"plots/legend.png", "plots/sky.png", "plots/snr.png", "plots/speed_altitude.png",
          "plots/fix_quality.png"},
         {"<name>Track by speed</name>", "<name>Plots</name>"}},
    };
    for (const Row& row : rows) {
        const fuzzing::InMemoryRun run = Convert(row.extras);
        ASSERT_EQ(run.result, ConversionResult::Completed) << row.legend;
        EXPECT_EQ(EntryNames(run), row.entries) << row.legend;
        for (const fuzzing::InMemoryEntry& entry : run.entries) {
            EXPECT_EQ(std::string(entry.bytes.begin(), entry.bytes.begin() + 8), png) << entry.name;
        }
        size_t at = 0;
        for (const std::string& part : row.inKml) {
            EXPECT_EQ(Count(run.kml, part), 1u) << row.legend << ": " << part;
            const size_t found = run.kml.find(part, at);
            EXPECT_NE(found, std::string::npos) << row.legend << ": out of order: " << part;
            at = found == std::string::npos ? at : found;
        }
        // The placemarks are those of the plain document.
        EXPECT_EQ(Count(run.kml, "<Placemark>\r\n<name>"), Count(*plain_, "<Placemark>\r\n<name>") +
                                                               Count(run.kml, "<styleUrl>#quality-") +
                                                               Count(run.kml, "<styleUrl>#speed-"))
            << row.legend;
    }
}

// GGA-only epochs between ZDA sentences: no date of their own.
std::string GgaZdaLog() {
    using testing::NmeaSentence;
    return NmeaSentence("GPZDA,235958.00,31,12,2023,00,00") +
           NmeaSentence("GPGGA,235958.00,5530.0000,N,03730.0000,E,1,08,1.0,150.0,M,14.0,M,,") +
           NmeaSentence("GPGGA,235959.00,5530.0010,N,03730.0010,E,1,08,1.0,150.0,M,14.0,M,,") +
           NmeaSentence("GPGGA,000000.00,5530.0020,N,03730.0020,E,1,08,1.0,150.0,M,14.0,M,,") +
           NmeaSentence("GPZDA,000000.00,01,01,2024,00,00");
}

TEST_F(ReportExtras, DatesFromZdaReachThePlacemarksAndTheLogDate) {
    struct Row {
        const char* legend;
        bool fallback;  // CheckBox1
        bool zda;
        ConversionResult result;
        std::vector<std::string> times;  // the placemarks' times, in order
    } rows[] = {
        {"no date at all", false, false, ConversionResult::Stopped, {}},
        {"the fallback date",
         true,
         false,
         ConversionResult::Completed,
         {"2000-01-01T23:59:58", "2000-01-01T23:59:59", "2000-01-01T00:00:00"}},
        {"ZDA dates over the fallback",
         true,
         true,
         ConversionResult::Completed,
         {"2023-12-31T23:59:58", "2023-12-31T23:59:59", "2024-01-01T00:00:00"}},
        {"ZDA dates without a fallback",
         false,
         true,
         ConversionResult::Completed,
         {"2023-12-31T23:59:58", "2023-12-31T23:59:59", "2024-01-01T00:00:00"}},
    };
    for (const Row& row : rows) {
        ConversionSettings settings;
        settings.CheckBox1 = row.fallback;
        if (row.zda) {
            settings.Extras.DatesFromZda = 1;
        }
        const fuzzing::InMemoryRun run = fuzzing::ConvertInMemory(GgaZdaLog(), settings);
        ASSERT_EQ(run.result, row.result) << row.legend;
        size_t at = 0;
        for (const std::string& time : row.times) {
            at = run.kml.find("<td>" + time, at);
            EXPECT_NE(at, std::string::npos) << row.legend << ": " << time << "\n" << run.kml;
        }
    }
}

}  // namespace
}  // namespace tervo
