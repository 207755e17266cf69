#include "app/many_logs.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/console_front_end.h"
#include "app/error_text.h"
#include "app/file_fields.h"
#include "app/run_ending.h"
#include "app/settings.h"
#include "app/summary_output.h"
#include "core/errors.h"
#include "core/paths.h"
#include "run/conversion.h"
#include "run/merge.h"

namespace tervo {

namespace {

// The one platform of the program, asked from every conversion at once: the
// system's keeps a cache of today's date, so every call is made under a lock.
class LockedPlatform : public Platform {
public:
    explicit LockedPlatform(Platform& platform) : platform_(platform) {}
    CivilDate Today() override {
        std::lock_guard lock(mutex_);
        return platform_.Today();
    }
    std::string ProgramDirectory() override {
        std::lock_guard lock(mutex_);
        return platform_.ProgramDirectory();
    }
    bool LastWriteTime(const std::string& path, CivilTime* local) override {
        std::lock_guard lock(mutex_);
        return platform_.LastWriteTime(path, local);
    }
    bool IsWritableDirectory(const std::string& directory) override {
        std::lock_guard lock(mutex_);
        return platform_.IsWritableDirectory(directory);
    }
    std::string EnvironmentValue(const std::string& name) override {
        std::lock_guard lock(mutex_);
        return platform_.EnvironmentValue(name);
    }

private:
    Platform& platform_;
    std::mutex mutex_;
};

// How one log ended.
struct LogOutcome {
    int status = kExitOtherError;
    int placemarks = 0;
    double seconds = 0;
    std::string text;  // the status line after "<log>: "
    // The merge form's part of the document.
    MergedLog merged;
};

// The status line of a log: what became of a completed one (`done`: "written
// <path>", "converted"), or its ending on one line.
void DescribeEnding(const RunEnding& ending, const RunReport& report, const std::string& done,
                    LogOutcome& outcome) {
    outcome.status = ending.Status;
    if (ending.Kind == EndingKind::Completed ||
        (ending.Kind == EndingKind::Note && report.NothingRecognised)) {
        outcome.placemarks = report.Placemarks;
        outcome.text = "Waypoints " + std::to_string(report.Placemarks) + ", " + done;
        if (!ending.Text.empty()) {
            outcome.text += "; " + ending.Text;
        }
        return;
    }
    outcome.text = OneLine(ending);
}

// What a completed run wrote: "written <path>", or the paths of its pieces.
std::string WrittenText(const RunReport& report, const std::string& outputPath) {
    if (report.Pieces.empty()) {
        return "written " + outputPath;
    }
    std::string text = "written " + std::to_string(report.Pieces.size()) + " pieces:";
    for (const WrittenPiece& piece : report.Pieces) {
        text += " " + piece.Path;
    }
    return text;
}

// One log of either form, from its start to its ending; never throws.
LogOutcome ConvertOne(const ManyLogsLine& line, const WindowSettings& values, const std::string& logPath,
                      const std::string& outputPath, size_t index, Platform& platform, AllocationGate* gate) {
    const auto start = std::chrono::steady_clock::now();
    LogOutcome outcome;
    try {
        FileField edit1;
        Edit1Change(edit1, logPath, platform.ProgramDirectory());
        FileField edit6;
        edit6.fullPath = outputPath;
        edit6.text = FileNamePart(outputPath);
        const ConversionSettings settings = MakeConversionSettings(values, edit1, edit6, line.format, false);
        SentenceAssembler assembler;  // each log its own: it keeps the sentence being read
        SilentView view;
        if (line.mergePath.empty()) {
            RunReport report;
            const ConversionResult result = RunConversion(settings, view, assembler, platform, gate, &report);
            DescribeEnding(EndingOf(result, report, logPath), report, WrittenText(report, outputPath),
                           outcome);
        } else {
            outcome.merged = ConvertForMerge(settings, index, view, assembler, platform, gate);
            const MergedLog& merged = outcome.merged;
            DescribeEnding(EndingOf(merged.Result, merged.Report, logPath), merged.Report, "converted",
                           outcome);
        }
    } catch (...) {
        const RunEnding ending = EndingOfError(std::current_exception());
        outcome.status = ending.Status;
        outcome.text = OneLine(ending);
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

// Runs `work(i)` for every i below `count` on up to `jobs` threads, this one
// among them. A thread that cannot be started leaves its share to the others.
template <typename Work>
void RunOnThreads(size_t count, int jobs, Work work) {
    std::atomic<size_t> next = 0;
    auto worker = [&] {
        for (size_t i = next++; i < count; i = next++) {
            work(i);
        }
    };
    std::vector<std::thread> threads;
    const size_t extra = std::min<size_t>(static_cast<size_t>(std::max(jobs, 1)), count) - 1;
    for (size_t i = 0; i < extra; ++i) {
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error&) {
            break;
        }
    }
    worker();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

// The closing table: each log, its placemarks, its seconds and how it ended.
void PrintTable(std::FILE* err, const ManyLogsLine& line, const std::vector<LogOutcome>& outcomes) {
    size_t width = 3;
    for (const std::string& log : line.logs) {
        width = std::max(width, log.size());
    }
    const int logWidth = static_cast<int>(width);
    std::fprintf(err, "\n%-*s  %10s  %8s  %s\n", logWidth, "log", "placemarks", "seconds", "result");
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const LogOutcome& outcome = outcomes[i];
        const std::string result = outcome.status == kExitCompleted
                                       ? (line.mergePath.empty() ? "written" : "converted")
                                       : "failed, status " + std::to_string(outcome.status);
        std::fprintf(err, "%-*s  %10d  %8.2f  %s\n", logWidth, line.logs[i].c_str(), outcome.placemarks,
                     outcome.seconds, result.c_str());
    }
}

// The merged container of `outcomes` written to `mergePath`, and its
// summaries printed: the run's exit status, `status` unless this fails.
int WriteMerged(const std::string& mergePath, const Extras& extras, std::vector<LogOutcome>& outcomes,
                int status, Platform& platform, std::FILE* out, std::FILE* err) {
    // A merged container stands for all its logs: one that was not converted
    // leaves it unwritten (one without a position is merged, as it is written alone).
    const bool allConverted = std::all_of(outcomes.begin(), outcomes.end(), [](const LogOutcome& outcome) {
        return outcome.status == kExitCompleted ||
               (outcome.status == kExitWrongFormat && outcome.merged.Result == ConversionResult::Completed);
    });
    if (!allConverted) {
        std::fprintf(err, "tervoconverter: not every log was converted; %s was not written\n",
                     mergePath.c_str());
        return status;
    }
    std::vector<MergedLog> merged;
    for (LogOutcome& outcome : outcomes) {
        merged.push_back(std::move(outcome.merged));
    }
    try {
        PackMergedKmz(mergePath, merged, platform);
    } catch (const CreateFileError&) {
        std::fprintf(err, "%s\n", OneLine(EndingOfError(std::current_exception())).c_str());
        return status == kExitCompleted ? kExitFileNotCreated : status;
    }
    std::fprintf(err, "KMZ file written: %s\n", mergePath.c_str());
    const MergedOutput summaries = MergedSummaryOutput(extras, merged);
    std::fputs(summaries.Err.c_str(), err);
    std::fputs(summaries.Out.c_str(), out);
    if (std::fflush(out) != 0 || std::ferror(out) != 0) {
        std::fprintf(err, "tervoconverter: the summary could not be written to standard output\n");
        return status == kExitCompleted ? kExitOtherError : status;
    }
    return status;
}

}  // namespace

int RunManyLogs(const ManyLogsLine& line, Platform& platform, std::FILE* out, std::FILE* err,
                AllocationGate* gate) {
    const std::string currentDirectory = CurrentDirectory();
    const std::optional<std::string> settingsPath =
        line.settingsPath.empty() ? std::nullopt
                                  : std::optional(AbsoluteFrom(line.settingsPath, currentDirectory));
    const WindowSettings values = LoadCommandLineSettings(settingsPath, line.extras, err);
    if (const std::string conflict = ExtrasConflict(values.Extras); !conflict.empty()) {
        std::fprintf(err, "tervoconverter: %s\nRun with --help for more information.\n", conflict.c_str());
        return kExitBadCommandLine;
    }
    if (!line.mergePath.empty() && values.Extras.Export) {
        std::fprintf(
            err,
            "tervoconverter: --export (or Export= in [Extras]) does not go with --merge: convert the "
            "logs with --out-dir for their exports\n");
        return kExitBadCommandLine;
    }
    LockedPlatform shared(platform);

    std::vector<LogOutcome> outcomes(line.logs.size());
    std::mutex printing;
    RunOnThreads(line.logs.size(), line.jobs, [&](size_t i) {
        const std::string logPath = AbsoluteFrom(line.logs[i], currentDirectory);
        const std::string outputPath = line.mergePath.empty()
                                           ? AbsoluteFrom(FileNamePart(ProposedOutputPath(logPath)),
                                                          AbsoluteFrom(line.outDir, currentDirectory))
                                           : std::string();
        LogOutcome outcome = ConvertOne(line, values, logPath, outputPath, i, shared, gate);
        std::lock_guard lock(printing);
        std::fprintf(err, "%s: %s\n", line.logs[i].c_str(), outcome.text.c_str());
        std::fflush(err);
        outcomes[i] = std::move(outcome);
    });
    PrintTable(err, line, outcomes);

    int status = kExitCompleted;
    for (const LogOutcome& outcome : outcomes) {
        if (outcome.status != kExitCompleted) {
            status = outcome.status;
            break;
        }
    }
    if (line.mergePath.empty()) {
        return status;
    }
    return WriteMerged(AbsoluteFrom(line.mergePath, currentDirectory), values.Extras, outcomes, status,
                       platform, out, err);
}

}  // namespace tervo
