#include "decode/gps_time.h"

#include <chrono>
#include <cmath>

namespace pelmora {
namespace {
constexpr std::int64_t kRolloverWeeks = 1024;
}  // namespace

void GpsTimeToUtc(int week, double timeOfWeek, GpsDateTime& dateTime) {
    const double whole = std::floor(timeOfWeek);
    const double fraction = timeOfWeek - whole;
    // The calendar of time values is the proleptic Gregorian one; it agrees with a
    // four-year leap rule over the logger's whole range (1980-2099).
    const CalendarFields f =
        BreakTimeValue(GpsTimeToTimeValue(week, static_cast<std::int64_t>(whole)));
    dateTime.year = static_cast<std::int16_t>(f.year);
    dateTime.month = static_cast<std::int16_t>(f.month);
    dateTime.day = static_cast<std::int16_t>(f.day);
    dateTime.hour = static_cast<std::uint8_t>(f.hour);
    dateTime.minute = static_cast<std::uint8_t>(f.minute);
    dateTime.second = static_cast<float>(f.second + fraction);
}

int ResolveGpsWeek(int weekModulo1024, std::int64_t timeOfWeek, TimeValue nowUtc) {
    const int base = (weekModulo1024 & 0x3FF) + static_cast<int>(kRolloverWeeks);
    const TimeValue latest = nowUtc + 86400;
    const TimeValue first = GpsTimeToTimeValue(base, timeOfWeek);
    if (first > latest) {
        return base;
    }
    const std::int64_t span = kRolloverWeeks * kSecondsPerGpsWeek;
    if (latest - first < span) {
        return base;  // the common case, without a division per record
    }
    const std::int64_t k = (latest - first) / span;
    return base + static_cast<int>(k * kRolloverWeeks);
}

TimeValue CurrentUtcTime() {
    const auto now = std::chrono::system_clock::now();
    return std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
}

}  // namespace pelmora
