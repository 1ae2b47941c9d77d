#pragma once
// The generated trace of the million-fix benchmarks: a drive of one fix a second.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/time_value.h"
#include "decode/trace_fix.h"
#include "sim/track/builtin_track.h"

namespace pelmora::bench {

// ECEF metres as the logger stores them.
inline void EcefMetres(double latDeg, double lonDeg, double h, std::int32_t& x, std::int32_t& y,
                       std::int32_t& z) {
    double fx = 0, fy = 0, fz = 0;
    pelmora::GeodeticToEcef(latDeg, lonDeg, h, fx, fy, fz);
    x = static_cast<std::int32_t>(std::lround(fx));
    y = static_cast<std::int32_t>(std::lround(fy));
    z = static_cast<std::int32_t>(std::lround(fz));
}

// A drive of one fix a second: winding roads at 20-110 km/h, a 15-minute stop every 40 minutes.
inline bool WriteMillionTrace(const std::string& path, long fixes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    std::vector<std::uint8_t> buffer;
    buffer.reserve(static_cast<std::size_t>(fixes) * pelmora::kTraceFixSize);
    double lat = 24.95;
    double lon = 121.45;
    double heading = 0.3;
    std::int64_t t = pelmora::MakeTimeValue(2011, 3, 9, 0, 0, 0);
    for (long i = 0; i < fixes; ++i) {
        if (i % 2400 == 2399) {
            t += 900;
        }
        const double kmh = 65 + 45 * std::sin(static_cast<double>(i) / 97.0);
        heading += 0.02 * std::sin(static_cast<double>(i) / 31.0);
        const double metres = kmh / 3.6;
        lat += metres * std::cos(heading) / 111120.0;
        lon += metres * std::sin(heading) / (111120.0 * std::cos(lat / 57.2957795131));
        const double h = 40 + 30 * std::sin(static_cast<double>(i) / 500.0);
        std::int32_t x = 0, y = 0, z = 0;
        EcefMetres(lat, lon, h, x, y, z);
        const pelmora::CalendarFields c = pelmora::BreakTimeValue(t);
        const pelmora::TraceFixBytes r =
            pelmora::EncodeTraceFix(c.year, c.month, c.day, c.hour, c.minute,
                                    static_cast<float>(c.second), x, y, z, static_cast<int>(kmh));
        buffer.insert(buffer.end(), r.begin(), r.end());
        ++t;
    }
    const bool ok = std::fwrite(buffer.data(), 1, buffer.size(), f) == buffer.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace pelmora::bench
