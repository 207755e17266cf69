#include "core/log_pieces.h"

#include <cmath>
#include <cstdlib>
#include <map>

#include "core/calendar.h"
#include "core/paths.h"

namespace tervo {

namespace {

constexpr int64_t kDayMs = 86400000;
// A step back at least this long is midnight; a shorter one is time running back.
constexpr int64_t kMidnightStepMs = kDayMs / 2;

// A point as the walk over the times reads it.
struct PointTime {
    bool timed = false;
    int64_t ms = 0;
    int64_t relativeDay = 0;     // midnights since the first timed point
    std::optional<int64_t> day;  // its date, or the date carried on from the points before
};

std::vector<PointTime> ReadTimes(std::span<const waypoints* const> points) {
    std::vector<PointTime> times;
    times.reserve(points.size());
    std::optional<int64_t> lastMs;
    int64_t relativeDay = 0;
    std::optional<int64_t> day;
    for (const waypoints* point : points) {
        PointTime time;
        time.timed = !point->Time.empty();
        time.ms = point->TimeMs;
        if (time.timed) {
            if (lastMs && time.ms - *lastMs <= -kMidnightStepMs) {
                ++relativeDay;
                if (day) {
                    ++*day;
                }
            }
            lastMs = time.ms;
        }
        if (const std::optional<int64_t> own = DaysOfDateText(point->Date)) {
            day = own;
        }
        time.relativeDay = relativeDay;
        time.day = day;
        times.push_back(time);
    }
    return times;
}

// Pieces cut before every point `cut` says, from the first timed point on.
template <typename Cut>
std::vector<LogPiece> CutWhere(const std::vector<PointTime>& times, Cut cut) {
    std::vector<LogPiece> pieces;
    if (times.empty()) {
        return pieces;
    }
    pieces.push_back({});
    const PointTime* last = nullptr;  // the last timed point
    for (size_t i = 0; i < times.size(); ++i) {
        const PointTime& time = times[i];
        if (time.timed) {
            if (last != nullptr && cut(*last, time)) {
                pieces.back().End = i;
                pieces.push_back({i, i, std::nullopt, time.relativeDay});
            }
            last = &time;
        }
        if (!pieces.back().Day) {
            pieces.back().Day = time.day;
        }
    }
    pieces.back().End = times.size();
    return pieces;
}

bool GapBetween(const PointTime& a, const PointTime& b, double gapMs) {
    const int64_t days = a.day && b.day ? *b.day - *a.day : b.relativeDay - a.relativeDay;
    return static_cast<double>(std::llabs(days * kDayMs + b.ms - a.ms)) > gapMs;
}

bool DayChangeBetween(const PointTime& a, const PointTime& b) {
    return a.day && b.day ? *a.day != *b.day : a.relativeDay != b.relativeDay;
}

// Only pieces before the first date lack a day: counted back from it.
void CountBackToTheFirstDate(std::vector<LogPiece>& pieces) {
    for (const LogPiece& known : pieces) {
        if (known.Day) {
            for (LogPiece& piece : pieces) {
                if (&piece == &known) {
                    break;
                }
                piece.Day = *known.Day - (known.RelativeDay - piece.RelativeDay);
            }
            return;
        }
    }
}

}  // namespace

std::vector<LogPiece> SplitLog(std::span<const waypoints* const> points, const SplitRule& rule) {
    const std::optional<double> gapMs =
        rule.GapSeconds ? std::optional<double>(*rule.GapSeconds * 1000) : std::nullopt;
    std::vector<LogPiece> pieces = CutWhere(ReadTimes(points), [&](const PointTime& a, const PointTime& b) {
        return (gapMs && GapBetween(a, b, *gapMs)) || (rule.ByDay && DayChangeBetween(a, b));
    });
    if (rule.ByDay) {
        CountBackToTheFirstDate(pieces);
    } else {
        for (LogPiece& piece : pieces) {
            piece.Day.reset();
        }
    }
    return pieces;
}

std::vector<LogPiece> SplitAtGaps(std::span<const waypoints* const> points, double gapSeconds) {
    return SplitLog(points, {gapSeconds, false});
}

std::vector<LogPiece> SplitByUtcDay(std::span<const waypoints* const> points) {
    return SplitLog(points, {std::nullopt, true});
}

std::vector<std::string> PiecePaths(const std::string& outputPath, const std::vector<LogPiece>& pieces,
                                    bool byDay, std::optional<int64_t> defaultDay) {
    const std::string name = FileNamePart(outputPath);
    const size_t stop = name.rfind('.');
    const size_t cut = outputPath.size() - name.size() + (stop == std::string::npos ? name.size() : stop);
    const std::string stem = outputPath.substr(0, cut);
    const std::string extension = outputPath.substr(cut);
    std::vector<std::string> paths;
    std::map<int64_t, int> seen;
    for (size_t i = 0; i < pieces.size(); ++i) {
        std::optional<int64_t> day = pieces[i].Day;
        if (!day && defaultDay) {
            day = *defaultDay + pieces[i].RelativeDay;
        }
        if (!byDay || !day) {
            paths.push_back(stem + "-" + std::to_string(i + 1) + extension);
            continue;
        }
        const int count = ++seen[*day];
        paths.push_back(stem + "-" + DateTextOfDays(*day) + (count > 1 ? "-" + std::to_string(count) : "") +
                        extension);
    }
    return paths;
}

}  // namespace tervo
