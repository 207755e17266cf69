// Builds BINR payloads and wire messages for the tests of binr/.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "binr/framer.h"

namespace tervo::testing {

// Appends little-endian fields to a payload.
class Payload {
public:
    Payload& U8(uint8_t v) {
        bytes_.push_back(static_cast<char>(v));
        return *this;
    }
    Payload& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
    Payload& U32(uint32_t v) { return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16)); }
    Payload& U64(uint64_t v) { return U32(static_cast<uint32_t>(v)).U32(static_cast<uint32_t>(v >> 32)); }
    Payload& F32(float v) { return U32(std::bit_cast<uint32_t>(v)); }
    Payload& F64(double v) { return U64(std::bit_cast<uint64_t>(v)); }
    // The 10-byte extended form, from its raw significand and sign/exponent word.
    Payload& F80Raw(uint64_t significand, uint16_t signAndExponent) {
        return U64(significand).U16(signAndExponent);
    }
    // A finite value in the 10-byte extended form.
    Payload& F80(long double v) {
        if (v == 0) {
            return F80Raw(0, std::signbit(v) ? 0x8000 : 0);
        }
        int exponent = 0;
        const long double fraction = std::frexp(std::fabs(v), &exponent);  // [0.5, 1)
        const auto significand = static_cast<uint64_t>(std::ldexp(fraction, 64));
        const auto biased = static_cast<uint16_t>(exponent - 1 + 16383);
        return F80Raw(significand, static_cast<uint16_t>(biased | (v < 0 ? 0x8000 : 0)));
    }
    Payload& Zeros(int count) {
        bytes_.append(static_cast<size_t>(count), '\0');
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// DLE, id, the payload with each DLE doubled, DLE, ETX.
inline std::string Frame(uint8_t id, const std::string& payload) {
    std::string wire = {static_cast<char>(kBinrDle), static_cast<char>(id)};
    for (char c : payload) {
        wire += c;
        if (static_cast<uint8_t>(c) == kBinrDle) {
            wire += c;
        }
    }
    wire += static_cast<char>(kBinrDle);
    wire += static_cast<char>(kBinrEtx);
    return wire;
}

// The packet a fresh framer completes from Frame(id, payload).
inline BinrPacket FramedPacket(uint8_t id, const std::string& payload) {
    BinrFramer framer;
    BinrPacket packet;
    for (char c : Frame(id, payload)) {
        framer.BinrFeedByte(static_cast<uint8_t>(c), packet);
    }
    return packet;
}

// The fields of a 0x88 payload the decoder reads.
struct PositionFields {
    double latitude = 0;   // radians
    double longitude = 0;  // radians
    double height = 0;
    float rms = 0;
    long double timeMs = 0;
    int16_t week = 711;
    double north = 0;  // m/s
    double east = 0;   // m/s
    uint8_t status = 0x01;
    bool longForm = false;  // 73 bytes instead of 69
};

inline std::string PositionPayload(const PositionFields& f) {
    Payload p;
    p.F64(f.latitude).F64(f.longitude).F64(f.height).F32(f.rms).F80(f.timeMs);
    p.U16(static_cast<uint16_t>(f.week)).F64(f.north).F64(f.east).Zeros(12).U8(f.status);
    if (f.longForm) {
        p.Zeros(4);
    }
    return p.bytes();
}

}  // namespace tervo::testing
