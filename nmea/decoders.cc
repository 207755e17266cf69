// PLACEHOLDER: replaced by the NMEA decoders.
#include "nmea/decoders.h"

namespace tervo {
void DecodeGga(std::string_view, waypoints&) {}
void DecodeRmc(std::string_view, waypoints&, DateSource&) {}
void DecodeGsv(std::string_view, waypoints&) {}
void DecodeGsa(std::string_view, waypoints&) {}
void DecodePorzd(std::string_view, waypoints&) {}
void DecodeTvldr(std::string_view, waypoints&) {}
}  // namespace tervo
