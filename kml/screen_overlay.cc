#include "kml/screen_overlay.h"

namespace tervo {

void WriteScreenOverlay(KmlStream& stream, std::string_view name, std::string_view href,
                        const ScreenOverlayPlace& place) {
    const bool right = place.Corner == ScreenCorner::TopRight || place.Corner == ScreenCorner::BottomRight;
    const bool top = place.Corner == ScreenCorner::TopLeft || place.Corner == ScreenCorner::TopRight;
    stream.Text("<ScreenOverlay>\n"_kml);
    stream.Text("<name>"_kml).Value(name).Text("</name>\n"_kml);
    if (!place.Visible) {
        stream.Text("<visibility>0</visibility>\n"_kml);
    }
    stream.Text("<Icon>\n"_kml);
    stream.Text("<href>"_kml).Value(href).Text("</href>\n"_kml);
    stream.Text("</Icon>\n"_kml);
    // The picture's own corner goes to the window's corner, 1 % in.
    stream.Text("<overlayXY x=\""_kml).Text(right ? "1"_kml : "0"_kml).Text("\" y=\""_kml);
    stream.Text(top ? "1"_kml : "0"_kml).Text("\" xunits=\"fraction\" yunits=\"fraction\"/>\n"_kml);
    stream.Text("<screenXY x=\""_kml).Text(right ? "0.99"_kml : "0.01"_kml).Text("\" y=\""_kml);
    stream.Text(top ? "0.99"_kml : "0.01"_kml).Text("\" xunits=\"fraction\" yunits=\"fraction\"/>\n"_kml);
    if (place.WidthFraction > 0) {
        // A height of 0 keeps the picture's proportions.
        stream.Text("<size x=\""_kml).Fixed(place.WidthFraction, 2);
        stream.Text("\" y=\"0\" xunits=\"fraction\" yunits=\"fraction\"/>\n"_kml);
    } else {
        stream.Text("<size x=\"-1\" y=\"-1\" xunits=\"pixels\" yunits=\"pixels\"/>\n"_kml);
    }
    stream.Text("</ScreenOverlay>\n"_kml);
}

}  // namespace tervo
