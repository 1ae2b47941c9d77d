#pragma once
// Reading the decoded trace for a conversion: TraceLog.ltp (22-byte records), or TraceLog.lte
// (73-byte records) when the former is absent, for one period.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "convert/convert_point.h"
#include "core/conversion_settings.h"
#include "core/time_value.h"
#include "core/zone_rules.h"

namespace pelmora {

struct TraceReadOptions {
    TimeValue begin = 0;  // UTC, inclusive
    TimeValue end = 0;    // UTC, inclusive
    ZoneRules zone;       // gives each fix its local time
    int speedUnit = 1;
    HeightReference heights = HeightReference::Sea;
};

// Parses the whole records of bytes (a trailing partial record is ignored) and appends the fixes
// that are valid and inside the period. The duplicate-second step compares with points.back(),
// so a file may be fed in consecutive slices. Returns the number of records parsed. Heights are
// above the ellipsoid: ReadTraceLog applies the chosen reference to the whole trace.
std::size_t ParseTraceRecords(std::span<const std::uint8_t> bytes, std::size_t recordSize,
                              bool extended, const TraceReadOptions& options,
                              std::vector<TrackPoint>& points);

// The speed in the chosen unit, truncated toward zero.
std::int32_t SpeedInUnit(double kmh, int speedUnit);

// NoGeoid: heights above the sea were asked for and the geoid grid is missing.
enum class TraceReadStatus { Ok, OpenFailed, Invalid, NoData, Stopped, NoGeoid };

// Reads folder/TraceLog.ltp or folder/TraceLog.lte. progress gets the file position and length
// and returns false to stop. problem, when given, gets the message of NoGeoid (the missing file,
// its package, the way around it).
TraceReadStatus ReadTraceLog(const std::string& folder, const TraceReadOptions& options,
                             std::vector<TrackPoint>& points,
                             const std::function<bool(std::uint64_t, std::uint64_t)>& progress,
                             std::string* problem = nullptr);

}  // namespace pelmora
