#include "binr/decoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "binr/little_endian.h"
#include "binr_messages.h"

namespace tervo {
namespace {

using testing::FramedPacket;
using testing::Payload;
using testing::PositionFields;
using testing::PositionPayload;

waypoints DecodePosition(const PositionFields& fields) {
    waypoints record{};
    DecodeBinrPosition(FramedPacket(0x88, PositionPayload(fields)), record);
    return record;
}

TEST(ReadF80Le, ReadsTheTenBytesWithoutTheHostsHelp) {
    struct Case {
        const char* legend;
        uint64_t significand;
        uint16_t signAndExponent;
        long double expected;
    };
    const Case cases[] = {
        {"one: integer bit and bias", 0x8000000000000000ull, 0x3FFF, 1.0L},
        {"sign bit", 0x8000000000000000ull, 0xC000, -2.0L},
        {"a millisecond count of 10:01:01.234", 0x89900C8000000000ull, 0x4018, 36061234.0L},
        {"the lowest significand bit is not lost", 0x8000000000000001ull, 0x403E, 9223372036854775809.0L},
        {"zero", 0, 0, 0.0L},
        {"a denormal uses the smallest exponent", 1, 0, std::ldexp(1.0L, -16445)},
        {"infinity", 0x8000000000000000ull, 0x7FFF, std::numeric_limits<long double>::infinity()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::string bytes = Payload().F80Raw(c.significand, c.signAndExponent).bytes();
        EXPECT_EQ(ReadF80Le(reinterpret_cast<const uint8_t*>(bytes.data())), c.expected);
    }
    const struct {
        const char* legend;
        uint64_t significand;
        uint16_t signAndExponent;
    } notANumber[] = {
        {"quiet NaN", 0xC000000000000000ull, 0x7FFF},
        {"pseudo-infinity (no integer bit)", 0, 0x7FFF},
        {"unnormal (no integer bit, exponent set)", 0x4000000000000000ull, 0x4018},
    };
    for (const auto& c : notANumber) {
        SCOPED_TRACE(c.legend);
        const std::string bytes = Payload().F80Raw(c.significand, c.signAndExponent).bytes();
        EXPECT_TRUE(std::isnan(ReadF80Le(reinterpret_cast<const uint8_t*>(bytes.data()))));
    }
}

TEST(DecodeBinrPosition, CoordinatesInDegreesHeightAndRmsBitForBit) {
    PositionFields fields;
    fields.latitude = std::numbers::pi / 4;
    fields.longitude = -std::numbers::pi / 2;
    fields.height = -0.0;
    fields.rms = std::bit_cast<float>(0x7FC12345u);  // a NaN with a payload
    const waypoints record = DecodePosition(fields);
    EXPECT_DOUBLE_EQ(record.Latitude, 45.0);
    EXPECT_DOUBLE_EQ(record.Longitude, -90.0);
    EXPECT_EQ(std::bit_cast<uint64_t>(record.Altitude), std::bit_cast<uint64_t>(-0.0));
    EXPECT_EQ(std::bit_cast<uint32_t>(record.Rms), 0x7FC12345u);

    fields.height = 187.25;
    fields.longForm = true;
    EXPECT_EQ(DecodePosition(fields).Altitude, 187.25) << "the 73-byte form has the same layout";
}

TEST(DecodeBinrPosition, SpeedAndCourseFromTheVelocities) {
    struct Case {
        const char* legend;
        double north;
        double east;
        double speed;
        double course;
    };
    const Case cases[] = {
        {"3-4-5: km/h from m/s, course from north towards east", 3, 4, 18, 53.13010235415598},
        {"south is 180, not -180", -1, 0, 3.6, 180},
        {"west wraps to 270 instead of -90", 0, -1, 3.6, 270},
        {"standing still: course 0, not atan2's choice", 0, 0, 0, 0},
        {"negative zero is still standing still", -0.0, -0.0, 0, 0},
        {"north-west quadrant", 1, -1, 3.6 * std::numbers::sqrt2, 315},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        PositionFields fields;
        fields.north = c.north;
        fields.east = c.east;
        const waypoints record = DecodePosition(fields);
        EXPECT_NEAR(record.Speed, c.speed, 1e-12);
        EXPECT_NEAR(record.Course, c.course, 1e-12);
    }
}

TEST(DecodeBinrPosition, StatusByte) {
    struct Case {
        const char* legend;
        uint8_t status;
        char letter;
        const char* text;
    };
    const Case cases[] = {
        {"bit 0 alone: 3D", 0x01, 'A', "3D"},
        {"bit 1: 2D", 0x03, 'A', "2D"},
        {"bits 3 and 4: DIFF before RAIM", 0x19, 'A', "3D,DIFF,RAIM"},
        {"bit 0 clear overrides every other bit", 0x1E, 'V', "No Fix"},
        {"bit 2 is not looked at", 0x05, 'A', "3D"},
        {"bits 5-7 are not looked at", 0xE1, 'A', "3D"},
        {"RAIM alone", 0x11, 'A', "3D,RAIM"},
        {"DIFF alone", 0x09, 'A', "3D,DIFF"},
        {"2D with DIFF", 0x0B, 'A', "2D,DIFF"},
        {"2D with RAIM", 0x13, 'A', "2D,RAIM"},
        {"2D with both", 0x1B, 'A', "2D,DIFF,RAIM"},
        {"all clear", 0x00, 'V', "No Fix"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        PositionFields fields;
        fields.status = c.status;
        const waypoints record = DecodePosition(fields);
        EXPECT_EQ(record.Status, c.letter);
        EXPECT_EQ(record.StatusText, c.text);
    }
}

TEST(DecodeBinrPosition, TimeTravelsInTheExtendedField) {
    PositionFields fields;
    fields.timeMs = 2 * 86400000.0L + 36061234;
    fields.week = 711;
    const waypoints record = DecodePosition(fields);
    EXPECT_EQ(record.Time, "10:01:01.234");
    EXPECT_EQ(record.Date, "2013-04-09");
    EXPECT_EQ(record.TimeMs, 36061234);
}

TEST(BinrTimeToText, TimeDateAndKey) {
    constexpr long double kDay = 86400000.0L;
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    struct Case {
        const char* legend;
        long double timeMs;
        int16_t week;
        const char* time;
        const char* date;
        int32_t timeMs32;
    };
    const Case cases[] = {
        {"time of day and the week's first day", 36061234, 711, "10:01:01.234", "2013-04-07", 36061234},
        {"day of the week from the time", 2 * kDay + 36061234, 711, "10:01:01.234", "2013-04-09", 36061234},
        {"week 0 is the second rollover era", 0, 0, "00:00:00.000", "1999-08-22", 0},
        {"last week of that era", 0, 1022, "00:00:00.000", "2019-03-24", 0},
        {"1023 jumps to the third era", 0, 1023, "00:00:00.000", "2038-11-14", 0},
        {"a negative week is the first GPS week", 0, -1, "00:00:00.000", "1980-01-06", 0},
        {"the most negative week too", 0, -32768, "00:00:00.000", "1980-01-06", 0},
        {"the fraction is truncated, not rounded", 1234.9L, 0, "00:00:01.234", "1999-08-22", 1234},
        {"last millisecond of a day", kDay - 1, 0, "23:59:59.999", "1999-08-22", 86399999},
        {"a leap day", 2 * kDay, 27, "00:00:00.000", "2000-02-29", 0},
        {"the last day of a year", 0, 71, "00:00:00.000", "2000-12-31", 0},
        // 0.001 in extended precision lies just below a thousandth: the key comes
        // out 1 short, as MsOfDay's can.
        {"the first day of the next year", kDay + 1, 71, "00:00:00.001", "2001-01-01", 0},
        {"a leap day in the 2016 era", kDay, 862, "00:00:00.000", "2016-02-29", 0},
        {"a leap day past the 1023 jump", 3 * kDay, 1090, "00:00:00.000", "2040-02-29", 0},
        {"the largest time an int32 holds is still used", 2147483647.0L, 0, "20:31:23.647", "1999-09-15",
         73883647},
        // Converting these to an int32 would be undefined: they count as time 0.
        {"NaN", nan, 711, "00:00:00.000", "2013-04-07", 0},
        {"infinity", inf, 711, "00:00:00.000", "2013-04-07", 0},
        {"minus infinity", -inf, 711, "00:00:00.000", "2013-04-07", 0},
        {"2^31", 2147483648.0L, 711, "00:00:00.000", "2013-04-07", 0},
        {"a huge value", 1e300L, 711, "00:00:00.000", "2013-04-07", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const BinrTimeText text = BinrTimeToText(c.timeMs, c.week);
        EXPECT_EQ(text.Time, c.time);
        EXPECT_EQ(text.Date, c.date);
        EXPECT_EQ(text.TimeMs, c.timeMs32);
    }
}

// A 0x52 payload of the given blocks and spare bytes.
std::string SatellitesPayload(std::initializer_list<std::array<int, 6>> blocks, int spare) {
    Payload p;
    for (const auto& b : blocks) {
        p.U8(static_cast<uint8_t>(b[0])).U8(static_cast<uint8_t>(b[1])).U8(static_cast<uint8_t>(b[2]));
        p.U8(static_cast<uint8_t>(b[3])).U16(static_cast<uint16_t>(b[4])).U8(static_cast<uint8_t>(b[5]));
    }
    p.Zeros(spare);
    return p.bytes();
}

// System, Number, Channel, Elevation, Azimuth, Snr and InView of a row, as text.
std::string RowText(const SatelliteInfo& s) {
    return std::string(1, s.System ? s.System : '-') + " " + std::to_string(s.Number) + " " +
           std::to_string(s.Channel) + " " + std::to_string(s.Elevation) + " " + std::to_string(s.Azimuth) +
           " " + std::to_string(s.Snr) + " " + std::to_string(s.InView);
}

// The rows a 0x52 payload fills, as "row: fields".
std::vector<std::string> FilledRows(const std::string& payload) {
    waypoints record{};
    DecodeBinrSatellites(FramedPacket(0x52, payload), record);
    std::vector<std::string> rows;
    for (int id = 0; id < kSatelliteRows; ++id) {
        if (record.Satellites[id].InView != 0) {
            rows.push_back(std::to_string(id) + ": " + RowText(record.Satellites[id]));
        }
    }
    EXPECT_EQ(record.HasSatellites, rows.empty() ? 0 : 1);
    return rows;
}

TEST(DecodeBinrSatellites, FillsTheRowOfEachSystem) {
    // Rows: GPS by number, GLONASS slot + 64 with its signed channel, SBAS number - 87.
    for (int spare : {1, 5}) {
        SCOPED_TRACE(spare == 1 ? "L - 4 a multiple of 7" : "L - 8 a multiple of 7");
        EXPECT_EQ(FilledRows(SatellitesPayload({{1, 5, 0, 30, 200, 40}, {2, 3, -2, 10, 90, 35}}, spare)),
                  (std::vector<std::string>{"5: G 5 0 30 200 40 1", "67: R 3 -2 10 90 35 1"}));
    }
    EXPECT_EQ(FilledRows(SatellitesPayload({{4, 124, 0, 20, 300, 38}, {1, 16, 0, 16, 16, 16}}, 1)),
              (std::vector<std::string>{"16: G 16 0 16 16 16 1", "37: S 124 0 20 300 38 1"}))
        << "DLE-valued bytes survive the framing";
}

TEST(DecodeBinrSatellites, PassesOverWhatItCannotPlace) {
    struct Case {
        const char* legend;
        std::string payload;
        int filledRows;
    };
    std::string manyBlocks39;
    std::string manyBlocks40;
    for (int i = 0; i < 40; ++i) {
        const std::string block = SatellitesPayload({{1, 1 + i % 32, 0, 10, 10, 30}}, 0);
        manyBlocks40 += block;
        if (i < 39) {
            manyBlocks39 += block;
        }
    }
    const Case cases[] = {
        {"L = 17: neither form", SatellitesPayload({{1, 5, 0, 30, 200, 40}}, 7), 0},
        {"unknown system, GPS 33, GLONASS 0, SBAS 119 and 152 are skipped, the rest kept",
         SatellitesPayload({{3, 5, 0, 1, 1, 1},
                            {1, 33, 0, 1, 1, 1},
                            {2, 0, 0, 1, 1, 1},
                            {4, 119, 0, 1, 1, 1},
                            {4, 152, 0, 1, 1, 1},
                            {4, 151, 0, 1, 1, 1},
                            {2, 32, 0, 1, 1, 1}},
                           1),
         2},
        {"39 blocks are taken", manyBlocks39 + std::string(1, '\0'), 32},
        {"40 blocks are refused whole", manyBlocks40 + std::string(1, '\0'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(FilledRows(c.payload).size(), static_cast<size_t>(c.filledRows));
    }
}

TEST(DecodeBinrDop, HdopIsTheSingleAtOffsetTwo) {
    waypoints record{};
    DecodeBinrDop(FramedPacket(0x60, Payload().U16(0xFFFF).F32(1.25f).Zeros(5).bytes()), record);
    EXPECT_EQ(record.Hdop, 1.25);
}

TEST(DecodeBinrUsedSatellites, MasksAndLengthRule) {
    struct Case {
        const char* legend;
        int payloadSize;  // L - 3
        int32_t satellitesUsed;
        std::vector<int> usedRows;
    };
    const Case cases[] = {
        {"L = 20: GPS 1 and 3, GLONASS slot 1; stale rows cleared", 17, 3, {1, 3, 65}},
        {"L = 24, the long form", 21, 3, {1, 3, 65}},
        {"L = 21: unknown, the rows stay as they were", 18, -1, {2, 40, 96}},
        // The short form reads its SBAS mask from the closing DLE, the ETX and the
        // zero fill: SBAS bits 4, 8 and 9.
        {"L = 15: the masks run past the stored bytes", 12, 6, {1, 3, 65, 37, 41, 42}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        Payload p;
        p.U32(0).U32(0x00000005).U32(0x00000001).U32(0).Zeros(5);
        const std::string payload = p.bytes().substr(0, static_cast<size_t>(c.payloadSize));
        waypoints record{};
        record.Satellites[2].Used = 1;
        record.Satellites[40].Used = 1;
        record.Satellites[96].Used = 1;
        DecodeBinrUsedSatellites(FramedPacket(0x93, payload), record);
        EXPECT_EQ(record.SatellitesUsed, c.satellitesUsed);
        std::vector<int> used;
        for (int id = 0; id < kSatelliteRows; ++id) {
            if (record.Satellites[id].Used != 0) {
                used.push_back(id);
            }
        }
        std::vector<int> expected = c.usedRows;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(used, expected);
    }

    waypoints record{};
    const std::string highBits = Payload().U32(0).U32(0x80000000u).U32(0x80000000u).U32(0x80000001u).bytes();
    DecodeBinrUsedSatellites(FramedPacket(0x93, highBits + std::string(1, '\0')), record);
    EXPECT_EQ(record.Satellites[32].Used, 1) << "GPS bit 31 is number 32";
    EXPECT_EQ(record.Satellites[96].Used, 1) << "GLONASS bit 31 is slot 32";
    EXPECT_EQ(record.Satellites[33].Used, 1) << "SBAS bit 0 is number 120";
    EXPECT_EQ(record.Satellites[64].Used, 1) << "SBAS bit 31 is number 151";
    EXPECT_EQ(record.SatellitesUsed, 4);
}

}  // namespace
}  // namespace tervo
