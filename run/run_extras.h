// The extras that add to a run's document or to what a front end is told after
// it, one row each: what the extra needs from the run and what it adds where.
// The run asks the table, never the extras themselves: a new extra of this kind
// is a new row, not a new branch of the run.
//
// Where a row's parts go in the document, in the order of the table within each
// place:
//   <Document>
//     <description> the rows' Description parts, in one CDATA section </description>
//     icons and the converter's line styles, then the rows' Styles
//     the waypoint folders and the lines (the converter's own)
//     the rows' AfterLines parts (folders, overlays, further entries, files
//     beside the container)
//   </Document>
// A row with a Description holds the whole head back until the log is read.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/log_format.h"
#include "core/point_list.h"
#include "kml/kml_stream.h"
#include "report/summary.h"
#include "run/extras.h"
#include "run/run_files.h"
#include "run/run_report.h"

namespace tervo {

struct ConversionSettings;
struct RunPlan;

// What a row is given: the run's settings and plan, its list once read, what
// was worked out from the list, and where the document and further entries go.
struct RunContext {
    const ConversionSettings& Settings;
    const RunPlan& Plan;
    LogFormat Format;
    const PointList& Points;
    // What the NMEA read loop kept beside the list for the summary and the
    // plots (empty for BINR, and when neither is needed).
    const SatelliteObservations* Observations;
    const Summary* LogSummary;            // when a row needs it (kNeedsSummary)
    const std::vector<NamedPlot>& Plots;  // drawn when a row needs them (kNeedsPlots)
    // When a row needs it (kNeedsAccuracy) and the extras name a reference.
    const AccuracyOutcome* Accuracy;
    // The longest step within a track segment, by the gap rule of the log's
    // epochs (kNeedsGaps); nothing when no step is too long.
    std::optional<int64_t> GapAboveMs;
    KmlStream& Kml;
    RunFiles& Files;

    // An id of the document's styles, with the prefix of a merged log.
    std::string StyleId(std::string_view id) const;
    // The name of a further container entry, with the prefix of a merged log.
    std::string EntryName(std::string_view name) const;
};

// What a row needs the run to work out once the log is read.
enum RunNeed : unsigned {
    kNeedsNothing = 0,
    // The summary of the list as read: the folders then wait for it, since they
    // give dateless points their dates.
    kNeedsSummary = 1u << 0,
    // The plots of the plot table, drawn once from the whole list.
    kNeedsPlots = 1u << 1,
    // The accuracy against the extras' reference (read before it, when a log),
    // of the list as read: the folders wait for it too. Nothing without a reference.
    kNeedsAccuracy = 1u << 2,
    // The gap rule of the log's epochs (RunContext::GapAboveMs).
    kNeedsGaps = 1u << 3,
    // The document's frame declares the gx prefix of the extensions.
    kNeedsGxPrefix = 1u << 4,
};

struct RunExtra {
    const char* Name;  // what the row is, for a reader of the table
    bool (*AskedFor)(const Extras& extras);
    unsigned Needs;
    // Only for a run whose caller asks for a report (a front end); a run into a
    // document alone leaves the row out.
    bool ForReportOnly;
    // The parts it adds; any may be missing.
    std::string (*Description)(const RunContext& run);  // HTML, inside the description's CDATA
    void (*Styles)(const RunContext& run);
    void (*AfterLines)(const RunContext& run);
    void (*Report)(const RunContext& run, RunReport& report);
};

// Every row, in the order their parts are written.
std::span<const RunExtra> RunExtras();

// The plots of the plot table that apply (the accuracy plots need an accuracy
// with a matched fix), in the order of their overlays and entries.
std::vector<NamedPlot> DrawPlots(const RunContext& run);

// Whether the run has an accuracy with at least one matched fix: the accuracy
// parts are written only then.
bool HasMatchedAccuracy(const RunContext& run);

}  // namespace tervo
