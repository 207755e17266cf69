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
#include "app/settings.h"
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

// Keeps what a run shows instead of printing it: lines of runs on several
// threads would interleave. The log's one line is printed when it finishes.
class CollectingView : public SilentView {
public:
    void ShowStatus(const std::string& text) override {
        if (!text.empty()) {
            lastStatus = text;
        }
    }

    std::string lastStatus;
};

// How one log ended.
struct LogOutcome {
    int status = kExitOtherError;
    int placemarks = 0;
    double seconds = 0;
    std::string text;  // the status line after "<log>: "
    // The merge form's document of the log and its icons' colours.
    std::string kml;
    std::vector<int32_t> iconColours;
};

// " (<path>: <reason>)" for a failure that names a file; "" otherwise.
std::string WhereText(const FileFailure& failure) {
    if (failure.path.empty()) {
        return "";
    }
    const std::string reason = SystemReason(failure.error);
    return " (" + failure.path + (reason.empty() ? "" : ": ") + reason + ")";
}

// "Cannot create file <path>." with the system's reason behind it.
std::string CreateFileText(const CreateFileError& error) {
    const std::string reason = SystemReason(error.error());
    return WithFullStop(error.what()) + (reason.empty() ? "" : " (" + reason + ")");
}

// The status and the text of a run that ended with `result`; `done` says what
// became of a completed log ("written <path>", "converted").
void DescribeEnding(ConversionResult result, const RunReport& report, const std::string& lastStatus,
                    const FileFailure& failure, const std::string& done, LogOutcome& outcome) {
    switch (result) {
        case ConversionResult::Completed:
            outcome.placemarks = report.Placemarks;
            outcome.text = "Waypoints " + std::to_string(report.Placemarks) + ", " + done;
            outcome.status = kExitCompleted;
            if (report.NothingRecognised && report.Placemarks == 0) {
                outcome.text += "; no position found in it";
                outcome.status = kExitWrongFormat;
            }
            return;
        case ConversionResult::LooksLikeBinr:
            outcome.text = "the input looks like a BINR log; use --format binr";
            outcome.status = kExitWrongFormat;
            return;
        case ConversionResult::LooksLikeNmea:
            outcome.text = "the input looks like an NMEA log; use --format nmea";
            outcome.status = kExitWrongFormat;
            return;
        case ConversionResult::InputNotOpened:
            outcome.text = "Can't open the input file" + WhereText(failure);
            outcome.status = kExitInputNotOpened;
            return;
        case ConversionResult::OutputNotCreated:
            outcome.text = "Can't create the output file" + WhereText(failure);
            outcome.status = kExitOutputNotCreated;
            return;
        case ConversionResult::Stopped:
            outcome.text = "Operation aborted";
            if (lastStatus == "Date isn't found") {
                outcome.text += ": a point has no date (give a fallback date in the settings file)";
            }
            outcome.status = kExitStopped;
            return;
        case ConversionResult::WriteFailed:
            outcome.text = "Can't write the output file" + WhereText(failure);
            outcome.status = kExitWriteFailed;
            return;
        case ConversionResult::InputNotRead:
            outcome.text = "Can't read the input file" + WhereText(failure);
            outcome.status = kExitInputNotRead;
            return;
    }
    outcome.text = "an unexpected ending";
    outcome.status = kExitOtherError;
}

// The settings of every log: the file's, with the command line's extras over them.
WindowSettings LoadedSettings(const ManyLogsLine& line, const std::string& currentDirectory, std::FILE* err) {
    MemorySettingsControls controls;
    std::string path = "./";  // a directory, so no file: the built-in settings
    if (!line.settingsPath.empty()) {
        path = AbsoluteFrom(line.settingsPath, currentDirectory);
        if (!IsRegularFile(path)) {
            std::fprintf(
                err,
                "tervoconverter: warning: the settings file %s does not exist; the built-in settings "
                "apply\n",
                path.c_str());
        }
    }
    LoadSettings(path, controls);
    WindowSettings values = controls.values();
    for (const ExtraKey& key : ExtraKeys()) {
        if (line.extras.*key.Member) {
            values.Extras.*key.Member = line.extras.*key.Member;
        }
    }
    return values;
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            throw std::system_error(errno, std::generic_category(), "the current directory");
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
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
        ConversionSettings settings = MakeConversionSettings(values, edit1, edit6, line.format, false);
        SentenceAssembler assembler;  // each log its own: it keeps the sentence being read
        CollectingView view;
        if (line.mergePath.empty()) {
            DiskFiles files(settings, platform);
            RunReport report;
            const ConversionResult result =
                RunConversion(settings, view, assembler, platform, files, gate, &report);
            DescribeEnding(result, report, view.lastStatus, files.LastFailure(), "written " + outputPath,
                           outcome);
        } else {
            settings = SettingsForMergedLog(std::move(settings), index);
            MemoryConversion run = ConvertIntoMemory(settings, view, assembler, platform, gate);
            DescribeEnding(run.result, run.report, view.lastStatus, run.failure, "converted", outcome);
            outcome.kml = std::move(run.kml);
            outcome.iconColours = std::move(run.iconColours);
        }
    } catch (const CreateFileError& error) {
        outcome.text = CreateFileText(error);
        outcome.status = kExitFileNotCreated;
    } catch (const std::exception& error) {
        outcome.text = WithFullStop(error.what());
        outcome.status = kExitOtherError;
    } catch (...) {
        outcome.text = "An unexpected error ended the conversion.";
        outcome.status = kExitOtherError;
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

}  // namespace

std::string AbsoluteFrom(const std::string& path, const std::string& currentDirectory) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    // The root keeps its one separator: WithoutFinalSeparator leaves "/" as it is.
    if (!currentDirectory.empty() && currentDirectory.back() == '/') {
        return currentDirectory + path;
    }
    return currentDirectory + "/" + path;
}

int RunManyLogs(const ManyLogsLine& line, Platform& platform, std::FILE* err, AllocationGate* gate) {
    const std::string currentDirectory = CurrentDirectory();
    const WindowSettings values = LoadedSettings(line, currentDirectory, err);
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
    // A merged container stands for all its logs: one that was not converted
    // leaves it unwritten (one without a position is merged, as it is written alone).
    const std::string mergePath = AbsoluteFrom(line.mergePath, currentDirectory);
    const bool allConverted = std::all_of(outcomes.begin(), outcomes.end(), [](const LogOutcome& outcome) {
        return outcome.status == kExitCompleted ||
               (outcome.status == kExitWrongFormat && !outcome.kml.empty());
    });
    if (!allConverted) {
        std::fprintf(err, "tervoconverter: not every log was converted; %s was not written\n",
                     mergePath.c_str());
        return status;
    }
    std::vector<MergedLog> merged;
    std::vector<int32_t> colours;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        merged.push_back({FileNamePart(line.logs[i]), std::move(outcomes[i].kml)});
        colours.insert(colours.end(), outcomes[i].iconColours.begin(), outcomes[i].iconColours.end());
    }
    try {
        PackMergedKmz(mergePath, ComposeMergedDocument(merged), colours, platform);
    } catch (const CreateFileError& error) {
        std::fprintf(err, "%s\n", CreateFileText(error).c_str());
        return status == kExitCompleted ? kExitFileNotCreated : status;
    }
    std::fprintf(err, "KMZ file written: %s\n", mergePath.c_str());
    return status;
}

}  // namespace tervo
