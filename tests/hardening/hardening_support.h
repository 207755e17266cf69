// Whole runs for the hardening tests: a log through RunConversion into a KMZ
// file, or the built program in batch mode, and the checks every finished
// document must pass.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "run/conversion.h"

namespace tervo::testing {

struct RunOutcome {
    ConversionResult result = ConversionResult::Completed;
    // The left pane's texts in order, blank ones left out.
    std::vector<std::string> statuses;
    // The right pane's last text ("Waypoints N").
    std::string countText;
    // The KML document inside the KMZ file, "" when there is none.
    std::string kml;
    // Set when the run ended with CreateFileError.
    std::string error;
};

// Converts the log at `inputPath` into the KMZ file `outputPath` with the
// display values and format of `settings` (its paths and names are set here).
RunOutcome ConvertFile(const std::string& inputPath, const std::string& outputPath,
                       ConversionSettings settings = {});

// "" when the run completed and its document passes our checks and, when it is
// installed, xmllint; otherwise what is wrong. `scratchDir` takes a copy of the
// document for xmllint.
std::string FinishedDocumentError(const RunOutcome& run, const std::string& scratchDir);

// "$" + body + "*" + the checksum in upper-case hexadecimal + CR LF.
std::string Sentence(std::string_view body);

struct ProgramOutcome {
    // False when the program could not be started (the user switch, the change
    // of directory or the exec failed); status and err are then not its own.
    bool started = false;
    int status = -1;  // the exit status; -1 when it did not exit normally or did not start
    std::string err;
};

// Runs `argv` (argv[0] is the program's path) with `workDir` as current
// directory and stderr captured; as `uid` (with its group) when it is not -1.
// A program still running after a minute is killed: a hang fails the test
// instead of holding the suite. When the program cannot be started, the test
// fails with "could not start the program as uid N: <reason>" and `started` is
// false.
ProgramOutcome RunProgram(const std::vector<std::string>& argv, const std::string& workDir,
                          uid_t uid = static_cast<uid_t>(-1));

// A fresh directory that every user can enter and read (mode 0755), made under
// /tmp, which every user can reach wherever TMPDIR and the checkout lie; removed
// with its contents when the object goes. A test that runs the program as
// another user copies there what that user needs: the program and its inputs.
class SharedDir {
public:
    SharedDir();
    ~SharedDir();
    SharedDir(const SharedDir&) = delete;
    SharedDir& operator=(const SharedDir&) = delete;
    // Ends with "/".
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }
    // Copies the file `source` in as `name`, readable by all (and executable by
    // all when it is a program); returns the copy's path.
    std::string CopyIn(const std::string& source, const std::string& name) const;

private:
    std::string path_;
};

// The built converter (TERVO_APP_DIR) and the simulators (TERVO_TOOLS_DIR).
std::string ConverterPath();
// Writes a log of our simulator: tool "simulate_log" or "simulate_binr".
void Simulate(const std::string& tool, int epochs, const std::string& path);

}  // namespace tervo::testing
