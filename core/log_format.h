// The two log formats a run reads, and the window's format choice.
#pragma once

#include <cstdint>
#include <optional>

namespace tervo {

enum class LogFormat { Nmea, Binr };

// The format of the window's choice RadioGroup1 (0 NMEA, 1 BINR); nothing for
// any other index, with which a run reads nothing.
inline std::optional<LogFormat> LogFormatOfIndex(int32_t index) {
    if (index == 0) {
        return LogFormat::Nmea;
    }
    if (index == 1) {
        return LogFormat::Binr;
    }
    return std::nullopt;
}

// "nmea" or "binr", as the command line and the summary name them.
inline const char* LogFormatName(LogFormat format) { return format == LogFormat::Binr ? "binr" : "nmea"; }

}  // namespace tervo
