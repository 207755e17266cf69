// The waypoint arrow icons: the built-in template recoloured and written as PNG.
#pragma once

#include <cstdint>
#include <string>

namespace tervo {

// Writes the arrow template recoloured to `colour` as "<R + 256 G + 65536 B>.png"
// into `directory` (given without its final separator; empty means the current
// directory) and returns that bare name. Every pixel but the pure white ones takes
// the colour; alpha stays. Bits above the 24 colour bits are ignored. Throws
// CreateFileError with the full path when the file cannot be written whole, and
// then leaves no partial file behind.
std::string MakeWaypointIcon(int32_t colour, const std::string& directory);

// The file name MakeWaypointIcon gives the icon of `colour`: its 24 colour bits
// in decimal, then ".png".
std::string WaypointIconName(int32_t colour);

}  // namespace tervo
