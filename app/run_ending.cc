#include "app/run_ending.h"

#include <cerrno>

#include "app/error_text.h"

namespace tervo {

namespace {

RunEnding Ending(int status, EndingKind kind, std::string text, const FileFailure& failure = {}) {
    RunEnding ending;
    ending.Status = status;
    ending.Kind = kind;
    ending.Text = std::move(text);
    ending.Path = failure.path;
    ending.Reason = SystemReason(failure.error);
    return ending;
}

RunEnding StoppedEnding(StopReason reason) {
    RunEnding ending = Ending(kExitStopped, EndingKind::Error, "Operation aborted");
    if (reason == StopReason::DateNotFound) {
        ending.Advice =
            "A point has no date: give a fallback date with CheckBox1=1 and MaskEdit1=YYYY-MM-DD in the "
            "[Settings] section of the settings file.";
    }
    return ending;
}

// A completed run whose fixes all missed the reference: the KMZ file holds no accuracy part.
RunEnding NothingMatchedEnding(const RunReport& report) {
    const std::string reference = report.Accuracy ? report.Accuracy->Reference : "the reference";
    RunEnding ending = Ending(kExitWrongFormat, EndingKind::Note, "no epoch matched " + reference);
    const AccuracyFigures& all = report.Accuracy ? report.Accuracy->Result.All : AccuracyFigures{};
    ending.Advice = all.UnmatchedEpochs == 0
                        ? "The log has no valid fix; the KMZ file was written without the accuracy."
                        : "None of the log's " + std::to_string(all.UnmatchedEpochs) +
                              " fixes lies within the reference's times (UTC, by date when both logs have "
                              "one); the KMZ file was written without the accuracy.";
    return ending;
}

// A completed run whose exports could not all be written: the first one's path
// and reason, the others' in the advice.
RunEnding ExportEnding(const std::vector<FileFailure>& failures) {
    RunEnding ending = Ending(kExitExportFailed, EndingKind::Error,
                              failures.size() == 1 ? "Cannot write the export" : "Cannot write the exports",
                              failures.front());
    for (size_t i = 1; i < failures.size(); ++i) {
        const std::string reason = SystemReason(failures[i].error);
        ending.Advice += (i == 1 ? "Also " : ", ") + failures[i].path + (reason.empty() ? "" : ": " + reason);
    }
    if (!ending.Advice.empty()) {
        ending.Advice += ".";
    }
    if (failures.front().error == EEXIST) {
        ending.Advice += std::string(ending.Advice.empty() ? "" : " ") +
                         "An export is never written over the log or the KMZ file itself.";
    }
    return ending;
}

}  // namespace

RunEnding EndingOf(ConversionResult result, const RunReport& report, const std::string& inputPath) {
    const FileFailure& failure = report.Failure;
    switch (result) {
        case ConversionResult::Completed:
            if (!report.ExportFailures.empty()) {
                return ExportEnding(report.ExportFailures);
            }
            if (report.NothingRecognised && report.Placemarks == 0) {
                return Ending(kExitWrongFormat, EndingKind::Note, "no position found in " + inputPath);
            }
            if (report.Reference == ReferenceTrouble::NothingMatched) {
                return NothingMatchedEnding(report);
            }
            return {};
        case ConversionResult::LooksLikeBinr:
            return Ending(kExitWrongFormat, EndingKind::Note,
                          "the input looks like a BINR log; use --format binr");
        case ConversionResult::LooksLikeNmea:
            return Ending(kExitWrongFormat, EndingKind::Note,
                          "the input looks like an NMEA log; use --format nmea");
        case ConversionResult::InputNotOpened:
            return Ending(kExitInputNotOpened, EndingKind::ShownByRun,
                          report.Reference == ReferenceTrouble::NotOpened ? "Can't open the reference log"
                                                                          : "Can't open the input file",
                          failure);
        case ConversionResult::OutputNotCreated:
            return Ending(kExitOutputNotCreated, EndingKind::ShownByRun, "Can't create the output file",
                          failure);
        case ConversionResult::Stopped:
            return StoppedEnding(report.Stop);
        case ConversionResult::WriteFailed:
            return Ending(kExitWriteFailed, EndingKind::ShownByRun, "Can't write the output file", failure);
        case ConversionResult::InputNotRead:
            return Ending(kExitInputNotRead, EndingKind::ShownByRun,
                          report.Reference == ReferenceTrouble::NotRead ? "Can't read the reference log"
                                                                        : "Can't read the input file",
                          failure);
    }
    return Ending(kExitOtherError, EndingKind::Error, "An unexpected ending of the conversion");
}

RunEnding EndingOfLiveStart(const FileFailure& failure, bool recording) {
    RunEnding ending =
        Ending(kExitOutputNotCreated, EndingKind::Error, "Can't create the output file", failure);
    if (recording && failure.error == EEXIST) {
        ending.Advice = "A recording is never written over: name a new file with --record.";
    }
    return ending;
}

RunEnding EndingOfError(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const CreateFileError& created) {
        return Ending(kExitFileNotCreated, EndingKind::Error, created.what(),
                      {created.path(), created.error()});
    } catch (const std::exception& other) {
        return Ending(kExitOtherError, EndingKind::Error, other.what());
    } catch (...) {
        return Ending(kExitOtherError, EndingKind::Error, "An unexpected error ended the conversion");
    }
}

std::string WhereText(const RunEnding& ending) {
    if (ending.Path.empty() || ending.Reason.empty()) {
        return ending.Path;
    }
    return ending.Path + ": " + ending.Reason;
}

std::string OneLine(const RunEnding& ending) {
    std::string line = ending.Text;
    const std::string where = WhereText(ending);
    if (!where.empty()) {
        line += " (" + where + ")";
    }
    if (!ending.Advice.empty()) {
        line = WithFullStop(line) + " " + ending.Advice;
    }
    return line;
}

}  // namespace tervo
