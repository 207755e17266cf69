#include "kml/thinning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "kml/track_writer.h"
#include "kml/waypoint_writer.h"

namespace tervo {

namespace {

constexpr int64_t kDayMs = 86400000;
constexpr double kPi = 3.14159265358979323846;
// A gap is a step longer than this many epochs.
constexpr int64_t kGapEpochs = 3;

using Vector3 = std::array<double, 3>;

Vector3 UnitVector(double latitude, double longitude) {
    const double lat = latitude * kPi / 180;
    const double lon = longitude * kPi / 180;
    return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}

// The great-circle distance between two unit vectors, in metres.
double Metres(const Vector3& a, const Vector3& b) {
    const double cx = a[1] * b[2] - a[2] * b[1];
    const double cy = a[2] * b[0] - a[0] * b[2];
    const double cz = a[0] * b[1] - a[1] * b[0];
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    return kEarthRadiusMetres * std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), dot);
}

// The angle between two courses around the circle, 0 to 180; NaN when either
// is no number.
double Turn(double from, double to) {
    double d = std::fmod(std::fabs(to - from), 360.0);
    return d > 180 ? 360 - d : d;
}

bool IsDTrackPoint(const waypoints& point) {
    const DTrackPoint& dtrack = *point.DTrack;
    return dtrack.Matched == 1 && IsPlottable(dtrack.Longitude, dtrack.Latitude, 0);
}

bool StatusDiffers(const waypoints& a, const waypoints& b, LogFormat format) {
    if (a.FixQuality != b.FixQuality || IsDTrackPoint(a) != IsDTrackPoint(b)) {
        return true;
    }
    return format == LogFormat::Binr ? a.StatusText != b.StatusText : a.Status != b.Status;
}

// What the passes share: worked out once per folder.
class Thinner {
public:
    Thinner(std::span<const waypoints* const> points, LogFormat format) : points_(points) {
        const size_t n = points.size();
        time_.resize(n);
        forced_.assign(n, false);
        if (n == 0) {
            return;
        }
        // The running time, each negative step wrapped by a day.
        std::vector<int64_t> positiveSteps;
        positiveSteps.reserve(n);
        time_[0] = points[0]->TimeMs;
        for (size_t i = 1; i < n; ++i) {
            int64_t step = int64_t{points[i]->TimeMs} - points[i - 1]->TimeMs;
            if (step < 0) {
                step += kDayMs;
            }
            time_[i] = time_[i - 1] + step;
            if (step > 0) {
                positiveSteps.push_back(step);
            }
        }
        int64_t epoch = 0;
        if (!positiveSteps.empty()) {
            auto middle = positiveSteps.begin() + static_cast<std::ptrdiff_t>(positiveSteps.size() / 2);
            std::nth_element(positiveSteps.begin(), middle, positiveSteps.end());
            epoch = *middle;
        }
        forced_[0] = true;
        forced_[n - 1] = true;
        for (size_t i = 1; i < n; ++i) {
            if (StatusDiffers(*points[i - 1], *points[i], format)) {
                forced_[i] = true;
            }
            if (epoch > 0 && time_[i] - time_[i - 1] > kGapEpochs * epoch) {
                forced_[i - 1] = true;
                forced_[i] = true;
            }
        }
    }

    // The longest time between two points (a time outside the day can make
    // the running time fall).
    int64_t SpanMs() const {
        if (time_.empty()) {
            return 0;
        }
        const auto [shortest, longest] = std::minmax_element(time_.begin(), time_.end());
        return *longest - *shortest;
    }

