#include "binr/decoders.h"

#include <bit>
#include <cmath>
#include <cstdio>

#include "binr/little_endian.h"

namespace tervo {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;
constexpr int kPayloadOffset = 2;

const uint8_t* Payload(const BinrPacket& packet) { return packet.data.data() + kPayloadOffset; }

// Status byte of 0x88: bit 0 fix valid, bit 1 2D (else 3D), bit 3 differential,
// bit 4 RAIM; the other bits are not looked at.
void DecodeFixStatus(uint8_t status, waypoints& record) {
    if ((status & 0x01) == 0) {
        record.Status = 'V';
        record.StatusText = "No Fix";
        return;
    }
    record.Status = 'A';
    record.StatusText = (status & 0x02) != 0 ? "2D" : "3D";
    if ((status & 0x08) != 0) {
        record.StatusText += ",DIFF";
    }
    if ((status & 0x10) != 0) {
        record.StatusText += ",RAIM";
    }
}

// 7 x week + day days after 1980-01-06, by a day count from 1 March that is
// exact from 1980-01-06 to 2100-02-28.
void FormatGpsDate(int32_t fullWeek, int32_t dayOfWeek, std::string& date) {
    int32_t days = dayOfWeek + 7 * fullWeek + 68;
    int32_t year;
    if (days < 123) {
        days += 366;
        year = -1;
    } else {
        year = static_cast<int32_t>((days - 122.1L) / 365.25L);
        days -= static_cast<int32_t>(year * 365.25L);
    }
    const int32_t monthIndex = static_cast<int32_t>(days / 30.6001L);
    const int32_t day = days - static_cast<int32_t>(monthIndex * 30.6001L);
    int32_t month = monthIndex - 1;
    if (month > 12) {
        month = monthIndex - 13;
        ++year;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year + 1980, month, day);
    date = text;
}

}  // namespace

BinrTimeText BinrTimeToText(long double timeOfWeekMs, int16_t week) {
    // Converting a value outside int32 to int32 is undefined; such a time is noise.
    if (!std::isfinite(timeOfWeekMs) || timeOfWeekMs <= -2147483649.0L || timeOfWeekMs >= 2147483648.0L) {
        timeOfWeekMs = 0;
    }
    const int32_t ms = static_cast<int32_t>(timeOfWeekMs);
    // A negative time gives negative fields, printed as they come.
    const int32_t secondOfDay = (ms / 1000) % 86400;
    const int32_t hours = secondOfDay / 3600;
    const int32_t minutes = (secondOfDay % 3600) / 60;
    const int32_t seconds = secondOfDay % 60;
    const int32_t fraction = ms % 1000;

    BinrTimeText result;
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", hours, minutes, seconds, fraction);
    result.Time = text;

    // Summed in this order in extended precision, like MsOfDay: it can come out
    // 1 below the exact count, and equal times always give equal keys.
    long double sum = seconds;
    sum += fraction * 0.001L;
    sum += minutes * 60.0L;
    sum += hours * 3600.0L;
    result.TimeMs = static_cast<int32_t>(sum * 1000);

    const int32_t dayOfWeek = static_cast<int32_t>(timeOfWeekMs / 86400000.0L);
    // The receiver's week rolls over at 1024; 1023 is its mark for the second rollover.
    int32_t fullWeek;
    if (week < 0) {
        fullWeek = 0;
    } else if (week <= 1022) {
        fullWeek = week + 1024;
    } else {
        fullWeek = week + 2048;
    }
    FormatGpsDate(fullWeek, dayOfWeek, result.Date);
    return result;
}

