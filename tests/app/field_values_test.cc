#include "app/field_values.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"

namespace tervo {
namespace {

struct StepRow {
    const char* legend;
    const char* text;
    bool up;
    const char* expected;
};

TEST(StepWidth, StepsWithinOneToTen) {
    const StepRow rows[] = {
        {"up not adding one", "5", true, "6"},
        {"upper bound passed", "10", true, "10"},
        {"lower bound passed", "1", false, "1"},
        {"a value far above not clamped on down", "25", false, "10"},
        {"a non-number not counted as 0", "abc", true, "1"},
        {"leading blanks or trailing letters not handled", "  7x", true, "8"},
        {"a huge number overflowed", "99999999999999999999", false, "10"},
    };
    for (const StepRow& row : rows) {
        EXPECT_EQ(StepWidth(row.text, row.up), row.expected) << row.legend;
    }
}

TEST(StepScale, StepsByATenthWithinTheBounds) {
    const StepRow rows[] = {
        {"up not printed with six decimals", "0.5", true, "0.600000"},
        {"1.0 reached by a step not printed with six decimals", "0.900000", true, "1.000000"},
        {"above 1.0 not \"1.0\"", "1.000000", true, "1.0"},
        {"0.1 reached by a step not printed with six decimals", "0.200000", false, "0.100000"},
        {"below 0.1 not \"0.1\"", "0.100000", false, "0.1"},
        {"a non-number not counted as 0 (down)", "abc", false, "0.1"},
        {"an exponent not read", "5e-1", true, "0.600000"},
        {"a comma taken as decimal separator", "0,5", true, "0.100000"},
        {"inf taken as a number", "inf", true, "0.100000"},
        {"an exponent out of range not saturated", "1e999", false, "1.0"},
    };
    for (const StepRow& row : rows) {
        EXPECT_EQ(StepScale(row.text, row.up), row.expected) << row.legend;
    }
}

TEST(StepScale, IgnoresTheProcessLocale) {
    if (!testing::UseCommaLocale()) {
        GTEST_SKIP() << "no locale with a comma decimal separator can be made here";
    }
    const std::string up = StepScale("0.5", true);
    const std::string down = StepScale("0.500000", false);
    testing::RestoreCLocale();
    EXPECT_EQ(up, "0.600000");
    EXPECT_EQ(down, "0.400000") << "the text read only up to the point";
}

TEST(FitDateToMask, KeepsDigitsInDigitPlaces) {
    struct Row {
        const char* legend;
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {"a fitting date changed", "2000-01-01", "2000-01-01"},
        {"empty places not shown as _", "", "____-__-__"},
        {"a short part shifted past its hyphen", "2024-5-17", "2024-5_-17"},
        {"digits without hyphens not spread over the places", "20240517", "2024-05-17"},
        {"text beyond the mask kept", "2024-05-17T10:00", "2024-05-17"},
        {"letters taken into digit places", "abcd-ef-gh", "____-__-__"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FitDateToMask(row.text), row.expected) << row.legend;
    }
}

}  // namespace
}  // namespace tervo
