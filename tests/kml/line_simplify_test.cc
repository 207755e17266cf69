#include "kml/line_simplify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "kml/thinning.h"

namespace tervo {
namespace {

constexpr double kPi = 3.14159265358979323846;

using Vec = std::array<double, 3>;

Vec ToVec(const LatLon& p) {
    const double lat = p.Latitude * kPi / 180;
    const double lon = p.Longitude * kPi / 180;
    return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}

LatLon ToLatLon(const Vec& v) {
    const double r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {std::asin(v[2] / r) * 180 / kPi, std::atan2(v[1], v[0]) * 180 / kPi};
}

double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec Normal(Vec v) {
    const double r = std::sqrt(Dot(v, v));
    return {v[0] / r, v[1] / r, v[2] / r};
}

// The check, independent of the library's arc measure: the gnomonic projection
// onto the plane that touches the sphere at the middle of the segment, in
// which great circles are straight lines, and the plane distance from the
// point to the segment there. Distances of up to some kilometres from the
// middle come out within a part in 10^5 of the sphere's.
double CheckDistance(const LatLon& point, const LatLon& from, const LatLon& to) {
    const Vec a = ToVec(from);
    const Vec b = ToVec(to);
    const Vec p = ToVec(point);
    const Vec centre = Normal({a[0] + b[0], a[1] + b[1], a[2] + b[2]});
    // Two axes of the plane: any vector across the centre, and the third.
    const Vec helper = std::fabs(centre[2]) < 0.9 ? Vec{0, 0, 1} : Vec{1, 0, 0};
    const Vec east =
        Normal({helper[1] * centre[2] - helper[2] * centre[1], helper[2] * centre[0] - helper[0] * centre[2],
                helper[0] * centre[1] - helper[1] * centre[0]});
    const Vec north = {centre[1] * east[2] - centre[2] * east[1], centre[2] * east[0] - centre[0] * east[2],
                       centre[0] * east[1] - centre[1] * east[0]};
    auto project = [&](const Vec& v) {
        const double scale = kEarthRadiusMetres / Dot(v, centre);
        return std::array<double, 2>{Dot(v, east) * scale, Dot(v, north) * scale};
    };
    const auto pa = project(a);
    const auto pb = project(b);
    const auto pp = project(p);
    const double dx = pb[0] - pa[0];
    const double dy = pb[1] - pa[1];
    const double length2 = dx * dx + dy * dy;
    double t = length2 == 0 ? 0 : ((pp[0] - pa[0]) * dx + (pp[1] - pa[1]) * dy) / length2;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(pp[0] - pa[0] - t * dx, pp[1] - pa[1] - t * dy);
}

// The kept indices are ascending, start with 0, end with the last index, and
// every point left out lies within the tolerance of the kept segment around it.
void ExpectWithinTolerance(const std::vector<LatLon>& line, const std::vector<size_t>& kept,
                           double tolerance) {
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), line.size() - 1);
    for (size_t k = 1; k < kept.size(); ++k) {
        ASSERT_LT(kept[k - 1], kept[k]);
        for (size_t i = kept[k - 1] + 1; i < kept[k]; ++i) {
            const double d = CheckDistance(line[i], line[kept[k - 1]], line[kept[k]]);
            ASSERT_LE(d, tolerance * (1 + 1e-5) + 1e-4)
                << "point " << i << " between " << kept[k - 1] << " and " << kept[k];
        }
    }
}

// A walk on the sphere from `start`: steps of 1 to 8 m, the heading wandering
// by up to `wander` degrees a step, with a receiver's jitter of up to `jitter` m.
std::vector<LatLon> RandomWalk(LatLon start, size_t n, double wander, double jitter, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(-1, 1);
    Vec place = ToVec(start);
    double heading = 0;
    std::vector<LatLon> line;
    line.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        // Two directions across the place: east and north, and near a pole
        // (where those turn fast) any fixed pair.
        const Vec helper = std::fabs(place[2]) < 0.9 ? Vec{0, 0, 1} : Vec{1, 0, 0};
        const Vec east =
            Normal({helper[1] * place[2] - helper[2] * place[1], helper[2] * place[0] - helper[0] * place[2],
                    helper[0] * place[1] - helper[1] * place[0]});
        const Vec north = {place[1] * east[2] - place[2] * east[1], place[2] * east[0] - place[0] * east[2],
                           place[0] * east[1] - place[1] * east[0]};
        const double step = (4.5 + 3.5 * unit(random)) / kEarthRadiusMetres;
        heading += wander * unit(random) * kPi / 180;
        const double e = std::sin(heading) * step;
        const double nn = std::cos(heading) * step;
        place = Normal({place[0] + e * east[0] + nn * north[0], place[1] + e * east[1] + nn * north[1],
                        place[2] + e * east[2] + nn * north[2]});
        const double je = jitter * unit(random) / kEarthRadiusMetres;
        const double jn = jitter * unit(random) / kEarthRadiusMetres;
        line.push_back(
            ToLatLon(Normal({place[0] + je * east[0] + jn * north[0], place[1] + je * east[1] + jn * north[1],
                             place[2] + je * east[2] + jn * north[2]})));
    }
    return line;
}

