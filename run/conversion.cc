#include "run/conversion.h"

#include <cmath>
#include <optional>
#include <vector>

#include "binr/binr_reader.h"
#include "core/calendar.h"
#include "core/log_pieces.h"
#include "kml/document.h"
#include "kml/kml_stream.h"
#include "kml/track_writer.h"
#include "kml/viewer_writer.h"
#include "kml/waypoint_writer.h"
#include "nmea/nmea_reader.h"
#include "report/collectors.h"
#include "report/summary.h"
#include "run/folder_writer.h"
#include "run/format_look.h"
#include "run/reference.h"
#include "run/run_plan.h"

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

// Everything one run keeps from its opening to its end.
struct RunState {
    RunState(const ConversionSettings& settings, RunPlan plan, ConversionView& view,
             SentenceAssembler& assembler, Platform& platform, RunFiles& files, AllocationGate* gate)
        : settings(settings),
          plan(std::move(plan)),
          view(view),
          assembler(assembler),
          platform(platform),
          files(files),
          ownPoints(gate),
          points(ownPoints),
          logDate(ownLogDate),
          keepObservations(this->plan.NeedsSummary || this->plan.NeedsPlots) {}
    // A run over a list read already, which stays its owner's: its satellites
    // are the record's alone.
    RunState(const ConversionSettings& settings, RunPlan plan, ConversionView& view,
             SentenceAssembler& assembler, Platform& platform, RunFiles& files, const ListDocument& document)
        : settings(settings),
          plan(std::move(plan)),
          view(view),
          assembler(assembler),
          platform(platform),
          files(files),
          points(document.Points),
          logDate(document.LogDate),
          linesStart(document.LinesStart),
          ownsList(false) {}

    // What the rows of RunExtras are given.
    RunContext Context(KmlStream& kml) const {
        return {settings,
                plan,
                plan.Format.value_or(LogFormat::Nmea),
                points,
                &observations,  // empty unless the read kept them
                summary ? &*summary : nullptr,
                plots,
                accuracy ? &*accuracy : nullptr,
                gapAboveMs,
                kml,
                files};
    }

    const ConversionSettings& settings;
    const RunPlan plan;
    ConversionView& view;
    SentenceAssembler& assembler;
    Platform& platform;
    RunFiles& files;
    InputFile input;
    int64_t inputSize = 0;
    FormatFinds finds;
    PointList ownPoints;
    NmeaLogDate ownLogDate;
    PointList& points;
    NmeaLogDate& logDate;
    // Where the lines start when not at points.Start: the node before it.
    const list* linesStart = nullptr;
    const bool ownsList = true;
    // The satellites the summary and the plots need beyond the record's table,
    // kept while an NMEA log is read when they are drawn or summarised.
    SatelliteObservations observations;
    bool keepObservations = false;
    StopReason stop = StopReason::None;
    std::optional<Summary> summary;
    std::vector<NamedPlot> plots;
    // The accuracy extras: the reference log's fixes, what became of it, and the accuracy.
    ReferenceTrack referenceTrack;
    ReferenceTrouble referenceTrouble = ReferenceTrouble::None;
    FileFailure referenceFailure;
    std::optional<AccuracyOutcome> accuracy;
    std::optional<int64_t> gapAboveMs;
    std::optional<FilteredOut> filtered;  // what the extras' filter took out of the list, once it did
    WaypointOptions options;
    std::string countText = " ";  // the right pane's text, repeated by the final message
    int placemarks = 0;
};

// A failure reported by its status text, after a blank one.
ConversionResult Fail(ConversionView& view, const char* text, ConversionResult result) {
    view.ShowStatus("");
    view.ShowStatus(text);
    view.ProcessPendingEvents();
    return result;
}

// Opens the log and looks at its start: the chosen format finding nothing of
// its own while the other one does stops the run before anything is written.
std::optional<ConversionResult> OpenLog(RunState& run) {
    run.input = run.files.OpenLog(&run.inputSize);
    if (!run.input) {
        return Fail(run.view, "Can't open the input file", ConversionResult::InputNotOpened);
    }
    if (!run.plan.Format) {
        return std::nullopt;
    }
    run.finds = LookAtFormat(run.input.get());
    const FormatFinds& finds = run.finds;
    if (*run.plan.Format == LogFormat::Nmea && !finds.nmea && finds.binr) {
        return Fail(run.view, "The input looks like a BINR log", ConversionResult::LooksLikeBinr);
    }
    if (*run.plan.Format == LogFormat::Binr && !finds.binr && finds.nmea) {
        return Fail(run.view, "The input looks like an NMEA log", ConversionResult::LooksLikeNmea);
    }
    return std::nullopt;
}

