#include "nmea/decoders.h"

#include <algorithm>
#include <array>

#include "nmea/field_walk.h"

namespace tervo {

namespace {

// $GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*hh
constexpr FieldSlot kGgaSlots[] = {
    {FieldRule::Time, At<&waypoints::Time>()},
    {FieldRule::Latitude, At<&waypoints::Latitude>()},
    {FieldRule::NorthSouth, At<&waypoints::Latitude>()},
    {FieldRule::Longitude, At<&waypoints::Longitude>()},
    {FieldRule::EastWest, At<&waypoints::Longitude>()},
    {FieldRule::Integer, At<&waypoints::FixQuality>()},
    {FieldRule::Integer, At<&waypoints::SatellitesUsed>()},
    {FieldRule::Number, At<&waypoints::Hdop>()},
    // Altitude, then its unit letter; reaching it makes the record a GGA one
    // even when the altitude is empty.
    {FieldRule::Number, At<&waypoints::Altitude>(), true, &waypoints::HasGga},
    {FieldRule::Number, At<&waypoints::GeoidSeparation>(), true},  // and its unit letter
    {FieldRule::Pass},                                             // age of differential data
    {FieldRule::Rest},                                             // reference station
};

// $GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A*hh
// Eleven, twelve or thirteen commas: the last slot takes whatever follows the
// variation direction (mode indicator, navigational status).
constexpr FieldSlot kRmcSlots[] = {
    {FieldRule::Time, At<&waypoints::Time>()},
    {.rule = FieldRule::Letter, .place = At<&waypoints::Status>(), .letters = "AV"},
    {FieldRule::Latitude, At<&waypoints::Latitude>()},
    {FieldRule::NorthSouth, At<&waypoints::Latitude>()},
    {FieldRule::Longitude, At<&waypoints::Longitude>()},
    {FieldRule::EastWest, At<&waypoints::Longitude>()},
    {FieldRule::Knots, At<&waypoints::Speed>()},
    {FieldRule::Number, At<&waypoints::Course>()},
    {.rule = FieldRule::Date, .place = At<&waypoints::Date>(), .marks = &waypoints::HasRmc},
    {FieldRule::Pass},  // magnetic variation
    {FieldRule::Pass},  // its direction
    {FieldRule::Rest},  // mode indicator and what later versions add
};

// $TVLDR,123519.00,D,4807.038,N,01131.000,E,022.4,084.4*hh
// The time goes to the differential fix and to the record's TimeMs, by which the
// read loop matches it to the epoch.
constexpr FieldSlot kTvldrSlots[] = {
    {FieldRule::Time, AtDTrack<&DTrackPoint::Time>()},
    {.rule = FieldRule::Letter, .place = AtDTrack<&DTrackPoint::Status>(), .letters = "AVD"},
    {FieldRule::Latitude, AtDTrack<&DTrackPoint::Latitude>()},
    {FieldRule::NorthSouth, AtDTrack<&DTrackPoint::Latitude>()},
    {FieldRule::Longitude, AtDTrack<&DTrackPoint::Longitude>()},
    {FieldRule::EastWest, AtDTrack<&DTrackPoint::Longitude>()},
    {FieldRule::Knots, AtDTrack<&DTrackPoint::Speed>()},
    {FieldRule::Rest, AtDTrack<&DTrackPoint::Course>()},
};

constexpr int kFirstSatelliteId = 1;
constexpr int kLastSatelliteId = 96;

bool IsSatelliteId(int32_t id) { return id >= kFirstSatelliteId && id <= kLastSatelliteId; }

// Talkers whose satellite ids belong to other systems than the table's (GPS,
// SBAS, GLONASS): Galileo, BeiDou, QZSS and NavIC number their satellites from 1
// again, so their GSV and GSA sentences would fill or mark GPS rows.
bool TalkerHasForeignIds(std::string_view sentence) {
    if (sentence.size() < 3) {
        return false;
    }
    static constexpr std::array<std::string_view, 6> kForeign = {"GA", "GB", "BD", "GQ", "QZ", "GI"};
    return std::find(kForeign.begin(), kForeign.end(), sentence.substr(1, 2)) != kForeign.end();
}

// The system id after VDOP (NMEA 4.1 and later) for systems outside the table.
bool IsForeignSystemId(int32_t systemId) { return systemId >= 3 && systemId <= 6; }

// A GSA of NMEA 4.1 and later carries a system id after VDOP.
constexpr long kGsaCommasWithSystemId = 18;

}  // namespace

void DecodeGga(std::string_view sentence, waypoints& record) { WalkFields(sentence, kGgaSlots, record); }

void DecodeRmc(std::string_view sentence, waypoints& record, DateSource& today) {
    WalkFields(sentence, kRmcSlots, record, &today);
}

void DecodeTvldr(std::string_view sentence, waypoints& record) { WalkFields(sentence, kTvldrSlots, record); }

// $GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*hh
// After three header fields come blocks of id, elevation, azimuth and SNR. A row
// is in view only once its SNR field is reached; a block cut short by the "*"
// fills nothing but the system and number.
void DecodeGsv(std::string_view sentence, waypoints& record) {
    if (TalkerHasForeignIds(sentence)) {
        return;
    }
    constexpr int kFirstBlockField = 4;
    SatelliteInfo* row = nullptr;
    ForEachField(sentence, [&](int index, std::string_view field, bool last) {
        if (index < kFirstBlockField) {
            return;
        }
        const int position = (index - kFirstBlockField) % 4;
        switch (position) {
            case 0: {
                const int32_t id = IntegerValue(field);
                row = nullptr;
                if (IsSatelliteId(id)) {
                    row = &record.Satellites[id];
                    const SatelliteName name = NameOfSatelliteId(id);
                    row->System = name.System;
                    row->Number = name.Number;
                }
                break;
            }
            case 1:
            case 2:
                if (last) {
                    row = nullptr;
                } else if (row != nullptr) {
                    if (position == 1) {
                        row->Elevation = static_cast<uint8_t>(IntegerValue(field));
                    } else {
                        row->Azimuth = static_cast<uint16_t>(IntegerValue(field));
                    }
                }
                break;
            case 3:
                if (row != nullptr) {
                    row->Snr = static_cast<uint8_t>(IntegerValue(field));
                    row->InView = 1;
                    record.HasSatellites = 1;
                }
                row = nullptr;
                break;
        }
    });
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*hh
// $GNGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1,1*hh  (NMEA 4.1: system id last)
// The used list runs from field 3 to the field before PDOP, found by counting
// back from the end, so receivers that send more than twelve ids are read whole.
// PDOP and VDOP are kept for the GPX export: the first and the last of the three
// fields before the system id, or of the last three (its HDOP is GGA's to give).
void DecodeGsa(std::string_view sentence, waypoints& record) {
    if (TalkerHasForeignIds(sentence)) {
        return;
    }
    const std::string_view body = sentence.substr(0, sentence.find('*'));
    const long commas = std::count(body.begin(), body.end(), ',');
    long lastListField = commas - 3;
    long vdopField = commas;
    if (commas == kGsaCommasWithSystemId) {
        vdopField = commas - 1;
        lastListField = commas - 4;
        const std::string_view systemId = body.substr(body.rfind(',') + 1);
        if (IsForeignSystemId(IntegerValue(systemId))) {
            lastListField = 0;
        }
    }
    const long pdopField = vdopField - 2;  // none when the DOPs would overlap the mode
    ForEachField(body, [&](int index, std::string_view field, bool) {
        if (index == 2) {
            record.FixMode = IntegerValue(field);
        } else if (index >= 3 && index <= lastListField) {
            const int32_t id = IntegerValue(field);
            if (IsSatelliteId(id)) {
                record.Satellites[id].Used = 1;
            }
        }
        // An empty DOP keeps what an earlier GSA of the epoch gave.
        if (pdopField >= 3 && !field.empty() && index == pdopField) {
            record.Pdop = static_cast<float>(NumericValue(field));
        } else if (pdopField >= 3 && !field.empty() && index == vdopField) {
            record.Vdop = static_cast<float>(NumericValue(field));
        }
    });
}

// $PORZD,A,1.25*hh
// An empty second field leaves Rms as it was when a comma follows it, but gives
// 0 when it ends at the "*".
void DecodePorzd(std::string_view sentence, waypoints& record) {
    ForEachField(sentence, [&](int index, std::string_view field, bool last) {
        if (index == 2 && (!field.empty() || last)) {
            record.Rms = static_cast<float>(NumericValue(field));
        }
    });
}

// $GPZDA,201530.00,04,07,2002,00,00*hh
// Time, day, month, four-digit year, then the local zone's hours and minutes.
// The time is taken as the GGA and RMC take theirs; the date only when its
// three fields name a real date (ParseCivilDateFields).
void DecodeZda(std::string_view sentence, waypoints& record) {
    enum Field { kTime = 1, kDay, kMonth, kYear };
    std::string_view day;
    std::string_view month;
    std::string_view year;
    ForEachField(sentence, [&](int index, std::string_view field, bool) {
        switch (index) {
            case kTime:
                if (std::optional<FieldTime> time = ParseTimeField(field)) {
                    record.Time = time->Text;
                    record.TimeMs = time->Ms;
                }
                break;
            case kDay:
                day = field;
                break;
            case kMonth:
                month = field;
                break;
            case kYear:
                year = field;
                break;
            default:
                break;
        }
    });
    if (std::optional<std::string> date = ParseCivilDateFields(day, month, year)) {
        record.Date = *date;
    }
}

}  // namespace tervo
