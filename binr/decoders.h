// The BINR messages the converter uses: 0x88 position, velocity, time and fix
// status; 0x52 satellites in view; 0x60 DOP; 0x93 satellites used.
//
// Each decoder reads the payload of a completed packet (data[2] on) and writes
// only the record fields named below. None reports an error: a message whose
// length does not fit its rule leaves the record as it was, except 0x93 (see
// there). The caller chooses which lengths of 0x88 and 0x60 reach a decoder.
#pragma once

#include <cstdint>
#include <string>

#include "binr/framer.h"
#include "core/record.h"

namespace tervo {

// Latitude, Longitude, Altitude, Rms, Time, Date, TimeMs, Speed, Course, Status
// and StatusText from a 0x88 payload of at least 69 bytes.
void DecodeBinrPosition(const BinrPacket& packet, waypoints& record);

// Rows of Satellites and HasSatellites from a 0x52 message of n 7-byte blocks
// followed by 1 or 5 spare bytes; any other length, or 40 blocks and more, is
// ignored. Blocks of an unknown system or number are passed over.
void DecodeBinrSatellites(const BinrPacket& packet, waypoints& record);

// Hdop from a 0x60 payload.
void DecodeBinrDop(const BinrPacket& packet, waypoints& record);

// Used of rows 1-96 (overwritten, not only set) and SatellitesUsed from a 0x93
// message. A length the receiver never sends sets SatellitesUsed to -1 and
// nothing else. The masks are read at their offsets even from a payload shorter
// than 16 bytes: what lies there is the packet's zero fill (or its ETX).
void DecodeBinrUsedSatellites(const BinrPacket& packet, waypoints& record);

struct BinrTimeText {
    std::string Time;    // "hh:mm:ss.mmm"
    std::string Date;    // "yyyy-mm-dd"
    int32_t TimeMs = 0;  // milliseconds since midnight, as MsOfDay would make it
};

// `timeOfWeekMs`: milliseconds since the start of the GPS week; `week`: the week
// as the receiver counts it (0-1022 mean 1999-2019, 1023 and up mean 2038 on,
// negative means the first GPS week). A time that is not finite or does not fit
// an int32 is taken as 0.
BinrTimeText BinrTimeToText(long double timeOfWeekMs, int16_t week);

}  // namespace tervo