// Reads the whole log into the list, `publish` called after every block. A stop
// ends the run at once; so does a read error: a track cut short by a failing
// disk is not passed off as the whole log.
std::optional<ConversionResult> ReadLog(RunState& run, const BlockRead& publish) {
    if (!run.plan.Format) {
        return std::nullopt;
    }
    const auto progressStep = static_cast<int32_t>(run.inputSize / 100);
    const bool startFirstFix = run.settings.CheckBox4;
    const ReadOutcome read =
        *run.plan.Format == LogFormat::Nmea
            ? ReadNmeaLog(run.input.get(), run.view, progressStep, startFirstFix, run.assembler, run.platform,
                          run.points, run.logDate, publish,
                          {.DatesFromZda = run.plan.DatesFromZda,
                           .Observations = run.keepObservations ? &run.observations : nullptr})
            : ReadBinrLog(run.input.get(), run.view, progressStep, startFirstFix, run.points, publish);
    if (read == ReadOutcome::ListNotCreated) {
        run.stop = StopReason::ListNotCreated;
        run.view.ShowStatus("Can't create the list!");
        run.view.ProcessPendingEvents();
        return ConversionResult::Stopped;
    }
    if (std::ferror(run.input.get())) {
        run.files.NoteReadError(errno);
        return Fail(run.view, "Can't read the input file", ConversionResult::InputNotRead);
    }
    return std::nullopt;
}

// The reference log of the accuracy extras, read whole after the log: one
// that cannot be opened or read to its end ends the run as the log would.
std::optional<ConversionResult> ReadReference(RunState& run) {
    if (!run.plan.Extras.ReferenceLog) {
        return std::nullopt;
    }
    ReferenceLogRead read = ReadReferenceLog(run.files, *run.plan.Extras.ReferenceLog, run.platform, run.view,
                                             run.plan.Format.value_or(LogFormat::Nmea));
    run.referenceTrouble = read.Trouble;
    run.referenceFailure = read.Failure;
    if (read.Trouble == ReferenceTrouble::NotOpened) {
        return Fail(run.view, "Can't open the reference log", ConversionResult::InputNotOpened);
    }
    if (read.Trouble == ReferenceTrouble::NotRead) {
        return Fail(run.view, "Can't read the reference log", ConversionResult::InputNotRead);
    }
    run.referenceTrack = std::move(read.Track);
    return std::nullopt;
}

// The accuracy of the list as read against the extras' reference.
void MeasureAgainstReference(RunState& run) {
    run.accuracy = MeasureAccuracy(run.plan.Extras, run.points, run.plan.Format.value_or(LogFormat::Nmea),
                                   run.referenceTrack);
    // The pieces of a split log are each measured against it too.
    if (!run.plan.Split) {
        run.referenceTrack = {};
    }
}

// The longest step within a track segment by the gap rule of the epochs from
// `head`, in whole milliseconds (a step of n ms is longer than x s when it is
// longer than floor(1000 x) ms); nothing without a typical step.
std::optional<int64_t> GapAboveMsOf(const list* head, LogFormat format) {
    const GapRule rule = GapRuleOf(TypicalStepS(TimeEpochs(head, format).StepMs));
    if (!std::isfinite(rule.AboveS)) {
        return std::nullopt;
    }
    return static_cast<int64_t>(std::floor(rule.AboveS * 1000));
}

// The gap rule of the log's own pace, for the rows that cut tracks at gaps.
void MeasureGaps(RunState& run) {
    if (run.plan.NeedsGaps && run.plan.Format) {
        run.gapAboveMs = GapAboveMsOf(run.points.Head, *run.plan.Format);
    }
}

