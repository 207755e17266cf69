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

TEST(UnixMsOfDateTime, TakesWellFormedInstantsOnly) {
    struct Case {
        const char* legend;
        const char* date;
        const char* time;
        std::optional<int64_t> ms;
    };
    const std::vector<Case> cases = {
        {"the epoch", "1970-01-01", "00:00:00", 0},
        {"a day and a half second in (hours, minutes, fraction all counted)", "2024-05-17", "10:20:30.5",
         int64_t{1'715'941'230'500}},
        {"the last millisecond of a day", "1970-01-01", "23:59:59.999", 86'399'999},
        {"digits past the third are cut, not rounded", "1970-01-01", "00:00:00.1239", 123},
        {"two digits are hundredths", "1970-01-01", "00:00:00.12", 120},
        {"hour 24", "2024-05-17", "24:00:00", std::nullopt},
        {"minute 60", "2024-05-17", "10:60:00", std::nullopt},
        {"a leap second, which no xsd:dateTime holds", "2024-05-17", "10:20:60", std::nullopt},
        {"a point without digits", "2024-05-17", "10:20:30.", std::nullopt},
        {"a comma for the point", "2024-05-17", "10:20:30,5", std::nullopt},
        {"a digit missing", "2024-05-17", "10:20:3", std::nullopt},
        {"no time (an epoch whose time field was empty)", "2024-05-17", "", std::nullopt},
        {"a date that does not exist", "2023-02-29", "10:20:30", std::nullopt},
        {"no date", "", "10:20:30", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnixMsOfDateTime(c.date, c.time), c.ms) << c.legend;
    }
}

}  // namespace
}  // namespace tervo
