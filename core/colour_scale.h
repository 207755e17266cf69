// Colours that the KML styles and the plots share: an RGB triple, the viridis
// scale, and the entries of a colour legend.
#pragma once

#include <cstdint>
#include <string>

namespace tervo {

struct Rgb {
    uint8_t R = 0;
    uint8_t G = 0;
    uint8_t B = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour as the settings file writes it: red + 256 x green + 65536 x blue
// (what KmlColor takes).
inline int32_t BgrOf(Rgb colour) { return colour.R + 256 * colour.G + 65536 * colour.B; }

// The viridis scale (dark purple at 0, blue and green, yellow at 1), perceptually
// even and readable in grey; `t` outside 0 to 1 is clamped, NaN gives 0.
Rgb Viridis(double t);

// One line of a colour legend.
struct LegendEntry {
    std::string Label;  // UTF-8
    Rgb Colour;
};

}  // namespace tervo
