#include "decode/geodesy.h"

#include <algorithm>
#include <cmath>

namespace pelmora {
namespace {
using namespace wgs84;
constexpr double kHalfPi = 1.5707963267949;
// The distance formula keeps the truncated pi of the recorded tracks' original tool so that
// mileages agree with it to the metre.
constexpr double kPi = 3.141592653;
}  // namespace

Geodetic EcefToGeodetic(double x, double y, double z) {
    Geodetic g;
    const double p2 = x * x + y * y;
    if (p2 <= 1e-10) {
        g.longitudeRad = 0;
        g.latitudeRad = z >= 0 ? kHalfPi : -kHalfPi;
        g.height = std::fabs(z) - kB;
        return g;
    }
    g.longitudeRad = std::atan2(y, x);
    const double p = std::sqrt(p2);
    const double u = kA * z;
    const double v = kB * p;
    const double r = std::sqrt(u * u + v * v);
    const double s = u / r;
    const double c = v / r;
    g.latitudeRad = std::atan((z + kEp2B * s * s * s) / (p - kE2A * c * c * c));
    const double sinLat = std::sin(g.latitudeRad);
    const double n = kA / std::sqrt(1 - kE2 * sinLat * sinLat);
    g.height = std::sqrt(p2) / std::cos(g.latitudeRad) - n;
    return g;
}

FixGeometry FixGeometryOf(double x, double y, double z) {
    FixGeometry f;
    f.direction = DirectionOf(x, y, z);
    const double p2 = x * x + y * y;
    if (p2 <= 1e-10) {
        const Geodetic g = EcefToGeodetic(x, y, z);
        f.latitudeRad = g.latitudeRad;
        f.longitudeRad = g.longitudeRad;
        f.height = g.height;
        return f;
    }
    // The same operations as EcefToGeodetic up to the latitude's tangent, so the same degrees.
    f.longitudeRad = std::atan2(y, x);
    const double p = std::sqrt(p2);
    const double u = kA * z;
    const double v = kB * p;
    const double r = std::sqrt(u * u + v * v);
    const double s = u / r;
    const double c = v / r;
    const double tangent = (z + kEp2B * s * s * s) / (p - kE2A * c * c * c);
    f.latitudeRad = std::atan(tangent);
    // 1 / cos and sin squared of the latitude from its tangent.
    const double secant2 = 1 + tangent * tangent;
    const double sin2 = tangent * tangent / secant2;
    f.height = p * std::sqrt(secant2) - kA / std::sqrt(1 - kE2 * sin2);
    return f;
}

double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2) {
    if (lat1 == lat2 && lon1 == lon2) {
        return 0.0;
    }
    const double phi1 = lat1 * kPi / 180.0;
    const double phi2 = lat2 * kPi / 180.0;
    const double dLambda = (lon1 - lon2) * kPi / 180.0;
    // Rounding can push the cosine sum just past 1 for nearly identical points.
    const double cosine = std::clamp(
        std::sin(phi1) * std::sin(phi2) + std::cos(phi1) * std::cos(phi2) * std::cos(dLambda), -1.0,
        1.0);
    return std::acos(cosine) * 20001600.0 / kPi;
}

}  // namespace pelmora
