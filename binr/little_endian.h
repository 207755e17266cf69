// Little-endian field readers for BINR payloads, assembled from bytes so the
// host's byte order never matters. Each takes a pointer to the field's first byte.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tervo {

inline uint16_t ReadU16Le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline int16_t ReadI16Le(const uint8_t* p) { return static_cast<int16_t>(ReadU16Le(p)); }

inline uint32_t ReadU32Le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t ReadU64Le(const uint8_t* p) {
    return static_cast<uint64_t>(ReadU32Le(p)) | (static_cast<uint64_t>(ReadU32Le(p + 4)) << 32);
}

// IEEE single, bit for bit (a NaN keeps its payload).
inline float ReadF32Le(const uint8_t* p) { return std::bit_cast<float>(ReadU32Le(p)); }

// IEEE double, bit for bit.
inline double ReadF64Le(const uint8_t* p) { return std::bit_cast<double>(ReadU64Le(p)); }

// The 80-bit extended format: bytes 0-7 the significand with its explicit
// integer bit (bit 63), bytes 8-9 the sign (bit 15) and the biased exponent.
// Built with ldexp, so it needs no 80-bit long double on the host; a host
// long double with less range saturates to infinity. Encodings the x87 unit
// refuses as operands (an integer bit of 0 with a non-zero exponent, the
// pseudo-infinities) read as NaN, as they would there.
inline long double ReadF80Le(const uint8_t* p) {
    constexpr int kExponentBias = 16383;
    constexpr int kMaxExponent = 0x7FFF;
    constexpr uint64_t kIntegerBit = uint64_t{1} << 63;
    const uint64_t significand = ReadU64Le(p);
    const uint16_t signAndExponent = ReadU16Le(p + 8);
    const bool negative = (signAndExponent & 0x8000) != 0;
    const int exponent = signAndExponent & 0x7FFF;

    long double magnitude;
    if (exponent == kMaxExponent) {
        if (significand == kIntegerBit) {
            magnitude = std::numeric_limits<long double>::infinity();
        } else {
            magnitude = std::numeric_limits<long double>::quiet_NaN();
        }
    } else if (exponent == 0) {
        // Denormals (and pseudo-denormals) use the smallest exponent.
        magnitude = std::ldexp(static_cast<long double>(significand), 1 - kExponentBias - 63);
    } else if ((significand & kIntegerBit) == 0) {
        magnitude = std::numeric_limits<long double>::quiet_NaN();
    } else {
        magnitude = std::ldexp(static_cast<long double>(significand), exponent - kExponentBias - 63);
    }
    return negative ? -magnitude : magnitude;
}

}  // namespace tervo
