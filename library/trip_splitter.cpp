#include "library/trip_splitter.h"

#include <algorithm>

#include "decode/geodesy.h"

namespace pelmora {
namespace {

struct LatLon {
    double lat = 0;
    double lon = 0;
};

LatLon Degrees(std::int32_t x, std::int32_t y, std::int32_t z) {
    const Geodetic g = EcefToGeodetic(x, y, z);
    return {g.latitudeRad * kDegreesPerRadian, g.longitudeRad * kDegreesPerRadian};
}

}  // namespace

double FixDistance(std::int32_t x1, std::int32_t y1, std::int32_t z1, std::int32_t x2,
                   std::int32_t y2, std::int32_t z2) {
    const LatLon a = Degrees(x1, y1, z1);
    const LatLon b = Degrees(x2, y2, z2);
    return GreatCircleDistance(a.lat, a.lon, b.lat, b.lon);
}

std::int64_t LocalDay(const ZoneRules& zone, TimeValue utc) {
    const TimeValue local = zone.ToLocal(utc);
    return local >= 0 ? local / 86400 : (local - 86399) / 86400;
}

TripSplitter::TripSplitter(TripGaps gaps, std::optional<ZoneRules> days)
    : gaps_(gaps), zone_(std::move(days)) {}

void TripSplitter::Add(const std::uint8_t* fix, std::uint64_t index) {
    const TimeValue t = clock_.Utc(fix);
    const std::int32_t x = ReadLe32(fix + 4);
    const std::int32_t y = ReadLe32(fix + 8);
    const std::int32_t z = ReadLe32(fix + 12);
    const int speed = FixSpeedKmh(fix);
    const LatLon here = Degrees(x, y, z);
    if (open_) {
        const double step = GreatCircleDistance(lastLat_, lastLon_, here.lat, here.lon);
        bool split = t - current_.endUtc > gaps_.seconds || step > gaps_.metres;
        std::int64_t day = 0;
        if (zone_) {
            day = LocalDay(*zone_, t);
            split = split || day > localDay_;
        }
        if (split) {
            Close();
        } else {
            current_.metres += step;
        }
    }
    if (!open_) {
        current_ = FixRun{};
        current_.firstFix = index;
        current_.beginUtc = t;
        current_.firstX = x;
        current_.firstY = y;
        current_.firstZ = z;
        open_ = true;
        if (zone_) {
            localDay_ = LocalDay(*zone_, t);
        }
    }
    current_.fixes = index + 1 - current_.firstFix;
    current_.endUtc = t;
    current_.maxSpeedKmh = std::max(current_.maxSpeedKmh, speed);
    current_.lastX = x;
    current_.lastY = y;
    current_.lastZ = z;
    lastLat_ = here.lat;
    lastLon_ = here.lon;
}

void TripSplitter::Close() {
    if (open_) {
        runs_.push_back(current_);
        open_ = false;
    }
}

std::vector<FixRun> TripSplitter::Finish() {
    Close();
    return std::move(runs_);
}

std::optional<double> JoiningStep(const FixRun& run, const FixRun& next, TripGaps gaps) {
    const double step =
        FixDistance(run.lastX, run.lastY, run.lastZ, next.firstX, next.firstY, next.firstZ);
    if (next.beginUtc - run.endUtc <= gaps.seconds && step <= gaps.metres) {
        return step;
    }
    return std::nullopt;
}

void AppendRun(FixRun& run, const FixRun& next, double step) {
    run.fixes = next.firstFix + next.fixes - run.firstFix;
    run.endUtc = next.endUtc;
    run.metres += step + next.metres;
    run.maxSpeedKmh = std::max(run.maxSpeedKmh, next.maxSpeedKmh);
    run.lastX = next.lastX;
    run.lastY = next.lastY;
    run.lastZ = next.lastZ;
}

std::vector<FixRun> JoinRuns(std::span<const FixRun> runs, TripGaps gaps) {
    std::vector<FixRun> trips;
    for (const FixRun& run : runs) {
        if (!trips.empty()) {
            if (const auto step = JoiningStep(trips.back(), run, gaps)) {
                AppendRun(trips.back(), run, *step);
                continue;
            }
        }
        trips.push_back(run);
    }
    return trips;
}

}  // namespace pelmora
