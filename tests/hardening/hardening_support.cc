#include "hardening_support.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "core/paths.h"
#include "fuzz/kml_checks.h"
#include "support/recording_view.h"
#include "support/test_builders.h"
#include "support/test_files.h"
#include "support/zip_reader.h"

namespace tervo::testing {

RunOutcome ConvertFile(const std::string& inputPath, const std::string& outputPath,
                       ConversionSettings settings) {
    settings.InputPath = inputPath;
    settings.InputName = FileNamePart(inputPath);
    settings.OutputPath = outputPath;
    settings.OutputName = FileNamePart(outputPath);
    RecordingView view;
    view.recordTicks = false;
    SentenceAssembler assembler;
    TestPlatform platform(DirectoryPart(outputPath));
    RunOutcome run;
    try {
        run.result = RunConversion(settings, view, assembler, platform);
    } catch (const CreateFileError& error) {
        run.error = error.what();
    }
    for (const std::string& call : view.calls) {
        if (call.starts_with("ShowStatus(") && call != "ShowStatus()" && call != "ShowStatus( )") {
            run.statuses.push_back(call.substr(11, call.size() - 12));
        } else if (call.starts_with("ShowCount(")) {
            run.countText = call.substr(10, call.size() - 11);
        }
    }
    if (run.error.empty() && run.result == ConversionResult::Completed) {
        run.kml = ZipEntryData(outputPath, ChangeFileExtension(FileNamePart(outputPath), ".kml"));
    }
    return run;
}

std::string FinishedDocumentError(const RunOutcome& run, const std::string& scratchDir) {
    if (!run.error.empty() || run.result != ConversionResult::Completed) {
        return "the run did not complete: " +
               (run.error.empty() ? "result " + std::to_string(static_cast<int>(run.result)) : run.error);
    }
    std::string error = fuzzing::KmlDocumentError(run.kml, run.countText);
    if (!error.empty() || access("/usr/bin/xmllint", X_OK) != 0) {
        return error;
    }
    const std::string copy = scratchDir + "document.kml";
    WriteFile(copy, run.kml);
    const ProgramOutcome lint = RunProgram({"/usr/bin/xmllint", "--noout", copy}, scratchDir);
    std::remove(copy.c_str());
    return lint.status == 0 ? "" : "xmllint: " + lint.err;
}

std::string Sentence(std::string_view body) { return testing::NmeaSentence(body); }

namespace {

// What the child could not do before the exec; it writes one to the parent
// through a pipe that the exec closes, so an empty pipe means the program runs.
enum class StartStep : int { SwitchGroups, SwitchGroup, SwitchUser, ChangeDirectory, RedirectOutput, Exec };

struct StartFailure {
    StartStep step;
    int error;  // errno
};

const char* StepText(StartStep step) {
    switch (step) {
        case StartStep::SwitchGroups:
            return "setgroups";
        case StartStep::SwitchGroup:
            return "setgid";
        case StartStep::SwitchUser:
            return "setuid";
        case StartStep::ChangeDirectory:
            return "chdir";
        case StartStep::RedirectOutput:
            return "dup2";
        case StartStep::Exec:
            return "execv";
    }
    return "?";
}

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void FailStart(int pipeOut, StartStep step) {
    const StartFailure failure{step, errno};
    [[maybe_unused]] const ssize_t written = write(pipeOut, &failure, sizeof failure);
    _exit(127);
}

}  // namespace

ProgramOutcome RunProgram(const std::vector<std::string>& argv, const std::string& workDir, uid_t uid) {
    const bool switchUser = uid != static_cast<uid_t>(-1);
    const std::string who = switchUser ? " as uid " + std::to_string(uid) : "";
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    ProgramOutcome outcome;
    int startPipe[2];
    if (pipe2(startPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "could not start the program" << who << ": pipe2: " << std::strerror(errno);
        return outcome;
    }
    std::FILE* err = std::tmpfile();
    const pid_t child = fork();
    const int forkError = errno;
    if (child == 0) {
        close(startPipe[0]);
        if (switchUser) {
            if (setgroups(0, nullptr) != 0) {
                FailStart(startPipe[1], StartStep::SwitchGroups);
            }
            if (setgid(uid) != 0) {
                FailStart(startPipe[1], StartStep::SwitchGroup);
            }
            if (setuid(uid) != 0) {
                FailStart(startPipe[1], StartStep::SwitchUser);
            }
        }
        if (chdir(workDir.c_str()) != 0) {
            FailStart(startPipe[1], StartStep::ChangeDirectory);
        }
        if (dup2(fileno(err), 2) < 0) {
            FailStart(startPipe[1], StartStep::RedirectOutput);
        }
        alarm(60);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        execv(args[0], args.data());
        FailStart(startPipe[1], StartStep::Exec);
    }
    close(startPipe[1]);
    StartFailure failure{};
    ssize_t got = 0;
    if (child > 0) {
        while ((got = read(startPipe[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
        }
    }
    close(startPipe[0]);
    int wstatus = 0;
    const bool exited = child > 0 && waitpid(child, &wstatus, 0) == child && WIFEXITED(wstatus);
    if (child < 0) {
        ADD_FAILURE() << "could not start the program" << who << ": fork: " << std::strerror(forkError);
    } else if (got != 0) {
        ADD_FAILURE() << "could not start the program" << who << ": "
                      << (got == static_cast<ssize_t>(sizeof failure)
                              ? std::string(StepText(failure.step)) + ": " + std::strerror(failure.error)
                              : std::string("no word from the child"))
                      << " (" << args[0] << " in " << workDir << ")";
    } else {
        outcome.started = true;
        if (exited) {
            outcome.status = WEXITSTATUS(wstatus);
        }
    }
    std::rewind(err);
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, err)) > 0;) {
        outcome.err.append(block, n);
    }
    std::fclose(err);
    return outcome;
}

SharedDir::SharedDir() {
    std::string pattern = "/tmp/tervo-shared-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr || chmod(pattern.c_str(), 0755) != 0) {
        throw std::runtime_error("cannot make a directory under /tmp: " + std::string(std::strerror(errno)));
    }
    path_ = pattern + "/";
}

SharedDir::~SharedDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string SharedDir::CopyIn(const std::string& source, const std::string& name) const {
    const std::string copy = File(name);
    std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing);
    const bool program = access(source.c_str(), X_OK) == 0;
    chmod(copy.c_str(), program ? 0755 : 0644);
    return copy;
}

std::string ConverterPath() {
    const char* appDir = std::getenv("TERVO_APP_DIR");
    return appDir == nullptr ? "" : std::string(appDir) + "/tervoconverter";
}

void Simulate(const std::string& tool, int epochs, const std::string& path) {
    const char* toolsDir = std::getenv("TERVO_TOOLS_DIR");
    ASSERT_NE(toolsDir, nullptr) << "run through ctest: TERVO_TOOLS_DIR names the simulators' directory";
    const ProgramOutcome outcome = RunProgram({std::string(toolsDir) + "/" + tool, "--epochs",
                                               std::to_string(epochs), "--seed", "11", "--out", path},
                                              "/");
    ASSERT_EQ(outcome.status, 0) << tool << ": " << outcome.err;
}

}  // namespace tervo::testing
