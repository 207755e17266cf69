// The field walk that the GGA, RMC and $TVLDR decoders share, the field rules it
// applies, and the integer and numeric readers of every NMEA decoder.
//
// A decoder describes its sentence as a table of slots. The walk offers the
// fields one by one to the current slot: an empty field is taken by every slot
// (stored only by the rules that say so); a non-empty one is taken or rejected by
// the slot's rule, and a rejected field leaves the slot current for the next
// field. So one malformed field shifts the fields after it onto the same slot
// until an empty or acceptable field comes. The walk ends at the "*".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/numbers.h"
#include "core/platform.h"
#include "core/record.h"

namespace tervo {

// The integer a field starts with (see LeadingInteger). Never fails.
inline int32_t IntegerValue(std::string_view text) { return LeadingInteger(text); }

// The number a field starts with; a digit must lead, so ".5" gives 0 (see
// LeadingDecimal). The point is always "." whatever the process locale.
inline double NumericValue(std::string_view text) { return LeadingDecimal(text, PointFirst::Refused); }

struct FieldTime {
    std::string Text;  // "hh:mm:ss" with the seconds' fraction as sent
    int32_t Ms = 0;    // MsOfDay of the same time
};

// A UTC time "hhmmss.sss" (any fraction) or "hhmmss" (no fraction); anything
// else is rejected. Seconds of 60 or more carry into the minutes, minutes into
// the hours, and hours of 24 or more wrap to "00" without touching the date.
std::optional<FieldTime> ParseTimeField(std::string_view field);
// "ddmm.mmm": exactly four characters in front of the last "."; degrees north.
std::optional<double> ParseLatitudeField(std::string_view field);
// "dddmm.mmm": exactly five characters in front of the last "."; degrees east.
std::optional<double> ParseLongitudeField(std::string_view field);

// The RMC date rule: "ddmmyy" gives "20yy-mm-dd". A day that is outside 1-31 or
// that its month and year do not have becomes 1, a month outside 1-12 becomes
// 1. Rejects a field that is not six characters long; an empty field gives today.
std::optional<std::string> ParseDateField(std::string_view field, DateSource& today);

// The ZDA date rule: day, month and four-digit year in fields of their own
// ("17", "05", "2024") give "2024-05-17" when they name a real date; anything
// else (an empty or short field, 31 April) is rejected.
std::optional<std::string> ParseCivilDateFields(std::string_view day, std::string_view month,
                                                std::string_view year);

enum class FieldRule {
    Time,        // ParseTimeField: the time text into the place, the ms into the record's TimeMs
    Latitude,    // ParseLatitudeField into the place
    Longitude,   // ParseLongitudeField into the place
    NorthSouth,  // "N" taken; "S" negates the place (whatever it holds); else rejected
    EastWest,    // "E" taken; "W" negates the place; else rejected
    Letter,      // first character one of the slot's letters: stored; else rejected
    Integer,     // always taken: IntegerValue
    Number,      // always taken: NumericValue
    Knots,       // always taken: NumericValue in knots, stored in km/h
    Date,        // ParseDateField; an empty field takes today's date
    Pass,        // always taken, not stored
    Rest,        // the rest of the sentence up to "*" is one field: its NumericValue
                 // when the slot has a place (0 when empty), else not stored
};

// Where a slot stores: one of the pointers is set, matching the rule.
struct FieldPlace {
    RecordText* (*text)(waypoints&) = nullptr;
    double* (*number)(waypoints&) = nullptr;
    int32_t* (*integer)(waypoints&) = nullptr;
    char* (*letter)(waypoints&) = nullptr;
};

namespace field_place_detail {
template <typename T>
constexpr FieldPlace Make(T* (*at)(waypoints&)) {
    FieldPlace place;
    if constexpr (std::is_same_v<T, RecordText>) {
        place.text = at;
    } else if constexpr (std::is_same_v<T, double>) {
        place.number = at;
    } else if constexpr (std::is_same_v<T, int32_t>) {
        place.integer = at;
    } else {
        static_assert(std::is_same_v<T, char>, "a slot stores a text, a double, an int32 or a character");
        place.letter = at;
    }
    return place;
}
}  // namespace field_place_detail

// A field of the record itself: At<&waypoints::Latitude>().
template <auto Member>
constexpr FieldPlace At() {
    using T = std::remove_reference_t<decltype(std::declval<waypoints&>().*Member)>;
    return field_place_detail::Make<T>([](waypoints& r) { return &(r.*Member); });
}

// A field of the record's differential fix: AtDTrack<&DTrackPoint::Latitude>().
template <auto Member>
constexpr FieldPlace AtDTrack() {
    using T = std::remove_reference_t<decltype(std::declval<DTrackPoint&>().*Member)>;
    return field_place_detail::Make<T>([](waypoints& r) { return &(r.DTrack.Edit().*Member); });
}

struct FieldSlot {
    FieldRule rule;
    FieldPlace place{};
    // The field after the one this slot took (a unit letter) is passed over.
    bool skipsNext = false;
    // Set to 1 when the slot is done, by an empty field as well as a taken one.
    uint8_t waypoints::*marks = nullptr;
    // The letters a Letter slot takes.
    std::string_view letters{};
};

// Walks the fields of `sentence` (from its first comma to its "*", or to its end
// when it has none) through `slots`. `today` serves a Date slot's empty field.
void WalkFields(std::string_view sentence, std::span<const FieldSlot> slots, waypoints& record,
                DateSource* today = nullptr);

// Calls visit(index, field, last) for every field of `sentence`: index 1 is the
// field after the first comma; `last` is true for the field that ends at the "*"
// (or at the end of a text without one).
template <typename Visit>
void ForEachField(std::string_view sentence, Visit&& visit) {
    const std::string_view body = sentence.substr(0, sentence.find('*'));
    size_t comma = body.find(',');
    for (int index = 1; comma != std::string_view::npos; ++index) {
        const size_t begin = comma + 1;
        const size_t next = body.find(',', begin);
        const size_t end = next == std::string_view::npos ? body.size() : next;
        visit(index, body.substr(begin, end - begin), next == std::string_view::npos);
        comma = next;
    }
}

}  // namespace tervo