    // One pass; intervalMs, metres and degrees are off when not above 0.
    // Returns the number kept.
    size_t Pass(double intervalMs, double metres, double degrees, std::vector<bool>& keep) {
        const size_t n = points_.size();
        keep.assign(n, false);
        if (n == 0) {
            return 0;
        }
        const bool byTime = intervalMs > 0;
        const bool byDistance = metres > 0;
        const bool byTurn = degrees > 0;
        if (byDistance && places_.empty()) {
            places_.reserve(n);
            for (const waypoints* point : points_) {
                places_.push_back(UnitVector(point->Latitude, point->Longitude));
            }
        }
        size_t last = 0;
        size_t kept = 1;
        keep[0] = true;
        for (size_t i = 1; i < n; ++i) {
            const bool keepHere = forced_[i] ||
                                  (byTime && static_cast<double>(time_[i] - time_[last]) >= intervalMs) ||
                                  (byDistance && Metres(places_[last], places_[i]) >= metres) ||
                                  (byTurn && Turn(points_[last]->Course, points_[i]->Course) >= degrees);
            if (keepHere) {
                keep[i] = true;
                last = i;
                ++kept;
            }
        }
        return kept;
    }

private:
    std::span<const waypoints* const> points_;
    std::vector<int64_t> time_;    // ms, running across midnight
    std::vector<bool> forced_;     // first, last, status changes, gap borders
    std::vector<Vector3> places_;  // made on the first pass that measures distance
};

}  // namespace

bool HasNoPosition(const waypoints& point) { return point.Latitude == 0 && point.Longitude == 0; }

std::vector<bool> ThinPlacemarks(std::span<const waypoints* const> points, const ThinningOptions& options,
                                 LogFormat format) {
    if (!(options.Seconds > 0) && !(options.Metres > 0) && !(options.Degrees > 0)) {
        return std::vector<bool>(points.size(), true);
    }
    Thinner thinner(points, format);
    std::vector<bool> keep;
    thinner.Pass(options.Seconds * 1000, options.Metres, options.Degrees, keep);
    return keep;
}

PlacemarkBudget ThinPlacemarksToBudget(std::span<const waypoints* const> points, size_t maxPlacemarks,
                                       LogFormat format, const ThinningOptions& rules) {
    PlacemarkBudget result;
    const size_t n = points.size();
    if (n <= std::max<size_t>(maxPlacemarks, 2)) {
        result.Keep.assign(n, true);
        result.Kept = n;
        return result;
    }
    const size_t budget = std::max<size_t>(maxPlacemarks, 2);
    Thinner thinner(points, format);

    // An interval one longer than the span never comes round: only the other rules keep.
    int64_t fits = thinner.SpanMs() + 1;
    size_t count = thinner.Pass(static_cast<double>(fits), rules.Metres, rules.Degrees, result.Keep);
    if (count > budget) {
        // The forced keeps by rank, `budget` of them spread evenly: rank
        // j * (count - 1) / (budget - 1) for j = 0 .. budget - 1, which are
        // distinct because count > budget, and include the first and the last.
        std::vector<size_t> kept;
        kept.reserve(count);
        for (size_t i = 0; i < n; ++i) {
            if (result.Keep[i]) {
                kept.push_back(i);
            }
        }
        result.Keep.assign(n, false);
        for (size_t j = 0; j < budget; ++j) {
            result.Keep[kept[j * (count - 1) / (budget - 1)]] = true;
        }
        result.Kept = budget;
        result.EvenlyReduced = true;
        return result;
    }

    // Bisection: `fits` is always an interval counted within the budget,
    // `tooShort` one counted over it (0 stands for "every point").
    int64_t tooShort = 0;
    std::vector<bool> keep;
    std::vector<bool> best = result.Keep;
    size_t bestCount = count;
    while (fits - tooShort > 1) {
        const int64_t middle = tooShort + (fits - tooShort) / 2;
        count = thinner.Pass(static_cast<double>(middle), rules.Metres, rules.Degrees, keep);
        if (count <= budget) {
            fits = middle;
            best.swap(keep);
            bestCount = count;
        } else {
            tooShort = middle;
        }
    }
    result.Keep = std::move(best);
    result.Kept = bestCount;
    result.Seconds = static_cast<double>(fits) / 1000;
    return result;
}

}  // namespace tervo