void DecodeBinrPosition(const BinrPacket& packet, waypoints& record) {
    const uint8_t* p = Payload(packet);
    const double latitude = ReadF64Le(p + 0);          // radians
    const double longitude = ReadF64Le(p + 8);         // radians
    const double height = ReadF64Le(p + 16);           // metres
    const float rms = ReadF32Le(p + 24);               // metres
    const long double timeOfWeek = ReadF80Le(p + 28);  // milliseconds
    const int16_t week = ReadI16Le(p + 38);            // as the receiver counts it
    const double velocityNorth = ReadF64Le(p + 40);    // m/s
    const double velocityEast = ReadF64Le(p + 48);     // m/s
    const uint8_t status = p[68];                      // fix status bits

    record.Latitude = static_cast<double>(latitude * 180.0L / kPi);
    record.Longitude = static_cast<double>(longitude * 180.0L / kPi);
    record.Altitude = height;
    record.Rms = rms;

    BinrTimeText time = BinrTimeToText(timeOfWeek, week);
    record.Time = std::move(time.Time);
    record.Date = std::move(time.Date);
    record.TimeMs = time.TimeMs;

    const long double north = velocityNorth;
    const long double east = velocityEast;
    record.Speed = static_cast<double>(std::sqrt(north * north + east * east) * 3.6L);
    if (velocityNorth != 0 || velocityEast != 0) {
        long double course = std::atan2(east, north) * 180.0L / kPi;
        if (course < 0) {
            course += 360;
        }
        record.Course = static_cast<double>(course);
    } else {
        record.Course = 0;
    }

    DecodeFixStatus(status, record);
}

void DecodeBinrSatellites(const BinrPacket& packet, waypoints& record) {
    constexpr int kBlockSize = 7;
    constexpr int kMaxBlocks = 40;
    const int length = packet.length;
    int blocks;
    if ((length - 4) % kBlockSize == 0) {
        blocks = (length - 4) / kBlockSize;
    } else if ((length - 8) % kBlockSize == 0) {
        blocks = (length - 8) / kBlockSize;
    } else {
        return;
    }
    if (blocks >= kMaxBlocks) {
        return;
    }

    for (int b = 0; b < blocks; ++b) {
        const uint8_t* block = Payload(packet) + b * kBlockSize;
        const uint8_t system = block[0];                         // 1 GPS, 2 GLONASS, 4 SBAS
        const uint8_t number = block[1];                         // within the system
        const int8_t channel = std::bit_cast<int8_t>(block[2]);  // GLONASS frequency channel
        const uint8_t elevation = block[3];                      // degrees
        const uint16_t azimuth = ReadU16Le(block + 4);           // degrees
        const uint8_t snr = block[6];                            // dB-Hz

        const char systemLetter = system == 1 ? 'G' : system == 2 ? 'R' : system == 4 ? 'S' : 0;
        const int row = SatelliteIdOf(systemLetter, number);
        if (row == 0) {
            continue;
        }
        SatelliteInfo& satellite = record.Satellites[static_cast<size_t>(row)];
        satellite.System = systemLetter;
        satellite.Number = number;
        satellite.Channel = channel;
        satellite.Elevation = elevation;
        satellite.Azimuth = azimuth;
        satellite.Snr = snr;
        satellite.InView = 1;
        record.HasSatellites = 1;
    }
}

void DecodeBinrDop(const BinrPacket& packet, waypoints& record) {
    const float hdop = ReadF32Le(Payload(packet) + 2);
    record.Hdop = hdop;
}

void DecodeBinrUsedSatellites(const BinrPacket& packet, waypoints& record) {
    const int length = packet.length;
    if ((length - 20) % 5 != 0 && (length - 24) % 5 != 0) {
        record.SatellitesUsed = -1;
        return;
    }
    const uint8_t* p = Payload(packet);
    const uint32_t gps = ReadU32Le(p + 4);      // bit i: GPS number i + 1
    const uint32_t glonass = ReadU32Le(p + 8);  // bit i: GLONASS slot i + 1
    const uint32_t sbas = ReadU32Le(p + 12);    // bit i: SBAS number 120 + i

    // Every row's Used flag takes its bit. A clear bit of a row the table does
    // not hold leaves it as it reads already, so no row is added for it.
    auto mark = [&record](size_t id, uint32_t bit) {
        if (bit != 0) {
            record.Satellites[id].Used = 1;
        } else if (SatelliteInfo* row = record.Satellites.Find(id)) {
            row->Used = 0;
        }
    };
    for (int i = 0; i < 32; ++i) {
        mark(static_cast<size_t>(SatelliteIdOf('G', i + 1)), (gps >> i) & 1);
        mark(static_cast<size_t>(SatelliteIdOf('R', i + 1)), (glonass >> i) & 1);
        mark(static_cast<size_t>(SatelliteIdOf('S', 120 + i)), (sbas >> i) & 1);
    }
    record.SatellitesUsed = std::popcount(gps) + std::popcount(glonass) + std::popcount(sbas);
}

}  // namespace tervo
