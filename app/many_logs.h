// The console's forms for several logs at once:
//
//   tervoconverter [options] --out-dir DIR LOG...     each LOG into DIR/<LOG's name>.kmz
//   tervoconverter [options] --merge OUT.kmz LOG...   all LOGs side by side in OUT.kmz
//
// Every path of these forms is relative to the current directory. --jobs N
// converts N logs at once; --settings FILE names the settings file; --format
// and the extras apply to every log.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/log_format.h"
#include "core/platform.h"
#include "core/point_list.h"
#include "run/extras.h"

namespace tervo {

// Logs converted at once when --jobs is not given. Each conversion already
// keeps a second core busy (the deflater and the folder writer) and waits for
// its container to reach the disk; on two cores, eight one-hour logs took a
// median 4.0 s with 1, 2.7 s with 2 and 4.0 s with 4 at once.
inline constexpr int kDefaultJobs = 2;

struct ManyLogsLine {
    std::vector<std::string> logs;
    std::string outDir;        // the --out-dir form when not empty
    std::string mergePath;     // the --merge form when not empty
    std::string settingsPath;  // --settings; empty: the built-in settings
    int jobs = kDefaultJobs;
    LogFormat format = LogFormat::Nmea;
    Extras extras;  // asked for on the command line; they override the settings file's
};

// Runs either form to its end and returns the exit status of the first log, in
// the order given, that did not end in kExitCompleted (0 when none). A status
// line goes to `err` as each log finishes, a table of all of them at the end.
// After a merge, the summaries the extras ask for and the receivers' accuracy
// go to `out` (see MergedSummaryOutput). `gate`, when given, is asked from
// every conversion at once.
int RunManyLogs(const ManyLogsLine& line, Platform& platform, std::FILE* out, std::FILE* err,
                AllocationGate* gate);

}  // namespace tervo
