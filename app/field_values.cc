#include "app/field_values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace tervo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view SkipLeadingBlanks(std::string_view text) {
    size_t start = text.find_first_not_of(" \t\n\v\f\r");
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

// Leading sign and digits; saturates far outside the spin's range instead of
// overflowing.
int64_t LeadingWholeNumber(std::string_view text) {
    text = SkipLeadingBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            break;
        }
        if (value < 1000000000) {
            value = value * 10 + (c - '0');
        }
    }
    return negative ? -value : value;
}

// The longest leading part of the form sign, digits, full stop, digits,
// exponent; 0 when there is none. No locale and no "inf" or "nan".
double LeadingDecimalNumber(std::string_view text) {
    text = SkipLeadingBlanks(text);
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const size_t numberStart = pos;
    size_t mantissaDigits = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        ++pos;
        ++mantissaDigits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) {
        return 0.0;
    }
    bool negativeExponent = false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t exponent = pos + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
            negativeExponent = text[exponent] == '-';
            ++exponent;
        }
        if (exponent < text.size() && IsDigit(text[exponent])) {
            pos = exponent;
            while (pos < text.size() && IsDigit(text[pos])) {
                ++pos;
            }
        }
    }
    double value = 0.0;
    const char* first = text.data() + numberStart;
    std::from_chars_result result =
        std::from_chars(first, text.data() + pos, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = negativeExponent ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

}  // namespace

std::string StepWidth(const std::string& text, bool up) {
    int64_t value = LeadingWholeNumber(text) + (up ? 1 : -1);
    if (value < 1) {
        return "1";
    }
    if (value > 10) {
        return "10";
    }
    return std::to_string(value);
}

std::string StepScale(const std::string& text, bool up) {
    double value = LeadingDecimalNumber(text) + (up ? 0.1 : -0.1);
    if (value < 0.1) {
        return "0.1";
    }
    if (value > 1.0) {
        return "1.0";
    }
    char buffer[32];
    std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::string FitDateToMask(const std::string& text) {
    static constexpr std::string_view kMask = "####-##-##";
    std::string fitted;
    size_t next = 0;
    for (char place : kMask) {
        const bool haveChar = next < text.size();
        if (place == '-') {
            fitted += '-';
            if (haveChar && text[next] == '-') {
                ++next;
            }
        } else if (haveChar && IsDigit(text[next])) {
            fitted += text[next++];
        } else {
            fitted += '_';
            if (haveChar && text[next] != '-') {
                ++next;
            }
        }
    }
    return fitted;
}

}  // namespace tervo
