#pragma once
// WGS-84 geodesy shared by the trace reader, the summary and the track analysis.

namespace pelmora {

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
