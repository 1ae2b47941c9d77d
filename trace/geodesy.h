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

// Latitude and longitude only (height left 0), exactly as EcefToGeodetic gives them: the summary
// needs no height, and its sine, root and cosine are a third of the conversion's cost.
Geodetic EcefToLatLon(double x, double y, double z);

// Metres on a sphere whose half meridian is 20001.6 km; arguments in degrees.
double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2);

// GreatCircleDistance from the previous point to each next one, bit for bit, with each point's
// sine and cosine worked out once instead of twice.
class GreatCirclePath {
  public:
    // The distance from the previous point (0 for the first).
    double Add(double latDeg, double lonDeg);

  private:
    bool started_ = false;
    double lat_ = 0, lon_ = 0, sinPhi_ = 0, cosPhi_ = 0;
};

inline constexpr double kDegreesPerRadian = 57.2957795131;

}  // namespace pelmora