// Takes the epochs the extras' filter leaves out out of the list once it is
// read, counting them for the summary: every later phase sees the epochs kept.
// The gaps are measured first, on the log's own pace.
void FilterEpochs(RunState& run) {
    MeasureGaps(run);
    const FixFilter& filter = run.plan.Filter;
    if (!filter.IsActive() || !run.plan.Format) {
        return;
    }
    const LogFormat format = *run.plan.Format;
    run.filtered.emplace();
    for (const list* node = run.points.Head; node != nullptr; node = node->Next) {
        run.filtered->Add(FilterFailures(node->Point, format, filter));
    }
    const auto keep = [&](const list& node) { return PassesFilter(node.Point, format, filter); };
    run.points.Unlink(keep);
    run.observations.KeepEpochs(keep);
}

// What is worked out from the whole list for the extras, before the folders
// date its dateless points.
void WorkOutFromList(RunState& run, KmlStream& kml) {
    const LogFormat format = run.plan.Format.value_or(LogFormat::Nmea);
    if (run.plan.NeedsSummary) {
        run.summary = ComputeSummary(run.points, format, {}, &run.observations);
        run.summary->Filtered = run.filtered;
    }
    if (run.plan.NeedsAccuracy) {
        MeasureAgainstReference(run);
    }
    if (run.plan.NeedsPlots) {
        run.plots = DrawPlots(run.Context(kml));
    }
}

// The document's start: its frame, the description the extras add, the icons
// and the line styles.
void WriteHead(RunState& run, KmlStream& kml) {
    const ConversionSettings& settings = run.settings;
    const DocumentPlace& place = run.plan.Place;
    if (!place.PartOnly) {
        BeginKmlDocument(kml, run.plan.DeclaresGx);
    }
    const RunContext context = run.Context(kml);
    std::string description;
    for (const RunExtra* row : run.plan.Rows) {
        if (row->Description != nullptr) {
            description += row->Description(context);
        }
    }
    if (run.plan.HeadAfterReading) {
        kml.Text("<description><![CDATA[\n"_kml).Text(description).Text("]]></description>\n"_kml);
    }
    // An icon that cannot be written ends the run here.
    run.options.ValidIconName = run.files.MakeIcon(settings.ShapeRightPoint);
    run.options.InvalidIconName = run.files.MakeIcon(settings.ShapeIncorPoint);
    run.options.DTrackIconName = run.files.MakeIcon(settings.ShapeDTrack);
    WriteLineStyle(kml, settings.Edit3, KmlColor(settings.ShapeStyleTrack), context.StyleId("NormalTrack"));
    WriteLineStyle(kml, settings.Edit7, KmlColor(settings.ShapeDTrack), context.StyleId("D-Track"));
    for (const RunExtra* row : run.plan.Rows) {
        if (row->Styles != nullptr) {
            row->Styles(context);
        }
    }
}

WaypointOptions PlacemarkOptions(const ConversionSettings& settings, const RunPlan& plan) {
    WaypointOptions options;
    options.Scale = settings.Edit4;
    options.Extrude = settings.CheckBox3;
    options.UseFallbackDate = settings.CheckBox1;
    options.FallbackDate = settings.MaskEdit1;
    options.KeepGgaDates = plan.DatesFromZda;
    return options;
}

// The waypoint folders, once the log is read: the "WayPoints" folder (finished
// by its writer, or chosen for a viewer), its count, and the differential
// fixes of an NMEA log. Only the date rules of an NMEA folder stop the run here.
std::optional<ConversionResult> WriteFolders(RunState& run, KmlStream& kml,
                                             std::optional<FolderWriter>& folder) {
    const LogFormat format = *run.plan.Format;
    const ViewerOptions& viewer = run.plan.Viewer;
    if (!folder && !viewer.ChoosesPlacemarks()) {
        folder.emplace(kml, run.options, format, run.settings.CheckBox4, false);
    }
    run.view.ShowStatus("");
    run.view.ShowStatus("Creation of KML-file");
    const WaypointsOutcome outcome = folder
                                         ? folder->Finish(run.points, run.logDate)
                                         : WriteViewerWaypoints(kml, run.points.Start, run.options,
                                                                run.logDate, format, viewer, &run.placemarks);
    if (outcome == WaypointsOutcome::DateNotFound) {
        run.stop = StopReason::DateNotFound;
        run.view.ShowStatus("");
        run.view.ShowStatus("Date isn't found");
        return ConversionResult::Stopped;
    }
    if (folder) {
        folder->End();
        run.placemarks = folder->Count();
    }
    run.view.ShowCount("");
    run.countText = "Waypoints " + std::to_string(run.placemarks);
    run.view.ShowCount(run.countText);
    if (format == LogFormat::Nmea && viewer.ChoosesPlacemarks()) {
        WriteViewerDTrackWaypoints(kml, run.points.Start, run.options, viewer);
    } else if (format == LogFormat::Nmea) {
        WriteDTrackWaypoints(kml, run.points.Start, run.options);
    }
    return std::nullopt;
}

