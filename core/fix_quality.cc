#include "core/fix_quality.h"

#include <array>

namespace tervo {

namespace {

// Colours after the usual receiver displays: RTK fixed green, float orange,
// differential blue, single red; no fix grey.
constexpr std::array<FixClassInfo, kFixClassCount> kInfo = {{
    {"no fix", "no-fix", {150, 150, 150}},
    {"single", "single", {228, 26, 28}},
    {"differential", "differential", {55, 126, 184}},
    {"PPS", "pps", {152, 78, 163}},
    {"RTK fixed", "rtk-fixed", {40, 160, 40}},
    {"RTK float", "rtk-float", {255, 127, 0}},
    {"dead reckoning", "dead-reckoning", {166, 86, 40}},
    {"manual", "manual", {231, 41, 138}},
    {"simulated", "simulated", {0, 170, 170}},
    {"fix, quality unknown", "unknown", {190, 160, 0}},
}};

constexpr int32_t kHighestGgaQuality = 8;

}  // namespace

FixClass FixClassOf(const waypoints& point, LogFormat format) {
    if (format == LogFormat::Binr) {
        if (point.Status != 'A') {
            return FixClass::NoFix;
        }
        return std::string_view(point.StatusText).find("DIFF") != std::string_view::npos
                   ? FixClass::Differential
                   : FixClass::Single;
    }
    if (point.HasGga == 1 && point.FixQuality >= 1 && point.FixQuality <= kHighestGgaQuality) {
        return static_cast<FixClass>(point.FixQuality);
    }
    if ((point.HasGga == 1 && point.FixQuality > kHighestGgaQuality) ||
        (point.HasRmc == 1 && point.Status == 'A')) {
        return FixClass::Unrated;
    }
    return FixClass::NoFix;
}

const FixClassInfo& InfoOf(FixClass fixClass) { return kInfo[static_cast<size_t>(fixClass)]; }

}  // namespace tervo
