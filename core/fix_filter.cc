#include "core/fix_filter.h"

#include <array>

namespace tervo {

namespace {

// In FixClass order.
constexpr std::array<int, kFixClassCount> kRanks = {0, 2, 3, 3, 5, 4, 1, 1, 1, 2};

}  // namespace

std::optional<double> GivenHdop(const waypoints& point, LogFormat format) {
    if ((format == LogFormat::Nmea && point.HasGga != 1) || !(point.Hdop > 0)) {
        return std::nullopt;
    }
    return point.Hdop;
}

std::optional<int32_t> GivenSatellitesUsed(const waypoints& point, LogFormat format) {
    if (format == LogFormat::Nmea) {
        return point.HasGga == 1 ? std::optional<int32_t>(point.SatellitesUsed) : std::nullopt;
    }
    return point.SatellitesUsed == -1 ? std::nullopt : std::optional<int32_t>(point.SatellitesUsed);
}

bool GivesAltitude(const waypoints& point, LogFormat format) {
    return format == LogFormat::Binr || point.HasGga == 1;
}

bool GivesMotion(const waypoints& point, LogFormat format) {
    return format == LogFormat::Binr || point.HasRmc == 1;
}

int QualityRank(FixClass fixClass) { return kRanks[static_cast<size_t>(fixClass)]; }

std::optional<FixClass> FixClassOfKey(std::string_view key) {
    for (int c = 0; c < kFixClassCount; ++c) {
        if (InfoOf(static_cast<FixClass>(c)).Key == key) {
            return static_cast<FixClass>(c);
        }
    }
    return std::nullopt;
}

uint8_t FilterFailures(const waypoints& point, LogFormat format, const FixFilter& filter) {
    uint8_t failures = 0;
    if (filter.MinQuality && QualityRank(FixClassOf(point, format)) < QualityRank(*filter.MinQuality)) {
        failures |= kFailsQuality;
    }
    if (filter.MaxHdop) {
        const std::optional<double> hdop = GivenHdop(point, format);
        if (hdop && !(*hdop <= *filter.MaxHdop)) {
            failures |= kFailsHdop;
        }
    }
    if (filter.MinSatellites) {
        const std::optional<int32_t> used = GivenSatellitesUsed(point, format);
        if (used && *used < *filter.MinSatellites) {
            failures |= kFailsSatellites;
        }
    }
    return failures;
}

void FilteredOut::Add(uint8_t failures) {
    if (failures == 0) {
        return;
    }
    ++Epochs;
    Quality += (failures & kFailsQuality) != 0 ? 1 : 0;
    Hdop += (failures & kFailsHdop) != 0 ? 1 : 0;
    Satellites += (failures & kFailsSatellites) != 0 ? 1 : 0;
}

}  // namespace tervo