// The track lines: the valid track, for NMEA the differential track, and on
// request the line through all points.
void WriteLines(RunState& run, KmlStream& kml) {
    const RunContext context = run.Context(kml);
    const std::string& prefix = run.plan.Place.StyleIdPrefix;
    const std::optional<double> tolerance = run.plan.Viewer.LineTolerance;
    const list* start = run.linesStart != nullptr ? run.linesStart : run.points.Start;
    if (run.plan.Format == LogFormat::Nmea) {
        WriteNmeaTrack(kml, start, "NormalTrack", tolerance, prefix);
        WriteDTrackLine(kml, start, "D-Track", tolerance, prefix);
    } else if (run.plan.Format == LogFormat::Binr) {
        WriteBinrTrack(kml, start, "NormalTrack", tolerance, prefix);
    }
    if (run.settings.CheckBox2) {
        WriteLineStyle(kml, run.settings.Edit3, KmlColor(run.settings.ShapeFullTrack),
                       context.StyleId("IncorrectTrack"));
        WriteAllPointsTrack(kml, start, "IncorrectTrack", tolerance, prefix);
    }
    for (const RunExtra* row : run.plan.Rows) {
        if (row->AfterLines != nullptr) {
            row->AfterLines(context);
        }
    }
    if (!run.plan.Place.PartOnly) {
        EndKmlDocument(kml);
    }
}

// The document closed; a KML file that did not reach the disk whole is never
// packed or called finished.
std::optional<ConversionResult> CloseDocument(RunState& run, KmlStream& kml) {
    if (!kml.Close()) {
        return Fail(run.view, "Can't write the output file", ConversionResult::WriteFailed);
    }
    return std::nullopt;
}

void PackDocument(RunState& run) {
    run.files.Pack(run.options.ValidIconName, run.options.InvalidIconName, run.options.DTrackIconName);
}

// The final texts, and what the rows tell the front end; the files beside the
// container are in place (or failed) by now.
ConversionResult Finish(RunState& run, KmlStream& kml, RunReport* report) {
    if (report != nullptr) {
        report->ExportFailures = run.files.BesideFailures();
    }
    run.view.ShowStatus("");
    run.view.ShowStatus("The progress finished");
    if (run.settings.Interactive) {
        run.view.ShowInformation("The progress finished!\n\rInput file " + run.settings.InputName + "\n\r" +
                                 run.countText);
    }
    if (report != nullptr) {
        report->Placemarks = run.placemarks;
        report->NothingRecognised = run.finds.looked && !run.finds.nmea && !run.finds.binr;
        const RunContext context = run.Context(kml);
        for (const RunExtra* row : run.plan.Rows) {
            if (row->Report != nullptr) {
                row->Report(context, *report);
            }
        }
    }
    return ConversionResult::Completed;
}

// How the run ended, for the front end: why it stopped, and the file that failed.
void EndReport(const RunState& run, ConversionResult result, RunReport& report) {
    report.Stop = run.stop;
    if (run.referenceTrouble != ReferenceTrouble::None) {
        report.Reference = run.referenceTrouble;
    }
    if (result == ConversionResult::Completed) {
        report.Failure = {};
    } else {
        report.Failure = run.referenceFailure.path.empty() ? run.files.LastFailure() : run.referenceFailure;
    }
}

// The closed document and the icons into the container, the list freed first.
ConversionResult Pack(RunState& run, KmlStream& kml, RunReport* report) {
    run.input.reset();
    if (const std::optional<ConversionResult> failed = CloseDocument(run, kml)) {
        return *failed;
    }
    if (run.ownsList) {
        run.points.FreePointList(run.points.Head);
    }
    PackDocument(run);
    return Finish(run, kml, report);
}

// The view made ready for a run that has its log open, and the Run button
// disabled: from now on the teardown unlocks the controls.
void PrepareView(RunState& run, bool& runDisabled) {
    run.view.SetOutputPath(run.files.ContainerPath());
    run.view.ResetProgress();
    run.view.ShowStatus(" ");
    run.view.ShowCount(run.countText);
    run.view.DisableRun();
    runDisabled = true;
    run.options = PlacemarkOptions(run.settings, run.plan);
}

