// The accuracy extras through the one run of RunConversion: a simulated
// receiver log against its truth, a point or the mean of its fixes. Legend:
// - PartsAsAsked: each extra adds its part and entries and nothing else (a
//   part written without being asked for, the document of a front end's
//   accuracy changed, an error track drawn without a reference);
// - NothingMatched: a reference of other times leaves the document without
//   any accuracy part and says so in the report (a track of unmatched fixes
//   drawn, an accuracy table of dashes in the description);
// - ReferenceNotOpened: the run ends before anything is written, naming the
//   reference (the log's "Can't open the input file" told instead);
// - FormatOfTheReference: a BINR reference found as such for a run of either
//   format (the log's format taken for the reference's).
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

// 300 epochs (240 fixes) of a receiver 2 m off its truth per axis, and the truth.
class AccuracyExtras : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* tools = std::getenv("TERVO_TOOLS_DIR");
        ASSERT_NE(tools, nullptr) << "run through ctest: TERVO_TOOLS_DIR names the simulators";
        dir_ = new testing::TempDir;
        truth_ = new std::string(dir_->File("truth.nmea"));
        const std::string command = std::string(tools) + "/simulate_log --epochs 300 --seed 9 --fine " +
                                    "--error-sigma 2 --truth " + *truth_ + " --out " + dir_->File("log.nmea");
        ASSERT_EQ(std::system(command.c_str()), 0);
        log_ = new std::string(testing::ReadFile(dir_->File("log.nmea")));
        plain_ = new std::string(fuzzing::ConvertInMemory(*log_, ConversionSettings{}).kml);
    }
    static void TearDownTestSuite() {
        delete log_;
        delete plain_;
        delete truth_;
        delete dir_;
    }

    static fuzzing::InMemoryRun Convert(const Extras& extras) {
        ConversionSettings settings;
        settings.Extras = extras;
        return fuzzing::ConvertInMemory(*log_, settings);
    }

    static testing::TempDir* dir_;
    static std::string* truth_;
    static std::string* log_;
    static std::string* plain_;
};

testing::TempDir* AccuracyExtras::dir_ = nullptr;
std::string* AccuracyExtras::truth_ = nullptr;
std::string* AccuracyExtras::log_ = nullptr;
std::string* AccuracyExtras::plain_ = nullptr;

TEST_F(AccuracyExtras, PartsAsAsked) {
    const std::string track = "<name>Track by error</name>";
    struct Row {
        const char* legend;
        Extras extras;
        std::vector<std::string> entries;
        std::vector<std::string> inKml;  // each once, in this order; none when the document is the plain one
    } rows[] = {
        {"the front end's accuracy alone", Extras{.ReferencePoint = "mean"}, {}, {}},
        {"error colours without a reference", Extras{.ColourBy = kColourByError}, {}, {}},
        {"the summary and the accuracy in the description",
         Extras{.SummaryInKml = 1, .ReferenceLog = *truth_},
         {},
         {"<description><![CDATA[\r\n<table>\r\n<tr><th align=left>Format",
          "<table>\r\n<tr><th colspan=3 align=left>Accuracy against the reference log truth.nmea</th></tr>",
          "]]></description>\r\n<Style id=\"NormalTrack\">"}},
        {"the plots with the accuracy's two",
         Extras{.Plots = 1, .ReferencePoint = "55.76,37.62,150"},
         {"plots/sky.png", "plots/snr.png", "plots/speed_altitude.png", "plots/fix_quality.png",
          "plots/error_time.png", "plots/error_scatter.png"},
         {"<href>plots/fix_quality.png</href>", "<name>Horizontal error over time</name>",
          "<href>plots/error_time.png</href>", "<href>plots/error_scatter.png</href>"}},
        {"the track by error",
         Extras{.ColourBy = kColourByError, .ReferenceLog = *truth_},
         {"plots/legend.png"},
         {"<Style id=\"error-0\">", "<Style id=\"error-7\">", "<Style id=\"error-none\">",
          "<name>WayPoints</name>", track, "<href>plots/legend.png</href>"}},
    };
    for (const Row& row : rows) {
        const fuzzing::InMemoryRun run = Convert(row.extras);
        ASSERT_EQ(run.result, ConversionResult::Completed) << row.legend;
        EXPECT_EQ(EntryNames(run), row.entries) << row.legend;
        if (row.inKml.empty()) {
            EXPECT_EQ(run.kml, *plain_) << row.legend;
        }
        size_t at = 0;
        for (const std::string& part : row.inKml) {
            EXPECT_EQ(Count(run.kml, part), 1u) << row.legend << ": " << part;
            const size_t found = run.kml.find(part, at);
            EXPECT_NE(found, std::string::npos) << row.legend << ": out of order: " << part;
            at = found == std::string::npos ? at : found;
        }
        EXPECT_EQ(run.report.Reference, ReferenceTrouble::None) << row.legend;
    }
    // The report's accuracy: every fix matched against the truth and the mean.
    const fuzzing::InMemoryRun log = Convert(Extras{.ReferenceLog = *truth_});
    ASSERT_TRUE(log.report.Accuracy);
    EXPECT_EQ(log.report.Accuracy->Reference, "the reference log truth.nmea");
    EXPECT_EQ(log.report.Accuracy->Result.All.MatchedEpochs, 240);
    EXPECT_EQ(log.report.Accuracy->Result.All.UnmatchedEpochs, 0);
    const fuzzing::InMemoryRun mean = Convert(Extras{.ReferencePoint = "mean"});
    EXPECT_EQ(mean.report.Accuracy->Reference, "the mean of the fixes");
    EXPECT_EQ(mean.report.Accuracy->Result.All.MatchedEpochs, 240);

    // Every valid fix is in the track by error, once in each run it ends or starts.
    const fuzzing::InMemoryRun coloured =
        Convert(Extras{.ColourBy = kColourByError, .ReferenceLog = *truth_});
    const std::string folder = coloured.kml.substr(coloured.kml.find(track));
    const size_t runs = Count(folder, "<LineString>");
    EXPECT_EQ(Count(folder, "\t37."), 240 + runs - 1);
}

