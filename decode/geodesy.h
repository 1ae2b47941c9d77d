#pragma once
// WGS-84 geodesy shared by the trace reader, the summary and the track analysis.
#include <algorithm>
#include <cmath>

namespace pelmora {

// The ellipsoid's semi-axes, first eccentricity squared, and the two products of Bowring's method.
namespace wgs84 {
inline constexpr double kA = 6378137.0;
inline constexpr double kB = 6356752.314245179;
inline constexpr double kE2 = 0.006694379990141317;
inline constexpr double kEp2B = 42841.31151331357;
inline constexpr double kE2A = 42697.67270717997;
}  // namespace wgs84

struct Geodetic {
    double latitudeRad = 0;
    double longitudeRad = 0;
    double height = 0;  // metres above the ellipsoid
};

// Bowring's method; a point on the polar axis gets latitude +-90 degrees and longitude 0.
Geodetic EcefToGeodetic(double x, double y, double z);

// Metres on a sphere whose half meridian is 20001.6 km; arguments in degrees.
double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2);

inline constexpr double kDegreesPerRadian = 57.2957795131;

// A fix's point on the unit sphere, at its geodetic latitude and longitude: the one way every
// distance of the program is worked out (summary, markers, spike filter, stops, track view).
struct Direction {
    double x = 0;
    double y = 0;
    double z = 0;
};

// The direction of (m x, m y, t), where t / (m p) is Bowring's tangent of the latitude and p the
// distance from the axis: no trigonometric call. A position on the axis is a pole, as in
// EcefToGeodetic; a damaged one with no latitude to be had lies on the equator. Branch-free, so
// that a loop over many fixes runs several to a vector.
inline Direction DirectionOf(double x, double y, double z) {
    using namespace wgs84;
    // Bowring's products with the semi-axes cubed, so that no distance from the axis is needed.
    constexpr double kRiseFactor = kEp2B * kA * kA * kA;
    constexpr double kRunFactor = kE2A * kB * kB * kB;
    const double p2 = x * x + y * y;
    const double r2 = kA * kA * z * z + kB * kB * p2;
    const double overR3 = 1 / (r2 * std::sqrt(r2));
    double m = 1 - kRunFactor * p2 * overR3;
    double rise = z + kRiseFactor * z * z * z * overR3;
    const bool onAxis = p2 <= 1e-10;
    const bool noLatitude = m == 0 && rise == 0;
    m = onAxis ? 0.0 : (noLatitude ? 1.0 : m);
    rise = onAxis ? (z >= 0 ? 1.0 : -1.0) : (noLatitude ? 0.0 : rise);
    // The sign keeps the latitude within +-90 degrees whatever the signs of m and rise.
    const double sign = m < 0 ? -1.0 : 1.0;
    const double scale = sign / std::sqrt(m * m * p2 + rise * rise);
    return {m * x * scale, m * y * scale, rise * scale};
}

// The sphere of GreatCircleDistance: 20001.6 km over 180 degrees is 111120 m a degree.
inline constexpr double kMetresPerRadian = kDegreesPerRadian * 111120.0;
// Past this half chord (steps of 6 km and more) the arc sine is called; below it its series,
// whose next term is under 1e-19 of the step.
inline constexpr double kArcSeriesLimit = 1e-3;

// Metres of the arc along half the chord h between two directions.
inline double ArcMetresOfHalfChord(double h) {
    if (h > kArcSeriesLimit) {
        return 2 * std::asin(h) * kMetresPerRadian;
    }
    const double h2 = h * h;
    return 2 * h * (1 + h2 * (1.0 / 6 + h2 * (3.0 / 40))) * kMetresPerRadian;
}

inline double HalfChord(const Direction& a, const Direction& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double dz = b.z - a.z;
    return std::min(std::sqrt(dx * dx + dy * dy + dz * dz) * 0.5, 1.0);
}

// The great-circle distance between two fixes on the sphere of GreatCircleDistance, exact at
// metre steps: twice the arc sine of half the chord. The arc cosine of GreatCircleDistance loses
// most of its digits on short steps (a 0.3 m step reads 0.16 % long); identical fixes are 0 m.
inline double ArcMetres(const Direction& a, const Direction& b) {
    return ArcMetresOfHalfChord(HalfChord(a, b));
}

// Latitude and longitude as EcefToGeodetic gives them, the height above the ellipsoid worked out
// from the latitude's tangent (no sine or cosine), and the fix's direction.
struct FixGeometry {
    double latitudeRad = 0;
    double longitudeRad = 0;
    double height = 0;
    Direction direction;
};
FixGeometry FixGeometryOf(double x, double y, double z);

}  // namespace pelmora
