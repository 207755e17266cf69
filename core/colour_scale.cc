#include "core/colour_scale.h"

#include <array>
#include <cmath>

namespace tervo {

Rgb Viridis(double t) {
    // Ten samples of matplotlib's viridis at k / 9, joined linearly.
    static constexpr std::array<Rgb, 10> kSamples = {{
        {0x44, 0x01, 0x54},
        {0x48, 0x28, 0x78},
        {0x3E, 0x4A, 0x89},
        {0x31, 0x68, 0x8E},
        {0x26, 0x82, 0x8E},
        {0x1F, 0x9E, 0x89},
        {0x35, 0xB7, 0x79},
        {0x6D, 0xCD, 0x59},
        {0xB4, 0xDE, 0x2C},
        {0xFD, 0xE7, 0x25},
    }};
    if (!(t > 0)) {
        return kSamples.front();
    }
    if (t >= 1) {
        return kSamples.back();
    }
    const double at = t * (kSamples.size() - 1);
    const auto index = static_cast<size_t>(at);
    const double part = at - static_cast<double>(index);
    const Rgb& a = kSamples[index];
    const Rgb& b = kSamples[index + 1];
    auto mix = [part](uint8_t from, uint8_t to) {
        return static_cast<uint8_t>(std::lround(from + (to - from) * part));
    };
    return {mix(a.R, b.R), mix(a.G, b.G), mix(a.B, b.B)};
}

}  // namespace tervo
