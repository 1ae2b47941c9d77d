#pragma once
// GPS week and time of week to a UTC calendar date and time.
#include <cstdint>

#include "core/time_value.h"

namespace pelmora {

// The calendar form of a fix time (UTC).
struct GpsDateTime {
    std::int16_t year = 0;
    std::int16_t month = 0;
    std::int16_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    float second = 0;  // with the fraction of the time of week
};

// The logger's fixed GPS-UTC offset.
inline constexpr std::int64_t kGpsUtcOffsetSeconds = 14;
inline constexpr std::int64_t kSecondsPerGpsWeek = 604800;
// The GPS epoch, 1980-01-06 00:00:00 UTC, as a time value.
inline constexpr TimeValue kGpsEpoch = 315964800;

// A full GPS week number and a time of week (which may run past the week's end) to UTC.
void GpsTimeToUtc(int week, double timeOfWeek, GpsDateTime& dateTime);
// The same instant as a zone-free time value (whole seconds).
inline TimeValue GpsTimeToTimeValue(int week, std::int64_t timeOfWeek) {
    return kGpsEpoch + static_cast<std::int64_t>(week) * kSecondsPerGpsWeek + timeOfWeek -
           kGpsUtcOffsetSeconds;
}

// The logger keeps the week modulo 1024. The full week is the latest week + 1024*k whose time
// is not after now + 1 day, and never earlier than week + 1024 (1999-08-22 on), so a log of
// 2024 read in 2026 decodes to 2024 and one of 2011 to 2011.
int ResolveGpsWeek(int weekModulo1024, std::int64_t timeOfWeek, TimeValue nowUtc);

// The current UTC time as a time value.
TimeValue CurrentUtcTime();

}  // namespace pelmora
