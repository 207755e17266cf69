// Calendar dates as the records carry them ("yyyy-mm-dd") and as day counts,
// for whatever steps dates across midnight.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tervo {

// Days from 1970-01-01 of a "yyyy-mm-dd" text that names a real date of the
// proleptic Gregorian calendar (29 February only in a leap year); nullopt for
// any other text.
std::optional<int64_t> DaysOfDateText(std::string_view text);

// Whether `text` is a time of day "hh:mm:ss" (hour 00 to 23, minute and second
// 00 to 59), optionally followed by "." and one or more digits.
bool IsTimeOfDayText(std::string_view text);

// The instant a record's Date and Time texts name, in UTC milliseconds since
// 1970-01-01, when DaysOfDateText and IsTimeOfDayText take them; the first
// three digits of a fraction count. A pair that passes reads as an
// xsd:dateTime once joined by "T" and ended by "Z".
std::optional<int64_t> UnixMsOfDateTime(std::string_view date, std::string_view time);

// The "yyyy-mm-dd" text of a day count from 1970-01-01 (years 0 to 9999).
std::string DateTextOfDays(int64_t days);

}  // namespace tervo
