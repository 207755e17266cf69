#include "nmea/satellite_observer.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "nmea/field_walk.h"

namespace tervo {

namespace {

// The first field of a GSV's satellite blocks, and the fields of one block.
constexpr int kFirstBlockField = 4;
constexpr int kBlockFields = 4;

// A GSA of NMEA 4.10 and later carries a system id after VDOP.
constexpr long kGsaCommasWithSystemId = 18;

std::optional<SatelliteSystem> TalkerSystem(std::string_view sentence) {
    return sentence.size() >= 3 ? SystemOfTalker(sentence.substr(1, 2)) : std::nullopt;
}

std::string_view BodyOf(std::string_view sentence) { return sentence.substr(0, sentence.find('*')); }

long CommasOf(std::string_view body) { return static_cast<long>(std::count(body.begin(), body.end(), ',')); }

// The signal id a GSV ends in: one hex digit after whole blocks.
uint8_t GsvSignal(std::string_view body, long commas) {
    const long blockFields = commas - (kFirstBlockField - 1);
    if (blockFields < 1 || blockFields % kBlockFields != 1) {
        return SatelliteObservation::kNoSignal;
    }
    const std::string_view field = body.substr(body.rfind(',') + 1);
    if (field.size() != 1 || !std::isxdigit(static_cast<unsigned char>(field[0]))) {
        return SatelliteObservation::kNoSignal;
    }
    const char c = field[0];
    return static_cast<uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
}

bool InRecordTable(SatelliteSystem system) {
    return system == SatelliteSystem::Gps || system == SatelliteSystem::Sbas ||
           system == SatelliteSystem::Glonass;
}

}  // namespace

std::optional<ObservedSatellite> SatelliteOfId(std::optional<SatelliteSystem> talker, int32_t id) {
    struct Range {
        int32_t first, last;
        SatelliteSystem system;
    };
    static constexpr Range kExtended[] = {{193, 202, SatelliteSystem::Qzss},
                                          {301, 336, SatelliteSystem::Galileo},
                                          {401, 463, SatelliteSystem::Beidou}};
    for (const Range& range : kExtended) {
        if (id >= range.first && id <= range.last) {
            return ObservedSatellite{range.system, static_cast<uint8_t>(id - range.first + 1)};
        }
    }
    if (id <= 0 || id > 255) {
        return std::nullopt;
    }
    if (!talker || *talker == SatelliteSystem::Gps) {
        if (id > 96) {
            return std::nullopt;
        }
        const SatelliteName name = NameOfSatelliteId(id);
        return ObservedSatellite{*SystemOfLetter(name.System), name.Number};
    }
    if (*talker == SatelliteSystem::Glonass && id > 64) {
        return id <= 96 ? std::optional(ObservedSatellite{*talker, static_cast<uint8_t>(id - 64)})
                        : std::nullopt;
    }
    return ObservedSatellite{*talker, static_cast<uint8_t>(id)};
}

void ObserveGsv(std::string_view sentence, const list* epoch, SatelliteObservations& observations) {
    const std::string_view body = BodyOf(sentence);
    const long commas = CommasOf(body);
    const uint8_t signal = GsvSignal(body, commas);
    const int lastBlockField =
        static_cast<int>(signal == SatelliteObservation::kNoSignal ? commas : commas - 1);
    const std::optional<SatelliteSystem> talker = TalkerSystem(sentence);
    std::optional<ObservedSatellite> satellite;
    uint8_t elevation = 0;
    uint16_t azimuth = 0;
    ForEachField(body, [&](int index, std::string_view field, bool last) {
        if (index < kFirstBlockField || index > lastBlockField) {
            return;
        }
        switch ((index - kFirstBlockField) % kBlockFields) {
            case 0:
                satellite = SatelliteOfId(talker, IntegerValue(field));
                break;
            case 1:
                elevation = static_cast<uint8_t>(IntegerValue(field));
                satellite = last ? std::nullopt : satellite;
                break;
            case 2:
                azimuth = static_cast<uint16_t>(IntegerValue(field));
                satellite = last ? std::nullopt : satellite;
                break;
            case 3:
                if (satellite &&
                    (signal != SatelliteObservation::kNoSignal || !InRecordTable(satellite->System))) {
                    observations.Add(epoch, SatelliteObservation::InView(
                                                satellite->System, satellite->Number, signal, elevation,
                                                azimuth, static_cast<uint8_t>(IntegerValue(field))));
                }
                satellite.reset();
                break;
        }
    });
}

void ObserveGsa(std::string_view sentence, const list* epoch, SatelliteObservations& observations) {
    const std::string_view body = BodyOf(sentence);
    const long commas = CommasOf(body);
    long lastListField = commas - 3;
    std::optional<SatelliteSystem> system = TalkerSystem(sentence);
    if (commas == kGsaCommasWithSystemId) {
        lastListField = commas - 4;
        if (!system) {
            system = SystemOfNmeaId(IntegerValue(body.substr(body.rfind(',') + 1)));
        }
    }
    if (!system) {
        return;
    }
    std::array<int, kSatelliteSystemCount> used{};
    ForEachField(body, [&](int index, std::string_view field, bool) {
        if (index >= 3 && index <= lastListField) {
            if (const std::optional<ObservedSatellite> satellite =
                    SatelliteOfId(system, IntegerValue(field))) {
                ++used[IndexOf(satellite->System)];
            }
        }
    });
    for (const SatelliteSystemInfo& info : SatelliteSystems()) {
        if (info.System == *system || used[IndexOf(info.System)] > 0) {
            observations.Add(
                epoch, SatelliteObservation::UsedCount(
                           info.System, static_cast<uint8_t>(std::min(used[IndexOf(info.System)], 255))));
        }
    }
}

}  // namespace tervo
