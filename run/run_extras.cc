#include "run/run_extras.h"

#include <algorithm>
#include <limits>

#include "core/fix_quality.h"
#include "core/numbers.h"
#include "core/paths.h"
#include "export/csv_writer.h"
#include "export/geojson_writer.h"
#include "export/gpx_writer.h"
#include "kml/coloured_track.h"
#include "kml/document.h"
#include "kml/screen_overlay.h"
#include "kml/time_track.h"
#include "report/accuracy_plots.h"
#include "report/error_classes.h"
#include "report/plots.h"
#include "run/conversion.h"
#include "run/run_plan.h"

namespace tervo {

namespace {

bool IsOn(const std::optional<double>& flag) { return flag.value_or(0) != 0; }

// --- The summary as the document's description.

bool AsksForSummaryInKml(const Extras& extras) { return IsOn(extras.SummaryInKml); }

std::string SummaryDescription(const RunContext& run) { return SummaryHtmlTable(*run.LogSummary); }

// --- The valid fixes as a track coloured by fix quality or by speed.

bool AsksForColouredTrack(const Extras& extras) {
    return extras.ColourBy.has_value() && *extras.ColourBy != kColourByError;
}

// Wider than the track it follows, so that it shows as a band beside that
// line wherever a viewer draws the two over each other.
std::string ColouredTrackWidth(const RunContext& run) {
    return std::to_string(std::max(1, LeadingInteger(run.Settings.Edit3)) + 4);
}

void WriteColouredTrackStyles(const RunContext& run) {
    const std::string width = ColouredTrackWidth(run);
    if (*run.Plan.Extras.ColourBy == kColourBySpeed) {
        WriteSpeedStyles(run.Kml, width, run.Plan.Place.StyleIdPrefix);
    } else {
        WriteQualityStyles(run.Kml, width, run.Plan.Place.StyleIdPrefix);
    }
}

// The points of a coloured track: the valid fixes from the document's start, in log order.
std::vector<const waypoints*> ValidFixes(const list* start, LogFormat format) {
    std::vector<const waypoints*> fixes;
    for (const list* node = start; node != nullptr; node = node->Next) {
        if (HasValidFix(node->Point, format)) {
            fixes.push_back(&node->Point);
        }
    }
    return fixes;
}

void WriteColouredTrack(const RunContext& run) {
    const std::vector<const waypoints*> fixes = ValidFixes(run.Points.Start, run.Format);
    const std::string legend = run.EntryName("plots/legend.png");
    const std::string& prefix = run.Plan.Place.StyleIdPrefix;
    if (*run.Plan.Extras.ColourBy == kColourBySpeed) {
        const SpeedClasses classes = MakeSpeedClasses(fixes);
        run.Files.AddEntry(legend, LegendPng("Speed", SpeedLegend(classes)));
        WriteTrackBySpeed(run.Kml, fixes, classes, legend, prefix);
    } else {
        run.Files.AddEntry(legend, LegendPng("Fix quality", QualityLegend(fixes, run.Format)));
        WriteTrackByQuality(run.Kml, fixes, run.Format, legend, prefix);
    }
}

// --- The accuracy against a reference.

bool AsksForAccuracyInKml(const Extras& extras) {
    return IsOn(extras.SummaryInKml) && AsksForAccuracy(extras);
}

std::string AccuracyDescription(const RunContext& run) {
    return HasMatchedAccuracy(run) ? AccuracyHtmlTable(run.Accuracy->Result, run.Accuracy->Reference) : "";
}

bool AsksForErrorTrack(const Extras& extras) {
    return extras.ColourBy == kColourByError && AsksForAccuracy(extras);
}

// The classes' styles need no data: their colours are fixed, their bounds only name them.
std::vector<TrackClass> ErrorTrackClasses(const ErrorClasses& bounds) {
    std::vector<TrackClass> classes;
    for (int i = 0; i <= kUnmatchedErrorClass; ++i) {
        classes.push_back({ErrorClassLabel(bounds, i), ErrorStyleId(i), ErrorClassColour(i)});
    }
    return classes;
}

void WriteErrorTrackStyles(const RunContext& run) {
    WriteClassStyles(run.Kml, ColouredTrackWidth(run), ErrorTrackClasses({}), run.Plan.Place.StyleIdPrefix);
}

// The class of each valid fix from the document's start, by its horizontal
// error; a fix without a reference position is unmatched. The errors are in
// log order, their indices counted from the list's head.
std::vector<int> ErrorClassOfFixes(const RunContext& run, const ErrorClasses& classes) {
    const std::vector<EpochError>& errors = run.Accuracy->Result.Errors;
    auto error = errors.begin();
    std::vector<int> classOf;
    bool started = false;
    size_t index = 0;
    for (const list* node = run.Points.Head; node != nullptr; node = node->Next, ++index) {
        double metres = std::numeric_limits<double>::quiet_NaN();
        if (error != errors.end() && error->Index == index) {
            metres = error->Horizontal;
            ++error;
        }
        started = started || node == run.Points.Start;
        if (started && HasValidFix(node->Point, run.Format)) {
            classOf.push_back(ErrorClassOf(classes, metres));
        }
    }
    return classOf;
}

void WriteErrorTrack(const RunContext& run) {
    if (!HasMatchedAccuracy(run)) {
        return;
    }
    std::vector<double> horizontal;
    for (const EpochError& error : run.Accuracy->Result.Errors) {
        horizontal.push_back(error.Horizontal);
    }
    const ErrorClasses bounds = MakeErrorClasses(horizontal);
    const std::vector<int> classOf = ErrorClassOfFixes(run, bounds);
    const bool unmatched = std::count(classOf.begin(), classOf.end(), kUnmatchedErrorClass) > 0;
    const std::string legend = run.EntryName("plots/legend.png");
    run.Files.AddEntry(legend, LegendPng("Horizontal error", ErrorLegend(bounds, unmatched)));
    WriteTrackByClass(run.Kml, "Track by error", ValidFixes(run.Points.Start, run.Format), classOf,
                      ErrorTrackClasses(bounds), legend, run.Plan.Place.StyleIdPrefix);
}

void ReportAccuracy(const RunContext& run, RunReport& report) {
    if (run.Accuracy != nullptr) {
        report.Accuracy = *run.Accuracy;
        if (!HasMatchedAccuracy(run)) {
            report.Reference = ReferenceTrouble::NothingMatched;
        }
    }
}

// --- The plots as screen overlays in a folder "Plots", hidden until ticked.

bool AsksForPlots(const Extras& extras) { return IsOn(extras.Plots); }

void WritePlotsFolder(const RunContext& run) {
    constexpr ScreenCorner kCorners[] = {ScreenCorner::TopLeft, ScreenCorner::TopRight,
                                         ScreenCorner::BottomLeft, ScreenCorner::BottomRight};
    constexpr double kPlotWidth = 0.3;
    for (const NamedPlot& plot : run.Plots) {
        run.Files.AddEntry(run.EntryName(plot.Entry), plot.Png);
    }
    run.Kml.Text("<Folder>\n<name>Plots</name>\n<visibility>0</visibility>\n"_kml);
    for (size_t i = 0; i < run.Plots.size(); ++i) {
        WriteScreenOverlay(run.Kml, run.Plots[i].Title, run.EntryName(run.Plots[i].Entry),
                           {kCorners[i % 4], kPlotWidth, false});
    }
    run.Kml.Text("</Folder>\n"_kml);
}

// --- The valid fixes as a track in time, for the viewer's time slider.

bool AsksForTimeTrack(const Extras& extras) { return IsOn(extras.TimeTrack); }

TimeTrackOptions TimeTrackOptionsOf(const RunContext& run) {
    TimeTrackOptions options;
    options.IdPrefix = run.Plan.Place.StyleIdPrefix;
    options.ColourText = KmlColor(run.Settings.ShapeStyleTrack);
    options.WidthText = run.Settings.Edit3;
    options.GapAboveMs = run.GapAboveMs;
    return options;
}

void WriteTimeTrackHead(const RunContext& run) {
    WriteTimeTrackStyle(run.Kml, TimeTrackOptionsOf(run));
    WriteTrackPointSchema(run.Kml, run.Plan.Place.StyleIdPrefix);
}

// The epochs of the exports and the track in time: from the document's start,
// those with a position sentence (NMEA: a GGA or RMC; BINR: a fix status).
std::vector<const waypoints*> PositionEpochs(const list* start, LogFormat format) {
    std::vector<const waypoints*> epochs;
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        if (format == LogFormat::Nmea ? point.HasGga == 1 || point.HasRmc == 1
                                      : point.Status == 'A' || point.Status == 'V') {
            epochs.push_back(&point);
        }
    }
    return epochs;
}

void WriteTimeTrack(const RunContext& run) {
    WriteTimeTrackFolder(run.Kml, PositionEpochs(run.Points.Start, run.Format), run.Format,
                         TimeTrackOptionsOf(run));
}

// --- The exports beside the container: GPX, CSV, GeoJSON.

bool AsksForExports(const Extras& extras) { return extras.Export.has_value(); }

// Each export asked for; one that cannot be written is reported and the rest go on.
void WriteExports(const RunContext& run) {
    const std::vector<const waypoints*> epochs = PositionEpochs(run.Points.Start, run.Format);
    const std::string name = FileNamePart(run.Settings.InputPath);
    for (const ExportFormat format : ExportsOf(run.Plan.Extras)) {
        run.Files.WriteBeside(ExportExtension(format), [&](ByteSink& sink) {
            switch (format) {
                case ExportFormat::Gpx:
                    return WriteGpx(sink, epochs, run.Format, {name, run.GapAboveMs});
                case ExportFormat::Csv:
                    return WriteCsv(sink, epochs, run.Format);
                case ExportFormat::GeoJson:
                    return WriteGeoJson(sink, epochs, run.Format, name);
            }
            return false;
        });
    }
}

// --- What a front end is told after the run.

void ReportSummary(const RunContext& run, RunReport& report) { report.Summary = *run.LogSummary; }

bool AsksToShowSummary(const Extras& extras) { return IsOn(extras.ShowSummary); }

void ReportPlots(const RunContext& run, RunReport& report) { report.Plots = run.Plots; }

const RunExtra kRows[] = {
    {"the summary as the document's description", AsksForSummaryInKml, kNeedsSummary, false,
     SummaryDescription, nullptr, nullptr, nullptr},
    {"the accuracy in the document's description", AsksForAccuracyInKml, kNeedsAccuracy, false,
     AccuracyDescription, nullptr, nullptr, nullptr},
    {"the valid fixes coloured by quality or speed", AsksForColouredTrack, kNeedsNothing, false, nullptr,
     WriteColouredTrackStyles, WriteColouredTrack, nullptr},
    {"the valid fixes coloured by their error", AsksForErrorTrack, kNeedsAccuracy, false, nullptr,
     WriteErrorTrackStyles, WriteErrorTrack, nullptr},
    {"the plots as hidden screen overlays", AsksForPlots, kNeedsPlots | kNeedsAccuracy, false, nullptr,
     nullptr, WritePlotsFolder, nullptr},
    {"the valid fixes as a track in time", AsksForTimeTrack, kNeedsGaps | kNeedsGxPrefix, false, nullptr,
     WriteTimeTrackHead, WriteTimeTrack, nullptr},
    {"the exports beside the container", AsksForExports, kNeedsGaps, false, nullptr, nullptr, WriteExports,
     nullptr},
    {"the summary for the front end", AsksForSummary, kNeedsSummary, true, nullptr, nullptr, nullptr,
     ReportSummary},
    {"the plots shown after the run", AsksToShowSummary, kNeedsPlots | kNeedsAccuracy, true, nullptr, nullptr,
     nullptr, ReportPlots},
    {"the accuracy for the front end", AsksForAccuracy, kNeedsAccuracy, true, nullptr, nullptr, nullptr,
     ReportAccuracy},
};

// One plot: its entry, its title, how it is drawn, and when it applies (always
// when not said).
struct PlotRow {
    const char* Entry;
    const char* Title;
    std::vector<uint8_t> (*Draw)(const RunContext& run);
    bool (*Applies)(const RunContext& run) = nullptr;
};

const PlotRow kPlots[] = {
    {"plots/sky.png", "Sky plot",
     [](const RunContext& run) { return SkyPlotPng(run.Points.Head, run.Format, {}, run.Observations); }},
    {"plots/snr.png", "Signal to noise",
     [](const RunContext& run) { return SnrPlotPng(run.Points.Head, run.Format, {}, run.Observations); }},
    {"plots/speed_altitude.png", "Speed and altitude",
     [](const RunContext& run) { return SpeedAltitudePlotPng(run.Points.Head, run.Format); }},
    {"plots/fix_quality.png", "Fix quality",
     [](const RunContext& run) { return FixQualityPlotPng(run.Points.Head, run.Format); }},
    {"plots/error_time.png", "Horizontal error over time",
     [](const RunContext& run) { return ErrorOverTimePlotPng(run.Accuracy->Result); }, HasMatchedAccuracy},
    {"plots/error_scatter.png", "Horizontal error around the reference",
     [](const RunContext& run) { return ErrorScatterPlotPng(run.Accuracy->Result); }, HasMatchedAccuracy},
};

}  // namespace

std::string RunContext::StyleId(std::string_view id) const {
    return Plan.Place.StyleIdPrefix + std::string(id);
}

std::string RunContext::EntryName(std::string_view name) const {
    return Plan.Place.EntryPrefix + std::string(name);
}

std::span<const RunExtra> RunExtras() { return kRows; }

std::vector<NamedPlot> DrawPlots(const RunContext& run) {
    std::vector<NamedPlot> plots;
    for (const PlotRow& row : kPlots) {
        if (row.Applies == nullptr || row.Applies(run)) {
            plots.push_back({row.Entry, row.Title, row.Draw(run)});
        }
    }
    return plots;
}

bool HasMatchedAccuracy(const RunContext& run) {
    return run.Accuracy != nullptr && run.Accuracy->Result.All.MatchedEpochs > 0;
}

}  // namespace tervo
