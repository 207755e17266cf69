#include "fuzz/kml_checks.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tervo::fuzzing {

namespace {

// "line N: what" for the byte at `offset`.
std::string At(std::string_view text, size_t offset, const std::string& what) {
    offset = std::min(offset, text.size());
    const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(offset), '\n');
    return "line " + std::to_string(line) + ": " + what;
}

bool StartsWith(std::string_view text, size_t pos, std::string_view prefix) {
    return text.substr(pos, prefix.size()) == prefix;
}

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsAllowedCodePoint(uint32_t cp) {
    if (cp < 0x20) {
        return cp == 0x09 || cp == 0x0A || cp == 0x0D;
    }
    return !(cp >= 0xD800 && cp <= 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF && cp <= 0x10FFFF;
}

// Decodes the UTF-8 sequence at `pos`; 0 when it is malformed or overlong.
size_t DecodeUtf8(std::string_view text, size_t pos, uint32_t* cp) {
    const auto c = static_cast<unsigned char>(text[pos]);
    size_t len;
    uint32_t min;
    if (c < 0x80) {
        *cp = c;
        return 1;
    } else if (c >= 0xC0 && c <= 0xDF) {
        len = 2, min = 0x80, *cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, min = 0x800, *cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF7) {
        len = 4, min = 0x10000, *cp = c & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - pos < len) {
        return 0;
    }
    for (size_t i = 1; i < len; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        *cp = (*cp << 6) | (next & 0x3Fu);
    }
    return *cp < min ? 0 : len;
}

std::string CharacterError(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        uint32_t cp = 0;
        const size_t len = DecodeUtf8(text, pos, &cp);
        if (len == 0) {
            return At(text, pos, "a byte that is not valid UTF-8");
        }
        if (!IsAllowedCodePoint(cp)) {
            return At(text, pos, "character U+" + std::to_string(cp) + " (decimal) cannot stand in XML");
        }
        pos += len;
    }
    return "";
}

bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// The name at `pos`, empty when none starts there.
std::string_view NameAt(std::string_view text, size_t pos) {
    if (pos >= text.size() || !IsNameStart(static_cast<unsigned char>(text[pos]))) {
        return {};
    }
    size_t end = pos + 1;
    while (end < text.size() && IsNameChar(static_cast<unsigned char>(text[end]))) {
        ++end;
    }
    return text.substr(pos, end - pos);
}

size_t SkipSpace(std::string_view text, size_t pos) {
    while (pos < text.size() && IsSpace(static_cast<unsigned char>(text[pos]))) {
        ++pos;
    }
    return pos;
}

// The length of the reference at `pos` (which holds "&"), 0 when it is none of
// the five predefined entities or a numeric reference to an allowed character.
size_t ReferenceLength(std::string_view text, size_t pos) {
    const size_t semicolon = text.find(';', pos);
    if (semicolon == std::string_view::npos || semicolon - pos > 12) {
        return 0;
    }
    const std::string_view body = text.substr(pos + 1, semicolon - pos - 1);
    if (body == "amp" || body == "lt" || body == "gt" || body == "quot" || body == "apos") {
        return semicolon - pos + 1;
    }
    if (body.size() < 2 || body[0] != '#') {
        return 0;
    }
    const bool hex = body[1] == 'x';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) {
        return 0;
    }
    uint32_t cp = 0;
    for (char d : digits) {
        int value;
        if (d >= '0' && d <= '9') {
            value = d - '0';
        } else if (hex && d >= 'a' && d <= 'f') {
            value = d - 'a' + 10;
        } else if (hex && d >= 'A' && d <= 'F') {
            value = d - 'A' + 10;
        } else {
            return 0;
        }
        cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(value);
        if (cp > 0x10FFFF) {
            return 0;
        }
    }
    return IsAllowedCodePoint(cp) ? semicolon - pos + 1 : 0;
}

