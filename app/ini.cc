#include "app/ini.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace tervo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The name of a "[name]" line, or nothing when the line is no header.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    size_t close = line.find(']');
    return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

struct Pair {
    std::string_view key;
    std::string_view value;
};

// The key and the raw value of a "key=value" line; comments (";") and lines
// without "=" hold no pair.
std::optional<Pair> KeyValue(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') {
        return std::nullopt;
    }
    size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return Pair{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

// A value with blanks at its ends or with matching quotes around it would not
// read back as written: it is written inside one more pair of quotes. A line
// break would end the line and let the rest pose as keys of its own, so the
// value is cut there.
std::string ValueForWriting(std::string_view value) {
    size_t lineBreak = value.find_first_of("\r\n");
    if (lineBreak != std::string_view::npos) {
        value = value.substr(0, lineBreak);
    }
    bool needsQuotes = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back()) {
        needsQuotes = true;
    }
    if (needsQuotes) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

IniDocument::IniDocument(std::string_view text) {
    while (!text.empty()) {
        size_t lineFeed = text.find('\n');
        if (lineFeed == std::string_view::npos) {
            lines_.push_back({std::string(text), ""});
            break;
        }
        std::string_view content = text.substr(0, lineFeed);
        if (!content.empty() && content.back() == '\r') {
            content.remove_suffix(1);
            lines_.push_back({std::string(content), "\r\n"});
        } else {
            lines_.push_back({std::string(content), "\n"});
        }
        text.remove_prefix(lineFeed + 1);
    }
}

bool IniDocument::Load(const std::string& path) {
    lines_.clear();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    std::string text;
    char block[4096];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, file.get())) > 0) {
        text.append(block, n);
    }
    if (std::ferror(file.get())) {
        return false;
    }
    *this = IniDocument(text);
    return true;
}

long IniDocument::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::optional<std::string_view> name = SectionName(lines_[i].content);
        if (name && EqualNoCase(*name, section)) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

long IniDocument::FindKeyLine(std::string_view section, std::string_view key) const {
    long header = FindSection(section);
    if (header < 0) {
        return -1;
    }
    for (size_t i = static_cast<size_t>(header) + 1; i < lines_.size(); ++i) {
        if (SectionName(lines_[i].content)) {
            break;
        }
        std::optional<Pair> pair = KeyValue(lines_[i].content);
        if (pair && EqualNoCase(pair->key, key)) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

std::optional<std::string> IniDocument::Value(std::string_view section, std::string_view key) const {
    long index = FindKeyLine(section, key);
    if (index < 0) {
        return std::nullopt;
    }
    std::string_view value = KeyValue(lines_[static_cast<size_t>(index)].content)->value;
    if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, kIniValueLimit));
}

std::optional<int32_t> IniDocument::Integer(std::string_view section, std::string_view key) const {
    std::optional<std::string> value = Value(section, key);
    if (!value) {
        return std::nullopt;
    }
    return ParseIniInteger(*value);
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string keyLine = std::string(key) + "=" + ValueForWriting(value);
    long index = FindKeyLine(section, key);
    if (index >= 0) {
        lines_[static_cast<size_t>(index)].content = keyLine;
        return;
    }
    long header = FindSection(section);
    if (header < 0) {
        if (!lines_.empty() && lines_.back().end.empty()) {
            lines_.back().end = "\r\n";
        }
        lines_.push_back({"[" + std::string(section) + "]", "\r\n"});
        lines_.push_back({keyLine, "\r\n"});
        return;
    }
    // Behind the section's last line that is not blank, so blank lines that
    // part it from the next section stay where they are.
    size_t last = static_cast<size_t>(header);
    for (size_t i = last + 1; i < lines_.size() && !SectionName(lines_[i].content); ++i) {
        if (!Trim(lines_[i].content).empty()) {
            last = i;
        }
    }
    if (lines_[last].end.empty()) {
        lines_[last].end = "\r\n";
    }
    lines_.insert(lines_.begin() + static_cast<long>(last) + 1, Line{keyLine, "\r\n"});
}

std::string IniDocument::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.content;
        text += line.end;
    }
    return text;
}

std::optional<int32_t> ParseIniInteger(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    size_t hexStart = 0;
    if (text.front() == '$') {
        hexStart = 1;
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hexStart = 2;
    }
    if (hexStart > 0) {
        if (text.size() == hexStart) {
            return std::nullopt;
        }
        uint64_t value = 0;
        for (char c : text.substr(hexStart)) {
            int digit = HexDigit(c);
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<uint64_t>(digit);
            if (value > 0xFFFFFFFFu) {
                return std::nullopt;
            }
        }
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > int64_t{1} << 31) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key) {
    IniDocument document;
    if (!document.Load(path)) {
        return std::nullopt;
    }
    return document.Value(section, key);
}

bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
    IniDocument document;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || !document.Load(path)) {
            return false;
        }
    } else if (errno != ENOENT) {
        return false;
    }
    document.SetValue(section, key, value);
    const std::string text = document.Text();

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
    return written;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace tervo
