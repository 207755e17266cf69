#include "nmea/field_walk.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tervo {
namespace {

TEST(IntegerValue, ReadsBlanksSignAndLeadingDigits) {
    struct Case {
        const char* legend;
        const char* text;
        int32_t expected;
    };
    const std::vector<Case> cases = {
        {"leading zeros", "08", 8},
        {"blanks in front are skipped", "  12", 12},
        {"a minus sign", "-7", -7},
        {"a plus sign (from_chars alone refuses it)", "+5", 5},
        {"digits stop at the first other character", "12.9", 12},
        {"no digit in front gives 0", "M", 0},
        {"a blank after the sign is no digit", "- 5", 0},
        {"an empty text gives 0", "", 0},
        {"too many digits saturate instead of overflowing", "99999999999",
         std::numeric_limits<int32_t>::max()},
        {"and so do too many negative ones", "-99999999999", std::numeric_limits<int32_t>::min()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IntegerValue(c.text), c.expected) << c.legend;
    }
}

TEST(NumericValue, ReadsADecimalNumberAtTheStart) {
    struct Case {
        const char* legend;
        const char* text;
        double expected;
    };
    const std::vector<Case> cases = {
        {"a fraction", "545.4", 545.4},
        {"a minus sign", "-34.2", -34.2},
        {"a plus sign and blanks (from_chars alone refuses both)", "  +1.5", 1.5},
        {"an exponent", "1.5e2", 150},
        {"an unfinished exponent ends the number", "2e", 2},
        {"the number stops at a second point", "1.5.3", 1.5},
        {"no digit in front gives 0", "N", 0},
        {"an empty text gives 0", "", 0},
        {"an exponent too small gives 0", "1e-999", 0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(NumericValue(c.text), c.expected) << c.legend;
    }
    EXPECT_TRUE(std::isinf(NumericValue("1e999"))) << "an exponent too large gives infinity, not garbage";
}

TEST(NumericValue, IgnoresTheProcessLocale) {
    const char* const commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8", "de_DE"};
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* found = nullptr;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            found = name;
            break;
        }
    }
    if (found == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const double value = NumericValue("0.9");
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_DOUBLE_EQ(value, 0.9) << "under " << found;
}

TEST(ParseTimeField, AcceptsSixDigitsWithOrWithoutFractionAndCarries) {
    struct Case {
        const char* legend;
        const char* field;
        std::optional<std::string> text;  // nullopt: rejected
        int32_t ms;
    };
    const std::vector<Case> cases = {
        {"the fraction is kept as sent", "123519.00", "12:35:19.00", 45319000},
        {"three fraction digits", "000001.500", "00:00:01.500", 1500},
        {"whole seconds without a point (real logs send these)", "123519", "12:35:19", 45319000},
        {"a point with nothing after it", "123519.", "12:35:19.", 45319000},
        {"seconds 60 carry into minutes", "123460.25", "12:35:00.000", 45300000},
        {"minutes 60 carry into hours", "125960.0", "13:00:00.000", 46800000},
        {"hours 24 wrap to 00 without a date carry", "235960.5", "00:00:00.000", 0},
        {"minutes 60 in the field itself carry", "126000.0", "13:00:00.0", 46800000},
        {"five characters before the point", "12351.00", std::nullopt, 0},
        {"seven characters before the point", "1235190.00", std::nullopt, 0},
        {"the last point counts", "1235.19.00", std::nullopt, 0},
        {"five characters without a point", "12351", std::nullopt, 0},
        {"seven characters without a point", "1235190", std::nullopt, 0},
        {"a date-like field with a point elsewhere", "4807.038", std::nullopt, 0},
    };
    for (const Case& c : cases) {
        const std::optional<FieldTime> time = ParseTimeField(c.field);
        ASSERT_EQ(time.has_value(), c.text.has_value()) << c.legend;
        if (time) {
            EXPECT_EQ(time->Text, *c.text) << c.legend;
            EXPECT_EQ(time->Ms, c.ms) << c.legend;
        }
    }
}

TEST(ParseCoordinateFields, NeedTheirDigitCountInFrontOfThePoint) {
    struct Case {
        const char* legend;
        bool latitude;
        const char* field;
        std::optional<double> degrees;
    };
    const std::vector<Case> cases = {
        {"latitude ddmm.mmm", true, "4807.038", 48.1173},
        {"latitude with five decimals", true, "6001.31475", 60 + 1.31475 / 60},
        {"latitude with five digits in front", true, "04807.038", std::nullopt},
        {"latitude without point", true, "4807", std::nullopt},
        {"longitude dddmm.mmm", false, "01131.000", 11 + 31.0 / 60},
        {"longitude with four digits in front", false, "1131.000", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<double> degrees =
            c.latitude ? ParseLatitudeField(c.field) : ParseLongitudeField(c.field);
        ASSERT_EQ(degrees.has_value(), c.degrees.has_value()) << c.legend;
        if (degrees) {
            EXPECT_NEAR(*degrees, *c.degrees, 1e-12) << c.legend;
        }
    }
}

TEST(ParseDateField, FormsAValidDateText) {
    struct Case {
        const char* legend;
        const char* field;
        std::optional<std::string> date;
    };
    const std::vector<Case> cases = {
        {"the century is always 20", "230394", "2094-03-23"},
        {"day 0 and month 0 become 1", "000013", "2013-01-01"},
        {"day 32 and month 13 become 1", "321313", "2013-01-01"},
        {"31 April does not exist: day 1", "310413", "2013-04-01"},
        {"29 February of a common year: day 1", "290223", "2023-02-01"},
        {"29 February of a leap year stays", "290224", "2024-02-29"},
        {"2000 is a leap year", "290200", "2000-02-29"},
        {"30 February: day 1", "300224", "2024-02-01"},
        {"31 December stays", "311299", "2099-12-31"},
        {"a malformed year pair is read as far as it goes", "01014.", "0204-01-01"},
        {"an empty field gives today", "", "2024-05-17"},
        {"seven characters are rejected", "3104131", std::nullopt},
        {"five characters are rejected", "31041", std::nullopt},
    };
    testing::TestPlatform today;
    for (const Case& c : cases) {
        EXPECT_EQ(ParseDateField(c.field, today), c.date) << c.legend;
    }
}

}  // namespace
}  // namespace tervo
