#include "kml/document.h"

#include <cstdio>

namespace tervo {

std::string KmlColor(int32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "FF%06X", static_cast<uint32_t>(colour));
    return text;
}

void BeginKmlDocument(KmlStream& stream, bool declaresGx) {
    if (declaresGx) {
        stream.Text("<kml xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n<Document>\n"_kml);
    } else {
        stream.Text("<kml>\n<Document>\n"_kml);
    }
}

void WriteLineStyle(KmlStream& stream, std::string_view widthText, std::string_view colourText,
                    std::string_view styleId) {
    stream.Text("<Style id=\""_kml).Value(styleId).Text("\">\n"_kml);
    stream.Text("<LineStyle>\n"_kml);
    stream.Text("<color>"_kml).Value(colourText).Text("</color>\n"_kml);
    stream.Text("<width>"_kml).Value(widthText).Text("</width>\n"_kml);
    stream.Text("</LineStyle>\n"_kml);
    stream.Text("</Style>\n"_kml);
}

void EndKmlDocument(KmlStream& stream) { stream.Text("</Document>\n</kml>"_kml); }

}  // namespace tervo
