#include "run/run_extras.h"

#include <algorithm>

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

bool AsksForColouredTrack(const Extras& extras) { return extras.ColourBy.has_value(); }

void WriteColouredTrackStyles(const RunContext& run) {
    // Wider than the track it follows, so that it shows as a band beside that
    // line wherever a viewer draws the two over each other.
    const std::string width = std::to_string(std::max(1, LeadingInteger(run.Settings.Edit3)) + 4);
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
    {"the valid fixes coloured by quality or speed", AsksForColouredTrack, kNeedsNothing, false, nullptr,
     WriteColouredTrackStyles, WriteColouredTrack, nullptr},
    {"the plots as hidden screen overlays", AsksForPlots, kNeedsPlots, false, nullptr, nullptr,
     WritePlotsFolder, nullptr},
    {"the valid fixes as a track in time", AsksForTimeTrack, kNeedsGaps | kNeedsGxPrefix, false, nullptr,
     WriteTimeTrackHead, WriteTimeTrack, nullptr},
    {"the exports beside the container", AsksForExports, kNeedsGaps, false, nullptr, nullptr, WriteExports,
     nullptr},
    {"the summary for the front end", AsksForSummary, kNeedsSummary, true, nullptr, nullptr, nullptr,
     ReportSummary},
    {"the plots shown after the run", AsksToShowSummary, kNeedsPlots, true, nullptr, nullptr, nullptr,
     ReportPlots},
};

// One plot: its entry, its title and how it is drawn.
struct PlotRow {
    const char* Entry;
    const char* Title;
    std::vector<uint8_t> (*Draw)(const RunContext& run);
};

const PlotRow kPlots[] = {
    {"plots/sky.png", "Sky plot",
     [](const RunContext& run) { return SkyPlotPng(run.Points.Head, run.Format); }},
    {"plots/snr.png", "Signal to noise",
     [](const RunContext& run) { return SnrPlotPng(run.Points.Head, run.Format); }},
    {"plots/speed_altitude.png", "Speed and altitude",
     [](const RunContext& run) { return SpeedAltitudePlotPng(run.Points.Head, run.Format); }},
    {"plots/fix_quality.png", "Fix quality",
     [](const RunContext& run) { return FixQualityPlotPng(run.Points.Head, run.Format); }},
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
        plots.push_back({row.Entry, row.Title, row.Draw(run)});
    }
    return plots;
}

}  // namespace tervo