void BeginReading(RunState& run) {
    run.view.ShowStatus("");
    run.view.ShowStatus("The progress started");
    run.view.LockControls();
}

// A piece of a split log: its epochs from the first to the last the filter
// keeps, and its container's path.
struct PieceOfLog {
    list* first = nullptr;  // nullptr: the filter kept none of its epochs
    list* last = nullptr;
    std::string path;
    std::optional<FilteredOut> filtered;  // what the filter takes out of it
    bool wholeList = false;               // a log without epochs: the list as it is
};

// Points the list at one piece of it while it lives: Head and Start at the
// piece's first node, Tail at its last, whose Next is cut; at nothing for a
// piece the filter kept nothing of.
class ListPiece {
public:
    ListPiece(PointList& points, const PieceOfLog& piece)
        : points_(points), head_(points.Head), start_(points.Start), tail_(points.Tail), last_(piece.last) {
        if (piece.wholeList) {
            last_ = nullptr;
            return;
        }
        if (last_ != nullptr) {
            next_ = last_->Next;
            last_->Next = nullptr;
        }
        points.Head = points.Start = piece.first;
        points.Tail = last_;
    }
    ~ListPiece() {
        if (last_ != nullptr) {
            last_->Next = next_;
        }
        points_.Head = head_;
        points_.Start = start_;
        points_.Tail = tail_;
    }
    ListPiece(const ListPiece&) = delete;
    ListPiece& operator=(const ListPiece&) = delete;

private:
    PointList& points_;
    list* head_;
    list* start_;
    list* tail_;
    list* last_;
    list* next_ = nullptr;
};

// The pieces of the list from Start as the log was recorded, before the filter
// takes epochs out, each with its container's path, so that a piece is the
// part of the log a run of it alone converts; one of everything for a log
// without epochs. Pieces without a day of their own are named by the fallback
// date when the run gives one.
std::vector<PieceOfLog> ChoosePieces(const RunState& run) {
    std::vector<list*> nodes;
    std::vector<const waypoints*> points;
    for (list* node = run.points.Start; node != nullptr; node = node->Next) {
        nodes.push_back(node);
        points.push_back(&node->Point);
    }
    std::vector<LogPiece> pieces = SplitLog(points, *run.plan.Split);
    if (pieces.empty()) {
        PieceOfLog whole;
        whole.wholeList = true;
        return {whole};
    }
    const std::optional<int64_t> defaultDay =
        run.settings.CheckBox1 ? DaysOfDateText(run.settings.MaskEdit1) : std::nullopt;
    const std::vector<std::string> paths =
        PiecePaths(run.files.ContainerPath(), pieces, run.plan.Split->ByDay, defaultDay);
    const FixFilter& filter = run.plan.Filter;
    const bool filtering = filter.IsActive() && run.plan.Format;
    std::vector<PieceOfLog> chosen;
    for (size_t i = 0; i < pieces.size(); ++i) {
        PieceOfLog& piece = chosen.emplace_back();
        piece.path = paths[i];
        if (filtering) {
            piece.filtered.emplace();
        }
        for (size_t k = pieces[i].Begin; k < pieces[i].End; ++k) {
            const uint8_t failures =
                filtering ? FilterFailures(nodes[k]->Point, *run.plan.Format, filter) : 0;
            if (failures != 0) {
                piece.filtered->Add(failures);
                continue;
            }
            piece.first = piece.first == nullptr ? nodes[k] : piece.first;
            piece.last = nodes[k];
        }
    }
    return chosen;
}

