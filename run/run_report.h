// What a run found and why it ended, for a front end that says more than the
// status texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/accuracy.h"
#include "report/summary.h"
#include "run/run_files.h"

namespace tervo {

// A plot as a PNG file, with the name of its container entry ("plots/sky.png")
// and its title.
struct NamedPlot {
    std::string Entry;
    std::string Title;
    std::vector<uint8_t> Png;
};

// Why a run that ended with ConversionResult::Stopped stopped.
enum class StopReason {
    None,
    ListNotCreated,  // a node of the point list could not be allocated ("Can't create the list!")
    DateNotFound,    // a point had no date source ("Date isn't found")
};

// A piece of a split log, as the run wrote it.
struct WrittenPiece {
    std::string Path;
    int Placemarks = 0;  // in its "WayPoints" folder
};

// The accuracy of a run's log against the reference the extras name.
struct AccuracyOutcome {
    // How the tables name the reference: "the point 48.1, 11.5, 540.2 m", "the
    // mean of the fixes", "the reference log truth.nmea".
    std::string Reference;
    tervo::Accuracy Result;
};

// What became of the reference of the accuracy extras.
enum class ReferenceTrouble {
    None,
    NotOpened,       // the reference log could not be opened (ConversionResult::InputNotOpened)
    NotRead,         // nor read to its end (ConversionResult::InputNotRead)
    NothingMatched,  // the run completed, but no fix matched the reference: no accuracy parts
};

struct RunReport {
    int Placemarks = 0;  // in the "WayPoints" folder (of every piece of a split log)
    // The pieces of a split log, in log order; empty for a run that was not split.
    std::vector<WrittenPiece> Pieces;
    // Neither format found anything of its own at the start of the log.
    bool NothingRecognised = false;
    StopReason Stop = StopReason::None;
    // The file a failed run could not open, read, create or write, with the
    // system's errno; no path for a run that did not fail so.
    FileFailure Failure;
    // The log's summary, of the point list as read (before the folders give
    // dateless points their dates), when the extras ask for it.
    std::optional<tervo::Summary> Summary;
    // The plots, when the extras ask to show the summary (ShowSummary).
    std::vector<NamedPlot> Plots;
    // The accuracy, when the extras name a reference and it could be read.
    std::optional<AccuracyOutcome> Accuracy;
    ReferenceTrouble Reference = ReferenceTrouble::None;
    // The exports of a completed run that could not be written beside the
    // container, with the system's reason: the container was written all the same.
    std::vector<FileFailure> ExportFailures;
};

}  // namespace tervo
