#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "decode/geodesy.h"
#include "decode/mileage.h"

namespace pelmora {
namespace {

struct Position {
    std::int32_t x, y, z;
};

// The distance the mileage stands for, worked out the slow and careful way: EcefToGeodetic's
// latitude and longitude, then the haversine in long double on the sphere of
// GreatCircleDistance, 111120 m a degree.
double Reference(const std::vector<Position>& path) {
    long double metres = 0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const Geodetic a = EcefToGeodetic(path[i - 1].x, path[i - 1].y, path[i - 1].z);
        const Geodetic b = EcefToGeodetic(path[i].x, path[i].y, path[i].z);
        const long double dLat = static_cast<long double>(b.latitudeRad) - a.latitudeRad;
        const long double dLon = static_cast<long double>(b.longitudeRad) - a.longitudeRad;
        const long double h = std::pow(std::sin(dLat / 2), 2.0L) +
                              std::cos(static_cast<long double>(a.latitudeRad)) *
                                  std::cos(static_cast<long double>(b.latitudeRad)) *
                                  std::pow(std::sin(dLon / 2), 2.0L);
        metres += 2 * std::asin(std::sqrt(std::min(h, 1.0L))) * kDegreesPerRadian * 111120.0L;
    }
    return static_cast<double>(metres);
}

double Walk(const std::vector<Position>& path) {
    MileageWalk walk;
    for (const Position& p : path) {
        walk.Add(p.x, p.y, p.z);
    }
    return walk.Metres();
}

std::vector<Position> Line(Position from, Position step, int steps) {
    std::vector<Position> path{from};
    for (int i = 0; i < steps; ++i) {
        from = {from.x + step.x, from.y + step.y, from.z + step.z};
        path.push_back(from);
    }
    return path;
}

TEST(Mileage, AgreesWithTheCarefulGreatCircleSum) {
    const Position taipei{-3027000, 4928000, 2681000};
    const struct {
        const char* legend;
        std::vector<Position> path;
        double tolerance = 1e-9;  // of the distance
    } rows[] = {
        {"no position", {}},
        {"one position", {taipei}},
        // The arc cosine of GreatCircleDistance reads these 150 parts in a million long.
        {"a metre a fix, across several blocks", Line(taipei, {1, 0, 0}, 2000)},
        {"a block and one step", Line(taipei, {0, 1, -1}, 513)},
        {"100 m steps", Line(taipei, {60, -50, 60}, 700)},
        {"10 km steps, past the series", Line(taipei, {6000, 5000, -6000}, 40)},
        {"standing still", Line(taipei, {0, 0, 0}, 600)},
        // The chord loses digits there as the arc cosine does on short steps: 0.2 m in 20000 km.
        {"to the far side of the Earth", {{6378137, 0, 0}, {-6378137, 0, 0}}, 1e-8},
        {"over the pole", {{1000, 0, 6356000}, {0, 0, 6356000}, {-1000, 0, 6356000}}},
        {"the centre and the corners of the range",
         {{0, 0, 0}, {INT32_MIN, INT32_MIN, INT32_MIN}, {INT32_MAX, 0, INT32_MIN}, {0, 0, 0}}},
    };
    for (const auto& row : rows) {
        const double expected = Reference(row.path);
        EXPECT_NEAR(Walk(row.path), expected, 1e-6 + expected * row.tolerance) << row.legend;
    }
}

}  // namespace
}  // namespace pelmora
