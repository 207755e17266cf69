#include "app/field_values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/numbers.h"

namespace tervo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string StepWidth(const std::string& text, bool up) {
    int64_t value = int64_t{LeadingInteger(text)} + (up ? 1 : -1);
    if (value < 1) {
        return "1";
    }
    if (value > 10) {
        return "10";
    }
    return std::to_string(value);
}

std::string StepScale(const std::string& text, bool up) {
    double value = LeadingDecimal(text, PointFirst::Allowed) + (up ? 0.1 : -0.1);
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
