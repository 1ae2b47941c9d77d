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

std::vector<FixRun> JoinRuns(std::span<const FixRun> runs, TripGaps gaps) {
    std::vector<FixRun> trips;
    for (const FixRun& run : runs) {
        if (!trips.empty()) {
            FixRun& trip = trips.back();
            const double step =
                FixDistance(trip.lastX, trip.lastY, trip.lastZ, run.firstX, run.firstY, run.firstZ);
            if (run.beginUtc - trip.endUtc <= gaps.seconds && step <= gaps.metres) {
                trip.fixes = run.firstFix + run.fixes - trip.firstFix;
                trip.endUtc = run.endUtc;
                trip.metres += step + run.metres;
                trip.maxSpeedKmh = std::max(trip.maxSpeedKmh, run.maxSpeedKmh);
                trip.lastX = run.lastX;
                trip.lastY = run.lastY;
                trip.lastZ = run.lastZ;
                continue;
            }
        }
        trips.push_back(run);
    }
    return trips;
}

}  // namespace pelmora
