#include "nmea/field_walk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tervo {
namespace {

TEST(ValueReaders, ReadBlanksSignAndLeadingDigitsOnly) {
    struct Case {
        const char* legend;
        const char* text;
        int32_t integer;
        double number;
    };
    const std::vector<Case> cases = {
        {"blanks and a plus sign (from_chars refuses both)", "  +12.5", 12, 12.5},
        {"a minus sign", "-34.2", -34, -34.2},
        {"digits stop at the first other character", "1.5.3", 1, 1.5},
        {"an exponent", "15e1", 15, 150},
        {"no digit in front", "M1", 0, 0},
        {"a blank after the sign", "- 5", 0, 0},
        {"an empty text", "", 0, 0},
        {"too many digits saturate instead of overflowing", "99999999999",
         std::numeric_limits<int32_t>::max(), 99999999999.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IntegerValue(c.text), c.integer) << c.legend;
        EXPECT_DOUBLE_EQ(NumericValue(c.text), c.number) << c.legend;
    }
    EXPECT_EQ(NumericValue("1e-999"), 0) << "an exponent too small gives 0";
    EXPECT_TRUE(std::isinf(NumericValue("1e999"))) << "an exponent too large gives infinity, not garbage";
}

TEST(ValueReaders, IgnoreTheProcessLocale) {
    if (!testing::UseCommaLocale()) {
        GTEST_SKIP() << "no locale with a decimal comma can be made here";
    }
    const double value = NumericValue("0.9");
    testing::RestoreCLocale();
    EXPECT_DOUBLE_EQ(value, 0.9) << "read only up to the point, as strtod would under a comma locale";
}

TEST(ParseTimeField, TakesSixDigitsWithOrWithoutFractionAndCarries) {
    struct Case {
        const char* legend;
        const char* field;
        std::optional<std::string> time;  // nullopt: rejected
        int32_t ms;
    };
    const std::vector<Case> cases = {
        {"the fraction is kept as sent", "123519.00", "12:35:19.00", 45319000},
        {"whole seconds without a point", "123519", "12:35:19", 45319000},
        {"seconds 60 carry into the minutes", "123460.25", "12:35:00.000", 45300000},
        {"minutes 60 carry into the hours", "125960.0", "13:00:00.000", 46800000},
        {"hours 24 wrap without a date carry", "235960.5", "00:00:00.000", 0},
        {"five characters before the point", "12351.00", std::nullopt, 0},
        {"seven characters before the point", "1235190.0", std::nullopt, 0},
        {"the last point counts", "1235.19.00", std::nullopt, 0},
        {"seven characters without a point", "1235190", std::nullopt, 0},
    };
    for (const Case& c : cases) {
        const std::optional<FieldTime> time = ParseTimeField(c.field);
        ASSERT_EQ(time.has_value(), c.time.has_value()) << c.legend;
        if (time) {
            EXPECT_EQ(time->Text, *c.time) << c.legend;
            EXPECT_EQ(time->Ms, c.ms) << c.legend;
        }
    }
}

TEST(ParseDateField, AlwaysFormsADateThatExists) {
    struct Case {
        const char* legend;
        const char* field;
        std::optional<std::string> date;
    };
    const std::vector<Case> cases = {
        {"the century is always 20", "230394", "2094-03-23"},
        {"day 0 and month 0 become 1", "000013", "2013-01-01"},
        {"day 32 and month 13 become 1", "321313", "2013-01-01"},
        {"31 April becomes 1 April", "310413", "2013-04-01"},
        {"29 February of a common year becomes 1 February", "290223", "2023-02-01"},
        {"29 February of a leap year stays", "290224", "2024-02-29"},
        {"2000 was a leap year", "290200", "2000-02-29"},
        {"a malformed year pair is read as far as it goes", "01014.", "0204-01-01"},
        {"an empty field is today", "", "2024-05-17"},
        {"seven characters are rejected", "3104131", std::nullopt},
    };
    testing::TestPlatform today;
    for (const Case& c : cases) {
        EXPECT_EQ(ParseDateField(c.field, today), c.date) << c.legend;
    }
}

}  // namespace
}  // namespace tervo
