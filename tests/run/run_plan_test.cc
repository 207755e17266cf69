#include "run/run_plan.h"

#include <gtest/gtest.h>

#include "run/conversion.h"

namespace tervo {
namespace {

ConversionSettings SettingsWith(const Extras& extras) {
    ConversionSettings settings;
    settings.Extras = extras;
    return settings;
}

TEST(PlanRun, WritesTheFolderWhileReadingOnlyWhenNothingWaitsForTheWholeLog) {
    struct Row {
        const char* legend;
        Extras extras;
        bool forReport;
        bool folderOnThread;
        bool whileReading;
        bool headAfter;
        bool summary;
        bool plots;
        size_t rows;
    };
    const Row rows[] = {
        {"no extra taken off the thread", {}, true, true, true, false, false, false, 0},
        {"the files' choice overruled", {}, true, false, false, false, false, false, 0},
        {"a summary of dated points", {.Summary = 1}, true, true, false, false, true, false, 1},
        {"a front end's summary planned without a front end",
         {.Summary = 1},
         false,
         true,
         true,
         false,
         false,
         false,
         0},
        {"the head written before its description",
         {.SummaryInKml = 1},
         false,
         true,
         false,
         true,
         true,
         false,
         1},
        {"chosen placemarks written while reading", {.Viewer = 1}, true, true, false, false, false, false, 0},
        {"a coloured track holding the folder back",
         {.ColourBy = kColourBySpeed},
         true,
         true,
         true,
         false,
         false,
         false,
         1},
        {"plots drawn for the document and the window twice",
         {.Plots = 1, .ShowSummary = 1},
         true,
         true,
         false,
         false,
         true,
         true,
         3},
    };
    ConversionSettings settings;
    for (const Row& row : rows) {
        const RunPlan plan = PlanRun(SettingsWith(row.extras), {}, row.forReport, row.folderOnThread);
        EXPECT_EQ(plan.FolderWhileReading, row.whileReading) << row.legend;
        EXPECT_EQ(plan.HeadAfterReading, row.headAfter) << row.legend;
        EXPECT_EQ(plan.NeedsSummary, row.summary) << row.legend;
        EXPECT_EQ(plan.NeedsPlots, row.plots) << row.legend;
        EXPECT_EQ(plan.Rows.size(), row.rows) << row.legend;
    }
}

TEST(PlanRun, MeasuresTheAccuracyOnlyWhenARowShowsItAndAReferenceIsNamed) {
    struct Row {
        const char* legend;
        Extras extras;
        bool forReport;
        bool accuracy;
        bool whileReading;
        size_t rows;
    };
    const Row rows[] = {
        {"a front end's accuracy measured without a front end",
         {.ReferencePoint = "mean"},
         false,
         false,
         true,
         0},
        {"the accuracy measured on dated points", {.ReferencePoint = "mean"}, true, true, false, 1},
        {"plots without a reference measured nothing", {.Plots = 1}, false, false, false, 1},
        {"error colours without a reference drawn", {.ColourBy = kColourByError}, true, false, true, 0},
        {"error colours against a log not measured",
         {.ColourBy = kColourByError, .ReferenceLog = "t.nmea"},
         false,
         true,
         false,
         1},
    };
    ConversionSettings settings;
    for (const Row& row : rows) {
        settings.Extras = row.extras;
        const RunPlan plan = PlanRun(settings, {}, row.forReport, true);
        EXPECT_EQ(plan.NeedsAccuracy, row.accuracy) << row.legend;
        EXPECT_EQ(plan.FolderWhileReading, row.whileReading) << row.legend;
        EXPECT_EQ(plan.Rows.size(), row.rows) << row.legend;
    }
}

TEST(PlanRun, FillsThePresetsPartsAndKeepsThoseAskedFor) {
    ConversionSettings settings;
    settings.Extras.Viewer = 1;
    settings.Extras.MaxPlacemarks = 50;
    const RunPlan plan = PlanRun(settings, {}, false, true);
    EXPECT_EQ(plan.Viewer.MaxPlacemarks, 50u);
    EXPECT_EQ(plan.Viewer.LineTolerance, kViewerLineTolerance);
    EXPECT_TRUE(plan.Viewer.Regions);
}

}  // namespace
}  // namespace tervo
