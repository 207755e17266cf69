// PLACEHOLDER: replaced by the icon maker.
#include "kml/icon.h"

namespace tervo {
std::string MakeWaypointIcon(int32_t colour, const std::string&) {
    return std::to_string(colour) + ".png";
}
}  // namespace tervo
