#include "geotag/track_position.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pelmora {
namespace {

constexpr double kRadians = 3.14159265358979323846 / 180.0;

struct Unit {
    double x, y, z;
};

Unit ToUnit(double latitude, double longitude) {
    const double phi = latitude * kRadians, lambda = longitude * kRadians;
    return {std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
}

TrackPosition At(const TrackPoint& fix, double gap) {
    return {Placement::Found, fix.latitude, fix.longitude, FixAltitude(fix), gap};
}

// The point a fraction f of the way from a to b along the great circle through both.
TrackPosition Between(const TrackPoint& a, const TrackPoint& b, double f) {
    const Unit u = ToUnit(a.latitude, a.longitude), v = ToUnit(b.latitude, b.longitude);
    const double cx = u.y * v.z - u.z * v.y, cy = u.z * v.x - u.x * v.z, cz = u.x * v.y - u.y * v.x;
    const double angle =
        std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), u.x * v.x + u.y * v.y + u.z * v.z);
    double wa = 1 - f, wb = f;
    // Below a micro-radian (6 m) the chord is the arc to well under a millimetre.
    if (angle > 1e-6) {
        wa = std::sin((1 - f) * angle) / std::sin(angle);
        wb = std::sin(f * angle) / std::sin(angle);
    }
    const double x = wa * u.x + wb * v.x, y = wa * u.y + wb * v.y, z = wa * u.z + wb * v.z;
    TrackPosition p;
    p.placement = Placement::Found;
    p.latitude = std::atan2(z, std::hypot(x, y)) / kRadians;
    p.longitude = std::atan2(y, x) / kRadians;
    p.altitude = FixAltitude(a) + f * (FixAltitude(b) - FixAltitude(a));
    p.gapSeconds = static_cast<double>(b.time - a.time);
    return p;
}

}  // namespace

double FixAltitude(const TrackPoint& fix) {
    return fix.height;
}

TrackPosition LocateOnTrack(std::span<const TrackPoint> fixes, double utcSeconds,
                            double maxGapSeconds) {
    TrackPosition none;
    if (fixes.empty()) {
        return none;
    }
    const auto first = static_cast<double>(fixes.front().time);
    const auto last = static_cast<double>(fixes.back().time);
    if (utcSeconds <= first || utcSeconds >= last) {
        const TrackPoint& end = utcSeconds <= first ? fixes.front() : fixes.back();
        const double away = std::fabs(utcSeconds - static_cast<double>(end.time));
        if (away > maxGapSeconds) {
            none.gapSeconds = away;
            return none;
        }
        return At(end, away);
    }
    // The first fix after the instant; the one before it is there, as the instant is inside.
    const auto after = std::upper_bound(
        fixes.begin(), fixes.end(), utcSeconds,
        [](double t, const TrackPoint& fix) { return t < static_cast<double>(fix.time); });
    const TrackPoint& b = *after;
    const TrackPoint& a = *(after - 1);
    if (static_cast<double>(a.time) == utcSeconds) {
        return At(a, 0);
    }
    const auto span = static_cast<double>(b.time - a.time);
    if (span > maxGapSeconds) {
        none.placement = Placement::Gap;
        none.gapSeconds = span;
        return none;
    }
    return Between(a, b, (utcSeconds - static_cast<double>(a.time)) / span);
}

TraceReadStatus LoadTrack(const std::string& folder, std::vector<TrackPoint>& fixes,
                          HeightReference heights, std::string* problem) {
    TraceReadOptions options;
    options.begin = INT64_MIN;
    options.end = INT64_MAX;
    options.heights = heights;
    const TraceReadStatus status = ReadTraceLog(folder, options, fixes, nullptr, problem);
    // Several logs in one trace need not follow each other in time.
    std::stable_sort(fixes.begin(), fixes.end(),
                     [](const TrackPoint& a, const TrackPoint& b) { return a.time < b.time; });
    return status;
}

}  // namespace pelmora
