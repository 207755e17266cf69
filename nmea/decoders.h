// The NMEA decoders. Each takes a sentence as the assembler delivers it ("$",
// address, fields, "*", two checksum digits) and writes only its own fields of
// the record; a field it cannot use leaves the record as it was. None reports
// an error.
#pragma once

#include <string_view>

#include "core/platform.h"
#include "core/record.h"

namespace tervo {

void DecodeGga(std::string_view sentence, waypoints& record);
// An empty date field takes today's local date from `today`.
void DecodeRmc(std::string_view sentence, waypoints& record, DateSource& today);
void DecodeGsv(std::string_view sentence, waypoints& record);
void DecodeGsa(std::string_view sentence, waypoints& record);
void DecodePorzd(std::string_view sentence, waypoints& record);
void DecodeTvldr(std::string_view sentence, waypoints& record);
// Any talker's ZDA: the UTC time into Time and TimeMs, the date into Date; the
// local zone fields are not read.
void DecodeZda(std::string_view sentence, waypoints& record);

}  // namespace tervo
