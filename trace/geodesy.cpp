#include "trace/geodesy.h"

#include <algorithm>
#include <cmath>

namespace pelmora {
namespace {
constexpr double kA = 6378137.0;
constexpr double kB = 6356752.314245179;
constexpr double kE2 = 0.006694379990141317;
constexpr double kEp2B = 42841.31151331357;
constexpr double kE2A = 42697.67270717997;
constexpr double kHalfPi = 1.5707963267949;
// The distance formula keeps the truncated pi of the recorded tracks' original tool so that
// mileages agree with it to the metre.
constexpr double kPi = 3.141592653;
}  // namespace

Geodetic EcefToLatLon(double x, double y, double z) {
    Geodetic g;
    const double p2 = x * x + y * y;
    if (p2 <= 1e-10) {
        g.longitudeRad = 0;
        g.latitudeRad = z >= 0 ? kHalfPi : -kHalfPi;
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
    return g;
}

Geodetic EcefToGeodetic(double x, double y, double z) {
    Geodetic g = EcefToLatLon(x, y, z);
    const double p2 = x * x + y * y;
    if (p2 <= 1e-10) {
        g.height = std::fabs(z) - kB;
        return g;
    }
    const double sinLat = std::sin(g.latitudeRad);
    const double n = kA / std::sqrt(1 - kE2 * sinLat * sinLat);
    g.height = std::sqrt(p2) / std::cos(g.latitudeRad) - n;
    return g;
}

namespace {

double Phi(double latDeg) {
    return latDeg * kPi / 180.0;
}

double Arc(double sinPhi1, double cosPhi1, double sinPhi2, double cosPhi2, double lon1,
           double lon2) {
    const double dLambda = (lon1 - lon2) * kPi / 180.0;
    // Rounding can push the cosine sum just past 1 for nearly identical points.
    const double cosine =
        std::clamp(sinPhi1 * sinPhi2 + cosPhi1 * cosPhi2 * std::cos(dLambda), -1.0, 1.0);
    return std::acos(cosine) * 20001600.0 / kPi;
}

}  // namespace

double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2) {
    if (lat1 == lat2 && lon1 == lon2) {
        return 0.0;
    }
    const double phi1 = Phi(lat1);
    const double phi2 = Phi(lat2);
    return Arc(std::sin(phi1), std::cos(phi1), std::sin(phi2), std::cos(phi2), lon1, lon2);
}

double GreatCirclePath::Add(double latDeg, double lonDeg) {
    if (started_ && latDeg == lat_ && lonDeg == lon_) {
        return 0.0;  // as GreatCircleDistance
    }
    const double phi = Phi(latDeg);
    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double metres = started_ ? Arc(sinPhi_, cosPhi_, sinPhi, cosPhi, lon_, lonDeg) : 0.0;
    started_ = true;
    lat_ = latDeg;
    lon_ = lonDeg;
    sinPhi_ = sinPhi;
    cosPhi_ = cosPhi;
    return metres;
}

}  // namespace pelmora