class XmlScanner {
public:
    explicit XmlScanner(std::string_view text) : text_(text) {}

    std::string Scan() {
        size_t pos = 0;
        if (StartsWith(text_, 0, "<?xml")) {
            const size_t end = text_.find("?>");
            if (end == std::string_view::npos) {
                return At(text_, 0, "XML declaration not closed");
            }
            pos = end + 2;
        }
        while (pos < text_.size()) {
            std::string error;
            if (text_[pos] == '<') {
                error = Markup(pos);
            } else {
                error = CharacterData(pos);
            }
            if (!error.empty()) {
                return error;
            }
        }
        if (!open_.empty()) {
            return At(text_, text_.size(), "end of document inside <" + std::string(open_.back()) + ">");
        }
        if (!rootSeen_) {
            return "no root element";
        }
        return "";
    }

private:
    std::string Markup(size_t& pos) {
        if (StartsWith(text_, pos, "<![CDATA[")) {
            if (open_.empty()) {
                return At(text_, pos, "CDATA section outside the root element");
            }
            const size_t end = text_.find("]]>", pos + 9);
            if (end == std::string_view::npos) {
                return At(text_, pos, "CDATA section not closed");
            }
            pos = end + 3;
            return "";
        }
        if (StartsWith(text_, pos, "<!--")) {
            const size_t end = text_.find("--", pos + 4);
            if (end == std::string_view::npos || !StartsWith(text_, end, "-->")) {
                return At(text_, pos, "comment not closed, or \"--\" inside it");
            }
            pos = end + 3;
            return "";
        }
        if (StartsWith(text_, pos, "<?")) {
            const size_t end = text_.find("?>", pos + 2);
            if (end == std::string_view::npos || NameAt(text_, pos + 2).empty()) {
                return At(text_, pos, "processing instruction not closed");
            }
            pos = end + 2;
            return "";
        }
        if (StartsWith(text_, pos, "<!")) {
            return At(text_, pos, "declaration in the document body");
        }
        if (StartsWith(text_, pos, "</")) {
            return EndTag(pos);
        }
        return StartTag(pos);
    }

    std::string EndTag(size_t& pos) {
        const std::string_view name = NameAt(text_, pos + 2);
        if (name.empty()) {
            return At(text_, pos, "end tag without a name");
        }
        const size_t close = SkipSpace(text_, pos + 2 + name.size());
        if (close >= text_.size() || text_[close] != '>') {
            return At(text_, pos, "end tag </" + std::string(name) + " not closed by \">\"");
        }
        if (open_.empty() || open_.back() != name) {
            return At(
                text_, pos,
                "</" + std::string(name) + "> does not close " +
                    (open_.empty() ? std::string("any element") : "<" + std::string(open_.back()) + ">"));
        }
        open_.pop_back();
        pos = close + 1;
        return "";
    }

    std::string StartTag(size_t& pos) {
        const size_t tagStart = pos;
        const std::string_view name = NameAt(text_, pos + 1);
        if (name.empty()) {
            return At(text_, pos, "\"<\" that starts no tag");
        }
        if (open_.empty() && rootSeen_) {
            return At(text_, pos, "a second root element <" + std::string(name) + ">");
        }
        pos += 1 + name.size();
        std::vector<std::string_view> attributes;
        for (;;) {
            const size_t afterSpace = SkipSpace(text_, pos);
            if (afterSpace >= text_.size()) {
                return At(text_, tagStart, "start tag <" + std::string(name) + " not closed");
            }
            if (text_[afterSpace] == '>' || StartsWith(text_, afterSpace, "/>")) {
                const bool empty = text_[afterSpace] == '/';
                pos = afterSpace + (empty ? 2 : 1);
                rootSeen_ = true;
                if (!empty) {
                    open_.push_back(name);
                }
                return "";
            }
            if (afterSpace == pos) {
                return At(text_, pos, "no white space before an attribute of <" + std::string(name) + ">");
            }
            pos = afterSpace;
            std::string error = Attribute(pos, attributes);
            if (!error.empty()) {
                return error;
            }
        }
    }

