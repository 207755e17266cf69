#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tervo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The blanks that the C library's number readers skip, without their locale.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Skips leading blanks and reads an optional sign; returns the index of the
// first character after them.
size_t SkipBlanksAndSign(std::string_view text, bool* negative) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    *negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        *negative = text[i] == '-';
        ++i;
    }
    return i;
}

}  // namespace

int32_t LeadingInteger(std::string_view text) {
    bool negative = false;
    size_t i = SkipBlanksAndSign(text, &negative);
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (value < kLimit) {
            value = value * 10 + (text[i] - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

double LeadingDecimal(std::string_view text, PointFirst pointFirst) {
    bool negative = false;
    const size_t i = SkipBlanksAndSign(text, &negative);
    if (i >= text.size() || !(IsDigit(text[i]) || (pointFirst == PointFirst::Allowed && text[i] == '.'))) {
        return 0;
    }
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Only the exponent can leave the range; its sign tells overflow from underflow.
        const std::string_view read(first, static_cast<size_t>(end - first));
        const size_t e = read.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < read.size() && read[e + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (error != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}

}  // namespace tervo
