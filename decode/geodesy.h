#pragma once
// WGS-84 geodesy shared by the trace reader, the summary and the track analysis.

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

}  // namespace pelmora