    // Advances `pos` past one name="value" pair.
    std::string Attribute(size_t& pos, std::vector<std::string_view>& seen) {
        const std::string_view name = NameAt(text_, pos);
        if (name.empty()) {
            return At(text_, pos, "attribute without a name");
        }
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
            return At(text_, pos, "attribute " + std::string(name) + " given twice");
        }
        seen.push_back(name);
        size_t p = SkipSpace(text_, pos + name.size());
        if (p >= text_.size() || text_[p] != '=') {
            return At(text_, pos, "attribute " + std::string(name) + " without a value");
        }
        p = SkipSpace(text_, p + 1);
        if (p >= text_.size() || (text_[p] != '"' && text_[p] != '\'')) {
            return At(text_, pos, "value of attribute " + std::string(name) + " not quoted");
        }
        const size_t end = text_.find(text_[p], p + 1);
        if (end == std::string_view::npos) {
            return At(text_, pos, "value of attribute " + std::string(name) + " not closed");
        }
        for (size_t i = p + 1; i < end; ++i) {
            if (text_[i] == '<') {
                return At(text_, i, "\"<\" inside an attribute value");
            }
            if (text_[i] == '&') {
                const size_t length = ReferenceLength(text_, i);
                if (length == 0 || i + length > end) {
                    return At(text_, i, "\"&\" that starts no reference");
                }
            }
        }
        pos = end + 1;
        return "";
    }

    // Text up to the next "<"; outside the root element only white space.
    std::string CharacterData(size_t& pos) {
        size_t end = text_.find('<', pos);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        for (size_t i = pos; i < end; ++i) {
            const auto c = static_cast<unsigned char>(text_[i]);
            if (open_.empty() && !IsSpace(c)) {
                return At(text_, i, "text outside the root element");
            }
            if (c == '&') {
                const size_t length = ReferenceLength(text_, i);
                if (length == 0) {
                    return At(text_, i, "\"&\" that starts no reference");
                }
                i += length - 1;
            } else if (c == ']' && StartsWith(text_, i, "]]>")) {
                return At(text_, i, "\"]]>\" outside a CDATA section");
            }
        }
        pos = end;
        return "";
    }

    std::string_view text_;
    std::vector<std::string_view> open_;
    bool rootSeen_ = false;
};

// "-12.345678": an optional sign, digits, and an optional point with digits.
bool IsDecimalNumber(std::string_view text) {
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        ++pos;
    }
    const size_t digitsStart = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        ++pos;
    }
    if (pos == digitsStart) {
        return false;
    }
    if (pos < text.size() && text[pos] == '.') {
        const size_t fractionStart = ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            ++pos;
        }
        if (pos == fractionStart) {
            return false;
        }
    }
    return pos == text.size();
}

// Calls check(contentOffset, content) for the content of every <name> element.
template <typename Check>
std::string ForEachElement(std::string_view text, std::string_view name, Check check) {
    const std::string open = "<" + std::string(name) + ">";
    const std::string close = "</" + std::string(name) + ">";
    for (size_t pos = text.find(open); pos != std::string_view::npos; pos = text.find(open, pos)) {
        const size_t contentStart = pos + open.size();
        const size_t end = text.find(close, contentStart);
        if (end == std::string_view::npos) {
            return At(text, pos, open + " not closed");
        }
        std::string error = check(contentStart, text.substr(contentStart, end - contentStart));
        if (!error.empty()) {
            return error;
        }
        pos = end + close.size();
    }
    return "";
}

}  // namespace

std::string XmlWellFormedError(std::string_view text) {
    std::string error = CharacterError(text);
    if (!error.empty()) {
        return error;
    }
    return XmlScanner(text).Scan();
}