// One piece of a split log as a complete document of its own, packed beside
// its place.
std::optional<ConversionResult> WritePiece(RunState& run, const PieceOfLog& piece,
                                           std::optional<KmlStream>& kml, RunReport* report) {
    const ListPiece cut(run.points, piece);
    run.files.BeginPiece(piece.path);
    ByteSink* sink = run.files.CreateDocument();
    if (sink == nullptr) {
        return Fail(run.view, "Can't create the output file", ConversionResult::OutputNotCreated);
    }
    kml.emplace(*sink);
    if (!piece.wholeList) {
        run.filtered = piece.filtered;
    }
    WorkOutFromList(run, *kml);
    WriteHead(run, *kml);
    std::optional<FolderWriter> noFolder;
    if (run.plan.Format) {
        if (const std::optional<ConversionResult> stopped = WriteFolders(run, *kml, noFolder)) {
            return stopped;
        }
    }
    WriteLines(run, *kml);
    if (const std::optional<ConversionResult> failed = CloseDocument(run, *kml)) {
        return failed;
    }
    PackDocument(run);
    if (report != nullptr) {
        report->Pieces.push_back({piece.path, run.placemarks});
    }
    return std::nullopt;
}

// A log split into pieces: read once, cut, filtered once, then each piece
// written as a container of its own (with its own files beside it), and all of
// them put into place once every one is written. The summary, plots and
// accuracy a front end is told of are the whole log's.
ConversionResult RunPieces(RunState& run, RunReport* report, bool& runDisabled,
                           std::optional<KmlStream>& kml) {
    PrepareView(run, runDisabled);
    BeginReading(run);
    if (const std::optional<ConversionResult> stopped = ReadLog(run, {})) {
        return *stopped;
    }
    run.input.reset();
    const std::vector<PieceOfLog> pieces = ChoosePieces(run);
    FilterEpochs(run);
    if (run.plan.NeedsAccuracy) {
        if (const std::optional<ConversionResult> failed = ReadReference(run)) {
            return *failed;
        }
    }
    StringSink nowhere;
    KmlStream wholeLog(nowhere);
    WorkOutFromList(run, wholeLog);
    const std::optional<Summary> summary = run.summary;
    const std::vector<NamedPlot> plots = run.plots;
    const std::optional<AccuracyOutcome> accuracy = run.accuracy;
    int placemarks = 0;
    for (const PieceOfLog& piece : pieces) {
        if (const std::optional<ConversionResult> ended = WritePiece(run, piece, kml, report)) {
            return *ended;
        }
        placemarks += run.placemarks;
    }
    run.referenceTrack = {};
    run.files.CommitPieces();
    run.summary = summary;
    run.plots = plots;
    run.accuracy = accuracy;
    run.placemarks = placemarks;
    run.countText = "Waypoints " + std::to_string(placemarks);
    return Finish(run, *kml, report);
}

// The run's steps between its opening and its end, in order.
ConversionResult RunPhases(RunState& run, RunReport* report, bool& runDisabled, std::optional<KmlStream>& kml,
                           std::optional<FolderWriter>& folder) {
    if (const std::optional<ConversionResult> failed = OpenLog(run)) {
        return *failed;
    }
    if (run.plan.Split) {
        return RunPieces(run, report, runDisabled, kml);
    }
    ByteSink* sink = run.files.CreateDocument();
    if (sink == nullptr) {
        return Fail(run.view, "Can't create the output file", ConversionResult::OutputNotCreated);
    }
    kml.emplace(*sink);
    PrepareView(run, runDisabled);
    if (!run.plan.HeadAfterReading) {
        WriteHead(run, *kml);
    }
    BeginReading(run);
    if (run.plan.FolderWhileReading && run.plan.Format) {
        folder.emplace(*kml, run.options, *run.plan.Format, run.settings.CheckBox4, true);
    }
    int blocksBeforePublish = kBlocksPerPublish;
    const BlockRead publish = [&] {
        if (--blocksBeforePublish == 0) {
            blocksBeforePublish = kBlocksPerPublish;
            if (folder) {
                folder->Publish(run.points, run.logDate);
            }
        }
    };
    if (const std::optional<ConversionResult> stopped = ReadLog(run, publish)) {
        folder.reset();
        return *stopped;
    }
    FilterEpochs(run);
    if (run.plan.NeedsAccuracy) {
        if (const std::optional<ConversionResult> failed = ReadReference(run)) {
            folder.reset();
            return *failed;
        }
    }
    WorkOutFromList(run, *kml);
    if (run.plan.HeadAfterReading) {
        WriteHead(run, *kml);
    }
    if (run.plan.Format) {
        if (const std::optional<ConversionResult> stopped = WriteFolders(run, *kml, folder)) {
            return *stopped;
        }
    }
    WriteLines(run, *kml);
    return Pack(run, *kml, report);
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
    RunState run(settings, PlanRun(settings, files.Place(), report != nullptr, files.FolderWhileReading()),
                 view, assembler, platform, files, gate);
    std::optional<KmlStream> kml;
    std::optional<FolderWriter> folder;
    bool runDisabled = false;
    // The one teardown, for every way out, a thrown error included: the folder
    // thread stopped (a folder not finished is taken back out), the document
    // closed, the list freed and, once the Run button was disabled, the
    // controls unlocked. It runs while an error may be leaving the run, so
    // nothing may leave it.
    ScopeExit teardown([&]() noexcept {
        auto quietly = [](auto step) {
            try {
                step();
            } catch (...) {
            }
        };
        quietly([&] { folder.reset(); });
        quietly([&] {
            if (kml) {
                kml->Close();
            }
        });
        run.points.FreePointList(run.points.Head);
        if (runDisabled) {
            quietly([&] { view.UnlockControls(); });
        }
    });
    const ConversionResult result = RunPhases(run, report, runDisabled, kml, folder);
    if (report != nullptr) {
        EndReport(run, result, *report);
    }
    return result;
}

