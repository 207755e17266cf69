#include "run/conversion.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "binr/binr_reader.h"
#include "core/fix_quality.h"
#include "core/numbers.h"
#include "kml/coloured_track.h"
#include "kml/document.h"
#include "kml/kml_stream.h"
#include "kml/screen_overlay.h"
#include "kml/track_writer.h"
#include "kml/viewer_writer.h"
#include "kml/waypoint_writer.h"
#include "nmea/nmea_reader.h"
#include "report/plots.h"
#include "report/summary.h"
#include "run/folder_writer.h"

namespace tervo {

namespace {

// The read loops report every block; the folder writer is handed the new
// nodes every so many of them, at the same rate for both formats.
constexpr int kBlocksPerPublish = 64;

// Calls `action` when the scope is left, however it is left.
template <typename Action>
class ScopeExit {
public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Action action_;
};

// A failure reported before the document exists.
ConversionResult Fail(ConversionView& view, const char* text, ConversionResult result) {
    view.ShowStatus("");
    view.ShowStatus(text);
    view.ProcessPendingEvents();
    return result;
}

// Both read loops' own finds within the first bytes of the log.
struct FormatFinds {
    bool nmea = false;
    bool binr = false;
    bool looked = false;  // false for an input that cannot be read twice (a pipe)
};

constexpr size_t kFormatSample = 64 * 1024;

// Reads the start of `input` and rewinds it.
FormatFinds LookAtFormat(std::FILE* input) {
    FormatFinds finds;
    if (std::fseek(input, 0, SEEK_SET) != 0) {
        return finds;
    }
    std::vector<uint8_t> sample(kFormatSample);
    sample.resize(std::fread(sample.data(), 1, sample.size(), input));
    if (std::fseek(input, 0, SEEK_SET) != 0) {
        // Nothing may be lost: the read loop must see the log from its start.
        std::clearerr(input);
        return finds;
    }
    std::clearerr(input);
    finds.looked = true;
    finds.nmea = ContainsNmeaSentence(sample.data(), sample.size());
    finds.binr = ContainsBinrMessage(sample.data(), sample.size());
    return finds;
}

bool IsOn(const std::optional<double>& flag) { return flag.value_or(0) != 0; }

ViewerOptions ViewerOptionsOf(const Extras& extras) {
    ViewerOptions viewer;
    viewer.Thinning.Seconds = extras.ThinSeconds.value_or(0);
    viewer.Thinning.Metres = extras.ThinMetres.value_or(0);
    viewer.Thinning.Degrees = extras.ThinDegrees.value_or(0);
    viewer.MaxPlacemarks = static_cast<size_t>(extras.MaxPlacemarks.value_or(0));
    viewer.LineTolerance = extras.LineTolerance;
    viewer.Regions = extras.Regions.value_or(0) != 0;
    return viewer;
}

// The chosen format (0 NMEA, 1 BINR) finds nothing of its own at the start of
// the log while the other one does: the result that stops the run, after its
// status text. `finds` receives what both found.
std::optional<ConversionResult> CheckFormat(std::FILE* input, int32_t format, ConversionView& view,
                                            FormatFinds& finds) {
    if (format != 0 && format != 1) {
        return std::nullopt;
    }
    finds = LookAtFormat(input);
    if (format == 0 && !finds.nmea && finds.binr) {
        return Fail(view, "The input looks like a BINR log", ConversionResult::LooksLikeBinr);
    }
    if (format == 1 && !finds.binr && finds.nmea) {
        return Fail(view, "The input looks like an NMEA log", ConversionResult::LooksLikeNmea);
    }
    return std::nullopt;
}

WaypointOptions OptionsOf(const ConversionSettings& settings, const Extras& extras) {
    WaypointOptions options;
    options.Scale = settings.Edit4;
    options.Extrude = settings.CheckBox3;
    options.UseFallbackDate = settings.CheckBox1;
    options.FallbackDate = settings.MaskEdit1;
    options.KeepGgaDates = IsOn(extras.DatesFromZda);
    return options;
}

// The plots a run draws, in the order of their overlays and entries.
std::vector<NamedPlot> DrawPlots(const list* head, LogFormat format) {
    std::vector<NamedPlot> plots;
    plots.push_back({"plots/sky.png", "Sky plot", SkyPlotPng(head, format)});
    plots.push_back({"plots/snr.png", "Signal to noise", SnrPlotPng(head, format)});
    plots.push_back({"plots/speed_altitude.png", "Speed and altitude", SpeedAltitudePlotPng(head, format)});
    plots.push_back({"plots/fix_quality.png", "Fix quality", FixQualityPlotPng(head, format)});
    return plots;
}

// The folder "Plots", hidden until the user ticks it: one overlay per plot, one per corner.
void WritePlotsFolder(KmlStream& kml, const std::vector<NamedPlot>& plots) {
    constexpr ScreenCorner kCorners[] = {ScreenCorner::TopLeft, ScreenCorner::TopRight,
                                         ScreenCorner::BottomLeft, ScreenCorner::BottomRight};
    constexpr double kPlotWidth = 0.3;
    kml.Text("<Folder>\n<name>Plots</name>\n<visibility>0</visibility>\n"_kml);
    for (size_t i = 0; i < plots.size(); ++i) {
        WriteScreenOverlay(kml, plots[i].Title, plots[i].Entry, {kCorners[i % 4], kPlotWidth, false});
    }
    kml.Text("</Folder>\n"_kml);
}

constexpr const char* kLegendEntry = "plots/legend.png";

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

}  // namespace

ConversionResult RunConversion(const ConversionSettings& settings, ConversionView& view,
                               SentenceAssembler& assembler, Platform& platform, AllocationGate* gate,
                               RunReport* report) {
    DiskFiles files(settings, platform);
    return RunConversion(settings, view, assembler, platform, files, gate, report);
}

ConversionResult RunConversion(const ConversionSettings& settings, ConversionView& view,
                               SentenceAssembler& assembler, Platform& platform, RunFiles& files,
                               AllocationGate* gate, RunReport* report) {
    // --- Opening: the log, then the document.
    int64_t inputSize = 0;
    InputFile input = files.OpenLog(&inputSize);
    if (!input) {
        return Fail(view, "Can't open the input file", ConversionResult::InputNotOpened);
    }
    const bool nmea = settings.Format == 0;
    FormatFinds finds;
    if (const std::optional<ConversionResult> other =
            CheckFormat(input.get(), settings.Format, view, finds)) {
        return *other;
    }
    ByteSink* sink = files.CreateDocument();
    if (sink == nullptr) {
        return Fail(view, "Can't create the output file", ConversionResult::OutputNotCreated);
    }

    KmlStream kml(*sink);
    PointList points(gate);
    NmeaLogDate logDate;
    std::optional<FolderWriter> folder;
    bool runDisabled = false;
    // The one teardown, for every way out, a thrown error included: the folder
    // thread stopped (a folder not finished is taken back out), the document
    // closed, the list freed and, once the Run button was disabled, the
    // controls unlocked.
    // It runs while an error may be leaving the run, so nothing may leave it.
    ScopeExit teardown([&]() noexcept {
        auto quietly = [](auto step) {
            try {
                step();
            } catch (...) {
            }
        };
        quietly([&] { folder.reset(); });
        quietly([&] { kml.Close(); });
        points.FreePointList(points.Head);
        if (runDisabled) {
            quietly([&] { view.UnlockControls(); });
        }
    });

    // --- The document's head: styles and icons.
    view.SetOutputPath(files.ContainerPath());
    view.ResetProgress();
    view.ShowStatus(" ");
    std::string countText = " ";  // the right pane's text, repeated by the final message
    view.ShowCount(countText);
    view.DisableRun();
    runDisabled = true;

    const Extras extras = ResolveExtras(settings.Extras);
    const LogFormat logFormat = nmea ? LogFormat::Nmea : LogFormat::Binr;
    // A summary is of the list as read, before the folders date its dateless
    // points, so the folder then waits for the whole log; the summary in the
    // document's description holds back the whole head.
    const bool summaryInKml = IsOn(extras.SummaryInKml);
    const bool wantSummary = summaryInKml || (report != nullptr && AsksForSummary(extras));
    std::optional<Summary> summary;
    const std::optional<double> colourBy = extras.ColourBy;
    WaypointOptions options = OptionsOf(settings, extras);
    auto writeHead = [&] {
        BeginKmlDocument(kml);
        if (summary && summaryInKml) {
            kml.Text("<description><![CDATA[\n"_kml).Text(SummaryHtmlTable(*summary));
            kml.Text("]]></description>\n"_kml);
        }
        // An icon that cannot be written ends the run here; the files written so far stay.
        options.ValidIconName = files.MakeIcon(settings.ShapeRightPoint);
        options.InvalidIconName = files.MakeIcon(settings.ShapeIncorPoint);
        options.DTrackIconName = files.MakeIcon(settings.ShapeDTrack);
        WriteLineStyle(kml, settings.Edit3, KmlColor(settings.ShapeStyleTrack), "NormalTrack");
        WriteLineStyle(kml, settings.Edit7, KmlColor(settings.ShapeDTrack), "D-Track");
        // Wider than the track it follows, so that it shows as a band beside
        // that line wherever a viewer draws the two over each other.
        const std::string colouredWidth = std::to_string(std::max(1, LeadingInteger(settings.Edit3)) + 4);
        if (colourBy == kColourByQuality) {
            WriteQualityStyles(kml, colouredWidth);
        } else if (colourBy == kColourBySpeed) {
            WriteSpeedStyles(kml, colouredWidth);
        }
    };
    if (!summaryInKml) {
        writeHead();
    }

    // --- Reading, with the "WayPoints" folder written beside it (see FolderWriter).
    const auto progressStep = static_cast<int32_t>(inputSize / 100);
    view.ShowStatus("");
    view.ShowStatus("The progress started");
    view.LockControls();

    // A folder chosen from for a globe viewer needs the whole log first.
    const ViewerOptions viewer = ViewerOptionsOf(extras);
    const int format = nmea ? kPlacemarkNmea : kPlacemarkBinr;
    int placemarks = 0;
    if (nmea || settings.Format == 1) {
        if (!viewer.ChoosesPlacemarks() && !summaryInKml) {
            folder.emplace(kml, options, format, settings.CheckBox4,
                           files.FolderWhileReading() && !wantSummary);
        }
        int blocksBeforePublish = kBlocksPerPublish;
        const BlockRead publish = [&] {
            if (--blocksBeforePublish == 0) {
                blocksBeforePublish = kBlocksPerPublish;
                if (folder) {
                    folder->Publish(points, logDate);
                }
            }
        };
        const NmeaReadOptions readOptions{.DatesFromZda = IsOn(extras.DatesFromZda)};
        const ReadOutcome read =
            nmea ? ReadNmeaLog(input.get(), view, progressStep, settings.CheckBox4, assembler, platform,
                               points, logDate, publish, readOptions)
                 : ReadBinrLog(input.get(), view, progressStep, settings.CheckBox4, points, publish);
        // A stop while reading ends the run at once: the partial KML (without
        // any of the folder) and the icons stay on disk. A read error ends it
        // too: a track cut short by a failing disk is not passed off as the
        // whole log.
        if (read == ReadOutcome::ListNotCreated) {
            folder.reset();
            view.ShowStatus("Can't create the list!");
            view.ProcessPendingEvents();
            return ConversionResult::Stopped;
        }
        if (std::ferror(input.get())) {
            files.NoteReadError(errno);
            folder.reset();
            view.ShowStatus("");
            view.ShowStatus("Can't read the input file");
            view.ProcessPendingEvents();
            return ConversionResult::InputNotRead;
        }
        if (wantSummary) {
            summary = ComputeSummary(points, logFormat);
        }
        if (summaryInKml) {
            writeHead();
            if (!viewer.ChoosesPlacemarks()) {
                folder.emplace(kml, options, format, settings.CheckBox4, false);
            }
        }

        // --- The folders and lines, once the log is read whole.
        view.ShowStatus("");
        view.ShowStatus("Creation of KML-file");
        // Only the date rules of an NMEA folder can stop the run here.
        const WaypointsOutcome outcome =
            folder ? folder->Finish(points, logDate)
                   : WriteViewerWaypoints(kml, points.Start, options, logDate, format, viewer, &placemarks);
        if (outcome == WaypointsOutcome::DateNotFound) {
            view.ShowStatus("");
            view.ShowStatus("Date isn't found");
            return ConversionResult::Stopped;
        }
        if (folder) {
            folder->End();
            placemarks = folder->Count();
        }
        view.ShowCount("");
        countText = "Waypoints " + std::to_string(placemarks);
        view.ShowCount(countText);
        if (nmea) {
            if (viewer.ChoosesPlacemarks()) {
                WriteViewerDTrackWaypoints(kml, points.Start, options, viewer);
            } else {
                WriteDTrackWaypoints(kml, points.Start, options);
            }
            WriteNmeaTrack(kml, points.Start, "NormalTrack", viewer.LineTolerance);
            WriteDTrackLine(kml, points.Start, "D-Track", viewer.LineTolerance);
        } else {
            WriteBinrTrack(kml, points.Start, "NormalTrack", viewer.LineTolerance);
        }
    } else if (summaryInKml) {
        // Nothing is read in an unknown format; the head still opens the document.
        summary = ComputeSummary(points, logFormat);
        writeHead();
    }
    if (settings.CheckBox2) {
        WriteLineStyle(kml, settings.Edit3, KmlColor(settings.ShapeFullTrack), "IncorrectTrack");
        WriteAllPointsTrack(kml, points.Start, "IncorrectTrack", viewer.LineTolerance);
    }
    // --- The extras drawn from the whole list, after the lines.
    if (colourBy) {
        const std::vector<const waypoints*> fixes = ValidFixes(points.Start, logFormat);
        if (*colourBy == kColourBySpeed) {
            const SpeedClasses classes = MakeSpeedClasses(fixes);
            files.AddEntry(kLegendEntry, LegendPng("Speed", SpeedLegend(classes)));
            WriteTrackBySpeed(kml, fixes, classes, kLegendEntry);
        } else {
            files.AddEntry(kLegendEntry, LegendPng("Fix quality", QualityLegend(fixes, logFormat)));
            WriteTrackByQuality(kml, fixes, logFormat, kLegendEntry);
        }
    }
    std::vector<NamedPlot> plots;
    if (IsOn(extras.Plots) || (report != nullptr && IsOn(extras.ShowSummary))) {
        plots = DrawPlots(points.Head, logFormat);
    }
    if (IsOn(extras.Plots)) {
        for (const NamedPlot& plot : plots) {
            files.AddEntry(plot.Entry, plot.Png);
        }
        WritePlotsFolder(kml, plots);
    }
    EndKmlDocument(kml);

    // --- Packing. A KML file that did not reach the disk whole is never packed
    // or called finished.
    input.reset();
    if (!kml.Close()) {
        return Fail(view, "Can't write the output file", ConversionResult::WriteFailed);
    }
    points.FreePointList(points.Head);
    files.Pack(options.ValidIconName, options.InvalidIconName, options.DTrackIconName);

    view.ShowStatus("");
    view.ShowStatus("The progress finished");
    if (settings.Interactive) {
        view.ShowInformation("The progress finished!\n\rInput file " + settings.InputName + "\n\r" +
                             countText);
    }
    if (report != nullptr) {
        report->Placemarks = placemarks;
        report->NothingRecognised = finds.looked && !finds.nmea && !finds.binr;
        if (AsksForSummary(extras)) {
            report->Summary = std::move(summary);
        }
        if (IsOn(extras.ShowSummary)) {
            report->Plots = std::move(plots);
        }
    }
    return ConversionResult::Completed;
}

ConversionResult SummariseLog(const ConversionSettings& settings, ConversionView& view,
                              SentenceAssembler& assembler, Platform& platform, RunFiles& files,
                              RunReport& report, AllocationGate* gate) {
    int64_t inputSize = 0;
    InputFile input = files.OpenLog(&inputSize);
    if (!input) {
        return Fail(view, "Can't open the input file", ConversionResult::InputNotOpened);
    }
    const bool nmea = settings.Format == 0;
    const LogFormat logFormat = nmea ? LogFormat::Nmea : LogFormat::Binr;
    PointList points(gate);
    // The list goes however the read ends.
    ScopeExit freeList([&]() noexcept { points.FreePointList(points.Head); });
    FormatFinds finds;
    if (const std::optional<ConversionResult> other =
            CheckFormat(input.get(), settings.Format, view, finds)) {
        return *other;
    }
    if (nmea || settings.Format == 1) {
        view.ResetProgress();
        view.ShowStatus("");
        view.ShowStatus("The progress started");
        const auto progressStep = static_cast<int32_t>(inputSize / 100);
        NmeaLogDate logDate;
        const NmeaReadOptions readOptions{.DatesFromZda = IsOn(ResolveExtras(settings.Extras).DatesFromZda)};
        const ReadOutcome read =
            nmea ? ReadNmeaLog(input.get(), view, progressStep, settings.CheckBox4, assembler, platform,
                               points, logDate, {}, readOptions)
                 : ReadBinrLog(input.get(), view, progressStep, settings.CheckBox4, points, {});
        if (read == ReadOutcome::ListNotCreated) {
            return Fail(view, "Can't create the list!", ConversionResult::Stopped);
        }
        if (std::ferror(input.get())) {
            files.NoteReadError(errno);
            return Fail(view, "Can't read the input file", ConversionResult::InputNotRead);
        }
    }
    report.Summary = ComputeSummary(points, logFormat);
    report.NothingRecognised = finds.looked && !finds.nmea && !finds.binr;
    if (IsOn(settings.Extras.ShowSummary)) {
        report.Plots = DrawPlots(points.Head, logFormat);
    }
    view.ShowStatus("");
    view.ShowStatus("The progress finished");
    return ConversionResult::Completed;
}

}  // namespace tervo
