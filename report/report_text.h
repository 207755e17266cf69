// The text pieces the report's tables share: locale-free numbers, JSON objects
// and HTML escaping.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_format.h"

namespace tervo {

// "%.Nf" in the C locale whatever the process locale, trailing zeros of the
// fraction dropped ("12.50" gives "12.5", "3.000" gives "3", "-0" gives "0").
std::string NumberText(double value, int decimals);

// `text` with &, <, > and " as HTML entities.
std::string HtmlEscaped(std::string_view text);

// One JSON object's members, written in the order they are added, each on a
// line of its own `indent` + 2 spaces in; the closing brace `indent` spaces in.
class JsonObject {
public:
    explicit JsonObject(int indent) : indent_(indent) {}
    // `value` as it stands: a nested object's str(), or a number's text.
    JsonObject& Raw(std::string_view key, std::string value);
    // null for no value, or one that is not finite.
    JsonObject& Num(std::string_view key, const std::optional<double>& value, int decimals);
    JsonObject& Int(std::string_view key, const std::optional<int64_t>& value);
    JsonObject& Text(std::string_view key, const std::optional<std::string>& value);
    // "{}" when empty.
    std::string str() const;

private:
    int indent_;
    std::vector<std::string> members_;
};

}  // namespace tervo
