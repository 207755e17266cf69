// What the console prints of a run's summary on standard output: the summary
// table with the accuracy section after it, the JSON with its "accuracy"
// object, and for receivers merged side by side their figures in one table
// and their JSON objects in one array.
#pragma once

#include <span>
#include <string>

#include "run/extras.h"
#include "run/merge.h"
#include "run/run_report.h"

namespace tervo {

// The summary table of a run's report, with the accuracy section after it
// when the report has one (the window's summary shows it so).
std::string SummaryTableText(const RunReport& report);

// The texts `extras` ask for (Summary, then SummaryJson) of one run's report;
// empty when the report holds no summary.
std::string SummaryOutput(const Extras& extras, const RunReport& report);

// The same for the merged logs, for standard output and standard error: each
// log's table after a line with its name; when the extras name a reference, the
// receivers' accuracy side by side (whether or not a summary is asked for: it
// is what a merge with a reference is for); then the JSON objects in one array
// in the logs' order. With the JSON alone, standard output holds the JSON
// alone and the accuracy table goes to standard error.
struct MergedOutput {
    std::string Out;
    std::string Err;
};
MergedOutput MergedSummaryOutput(const Extras& extras, std::span<const MergedLog> logs);

// Why `extras` cannot run, as a bad command line says it: the error colours
// without a reference; empty when they can.
std::string ExtrasConflict(const Extras& extras);

}  // namespace tervo
