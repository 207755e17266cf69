// What a run will write, worked out once from its settings, its extras and
// where its files go, before the log is opened: which folders, in which order,
// written while the log is read or after it, and which extras add to the
// document or the report. The run then only follows the plan.
#pragma once

#include <optional>
#include <vector>

#include "core/log_format.h"
#include "core/log_pieces.h"
#include "kml/viewer_writer.h"
#include "run/extras.h"
#include "run/run_extras.h"
#include "run/run_files.h"

namespace tervo {

struct ConversionSettings;

struct RunPlan {
    // Nothing for a format the run does not know: it then reads nothing and
    // writes no folder and no line.
    std::optional<LogFormat> Format;
    // The extras as the run uses them: the viewer preset's parts filled in.
    tervo::Extras Extras;
    // Placemarks chosen for a globe viewer; nothing chosen without these extras.
    ViewerOptions Viewer;
    DocumentPlace Place;
    // The rows of RunExtras that were asked for, in table order.
    std::vector<const RunExtra*> Rows;
    bool NeedsSummary = false;
    bool NeedsPlots = false;
    // A row needs the accuracy and the extras name a reference.
    bool NeedsAccuracy = false;
    bool NeedsGaps = false;
    bool DeclaresGx = false;  // the frame declares the gx prefix
    // Epochs every output made with extras leaves out, once the log is read.
    FixFilter Filter;
    // A row's part of the description needs the whole log: the head waits.
    bool HeadAfterReading = false;
    // The "WayPoints" folder, written whole, on a thread of its own while the
    // log is read (never with a filter, which needs the whole log read); otherwise it is written once the log
    // is read (and, when the viewer extras choose placemarks, chosen from).
    bool FolderWhileReading = false;
    // Dateless NMEA epochs take the date of the latest ZDA sentence.
    bool DatesFromZda = false;
    // The log is cut into pieces, each written as a container of its own; never
    // for one log's part of a merged document.
    std::optional<SplitRule> Split;
};

// `forReport`: the caller asks for a RunReport (a front end); `folderOnThread`:
// the files allow the folder on its own thread (RunFiles::FolderWhileReading).
RunPlan PlanRun(const ConversionSettings& settings, DocumentPlace place, bool forReport, bool folderOnThread);

}  // namespace tervo
