#include "kml/line_simplify.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numeric>

#include "kml/thinning.h"

namespace tervo {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Below this length of a × b (the sine of the angle between the ends) the
// arc's plane is too uncertain to measure against; the ends stand for it.
constexpr double kSmallestArcSine = 1e-9;

using Vector3 = std::array<double, 3>;

Vector3 UnitVector(const LatLon& point) {
    const double lat = point.Latitude * kPi / 180;
    const double lon = point.Longitude * kPi / 180;
    return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}

double Dot(const Vector3& a, const Vector3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The squared chord between two unit vectors.
double SquaredChord(const Vector3& a, const Vector3& b) {
    const double dx = a[0] - b[0];
    const double dy = a[1] - b[1];
    const double dz = a[2] - b[2];
    return dx * dx + dy * dy + dz * dz;
}

// An arc between two unit vectors, ready to measure points against. The
// measure is the squared chord of the angle from the point to the arc: it
// grows with the angle all the way to 180°, and needs no arc sine in the scan.
class Arc {
public:
    Arc(const Vector3& from, const Vector3& to) : from_(from), to_(to) {
        const Vector3 n = Cross(from, to);
        const double length = std::sqrt(Dot(n, n));
        degenerate_ = !(length >= kSmallestArcSine);
        if (!degenerate_) {
            normal_ = {n[0] / length, n[1] / length, n[2] / length};
            // p lies beside the arc (its foot on the great circle between the
            // ends) when p·(n × from) >= 0 and p·(to × n) >= 0.
            pastFrom_ = Cross(normal_, from);
            beforeTo_ = Cross(to, normal_);
        }
    }

    // The squared chord of the angle from p to the arc.
    double SquaredChordTo(const Vector3& p) const {
        if (!degenerate_ && Dot(p, pastFrom_) >= 0 && Dot(p, beforeTo_) >= 0) {
            // The angle's sine is s = |p·n|; its chord squared, 2 - 2 cos, is
            // 2 s² / (1 + cos), which keeps its precision for small angles.
            const double sine = std::min(1.0, std::fabs(Dot(p, normal_)));
            return 2 * sine * sine / (1 + std::sqrt(1 - sine * sine));
        }
        return std::min(SquaredChord(p, from_), SquaredChord(p, to_));
    }

private:
    Vector3 from_;
    Vector3 to_;
    Vector3 normal_{};
    Vector3 pastFrom_{};
    Vector3 beforeTo_{};
    bool degenerate_ = true;
};

// The angle of a squared chord, and the squared chord of an angle (radians).
double AngleOfSquaredChord(double squaredChord) {
    return 2 * std::asin(std::min(1.0, std::sqrt(squaredChord) / 2));
}
double SquaredChordOfAngle(double angle) {
    const double chord = 2 * std::sin(std::min(angle, kPi) / 2);
    return chord * chord;
}

struct Segment {
    size_t first;
    size_t last;
};

}  // namespace

double DistanceToArcMetres(const LatLon& point, const LatLon& from, const LatLon& to) {
    const Arc arc(UnitVector(from), UnitVector(to));
    return kEarthRadiusMetres * AngleOfSquaredChord(arc.SquaredChordTo(UnitVector(point)));
}

std::vector<size_t> SimplifyLine(std::span<const LatLon> points, double toleranceMetres) {
    const size_t n = points.size();
    std::vector<size_t> kept;
    if (n <= 2 || !(toleranceMetres > 0)) {
        kept.resize(n);
        std::iota(kept.begin(), kept.end(), size_t{0});
        return kept;
    }
    // The tolerance as a squared chord, the measure of the scans.
    const double tolerance = SquaredChordOfAngle(toleranceMetres / kEarthRadiusMetres);
    std::vector<Vector3> places(n);
    for (size_t i = 0; i < n; ++i) {
        places[i] = UnitVector(points[i]);
    }
    std::vector<bool> keep(n, false);
    keep[0] = true;
    keep[n - 1] = true;

    // Once the scans have measured this many points, each segment still to
    // split is split in its middle half, which shrinks both parts to at most
    // three quarters of it: the segments left then nest at most log4/3(n)
    // deep, and the segments of one depth do not overlap, so the rest of the
    // work is O(n log n) too.
    const size_t freeWork = 16 * n * static_cast<size_t>(std::bit_width(n));
    size_t work = 0;
    std::vector<Segment> stack;
    stack.push_back({0, n - 1});
    while (!stack.empty()) {
        const Segment segment = stack.back();
        stack.pop_back();
        const size_t span = segment.last - segment.first;
        if (span < 2) {
            continue;
        }
        const Arc arc(places[segment.first], places[segment.last]);
        const size_t quarter = std::max<size_t>(1, span / 4);
        const size_t middleBegin = segment.first + quarter;
        const size_t middleEnd = segment.last - quarter;  // inclusive
        work += span - 1;
        double farthest = -1;
        size_t farthestAt = segment.first;
        double middleFarthest = -1;
        size_t middleFarthestAt = middleBegin;
        for (size_t i = segment.first + 1; i < segment.last; ++i) {
            const double distance = arc.SquaredChordTo(places[i]);
            if (distance > farthest) {
                farthest = distance;
                farthestAt = i;
            }
            if (i >= middleBegin && i <= middleEnd && distance > middleFarthest) {
                middleFarthest = distance;
                middleFarthestAt = i;
            }
        }
        if (!(farthest > tolerance)) {
            continue;
        }
        const size_t split = work <= freeWork ? farthestAt : middleFarthestAt;
        keep[split] = true;
        stack.push_back({segment.first, split});
        stack.push_back({split, segment.last});
    }

    for (size_t i = 0; i < n; ++i) {
        if (keep[i]) {
            kept.push_back(i);
        }
    }
    return kept;
}

}  // namespace tervo
