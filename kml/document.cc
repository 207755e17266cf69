#include "kml/document.h"

namespace tervo {

void BeginKmlDocument(KmlStream& stream) { stream.Text("<kml>\n<Document>\n"); }

void WriteLineStyle(KmlStream& stream, std::string_view widthText, std::string_view colourText,
                    std::string_view styleId) {
    stream.Text("<Style id=\"").Value(styleId).Text("\">\n");
    stream.Text("<LineStyle>\n");
    stream.Text("<color>").Value(colourText).Text("</color>\n");
    stream.Text("<width>").Value(widthText).Text("</width>\n");
    stream.Text("</LineStyle>\n");
    stream.Text("</Style>\n");
}

void EndKmlDocument(KmlStream& stream) { stream.Text("</Document>\n</kml>"); }

}  // namespace tervo
