// The epochs of a log on one continuous time scale, for the summary and the
// plots.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/fix_quality.h"
#include "core/point_list.h"

namespace tervo {

// How the scale is made. An epoch has a time when its Time text is not empty
// (its TimeMs is then the UTC milliseconds of its day). From one timed epoch to
// the next the scale moves by the step of the times of day; a step back of more
// than 12 hours crosses midnight and adds a day. When both epochs carry a date
// ("yyyy-mm-dd") and the dates put them at most 48 hours apart, the step the
// dates and times give is taken instead, so a break of a day shows. (The RMC
// decoder gives a sentence without a date the computer's date, which lies far
// from the log's: such a pair falls back to the times of day.)
//
// The scale is placed in calendar time by one anchor: the last epoch with a
// valid fix and a date, or failing that the last epoch with a date.
struct EpochTimeline {
    // Per node from `start` in list order: seconds after the first timed epoch
    // (0 for that one); NaN for an epoch without a time.
    std::vector<double> Seconds;
    // The first timed epoch in UTC milliseconds since 1970-01-01, when a date
    // places the scale.
    std::optional<int64_t> StartUnixMs;
    // The first timed epoch's UTC milliseconds of its day.
    std::optional<int32_t> StartTimeOfDayMs;
    // Per node: the milliseconds the scale moved from the timed epoch before
    // it (0 for the first timed epoch and for epochs without a time).
    std::vector<int64_t> StepMs;
};

EpochTimeline TimeEpochs(const list* start, LogFormat format);

// The median of the positive values of `stepsMs`, in seconds: the log's usual
// epoch step (the mean of the two middle values of an even count).
std::optional<double> TypicalStepS(const std::vector<int64_t>& stepsMs);

// The median of `values` (the mean of the two middle ones of an even count); 0
// for none.
double MedianOf(std::vector<double> values);

// "2024-05-17T10:20:30Z", with ".fff" before the Z when the milliseconds are not 0.
std::string IsoUtcText(int64_t unixMs);

// "10:20:30" of the milliseconds of a day (taken modulo a day), with ".fff" when
// they are not 0.
std::string TimeOfDayText(int64_t msOfDay);

}  // namespace tervo
