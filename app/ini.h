// INI text files: "[Section]" header lines followed by "Key=Value" lines.
//
// Reading matches section and key names without regard to ASCII letter case and
// takes the first match. Blanks around names and values are ignored, one pair of
// enclosing double or single quotes is stripped from a value, and at most
// kIniValueLimit characters of a value are returned. Lines may end in CR LF or LF.
//
// Writing changes one key and leaves every other byte of the file as it was: the
// key's line is replaced where it stands, a missing key is added behind the last
// line of its section, a missing section is added at the end of the file, and a
// missing file is created (its directory is not). Lines we write end in CR LF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tervo {

inline constexpr size_t kIniValueLimit = 2047;

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(std::string_view text);

    // Reads the file at `path`; false when it cannot be read (the document is
    // then empty).
    bool Load(const std::string& path);

    // The value of `key` in `section`, or nothing when either is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // The value read as an integer (ParseIniInteger), or nothing when the key is
    // missing or its value has any other form.
    std::optional<int32_t> Integer(std::string_view section, std::string_view key) const;

    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    // The whole file as it would be written.
    std::string Text() const;

private:
    struct Line {
        std::string content;  // without its line end
        std::string end;      // "\r\n", "\n" or "" on a last line without one
    };
    // Index of the line holding `key` in `section`, or -1.
    long FindKeyLine(std::string_view section, std::string_view key) const;
    // Index of the header line of `section`, or -1.
    long FindSection(std::string_view section) const;

    std::vector<Line> lines_;
};

// Optional sign and decimal digits, or hexadecimal digits behind "0x", "0X" or
// "$" (taken as the 32 bits they give, so "$FFFFFFFF" is -1). Anything else,
// the empty text and decimal values outside 32 bits included, gives nothing.
std::optional<int32_t> ParseIniInteger(std::string_view text);

// Equal but for the case of ASCII letters (section and key names, the date text).
bool EqualNoCase(std::string_view a, std::string_view b);

// One value of the file at `path`; nothing when the file, the section or the key
// is missing.
std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key);

// Sets one key in the file at `path` (see the top of this header). False when
// the file could not be read or written whole; a file that exists but cannot be
// read is not overwritten.
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);

}  // namespace tervo
