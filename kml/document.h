// The frame of the KML document and its line styles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kml/kml_stream.h"

namespace tervo {

// "FF" followed by the colour as 0xBBGGRR in upper-case hex, at least six digits.
std::string KmlColor(int32_t colour);

// "<kml>" and "<Document>", each on its own line; no XML declaration. With
// `declaresGx`, <kml> declares the gx prefix of the extensions for every part
// of the document: one viewer keeps only the first declaration of a prefix in
// a document and drops any other.
void BeginKmlDocument(KmlStream& stream, bool declaresGx = false);

// A Style with one LineStyle: colour (a KmlColor text) and width (the setting's
// text, written verbatim but escaped).
void WriteLineStyle(KmlStream& stream, std::string_view widthText, std::string_view colourText,
                    std::string_view styleId);

// "</Document>" and "</kml>", with no line end after the last tag.
void EndKmlDocument(KmlStream& stream);

}  // namespace tervo
