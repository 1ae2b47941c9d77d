#include "sim/track/builtin_track.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace pelmora {
namespace {

struct Waypoint {
    double lat;
    double lon;
    double height;
    double cruiseKmh;  // target speed on the leg that arrives here
    int haltSeconds;   // standing at a traffic light, logger recording
    int stopMinutes;   // parked, logger paused
};

// Central Munich -> Schwabing -> motorway north -> Freising -> airport -> back to Schwabing.
constexpr std::array<Waypoint, 38> kRoute = {{
    {48.14255, 11.55880, 519, 0, 0, 0},   {48.13930, 11.56620, 518, 35, 35, 0},
    {48.13370, 11.56730, 520, 40, 0, 0},  {48.13150, 11.57250, 521, 40, 20, 0},
    {48.13510, 11.58150, 517, 45, 0, 0},  {48.13930, 11.58520, 516, 45, 0, 0},
    {48.14370, 11.58600, 515, 45, 30, 0}, {48.15300, 11.58920, 512, 50, 0, 0},
    {48.15480, 11.59350, 511, 50, 0, 0},  {48.16080, 11.59480, 509, 30, 0, 14},
    {48.16200, 11.58680, 510, 40, 30, 0}, {48.17300, 11.59180, 507, 60, 0, 0},
    {48.18180, 11.59820, 504, 60, 0, 0},  {48.19600, 11.60800, 498, 90, 0, 0},
    {48.21800, 11.61900, 490, 110, 0, 0}, {48.24000, 11.63200, 483, 110, 0, 0},
    {48.26700, 11.65100, 476, 110, 0, 0}, {48.29800, 11.66800, 466, 110, 0, 0},
    {48.32000, 11.68100, 460, 110, 0, 0}, {48.34700, 11.70500, 455, 100, 0, 0},
    {48.37200, 11.72200, 450, 70, 0, 0},  {48.39000, 11.74500, 448, 50, 40, 0},
    {48.40110, 11.74750, 449, 30, 0, 0},  {48.39600, 11.72900, 468, 40, 0, 22},
    {48.37800, 11.73200, 451, 50, 0, 0},  {48.36500, 11.76000, 448, 80, 0, 0},
    {48.35300, 11.78000, 447, 60, 0, 0},  {48.35100, 11.77500, 447, 20, 0, 12},
    {48.34300, 11.74500, 449, 80, 0, 0},  {48.33000, 11.69800, 457, 110, 0, 0},
    {48.29800, 11.66800, 466, 110, 0, 0}, {48.25500, 11.64300, 480, 110, 0, 0},
    {48.21800, 11.61900, 490, 100, 0, 0}, {48.19600, 11.60800, 498, 80, 0, 0},
    {48.18180, 11.59820, 504, 60, 30, 0}, {48.17500, 11.58700, 507, 50, 0, 0},
    {48.16200, 11.58680, 510, 50, 0, 0},  {48.15680, 11.58460, 511, 30, 0, 0},
}};

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6371000.0;  // local plane only
constexpr double kAccel = 1.2;              // m/s^2
constexpr double kBrake = 2.0;              // m/s^2

// Small deterministic generator so that the drive (and the sample log) never changes.
class Lcg {
  public:
    double Next() {  // 0..1
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0;
    }
    double Symmetric(double amplitude) { return (Next() * 2.0 - 1.0) * amplitude; }