std::string LineEndError(std::string_view text) {
    for (size_t pos = text.find_first_of("\r\n"); pos != std::string_view::npos;
         pos = text.find_first_of("\r\n", pos + 1)) {
        if (text[pos] == '\n' && (pos == 0 || text[pos - 1] != '\r')) {
            return At(text, pos, "line feed without a carriage return before it");
        }
        if (text[pos] == '\r' && (pos + 1 == text.size() || text[pos + 1] != '\n')) {
            return At(text, pos, "carriage return without a line feed after it");
        }
    }
    return "";
}

std::string NumberError(std::string_view text) {
    std::string error = ForEachElement(text, "coordinates", [&](size_t offset, std::string_view content) {
        size_t pos = 0;
        while (pos < content.size()) {
            while (pos < content.size() && IsSpace(static_cast<unsigned char>(content[pos]))) {
                ++pos;
            }
            size_t end = pos;
            while (end < content.size() && !IsSpace(static_cast<unsigned char>(content[end]))) {
                ++end;
            }
            if (end == pos) {
                break;
            }
            const std::string_view tuple = content.substr(pos, end - pos);
            const size_t first = tuple.find(',');
            const size_t second = first == std::string_view::npos ? first : tuple.find(',', first + 1);
            const bool three =
                second != std::string_view::npos && tuple.find(',', second + 1) == std::string_view::npos;
            if (!three || !IsDecimalNumber(tuple.substr(0, first)) ||
                !IsDecimalNumber(tuple.substr(first + 1, second - first - 1)) ||
                !IsDecimalNumber(tuple.substr(second + 1))) {
                return At(text, offset + pos,
                          "coordinate tuple \"" + std::string(tuple) + "\" is not three numbers");
            }
            pos = end;
        }
        return std::string();
    });
    for (std::string_view name : {"longitude", "latitude", "heading"}) {
        if (!error.empty()) {
            break;
        }
        error = ForEachElement(text, name, [&](size_t offset, std::string_view content) {
            if (!IsDecimalNumber(content)) {
                return At(text, offset,
                          "<" + std::string(name) + "> \"" + std::string(content) + "\" is no number");
            }
            return std::string();
        });
    }
    return error;
}

int WaypointPlacemarkCount(std::string_view text) {
    const size_t folder = text.find("<name>WayPoints</name>");
    if (folder == std::string_view::npos) {
        return -1;
    }
    // A start tag's name ends at '>' or white space ("<Placemark\r\n>").
    const auto isTag = [text](size_t pos, std::string_view name) {
        const size_t after = pos + name.size();
        return text.substr(pos, name.size()) == name && after < text.size() &&
               (text[after] == '>' || IsSpace(static_cast<unsigned char>(text[after])));
    };
    // The folder ends at the "</Folder>" of its own level: the hourly folders of
    // a viewer's document lie within it.
    int depth = 1;
    int count = 0;
    for (size_t pos = text.find('<', folder + 1); pos != std::string_view::npos;
         pos = text.find('<', pos + 1)) {
        if (isTag(pos, "<Placemark")) {
            ++count;
        } else if (isTag(pos, "<Folder")) {
            ++depth;
        } else if (text.substr(pos, 9) == "</Folder>" && --depth == 0) {
            break;
        }
    }
    return count;
}

std::string KmlDocumentError(std::string_view text, std::string_view countText) {
    std::string error = XmlWellFormedError(text);
    if (error.empty()) {
        error = LineEndError(text);
    }
    if (error.empty()) {
        error = NumberError(text);
    }
    if (error.empty()) {
        const std::string expected = "Waypoints " + std::to_string(WaypointPlacemarkCount(text));
        if (countText != expected) {
            error = "the run showed \"" + std::string(countText) + "\" but the WayPoints folder says \"" +
                    expected + "\"";
        }
    }
    return error;
}

}  // namespace tervo::fuzzing
