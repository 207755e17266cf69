#include "report/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/calendar.h"

namespace tervo {

namespace {

constexpr int64_t kDayMs = 86'400'000;
constexpr int64_t kHalfDayMs = kDayMs / 2;
constexpr int64_t kLongestDatedStepMs = 2 * kDayMs;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

}  // namespace

double MedianOf(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    const auto middle = static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    const double upper = values[static_cast<size_t>(middle)];
    if (values.size() % 2 == 1) {
        return upper;
    }
    return (*std::max_element(values.begin(), values.begin() + middle) + upper) / 2;
}

std::optional<double> TypicalStepS(const std::vector<int64_t>& stepsMs) {
    std::vector<double> positive;
    for (int64_t step : stepsMs) {
        if (step > 0) {
            positive.push_back(static_cast<double>(step) / 1000.0);
        }
    }
    if (positive.empty()) {
        return std::nullopt;
    }
    return MedianOf(std::move(positive));
}

std::string IsoUtcText(int64_t unixMs) {
    const int64_t days = FloorDiv(unixMs, kDayMs);
    return DateTextOfDays(days) + "T" + TimeOfDayText(unixMs - days * kDayMs) + "Z";
}

std::string TimeOfDayText(int64_t msOfDay) {
    const int64_t ms = msOfDay - FloorDiv(msOfDay, kDayMs) * kDayMs;
    char text[32];
    const int hours = static_cast<int>(ms / 3'600'000);
    const int minutes = static_cast<int>(ms / 60'000 % 60);
    const int seconds = static_cast<int>(ms / 1000 % 60);
    const int millis = static_cast<int>(ms % 1000);
    if (millis != 0) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", hours, minutes, seconds, millis);
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", hours, minutes, seconds);
    }
    return text;
}

EpochTimeline TimeEpochs(const list* start, LogFormat format) {
    EpochTimeline timeline;
    bool haveTimed = false;
    int32_t previousMs = 0;
    std::optional<int64_t> previousDays;
    int64_t scaleMs = 0;  // the current epoch on the scale
    // The anchor: the scale's value and the calendar milliseconds of one epoch.
    std::optional<int64_t> anchorScale;
    std::optional<int64_t> anchorUnix;
    bool anchorIsFix = false;
    for (const list* node = start; node != nullptr; node = node->Next) {
        const waypoints& point = node->Point;
        if (point.Time.empty()) {
            timeline.Seconds.push_back(std::numeric_limits<double>::quiet_NaN());
            timeline.StepMs.push_back(0);
            continue;
        }
        const std::optional<int64_t> days = DaysOfDateText(point.Date);
        int64_t step = 0;
        if (!haveTimed) {
            timeline.StartTimeOfDayMs = point.TimeMs;
            haveTimed = true;
        } else {
            step = static_cast<int64_t>(point.TimeMs) - previousMs;
            if (step < -kHalfDayMs) {
                step += kDayMs;
            }
            if (days && previousDays) {
                const int64_t dated = (*days - *previousDays) * kDayMs + point.TimeMs - previousMs;
                if (dated >= -kLongestDatedStepMs && dated <= kLongestDatedStepMs) {
                    step = dated;
                }
            }
            scaleMs += step;
        }
        timeline.Seconds.push_back(static_cast<double>(scaleMs) / 1000.0);
        timeline.StepMs.push_back(step);
        if (days) {
            const bool fix = HasValidFix(point, format);
            if (fix || !anchorIsFix) {
                anchorScale = scaleMs;
                anchorUnix = *days * kDayMs + point.TimeMs;
                anchorIsFix = fix;
            }
        }
        previousMs = point.TimeMs;
        previousDays = days;
    }
    if (anchorUnix) {
        timeline.StartUnixMs = *anchorUnix - *anchorScale;
    }
    return timeline;
}

}  // namespace tervo
