// Text helpers every writer shares: numbers as printf prints them in the C
// locale, whatever the process locale, and the UTF-8 check behind escaping.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tervo {

// "%.Nf" of value in the C locale into `out` (at least 350 bytes); returns the length.
size_t FormatFixed(double value, int decimals, char* out);

// The length of the valid UTF-8 sequence at `s` (which has `n` bytes, n >= 1),
// 0 when it is not one: an overlong form, a surrogate, U+FFFE, U+FFFF, or a code
// point beyond U+10FFFF count as invalid too.
size_t Utf8SequenceLength(const unsigned char* s, size_t n);

// U+FFFD, which stands for every byte that is not part of valid UTF-8.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Appends `value` to `out` with invalid UTF-8 replaced; each ASCII byte goes
// through `ascii`, which appends it or what stands for it.
template <typename Ascii>
void AppendUtf8(std::string& out, std::string_view value, Ascii ascii) {
    const auto* s = reinterpret_cast<const unsigned char*>(value.data());
    const size_t n = value.size();
    for (size_t i = 0; i < n;) {
        if (s[i] < 0x80) {
            ascii(out, static_cast<char>(s[i]));
            ++i;
            continue;
        }
        const size_t length = Utf8SequenceLength(s + i, n - i);
        if (length == 0) {
            out += kReplacementCharacter;
            ++i;
        } else {
            out.append(value.data() + i, length);
            i += length;
        }
    }
}

// A JSON string with its quotes: '"' and "\" behind a backslash, control bytes as
// \n, \r, \t or \u00XX, invalid UTF-8 as U+FFFD.
std::string JsonString(std::string_view value);

}  // namespace tervo
