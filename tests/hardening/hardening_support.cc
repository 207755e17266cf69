#include "hardening_support.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "core/paths.h"
#include "fuzz/kml_checks.h"
#include "support/recording_view.h"
#include "support/test_files.h"
#include "support/zip_reader.h"
#include "support/test_builders.h"

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

ProgramOutcome RunProgram(const std::vector<std::string>& argv, const std::string& workDir, uid_t uid) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::FILE* err = std::tmpfile();
    const pid_t child = fork();
    if (child == 0) {
        const bool switched = uid == static_cast<uid_t>(-1) ||
                              (setgroups(0, nullptr) == 0 && setgid(uid) == 0 && setuid(uid) == 0);
        if (!switched || chdir(workDir.c_str()) != 0 || dup2(fileno(err), 2) < 0) {
            _exit(127);
        }
        alarm(60);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        execv(args[0], args.data());
        _exit(127);
    }
    ProgramOutcome outcome;
    int wstatus = 0;
    if (child > 0 && waitpid(child, &wstatus, 0) == child && WIFEXITED(wstatus)) {
        outcome.status = WEXITSTATUS(wstatus);
    }
    std::rewind(err);
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, err)) > 0;) {
        outcome.err.append(block, n);
    }
    std::fclose(err);
    return outcome;
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