  private:
    std::uint64_t state_ = 0x5EED2024ULL;
};

struct Plane {
    double lat0, lon0, cosLat0;
    double East(const Waypoint& w) const {
        return (w.lon - lon0) * kPi / 180.0 * kEarthRadius * cosLat0;
    }
    double North(const Waypoint& w) const { return (w.lat - lat0) * kPi / 180.0 * kEarthRadius; }
    double Lat(double north) const { return lat0 + north / kEarthRadius * 180.0 / kPi; }
    double Lon(double east) const { return lon0 + east / (kEarthRadius * cosLat0) * 180.0 / kPi; }
};

// Seconds between two fixes: the logger records more often the faster it goes, so that no two
// fixes lie more than a few tens of metres apart.
int FixInterval(double kmh) {
    if (kmh < 5)
        return 5;
    if (kmh < 25)
        return 3;
    if (kmh < 60)
        return 2;
    if (kmh < 95)
        return 1;
    return 2;
}

class Drive {
  public:
    explicit Drive(const BuiltinTrackOptions& o) : options_(o), t_(o.startUtc) {
        plane_ = {kRoute[0].lat, kRoute[0].lon, std::cos(kRoute[0].lat * kPi / 180.0)};
        for (const Waypoint& w : kRoute) {
            east_.push_back(plane_.East(w));
            north_.push_back(plane_.North(w));
        }
    }

    std::vector<BuiltinTrackFix> Run() {
        Emit(0, true);
        for (std::size_t leg = 0; leg + 1 < kRoute.size(); ++leg) {
            DriveLeg(leg);
            const Waypoint& w = kRoute[leg + 1];
            if (w.stopMinutes > 0) {
                Park(leg + 1, w.stopMinutes);
            } else if (w.haltSeconds > 0) {
                Halt(w.haltSeconds);
            }
        }
        // Parked at the end: a last fix standing still.
        Wait(5);
        Emit(0, false);
        return std::move(fixes_);
    }

  private:
    double LegLength(std::size_t leg) const {
        return std::hypot(east_[leg + 1] - east_[leg], north_[leg + 1] - north_[leg]);
    }

    // Speed allowed when arriving at the end of a leg: zero where the car stops, slower the
    // sharper the turn onto the next leg.
    double ArrivalLimit(std::size_t leg) const {
        const Waypoint& w = kRoute[leg + 1];
        if (leg + 2 >= kRoute.size() || w.stopMinutes > 0 || w.haltSeconds > 0) {
            return 0;
        }
        const double h1 = std::atan2(north_[leg + 1] - north_[leg], east_[leg + 1] - east_[leg]);
        const double h2 =
            std::atan2(north_[leg + 2] - north_[leg + 1], east_[leg + 2] - east_[leg + 1]);
        double turn = std::fabs(h2 - h1);
        if (turn > kPi)
            turn = 2 * kPi - turn;
        const double next = kRoute[leg + 2].cruiseKmh / 3.6;
        const double cur = w.cruiseKmh / 3.6;
        double limit = std::min(cur, next);
        if (turn > kPi / 3) {
            limit = std::min(limit, 20 / 3.6);
        } else if (turn > kPi / 6) {
            limit = std::min(limit, 40 / 3.6);
        }
        return limit;
    }

    void DriveLeg(std::size_t leg) {
        const double length = LegLength(leg);
        const double cruise = kRoute[leg + 1].cruiseKmh / 3.6;
        const double arrival = ArrivalLimit(leg);
        while (s_ < length) {
            // Traffic keeps the speed wandering a little around the cruise speed.
            const double target =
                cruise *
                    (0.93 + 0.07 * std::sin(static_cast<double>(t_ - options_.startUtc) / 47.0)) +
                rng_.Symmetric(0.3);
            const double brakeLimit = std::sqrt(arrival * arrival + 2 * kBrake * (length - s_));
            v_ = std::min({v_ + kAccel, target, brakeLimit});
            v_ = std::max(v_, 1.0);
            s_ += v_;
            ++t_;
            const double f = std::min(s_, length) / length;
            east_pos_ = east_[leg] + (east_[leg + 1] - east_[leg]) * f;
            north_pos_ = north_[leg] + (north_[leg + 1] - north_[leg]) * f;
            height_ = kRoute[leg].height + (kRoute[leg + 1].height - kRoute[leg].height) * f;
            if (t_ - lastFix_ >= FixInterval(v_ * 3.6)) {
                Emit(v_ * 3.6, false);
            }
        }
        s_ -= length;
        if (arrival == 0) {
            s_ = 0;
            v_ = 0;
        } else {
            v_ = std::min(v_, arrival);
        }
    }