TEST(Simplify, RandomWalksStayWithinTheTolerance) {
    struct Place {
        const char* legend;
        LatLon start;
    };
    const Place places[] = {
        {"mid latitudes", {55.75, 37.61}},          {"the equator at 0 degrees", {0.0001, 0.0001}},
        {"across 180 degrees", {-16.5, 179.9995}},  {"round the north pole", {89.9995, 45}},
        {"round the south pole", {-89.9999, -170}},
    };
    const double tolerances[] = {0.5, 2, 10, 50};
    unsigned seed = 1;
    for (const Place& place : places) {
        for (double wander : {5.0, 30.0}) {
            const std::vector<LatLon> line = RandomWalk(place.start, 5000, wander, 1.5, seed++);
            for (double tolerance : tolerances) {
                SCOPED_TRACE(std::string(place.legend) + ", wander " + std::to_string(wander) +
                             ", tolerance " + std::to_string(tolerance));
                const std::vector<size_t> kept = SimplifyLine(line, tolerance);
                ExpectWithinTolerance(line, kept, tolerance);
                EXPECT_LT(kept.size(), line.size());
            }
        }
    }
}

// A car on a zig-zag road: 60 legs of 400 m, 20 m a second, turning 60 degrees
// left and right, each fix off by up to a metre.
TEST(Simplify, AZigZagRoadKeepsItsCorners) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1, 1);
    std::vector<LatLon> clean;
    std::vector<LatLon> noisy;
    std::vector<size_t> corners;
    double north = 0;
    double east = 0;
    const double metresPerDegree = kEarthRadiusMetres * kPi / 180;
    const double latitude = 48.1;
    for (int leg = 0; leg < 60; ++leg) {
        const double heading = (leg % 2 == 0 ? 30.0 : 150.0) * kPi / 180;
        corners.push_back(clean.size());
        for (int s = 0; s < 20; ++s) {
            auto at = [&](double dn, double de) {
                return LatLon{latitude + (north + dn) / metresPerDegree,
                              11.5 + (east + de) / (metresPerDegree * std::cos(latitude * kPi / 180))};
            };
            clean.push_back(at(0, 0));
            noisy.push_back(at(noise(random), noise(random)));
            north += 20 * std::cos(heading);
            east += 20 * std::sin(heading);
        }
    }
    corners.push_back(clean.size() - 1);
    // Drawn exactly, the road is its corners and the last fix.
    const std::vector<size_t> kept = SimplifyLine(clean, 1);
    ExpectWithinTolerance(clean, kept, 1);
    EXPECT_EQ(kept, corners);
    // With the noise, a tolerance above it still keeps little more than the corners.
    for (double tolerance : {0.5, 3.0, 10.0}) {
        SCOPED_TRACE(tolerance);
        const std::vector<size_t> noisyKept = SimplifyLine(noisy, tolerance);
        ExpectWithinTolerance(noisy, noisyKept, tolerance);
        if (tolerance > 2) {
            EXPECT_LE(noisyKept.size(), corners.size() + 5);
        }
    }
}

std::vector<size_t> Iota(size_t n) {
    std::vector<size_t> out(n);
    std::iota(out.begin(), out.end(), size_t{0});
    return out;
}

struct DegenerateCase {
    const char* legend;
    std::vector<LatLon> line;
    double tolerance;
    std::vector<size_t> expected;
};