ConversionResult WriteListDocument(const ConversionSettings& settings, ConversionView& view,
                                   Platform& platform, RunFiles& files, const ListDocument& document,
                                   RunReport* report) {
    SentenceAssembler unused;
    RunState run(settings, PlanRun(settings, files.Place(), report != nullptr, false), view, unused, platform,
                 files, document);
    std::optional<KmlStream> kml;
    std::optional<FolderWriter> folder;
    ScopeExit teardown([&]() noexcept {
        folder.reset();
        if (kml) {
            kml->Close();
        }
    });
    ByteSink* sink = files.CreateDocument();
    if (sink == nullptr) {
        return Fail(view, "Can't create the output file", ConversionResult::OutputNotCreated);
    }
    kml.emplace(*sink);
    run.options = PlacemarkOptions(settings, run.plan);
    run.options.FirstNumber = document.FirstNumber;
    // The list is read: what the head's description needs is there before it.
    // It stays its owner's, so a filter takes nothing out of it.
    MeasureGaps(run);
    WorkOutFromList(run, *kml);
    WriteHead(run, *kml);
    if (run.plan.Format) {
        if (const std::optional<ConversionResult> stopped = WriteFolders(run, *kml, folder)) {
            return *stopped;
        }
    }
    WriteLines(run, *kml);
    return Pack(run, *kml, report);
}

ConversionResult SummariseLog(const ConversionSettings& settings, ConversionView& view,
                              SentenceAssembler& assembler, Platform& platform, RunFiles& files,
                              RunReport& report, AllocationGate* gate) {
    RunState run(settings, PlanRun(settings, files.Place(), true, false), view, assembler, platform, files,
                 gate);
    // The list goes however the read ends.
    ScopeExit freeList([&]() noexcept { run.points.FreePointList(run.points.Head); });
    run.keepObservations = true;
    std::optional<ConversionResult> ended = OpenLog(run);
    if (!ended && run.plan.Format) {
        view.ResetProgress();
        view.ShowStatus("");
        view.ShowStatus("The progress started");
        ended = ReadLog(run, {});
    }
    const bool accuracy = AsksForAccuracy(run.plan.Extras);
    if (!ended && run.plan.Format && accuracy) {
        ended = ReadReference(run);
    }
    if (ended) {
        EndReport(run, *ended, report);
        return *ended;
    }
    FilterEpochs(run);
    const LogFormat format = run.plan.Format.value_or(LogFormat::Nmea);
    report.Summary = ComputeSummary(run.points, format, {}, &run.observations);
    report.Summary->Filtered = run.filtered;
    if (accuracy) {
        MeasureAgainstReference(run);
        report.Accuracy = run.accuracy;
        if (run.accuracy->Result.All.MatchedEpochs == 0) {
            report.Reference = ReferenceTrouble::NothingMatched;
        }
    }
    report.NothingRecognised = run.finds.looked && !run.finds.nmea && !run.finds.binr;
    if (run.plan.Extras.ShowSummary.value_or(0) != 0) {
        StringSink nowhere;
        KmlStream kml(nowhere);
        report.Plots = DrawPlots(run.Context(kml));
    }
    view.ShowStatus("");
    view.ShowStatus("The progress finished");
    return ConversionResult::Completed;
}

}  // namespace tervo
