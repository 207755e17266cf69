#include "nmea/field_walk.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/calendar.h"

namespace tervo {

namespace {

std::string TwoDigits(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string DateText(int year, int month, int day) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

// The characters in front of the last ".", or npos when there is no ".".
size_t CharactersBeforeLastPoint(std::string_view field) { return field.rfind('.'); }

// A non-empty field offered to a slot: true when the slot takes it.
bool Offer(const FieldSlot& slot, std::string_view field, waypoints& record, DateSource* today) {
    switch (slot.rule) {
        case FieldRule::Time: {
            std::optional<FieldTime> time = ParseTimeField(field);
            if (!time) {
                return false;
            }
            *slot.place.text(record) = std::move(time->Text);
            record.TimeMs = time->Ms;
            return true;
        }
        case FieldRule::Latitude:
        case FieldRule::Longitude: {
            std::optional<double> degrees =
                slot.rule == FieldRule::Latitude ? ParseLatitudeField(field) : ParseLongitudeField(field);
            if (!degrees) {
                return false;
            }
            *slot.place.number(record) = *degrees;
            return true;
        }
        case FieldRule::NorthSouth:
        case FieldRule::EastWest: {
            const char positive = slot.rule == FieldRule::NorthSouth ? 'N' : 'E';
            const char negative = slot.rule == FieldRule::NorthSouth ? 'S' : 'W';
            if (field[0] == negative) {
                double& value = *slot.place.number(record);
                value = -value;
                return true;
            }
            return field[0] == positive;
        }
        case FieldRule::Letter:
            if (slot.letters.find(field[0]) == std::string_view::npos) {
                return false;
            }
            *slot.place.letter(record) = field[0];
            return true;
        case FieldRule::Integer:
            *slot.place.integer(record) = IntegerValue(field);
            return true;
        case FieldRule::Number:
            *slot.place.number(record) = NumericValue(field);
            return true;
        case FieldRule::Knots:
            *slot.place.number(record) = NumericValue(field) * 1.852;
            return true;
        case FieldRule::Date: {
            if (today == nullptr) {
                return true;
            }
            std::optional<std::string> date = ParseDateField(field, *today);
            if (!date) {
                return false;
            }
            *slot.place.text(record) = std::move(*date);
            return true;
        }
        case FieldRule::Pass:
            return true;
        case FieldRule::Rest:
            if (slot.place.number != nullptr) {
                *slot.place.number(record) = NumericValue(field);
            }
            return true;
    }
    return false;
}

// The rules that store something for an empty field; every other rule takes an
// empty field without storing.
bool StoresWhenEmpty(FieldRule rule) { return rule == FieldRule::Date || rule == FieldRule::Rest; }

}  // namespace

std::optional<FieldTime> ParseTimeField(std::string_view field) {
    const size_t point = CharactersBeforeLastPoint(field);
    // Many receivers send whole seconds without any fraction: "123519".
    const bool wholeSeconds = point == std::string_view::npos && field.size() == 6;
    if (point != 6 && !wholeSeconds) {
        return std::nullopt;
    }
    std::string hours(field.substr(0, 2));
    std::string minutes(field.substr(2, 2));
    std::string seconds(field.substr(4));
    const double wholeSecondsValue = std::trunc(NumericValue(seconds));
    if (wholeSecondsValue < 0 || wholeSecondsValue > 59) {
        seconds = "00.000";
        minutes = TwoDigits(IntegerValue(minutes) + 1);
    }
    if (IntegerValue(minutes) > 59) {
        minutes = "00";
        hours = TwoDigits(IntegerValue(hours) + 1);
    }
    if (IntegerValue(hours) > 23) {
        hours = "00";
    }
    FieldTime time;
    time.Ms = MsOfDay(IntegerValue(hours), IntegerValue(minutes), NumericValue(seconds));
    time.Text.reserve(hours.size() + minutes.size() + seconds.size() + 2);
    time.Text.append(hours).append(1, ':').append(minutes).append(1, ':').append(seconds);
    return time;
}

std::optional<double> ParseLatitudeField(std::string_view field) {
    if (CharactersBeforeLastPoint(field) != 4) {
        return std::nullopt;
    }
    return IntegerValue(field.substr(0, 2)) + NumericValue(field.substr(2)) / 60;
}

std::optional<double> ParseLongitudeField(std::string_view field) {
    if (CharactersBeforeLastPoint(field) != 5) {
        return std::nullopt;
    }
    return IntegerValue(field.substr(0, 3)) + NumericValue(field.substr(3)) / 60;
}

std::optional<std::string> ParseDateField(std::string_view field, DateSource& today) {
    if (field.empty()) {
        const CivilDate date = today.Today();
        return DateText(date.Year, date.Month, date.Day);
    }
    if (field.size() != 6) {
        return std::nullopt;
    }
    const char yearText[] = {'2', '0', field[4], field[5]};
    const int year = IntegerValue(std::string_view(yearText, sizeof yearText));
    int month = IntegerValue(field.substr(2, 2));
    int day = IntegerValue(field.substr(0, 2));
    if (month < 1 || month > 12) {
        month = 1;
    }
    // 31 April or 29 February of a common year would make a date text that no
    // reader of the time stamps accepts; such a day goes to 1 like day 0 does.
    if (day < 1 || day > 31 || !DaysOfDateText(DateText(year, month, day))) {
        day = 1;
    }
    return DateText(year, month, day);
}

std::optional<std::string> ParseCivilDateFields(std::string_view day, std::string_view month,
                                                std::string_view year) {
    auto digits = [](std::string_view text, size_t low, size_t high) {
        return text.size() >= low && text.size() <= high &&
               text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(day, 1, 2) || !digits(month, 1, 2) || !digits(year, 4, 4)) {
        return std::nullopt;
    }
    const std::string text = DateText(IntegerValue(year), IntegerValue(month), IntegerValue(day));
    if (!DaysOfDateText(text)) {
        return std::nullopt;
    }
    return text;
}

void WalkFields(std::string_view sentence, std::span<const FieldSlot> slots, waypoints& record,
                DateSource* today) {
    const std::string_view body = sentence.substr(0, sentence.find('*'));
    constexpr size_t kNone = std::string_view::npos;
    size_t comma = body.find(',');
    size_t current = 0;
    while (comma != kNone && current < slots.size()) {
        const FieldSlot& slot = slots[current];
        const size_t begin = comma + 1;
        size_t end = slot.rule == FieldRule::Rest ? kNone : body.find(',', begin);
        comma = end;
        if (end == kNone) {
            end = body.size();
        }
        const std::string_view field = body.substr(begin, end - begin);
        const bool taken =
            field.empty() && !StoresWhenEmpty(slot.rule) ? true : Offer(slot, field, record, today);
        if (!taken) {
            continue;
        }
        if (slot.marks != nullptr) {
            record.*slot.marks = 1;
        }
        ++current;
        if (slot.skipsNext && comma != kNone) {
            comma = body.find(',', comma + 1);
        }
    }
}

}  // namespace tervo
