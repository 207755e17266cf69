#include "core/calendar.h"

#include <cstdio>

namespace tervo {

namespace {

// Howard Hinnant's days_from_civil and civil_from_days.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

struct Civil {
    int64_t year;
    unsigned month;
    unsigned day;
};

Civil CivilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

}  // namespace

std::optional<int64_t> DaysOfDateText(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    int values[3] = {0, 0, 0};
    constexpr size_t kStarts[3] = {0, 5, 8};
    constexpr size_t kLengths[3] = {4, 2, 2};
    for (int part = 0; part < 3; ++part) {
        for (size_t i = kStarts[part]; i < kStarts[part] + kLengths[part]; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return std::nullopt;
            }
            values[part] = values[part] * 10 + (text[i] - '0');
        }
    }
    const auto month = static_cast<unsigned>(values[1]);
    const auto day = static_cast<unsigned>(values[2]);
    if (month < 1 || month > 12 || day < 1) {
        return std::nullopt;
    }
    const int64_t days = DaysFromCivil(values[0], month, day);
    // A day past the month's end comes back as a day of the next month.
    if (CivilFromDays(days).day != day) {
        return std::nullopt;
    }
    return days;
}

bool IsTimeOfDayText(std::string_view text) {
    auto field = [&](size_t at, int high) {
        return text[at] >= '0' && text[at] <= '9' && text[at + 1] >= '0' && text[at + 1] <= '9' &&
               (text[at] - '0') * 10 + (text[at + 1] - '0') <= high;
    };
    if (text.size() < 8 || text[2] != ':' || text[5] != ':' || !field(0, 23) || !field(3, 59) ||
        !field(6, 59)) {
        return false;
    }
    if (text.size() == 8) {
        return true;
    }
    const std::string_view fraction = text.substr(9);
    return text[8] == '.' && !fraction.empty() &&
           fraction.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<int64_t> UnixMsOfDateTime(std::string_view date, std::string_view time) {
    const std::optional<int64_t> days = DaysOfDateText(date);
    if (!days || !IsTimeOfDayText(time)) {
        return std::nullopt;
    }
    auto number = [&](size_t at) { return (time[at] - '0') * 10 + (time[at + 1] - '0'); };
    int64_t ms = 0;
    for (size_t i = 9; i < 12; ++i) {
        ms = ms * 10 + (i < time.size() ? time[i] - '0' : 0);
    }
    return ((*days * 24 + number(0)) * 60 + number(3)) * 60'000 + number(6) * 1000 + ms;
}

std::string DateTextOfDays(int64_t days) {
    const Civil date = CivilFromDays(days);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(date.year), date.month,
                  date.day);
    return text;
}

}  // namespace tervo
