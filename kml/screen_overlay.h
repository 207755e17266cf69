// Screen overlays: a picture of the container (a plot, a legend) fixed to a
// corner of the viewer's window instead of the ground.
#pragma once

#include <string_view>

#include "kml/kml_stream.h"

namespace tervo {

enum class ScreenCorner { TopLeft, TopRight, BottomLeft, BottomRight };

struct ScreenOverlayPlace {
    ScreenCorner Corner = ScreenCorner::TopLeft;
    // The picture's width as a share of the window's, its height following;
    // 0 draws it at its own size in pixels.
    double WidthFraction = 0;
    bool Visible = true;  // false writes <visibility>0</visibility>
};

// <ScreenOverlay> named `name` showing the entry `href`, its corner 1 % in from
// the window's same corner.
void WriteScreenOverlay(KmlStream& stream, std::string_view name, std::string_view href,
                        const ScreenOverlayPlace& place);

}  // namespace tervo
