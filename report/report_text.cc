#include "report/report_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tervo {

std::string NumberText(double value, int decimals) {
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string out(text, result.ptr);
    if (out.find('.') != std::string::npos) {
        out.erase(out.find_last_not_of('0') + 1);
        if (out.back() == '.') {
            out.pop_back();
        }
    }
    if (out == "-0") {
        out = "0";
    }
    return out;
}

std::string HtmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string value) {
    members_.push_back(std::string(static_cast<size_t>(indent_ + 2), ' ') + JsonString(key) + ": " + value);
    return *this;
}

JsonObject& JsonObject::Num(std::string_view key, const std::optional<double>& value, int decimals) {
    return Raw(key, value && std::isfinite(*value) ? NumberText(*value, decimals) : "null");
}

JsonObject& JsonObject::Int(std::string_view key, const std::optional<int64_t>& value) {
    return Raw(key, value ? std::to_string(*value) : "null");
}

JsonObject& JsonObject::Text(std::string_view key, const std::optional<std::string>& value) {
    return Raw(key, value ? JsonString(*value) : "null");
}

std::string JsonObject::str() const {
    if (members_.empty()) {
        return "{}";
    }
    std::string out = "{\n";
    for (size_t i = 0; i < members_.size(); ++i) {
        out += members_[i] + (i + 1 < members_.size() ? ",\n" : "\n");
    }
    return out + std::string(static_cast<size_t>(indent_), ' ') + "}";
}

}  // namespace tervo
