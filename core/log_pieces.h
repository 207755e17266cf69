// Cutting a log into pieces, each written as an output of its own: where the
// receiver's time has a gap, or where a UTC day ends; and the names of the
// pieces' files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/record.h"

namespace tervo {

// The points [Begin, End) of a log, in log order.
struct LogPiece {
    size_t Begin = 0;
    size_t End = 0;
    // By day: the UTC day, in days from 1970-01-01; nullopt when no point of
    // the log has a date. RelativeDay counts the midnights the times passed
    // since the first timed point, for pieces of a log without dates.
    std::optional<int64_t> Day;
    int64_t RelativeDay = 0;
};

// How the times of the points are read, shared by both cuts. A point is timed
// when it has a time text; its date counts when it is a real date. A step of
// the time of day back by 12 hours or more between timed points is midnight
// (the next day); a shorter step back is time running back. Untimed points go
// with the piece of the point before them (the first piece when none).

// Cuts before each timed point whose time differs from the previous timed
// point's by more than `gapSeconds` (forward or back; the dates of both count
// when both have one). Never an empty piece; no pieces for no points.
std::vector<LogPiece> SplitAtGaps(std::span<const waypoints* const> points, double gapSeconds);

// Cuts where the UTC day changes: a point's day is its date; a point without a
// date has the day of the timed point before it, the next day after midnight.
// Points before the first date take the first date's day, counted back over
// the midnights between; in a log without any date only midnights cut, and
// Day stays nullopt.
std::vector<LogPiece> SplitByUtcDay(std::span<const waypoints* const> points);

// Both cuts as a run asks for them: at gaps longer than GapSeconds, at the
// ends of UTC days, or at either (each piece then within one day, Day set).
struct SplitRule {
    std::optional<double> GapSeconds;
    bool ByDay = false;
};
std::vector<LogPiece> SplitLog(std::span<const waypoints* const> points, const SplitRule& rule);

// The output path of each piece: `outputPath` with "-N" (N from 1) put before
// the extension of its file name ("drive.kmz" -> "drive-1.kmz"), or by day
// "-yyyy-mm-dd" ("drive-2024-05-17.kmz"); a file name without a full stop gets
// it at the end. By day, a piece without a Day takes `defaultDay` plus its
// RelativeDay, or "-N" when there is none; a day that comes again (a log whose
// time ran back) takes "-2", "-3" after the date.
std::vector<std::string> PiecePaths(const std::string& outputPath, const std::vector<LogPiece>& pieces,
                                    bool byDay, std::optional<int64_t> defaultDay = std::nullopt);

}  // namespace tervo
