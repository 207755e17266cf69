// The waypoint arrow icons: the built-in template recoloured and written as PNG.
#pragma once

#include <cstdint>
#include <string>

namespace tervo {

// Writes "<R + 256 G + 65536 B>.png" into `directory` (given without its final
// separator) and returns that bare name. Throws CreateFileError with the full
// path when the file cannot be written.
std::string MakeWaypointIcon(int32_t colour, const std::string& directory);

}  // namespace tervo
