// Checks of a finished KML document that hold whatever log it was made from:
// the fuzz targets abort on any failure, and the hardening tests use the same
// checks on the documents of whole runs. Each returns "" when the document
// passes, otherwise what is wrong and at which line.
#pragma once

#include <string>
#include <string_view>

namespace tervo::fuzzing {

// Well-formed XML 1.0 without a DTD: one root element, start and end tags
// balanced and nested, attributes quoted and not repeated, CDATA sections and
// comments closed, "]]>" only as the end of a CDATA section, "&" only as a
// predefined or numeric reference, and only characters XML can hold (valid
// UTF-8, no control bytes but tab, CR and LF, no U+FFFE or U+FFFF).
std::string XmlWellFormedError(std::string_view text);

// Every LF is preceded by CR and every CR is followed by LF.
std::string LineEndError(std::string_view text);

// Every <coordinates> element holds tuples of exactly three decimal numbers
// ("lon,lat,alt") separated by white space; the <longitude>, <latitude> and
// <heading> elements hold one decimal number each. "nan" and "inf" are no numbers.
std::string NumberError(std::string_view text);

// The number of placemarks in the folder named "WayPoints" and the folders
// within it, or -1 without it.
int WaypointPlacemarkCount(std::string_view text);

// All of the above on a whole document; `countText` is the last text the run
// showed in the right pane ("Waypoints N"), which must match the folder.
std::string KmlDocumentError(std::string_view text, std::string_view countText);

}  // namespace tervo::fuzzing
