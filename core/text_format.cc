#include "core/text_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tervo {

size_t Utf8SequenceLength(const unsigned char* s, size_t n) {
    unsigned char c = s[0];
    size_t len;
    uint32_t min;
    uint32_t cp;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2, min = 0x80, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, min = 0x800, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (n < len) {
        return 0;
    }
    for (size_t i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF) {
        return 0;
    }
    return len;
}

namespace {

constexpr uint64_t kPowersOf5[] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125};
constexpr uint64_t kPowersOf10[] = {1,      10,      100,      1000,      10000,
                                    100000, 1000000, 10000000, 100000000, 1000000000};

// "%.Nf" of a finite value below 2^30 with up to 9 decimals, the case of every
// number the writers print, without the general conversion's cost. The value
// is m * 2^e exactly; value * 10^N is then m * 5^N * 2^(e+N), and e + N < 0
// here, so a right shift by -(e+N) with the bits shifted out rounded half to
// even gives exactly the digits printf gives. False for any other value.
bool FormatSmallFixed(double value, int decimals, char* out, size_t* length) {
    const auto bits = std::bit_cast<uint64_t>(value);
    const int exponentField = static_cast<int>((bits >> 52) & 0x7FF);
    if (decimals < 0 || decimals > 9 || exponentField >= 1023 + 30) {
        return false;
    }
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (exponentField != 0) {
        mantissa |= uint64_t{1} << 52;
        exponent = exponentField - 1075;
    }
    const int shift = -(exponent + decimals);  // at least 14
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * kPowersOf5[decimals];
    uint64_t digits = 0;
    if (shift < 128) {
        const unsigned __int128 whole = scaled >> shift;
        const unsigned __int128 rest = scaled - (whole << shift);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        digits = static_cast<uint64_t>(whole);
        if (rest > half || (rest == half && (digits & 1) != 0)) {
            ++digits;
        }
    }
    char* p = out;
    if ((bits >> 63) != 0) {
        *p++ = '-';
    }
    uint64_t fraction = digits % kPowersOf10[decimals];
    p = std::to_chars(p, p + 24, digits / kPowersOf10[decimals]).ptr;
    if (decimals > 0) {
        *p++ = '.';
        for (int i = decimals - 1; i >= 0; --i) {
            p[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        p += decimals;
    }
    *length = static_cast<size_t>(p - out);
    return true;
}

}  // namespace

size_t FormatFixed(double value, int decimals, char* out) {
    size_t length = 0;
    if (FormatSmallFixed(value, decimals, out, &length)) {
        return length;
    }
    if (std::isnan(value)) {
        // glibc prints the sign of a NaN too.
        const char* text = std::signbit(value) ? "-nan" : "nan";
        size_t n = std::strlen(text);
        std::memcpy(out, text, n);
        return n;
    }
    auto result = std::to_chars(out, out + 349, value, std::chars_format::fixed, decimals);
    return static_cast<size_t>(result.ptr - out);
}

std::string JsonString(std::string_view value) {
    std::string out = "\"";
    out.reserve(value.size() + 2);
    AppendUtf8(out, value, [](std::string& text, char c) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c == '\t') {
            text += "\\t";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            text += "\\u00";
            text += kHex[(c >> 4) & 0xF];
            text += kHex[c & 0xF];
        } else {
            text += c;
        }
    });
    out += '"';
    return out;
}

}  // namespace tervo
