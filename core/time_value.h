#pragma once
// Time values of the trace: seconds on a zone-free calendar. Calendar fields go in and come
// out unchanged (the rules of timegm/gmtime_r), so no daylight-saving change ever shifts a fix.
#include <cstdint>
#include <string>

namespace pelmora {

using TimeValue = std::int64_t;  // seconds since 1970-01-01 00:00:00 on the zone-free calendar
using TimeSpan = std::int64_t;   // seconds

struct CalendarFields {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4;  // 0 = Sunday
    int yearday = 0;  // 0-365
};

// Fields outside their ranges are normalised as timegm does (month 13 is January next year).
TimeValue MakeTimeValue(int year, int month, int day, int hour, int minute, int second);
CalendarFields BreakTimeValue(TimeValue t);

// strftime-style formatting of a time value's calendar fields. Supports %Y %m %d %H %M %S %y %j
// %a %b %% and, for spans, %D as whole days (see FormatSpan).
std::string FormatTime(TimeValue t, const std::string& pattern);
// "%D day %H hour %M min %S sec": %D whole days, %H %M %S the two-digit remainder fields.
std::string FormatSpan(TimeSpan span, const std::string& pattern);

// Parses "YYYY-MM-DD HH:MM:SS" (seconds optional); false when malformed or out of range.
bool ParseTimeValue(const std::string& text, TimeValue& out);

}  // namespace pelmora