// A reference of other times: GGA fixes at three in the morning.
std::string EarlyReference() {
    std::string text;
    for (int s = 0; s < 5; ++s) {
        text += testing::NmeaSentence("GPGGA,03000" + std::to_string(s) +
                                      ".00,5545.0000,N,03737.0000,E,4,12,0.6,150.0,M,14.2,M,,");
    }
    return text;
}

TEST_F(AccuracyExtras, NothingMatchedLeavesTheAccuracyOut) {
    const std::string early = dir_->File("early.nmea");
    testing::WriteFile(early, EarlyReference());
    const Extras asked{.SummaryInKml = 1, .Plots = 1, .ColourBy = kColourByError, .ReferenceLog = early};
    Extras without = asked;
    without.ColourBy.reset();
    without.ReferenceLog.reset();
    const fuzzing::InMemoryRun run = Convert(asked);
    ASSERT_EQ(run.result, ConversionResult::Completed);
    EXPECT_EQ(run.report.Reference, ReferenceTrouble::NothingMatched);
    ASSERT_TRUE(run.report.Accuracy);
    EXPECT_EQ(run.report.Accuracy->Result.All.UnmatchedEpochs, 240);
    // The document is the one without the accuracy extras, but for the error styles of the head.
    std::string kml = run.kml;
    const size_t first = kml.find("<Style id=\"error-0\">");
    const size_t last = kml.find("</Style>\r\n", kml.find("<Style id=\"error-none\">"));
    ASSERT_NE(first, std::string::npos);
    kml.erase(first, last + 10 - first);
    EXPECT_EQ(kml, Convert(without).kml);
    EXPECT_EQ(EntryNames(run).size(), 4u) << "the log's own plots only";
}

TEST_F(AccuracyExtras, ReferenceNotOpened) {
    const fuzzing::InMemoryRun run = Convert(Extras{.ReferenceLog = "/nonexistent/truth.nmea"});
    EXPECT_EQ(run.result, ConversionResult::InputNotOpened);
    EXPECT_EQ(run.report.Reference, ReferenceTrouble::NotOpened);
    EXPECT_EQ(run.report.Failure.path, "/nonexistent/truth.nmea");
    EXPECT_EQ(run.report.Failure.error, ENOENT);
    EXPECT_FALSE(run.report.Accuracy);
}

TEST_F(AccuracyExtras, FormatOfTheReference) {
    const char* tools = std::getenv("TERVO_TOOLS_DIR");
    const std::string binr = dir_->File("log.binr");
    ASSERT_EQ(
        std::system((std::string(tools) + "/simulate_binr --epochs 120 --seed 4 --out " + binr).c_str()), 0);
    // The BINR log against itself: every fix exactly on its reference.
    ConversionSettings settings;
    settings.Format = LogFormat::Binr;
    settings.Extras.ReferenceLog = binr;
    const std::string bytes = testing::ReadFile(binr);
    const fuzzing::InMemoryRun run = fuzzing::ConvertInMemory(bytes, settings);
    ASSERT_EQ(run.result, ConversionResult::Completed);
    ASSERT_TRUE(run.report.Accuracy);
    EXPECT_GT(run.report.Accuracy->Result.All.MatchedEpochs, 50);
    EXPECT_EQ(*run.report.Accuracy->Result.All.MaxHorizontalM, 0);
    // An NMEA run finds the BINR reference as such: read as NMEA it would hold no fix.
    const fuzzing::InMemoryRun nmea = Convert(Extras{.ReferenceLog = binr});
    EXPECT_EQ(nmea.report.Reference, ReferenceTrouble::NothingMatched);
    EXPECT_EQ(nmea.report.Accuracy->Result.All.UnmatchedEpochs, 240) << "the BINR log of other times";
}

}  // namespace
}  // namespace tervo
