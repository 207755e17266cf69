// The calendar helpers. Legend: each case names the fault it would catch.
#include "core/calendar.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tervo {
namespace {

TEST(DaysOfDateText, TakesRealDatesOnly) {
    struct Case {
        const char* legend;
        const char* text;
        std::optional<int64_t> days;
    };
    const std::vector<Case> cases = {
        {"the epoch itself", "1970-01-01", 0},
        {"a leap day (off by one in a leap year)", "2024-02-29", 19782},
        {"the day after it", "2024-03-01", 19783},
        {"before 1970 (a day count that cannot go negative)", "1969-12-31", -1},
        {"29 February of a common year is no date", "2023-02-29", std::nullopt},
        {"31 April is no date", "2024-04-31", std::nullopt},
        {"month 13", "2024-13-01", std::nullopt},
        {"day 0", "2024-05-00", std::nullopt},
        {"a digit missing", "2024-5-17", std::nullopt},
        {"a letter", "2024-05-1x", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DaysOfDateText(c.text), c.days) << c.legend;
    }
}

TEST(DateTextOfDays, IsTheInverse) {
    for (int64_t days = -800; days < 40000; days += 7) {
        const std::string text = DateTextOfDays(days);
        EXPECT_EQ(DaysOfDateText(text), days) << text;
    }
    EXPECT_EQ(DateTextOfDays(19862), "2024-05-19");
}

}  // namespace
}  // namespace tervo
