#include "convert/track_analysis.h"

#include <cmath>
#include <numbers>

#include "core/conversion_settings.h"
#include "decode/geodesy.h"

namespace pelmora {
namespace {

// The summary's distance: exact at metre steps, with no trigonometric call below 6 km.
double Distance(const TrackPoint& a, const TrackPoint& b) {
    return ArcMetres(a.direction, b.direction);
}

}  // namespace

double SpikeThreshold(int recordTimePeriod, int recordDistance) {
    double threshold = 100.0 * (recordTimePeriod == 0 ? 1 : recordTimePeriod);
    if (recordDistance != 0 && 10.0 * recordDistance > threshold) {
        threshold = 10.0 * recordDistance;
    }
    return threshold;
}

void RemoveSpikes(std::vector<TrackPoint>& points, double threshold) {
    const std::size_t n = points.size();
    if (n < 3) {
        return;
    }
    // Compacts in place: the kept points move down, the candidate's next point is still
    // points[i + 1] because only candidates are ever dropped.
    std::size_t kept = 1;
    double d1 = Distance(points[0], points[1]);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double d2 = Distance(points[i], points[i + 1]);
        // Far from both neighbours is not enough: fast straight travel (a 5 s log on a highway,
        // a flight) is far from both too. A spike goes out and comes back, so its neighbours
        // lie close together.
        if (d1 > threshold && d2 > threshold) {
            const double across = Distance(points[kept - 1], points[i + 1]);
            if (across < (d1 + d2) / 2) {
                d1 = across;  // the next candidate is measured from the same kept point
                continue;
            }
        }
        points[kept++] = points[i];
        d1 = d2;  // the kept candidate is the next one's last kept point
    }
    points[kept++] = points[n - 1];
    points.resize(kept);
}

double BearingBetween(double latP, double lonP, double latQ, double lonQ) {
    double dLon = lonQ - lonP;
    const double dLat = latQ - latP;
    if (dLon > 180) {
        dLon -= 360;
    } else if (dLon < -180) {
        dLon += 360;
    }
    // 180/pi, not the recorded tools' slightly larger factor, which turned due north into 359
    // and due west into 269.
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    double bearing =
        std::atan2(dLat, std::cos(std::fabs(latP) * 3.141592653 / 180) * dLon) * -kDegrees + 90;
    if (bearing < 0) {
        bearing += 360;
    }
    return bearing;
}

void ComputeBearings(std::vector<TrackPoint>& points) {
    std::int16_t previous = 0;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        TrackPoint& p = points[i];
        const TrackPoint& q = points[i + 1];
        if (q.longitude - p.longitude != 0 || q.latitude - p.latitude != 0) {
            const auto b = static_cast<std::int16_t>(
                BearingBetween(p.latitude, p.longitude, q.latitude, q.longitude));
            // atan2 of a tiny negative latitude step can round to exactly 360.
            previous = static_cast<std::int16_t>(b >= 360 ? b - 360 : b);
        }
        p.bearing = previous;
    }
    if (!points.empty()) {
        points.back().bearing = 0;
    }
}

void AnalyseStops(std::vector<TrackPoint>& points, const StopAnalysisSettings& settings) {
    const std::size_t n = points.size();
    if (n == 0) {
        return;
    }
    points[0].distance = 0;
    std::size_t kept = 1;
    std::size_t maxPosition = 0;
    // The highest recorded speed, not the speed truncated to the display unit: in m/s a 7 km/h
    // fix and a 4 km/h one are both 1.
    double highest = 0;
    for (std::size_t i = 1; i < n; ++i) {
        TrackPoint q = points[i];
        const TrackPoint& p = points[kept - 1];
        q.distance = Distance(q, p);
        if (i + 1 == n) {
            // The last point only gets its distance: it is never dropped nor flagged.
            points[kept++] = q;
            break;
        }
        const double value = settings.speedUnit == UnitMph ? q.distance / 0.3 : q.distance;
        if (settings.stopDistance > value) {
            continue;
        }
        if (settings.overSpeed != 0 && q.speedInUnit > settings.overSpeed) {
            q.overSpeed = true;
        }
        if (q.speed > highest) {
            highest = q.speed;
            maxPosition = kept;
        }
        points[kept++] = q;
    }
    points.resize(kept);
    if (maxPosition > 0) {
        points[maxPosition].maxSpeed = true;
    }
}

}  // namespace pelmora
