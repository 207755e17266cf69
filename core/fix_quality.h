// What an epoch's fix is worth, said once for every layer that shows it: whether
// the epoch has a valid fix, and the class of that fix by the GGA quality
// indicator (NMEA) or the fix status of message 0x88 (BINR), with the name,
// style key and colour each class is shown with.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/colour_scale.h"
#include "core/log_format.h"
#include "core/record.h"

namespace tervo {

// The class of an epoch's fix. The first nine are the GGA quality indicator 0 to
// 8 in its order; Unrated is a fix whose quality the log does not tell (an
// RMC-only epoch with status 'A', or a GGA quality above 8).
enum class FixClass : uint8_t {
    NoFix,
    Single,
    Differential,
    Pps,
    RtkFixed,
    RtkFloat,
    DeadReckoning,
    Manual,
    Simulated,
    Unrated,
};
inline constexpr int kFixClassCount = 10;

// NMEA: the GGA quality 1 to 8 when the epoch has a GGA; otherwise (GGA quality
// 0, above 8, or no GGA) Unrated when its RMC says 'A' or the GGA quality is
// above 8, else NoFix.
// BINR: NoFix unless the status is 'A'; Differential when the status text
// says DIFF, else Single (2D and 3D alike).
FixClass FixClassOf(const waypoints& point, LogFormat format);

// An epoch with a valid fix: its class is not NoFix. In NMEA that is a GGA with
// quality 1 or more, or an RMC with status 'A'; in BINR status 'A'. The
// coordinates may still be non-finite numbers: whoever measures or draws them
// leaves such a point out.
inline bool HasValidFix(const waypoints& point, LogFormat format) {
    return FixClassOf(point, format) != FixClass::NoFix;
}

// The converter's own rule for the valid track and the valid-point icon. It
// differs from HasValidFix because the converter follows the receiver's RMC
// status where there is one and draws a log of GGA sentences alone whole,
// while the report classes a fix by its GGA quality: NMEA, an epoch with an
// RMC whose status is 'A' (whatever its GGA says) or a GGA without an RMC
// (whatever its quality); BINR, status 'A'.
inline bool IsDrawnValid(const waypoints& point, LogFormat format) {
    if (format == LogFormat::Binr || point.HasRmc == 1) {
        return point.Status == 'A';
    }
    return point.HasGga == 1;
}

struct FixClassInfo {
    std::string_view Name;  // "RTK fixed": for tables, legends and placemark names
    std::string_view Key;   // "rtk-fixed": for style ids ("quality-rtk-fixed")
    Rgb Colour;
};

const FixClassInfo& InfoOf(FixClass fixClass);

}  // namespace tervo
