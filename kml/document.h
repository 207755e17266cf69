// The frame of the KML document and its line styles.
#pragma once

#include <string_view>

#include "kml/kml_stream.h"

namespace tervo {

// "<kml>" and "<Document>", each on its own line; no XML declaration.
void BeginKmlDocument(KmlStream& stream);

// A Style with one LineStyle: colour (a KmlColor text) and width (the setting's
// text, written verbatim but escaped).
void WriteLineStyle(KmlStream& stream, std::string_view widthText, std::string_view colourText,
                    std::string_view styleId);

// "</Document>" and "</kml>", with no line end after the last tag.
void EndKmlDocument(KmlStream& stream);

}  // namespace tervo
