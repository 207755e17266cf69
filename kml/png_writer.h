// One PNG encoder for every image we draw: the waypoint icons and the arrow
// template they are made from.
#pragma once

#include <cstdint>
#include <vector>

namespace tervo {

struct PngOptions {
    // pHYs at 72 dpi and cHRM of sRGB, as an image made for a screen carries.
    bool ScreenChunks = false;
    // zlib's level; -1 is libpng's default.
    int CompressionLevel = -1;
};

// Appends `rgba` (8-bit RGBA rows, no padding) as a PNG to `out`. False when
// libpng fails; `out` then holds a partial image.
bool EncodeRgbaPng(const uint8_t* rgba, uint32_t width, uint32_t height, const PngOptions& options,
                   std::vector<uint8_t>* out);

}  // namespace tervo
