// The live form of the command line:
//
//   tervoconverter --live SOURCE OUTPUT.kmz [SETTINGS] [--refresh SECONDS] [--record FILE]
//
// receives from SOURCE until SIGINT or SIGTERM (or the end of standard input),
// keeps OUTPUT.kmz refreshed with its link file beside it, then writes the last
// KMZ file and exits as a conversion of the recording would. Paths are taken
// from the current directory. One status line on standard error, rewritten in
// place on a terminal and printed as plain lines otherwise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/log_format.h"
#include "core/platform.h"
#include "run/extras.h"
#include "run/live_run.h"

namespace tervo {

struct LiveLine {
    std::string source;
    std::vector<std::string> positional;  // OUTPUT.kmz [SETTINGS]
    LogFormat format = LogFormat::Nmea;
    Extras extras;
    double refreshSeconds = 2;
    std::string recordPath;  // as given; empty: none
};

inline constexpr double kMinRefreshSeconds = 0.1;
inline constexpr double kMaxRefreshSeconds = 3600;

// Runs the live form to its end; the exit status.
int RunLiveConsole(const LiveLine& line, Platform& platform, std::FILE* err);

// The status line: "1234 fixes, RTK fixed, 12 satellites, last fix 10:16:58.00,
// 1.2 MB received"; before any epoch "waiting for data, 0 B received".
std::string LiveStatusText(const LiveFigures& figures);

// The same without the bytes: what the window's left pane shows.
std::string LiveFiguresText(const LiveFigures& figures);

// A byte count as the status line shows it: "850 B", "12.3 kB", "4.5 MB", "1.2 GB".
std::string ByteCountText(uint64_t bytes);

}  // namespace tervo