TEST(Simplify, DegenerateLines) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<LatLon> straight = {{10, 20}, {10.001, 20}, {10.002, 20}, {10.003, 20}};
    const DegenerateCase cases[] = {
        {"no points", {}, 5, {}},
        {"one point", {{50, 10}}, 5, {0}},
        {"two points", {{50, 10}, {51, 11}}, 5, {0, 1}},
        {"two equal points", {{50, 10}, {50, 10}}, 5, {0, 1}},
        {"one place repeated", std::vector<LatLon>(6, LatLon{50, 10}), 1, {0, 5}},
        {"there and back to the same place", {{50, 10}, {50.001, 10}, {50.002, 10}, {50, 10}}, 1, {0, 2, 3}},
        {"a straight meridian", straight, 0.01, {0, 3}},
        {"tolerance 0 keeps every point", straight, 0, Iota(4)},
        {"a negative tolerance keeps every point", straight, -1, Iota(4)},
        {"a NaN tolerance keeps every point", straight, nan, Iota(4)},
        {"along the 10th parallel across 180 degrees",
         {{10, 179.999}, {10, 179.9995}, {10, 180}, {10, -179.9995}, {10, -179.999}},
         0.01,
         {0, 4}},
        {"a corner on 180 degrees", {{10, 179.999}, {10, 180}, {10.001, -180}, {10.002, 180}}, 1, {0, 1, 3}},
        {"straight over the north pole",
         {{89.999, 0}, {89.9995, 0}, {90, 0}, {89.9995, 180}, {89.999, 180}},
         0.01,
         {0, 4}},
        {"round the south pole at 11 m",
         {{-89.9999, 0}, {-89.9999, 90}, {-89.9999, 180}, {-89.9999, -90}},
         1,
         {0, 1, 2, 3}},
        {"antipodal ends", {{0, 0}, {0, 90}, {0, 180}}, 1, {0, 1, 2}},
    };
    for (const DegenerateCase& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::vector<size_t> kept = SimplifyLine(c.line, c.tolerance);
        EXPECT_EQ(kept, c.expected);
        if (!c.line.empty() && c.tolerance > 0) {
            ExpectWithinTolerance(c.line, kept, c.tolerance);
        }
    }
}

TEST(Simplify, PointsThatAreNoNumbersDoNotStopIt) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<LatLon> line = {{50, 10}, {nan, 10}, {50.001, nan}, {50.002, 10}};
    const std::vector<size_t> kept = SimplifyLine(line, 1);
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), 3u);
}

// 200,000 points (more than two days at 1 Hz): no recursion to run out of
// stack. And a line that turns a little at every point (a slow spiral), on
// which Douglas–Peucker splits far from the middle.
TEST(Simplify, LongLinesFinish) {
    const std::vector<LatLon> walk = RandomWalk({35, 139}, 200000, 20, 1, 99);
    const std::vector<size_t> kept = SimplifyLine(walk, 3);
    ExpectWithinTolerance(walk, kept, 3);

    std::vector<LatLon> spiral;
    double radius = 10;
    double angle = 0;
    for (int i = 0; i < 20000; ++i) {
        radius *= 1.0002;
        angle += 2.0 / radius;
        spiral.push_back({60 + radius * std::sin(angle) / 111195.0,
                          25 + radius * std::cos(angle) / (111195.0 * std::cos(60 * kPi / 180))});
    }
    const std::vector<size_t> spiralKept = SimplifyLine(spiral, 0.25);
    ExpectWithinTolerance(spiral, spiralKept, 0.25);
}

// A zig-zag of 5,000 equal legs, 4 points each, makes plain Douglas–Peucker
// split off one leg at a time: past its measuring budget it splits in the
// middle, and the tolerance still holds.
TEST(Simplify, AnEqualZigZagPastTheWorkBudget) {
    std::vector<LatLon> line;
    for (int i = 0; i <= 20000; ++i) {
        const int phase = i % 8;  // up 4 steps, down 4 steps, 10 m high
        const double up = (phase <= 4 ? phase : 8 - phase) * 2.5;
        line.push_back({-33 + up / 111195.0, 151 + i * 3 / (111195.0 * std::cos(33 * kPi / 180))});
    }
    const std::vector<size_t> kept = SimplifyLine(line, 1);
    ExpectWithinTolerance(line, kept, 1);
    // Every corner at least: the peaks and the troughs.
    EXPECT_GE(kept.size(), 5001u);
}

struct ArcCase {
    const char* legend;
    LatLon point;
    LatLon from;
    LatLon to;
    double metres;
};

TEST(Simplify, DistanceToArc) {
    const double degree = kEarthRadiusMetres * kPi / 180;  // 111195 m
    const ArcCase cases[] = {
        {"beside the middle", {0.001, 0.5}, {0, 0}, {0, 1}, 0.001 * degree},
        {"south of the middle", {-0.002, 0.5}, {0, 0}, {0, 1}, 0.002 * degree},
        {"on the arc", {0, 0.25}, {0, 0}, {0, 1}, 0},
        {"past the end: the end is nearest", {0, 2}, {0, 0}, {0, 1}, degree},
        {"before the start", {0, -3}, {0, 0}, {0, 1}, 3 * degree},
        {"the arc is the short way across 180", {0, 180}, {0, 179}, {0, -179}, 0},
        {"a point arc", {1, 0}, {0, 0}, {0, 0}, degree},
        {"on a meridian over the pole", {89, 90}, {89, 0}, {89, 180}, 1 * degree},
    };
    for (const ArcCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_NEAR(DistanceToArcMetres(c.point, c.from, c.to), c.metres, 1e-6 * c.metres + 1e-6);
    }
}

}  // namespace
}  // namespace tervo
