// Start-up without a window: the batch command line
//
//   tervoconverter [--format nmea|binr] INPUT OUTPUT [SETTINGS]
//
// converts INPUT into the KMZ file OUTPUT with the display settings of SETTINGS
// and returns an exit status that tells how the run ended. --help and --version
// print to stdout; status texts, the progress bar and errors go to `err`.
//
// INPUT is relative to the program's directory, OUTPUT names a file there, and
// SETTINGS is relative to the current directory (without it, or when it names no
// file, the built-in defaults apply); an absolute path is used as it stands.
#pragma once

#include <cstdio>
#include <string>

#include "app/run_ending.h"
#include "core/platform.h"
#include "core/point_list.h"
#include "nmea/sentence.h"

namespace tervo {

// True when the window would not open: two or more paths, or anything that
// starts with "-" but "-" itself (an option; an unknown one the console
// rejects). "--" ends the options.
bool IsConsoleCommandLine(int argc, char** argv);

// Runs the command line to its end and returns the exit status. With fewer than
// two positional arguments and no --help or --version it prints the usage on
// `err` and returns kExitBadCommandLine.
int RunConsoleFrontEnd(int argc, char** argv, Platform& platform, SentenceAssembler& assembler,
                       std::FILE* err);
// The same, with --help and --version written to `out` instead of stdout, and
// `gate` deciding each node allocation of the run (nullptr allows every node).
int RunConsoleFrontEnd(int argc, char** argv, Platform& platform, SentenceAssembler& assembler,
                       std::FILE* out, std::FILE* err, AllocationGate* gate = nullptr);

struct RunEnding;

// What the console adds to the run's own status texts on `err` for `ending`:
// the error (the run did not show it), the front end's remark, where and what
// to do. Returns the ending's exit status.
int PrintEnding(std::FILE* err, const RunEnding& ending);

// The path LoadSettings reads for the third argument: behind "./" (relative to the
// current directory), or unchanged when absolute. An empty argument gives "./",
// the current directory itself, which is no file.
std::string SettingsPathFromArgument(const std::string& argument);

}  // namespace tervo
