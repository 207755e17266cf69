#include "app/summary_output.h"

#include <vector>

#include "report/accuracy.h"
#include "report/summary.h"

namespace tervo {

namespace {

bool IsOn(const std::optional<double>& flag) { return flag.value_or(0) != 0; }

}  // namespace

std::string SummaryTableText(const RunReport& report) {
    std::string text = SummaryTable(*report.Summary);
    if (report.Accuracy) {
        text += "\n" + AccuracyTable(report.Accuracy->Result, report.Accuracy->Reference);
    }
    return text;
}

namespace {

std::string JsonOf(const RunReport& report) {
    std::vector<JsonMember> more;
    if (report.Accuracy) {
        more.push_back({"accuracy", AccuracyJson(report.Accuracy->Result, 2)});
    }
    return SummaryJson(*report.Summary, more);
}

}  // namespace

std::string SummaryOutput(const Extras& extras, const RunReport& report) {
    if (!report.Summary) {
        return {};
    }
    std::string text;
    if (IsOn(extras.Summary)) {
        text += SummaryTableText(report);
    }
    if (IsOn(extras.SummaryJson)) {
        text += JsonOf(report);
    }
    return text;
}

MergedOutput MergedSummaryOutput(const Extras& extras, std::span<const MergedLog> logs) {
    MergedOutput output;
    std::string& text = output.Out;
    if (IsOn(extras.Summary)) {
        for (const MergedLog& log : logs) {
            if (log.Report.Summary) {
                text += "== " + log.Name + " ==\n" + SummaryTableText(log.Report) + "\n";
            }
        }
    }
    // JSON alone keeps standard output JSON alone: the table goes with the status texts then.
    const bool jsonAlone = IsOn(extras.SummaryJson) && !IsOn(extras.Summary);
    (jsonAlone ? output.Err : text) += MergedAccuracyTable(logs, false);
    if (IsOn(extras.SummaryJson)) {
        std::string array;
        for (const MergedLog& log : logs) {
            if (log.Report.Summary) {
                std::string object = JsonOf(log.Report);
                object.pop_back();  // its line end: the array's separator follows
                array += (array.empty() ? "" : ",\n") + object;
            }
        }
        text += array.empty() ? "[]\n" : "[\n" + array + "\n]\n";
    }
    return output;
}

std::string ExtrasConflict(const Extras& extras) {
    if (extras.ColourBy == kColourByError && !AsksForAccuracy(extras)) {
        return "--colour-by error needs a reference: --reference-point or --reference-log";
    }
    return {};
}

}  // namespace tervo
