#include "export/epoch_fields.h"

#include <cmath>
#include <optional>

#include "core/calendar.h"
#include "core/fix_filter.h"

namespace tervo {

namespace {

using Kind = FieldValue::Kind;

FieldValue Number(double value, int decimals) {
    if (!std::isfinite(value)) {
        return {};
    }
    return {.kind = Kind::Number, .number = value, .decimals = decimals};
}

FieldValue Integer(int64_t value) { return {.kind = Kind::Integer, .integer = value}; }

FieldValue TimeOf(const waypoints& p, LogFormat) {
    if (!UnixMsOfDateTime(p.Date, p.Time)) {
        return {};
    }
    return {.kind = Kind::DateTime, .text = p.Date, .time = p.Time};
}

FieldValue LongitudeOf(const waypoints& p, LogFormat) { return Number(p.Longitude, 7); }
FieldValue LatitudeOf(const waypoints& p, LogFormat) { return Number(p.Latitude, 7); }

FieldValue AltitudeOf(const waypoints& p, LogFormat format) {
    return GivesAltitude(p, format) ? Number(p.Altitude, 3) : FieldValue{};
}

FieldValue SpeedOf(const waypoints& p, LogFormat format) {
    return GivesMotion(p, format) ? Number(p.Speed, 1) : FieldValue{};
}

FieldValue CourseOf(const waypoints& p, LogFormat format) {
    return GivesMotion(p, format) ? Number(p.Course, 1) : FieldValue{};
}

FieldValue RmsOf(const waypoints& p, LogFormat) {
    return p.Rms > 0 ? Number(static_cast<double>(p.Rms), 1) : FieldValue{};
}

FieldValue FixOf(const waypoints& p, LogFormat format) {
    return {.kind = Kind::Text, .text = InfoOf(FixClassOf(p, format)).Name};
}

FieldValue ValidOf(const waypoints& p, LogFormat format) {
    return {.kind = Kind::Boolean, .boolean = HasValidFix(p, format)};
}

FieldValue GgaQualityOf(const waypoints& p, LogFormat format) {
    return format == LogFormat::Nmea && p.HasGga == 1 ? Integer(p.FixQuality) : FieldValue{};
}

FieldValue GsaModeOf(const waypoints& p, LogFormat format) {
    return format == LogFormat::Nmea && p.FixMode != 0 ? Integer(p.FixMode) : FieldValue{};
}

FieldValue StatusOf(const waypoints& p, LogFormat format) {
    if (format == LogFormat::Binr) {
        return {.kind = Kind::Text, .text = p.StatusText};
    }
    if (p.HasRmc == 1 && (p.Status == 'A' || p.Status == 'V')) {
        return {.kind = Kind::Text, .text = p.Status == 'A' ? "A" : "V"};
    }
    return {};
}

FieldValue HdopOf(const waypoints& p, LogFormat format) {
    const std::optional<double> hdop = GivenHdop(p, format);
    return hdop ? Number(*hdop, 2) : FieldValue{};
}

FieldValue SatellitesUsedOf(const waypoints& p, LogFormat format) {
    const std::optional<int32_t> used = GivenSatellitesUsed(p, format);
    return used ? Integer(*used) : FieldValue{};
}

const std::array<EpochField, kEpochFieldCount> kFields = {{
    {"time", false, TimeOf},
    {"longitude", true, LongitudeOf},
    {"latitude", true, LatitudeOf},
    {"altitude_m", false, AltitudeOf},
    {"speed_kmh", false, SpeedOf},
    {"course_deg", false, CourseOf},
    {"rms_m", false, RmsOf},
    {"fix", false, FixOf},
    {"valid", false, ValidOf},
    {"gga_quality", false, GgaQualityOf},
    {"gsa_mode", false, GsaModeOf},
    {"status", false, StatusOf},
    {"hdop", false, HdopOf},
    {"satellites_used", false, SatellitesUsedOf},
}};

}  // namespace

const std::array<EpochField, kEpochFieldCount>& EpochFields() { return kFields; }

}  // namespace tervo