    void Wait(int seconds) { t_ += seconds; }

    void Halt(int seconds) {
        for (int waited = 0; waited + 5 <= seconds; waited += 5) {
            Wait(5);
            Emit(0, false);
        }
        Wait(seconds % 5);
    }

    // Parked with the logger paused: a few fixes standing still, a gap of more than ten
    // minutes, then the logger resumes with a full record.
    void Park(std::size_t waypoint, int minutes) {
        east_pos_ = east_[waypoint];
        north_pos_ = north_[waypoint];
        height_ = kRoute[waypoint].height;
        Emit(0, false);
        for (int i = 0; i < 3; ++i) {
            Wait(5);
            Emit(0, false);
        }
        Wait(minutes * 60 + static_cast<int>(rng_.Next() * 50));
        Emit(0, true);
        lastFix_ = t_;
    }

    void Emit(double kmh, bool forceFull) {
        BuiltinTrackFix f;
        // A receiver's position wanders by a metre or two even when standing still.
        const double east = east_pos_ + rng_.Symmetric(1.5);
        const double north = north_pos_ + rng_.Symmetric(1.5);
        f.latitude = plane_.Lat(north);
        f.longitude = plane_.Lon(east);
        f.height = height_ + rng_.Symmetric(2.0);
        double x = 0, y = 0, z = 0;
        GeodeticToEcef(f.latitude, f.longitude, f.height, x, y, z);
        f.fix.utc = t_;
        f.fix.x = static_cast<std::int32_t>(std::lround(x));
        f.fix.y = static_cast<std::int32_t>(std::lround(y));
        f.fix.z = static_cast<std::int32_t>(std::lround(z));
        const int noise = kmh > 3 ? static_cast<int>(std::lround(rng_.Symmetric(1.0))) : 0;
        f.fix.speedKmh = std::clamp(static_cast<int>(std::lround(kmh)) + noise, 0, 110);
        f.fix.forceFull = forceFull;
        fixes_.push_back(f);
        lastFix_ = t_;
    }

    BuiltinTrackOptions options_;
    Plane plane_{};
    std::vector<double> east_, north_;
    Lcg rng_;
    TimeValue t_;
    TimeValue lastFix_ = 0;
    double s_ = 0;  // metres along the current leg
    double v_ = 0;  // m/s
    double east_pos_ = 0, north_pos_ = 0, height_ = kRoute[0].height;
    std::vector<BuiltinTrackFix> fixes_;
};

}  // namespace

void GeodeticToEcef(double latitudeDeg, double longitudeDeg, double height, double& x, double& y,
                    double& z) {
    constexpr double a = 6378137.0;
    constexpr double e2 = 0.006694379990141317;
    const double phi = latitudeDeg * kPi / 180.0;
    const double lambda = longitudeDeg * kPi / 180.0;
    const double n = a / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
    x = (n + height) * std::cos(phi) * std::cos(lambda);
    y = (n + height) * std::cos(phi) * std::sin(lambda);
    z = (n * (1 - e2) + height) * std::sin(phi);
}

std::vector<BuiltinTrackFix> BuiltinTrackFixes(const BuiltinTrackOptions& options) {
    return Drive(options).Run();
}

std::vector<RawRecord> BuiltinTrackRecords(const BuiltinTrackOptions& options) {
    const std::vector<BuiltinTrackFix> fixes = BuiltinTrackFixes(options);
    RawTrackEncoder encoder(options.encoder);
    std::vector<RawRecord> records;
    records.reserve(fixes.size());
    for (const BuiltinTrackFix& f : fixes) {
        records.push_back(encoder.Add(f.fix));
    }
    return records;
}

std::vector<std::uint8_t> BuiltinTrackLog(const BuiltinTrackOptions& options) {
    return ConcatenateRecords(BuiltinTrackRecords(options));
}

}  // namespace pelmora
