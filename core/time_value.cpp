#include "core/time_value.h"

#include <array>
#include <cstdio>

namespace pelmora {
namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian), after H. Hinnant.
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = yoe + era * 400;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y += m <= 2 ? 1 : 0;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

bool IsLeap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void AppendNumber(std::string& out, std::int64_t value, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(value));
    out += buf;
}

}  // namespace

TimeValue MakeTimeValue(int year, int month, int day, int hour, int minute, int second) {
    // Normalise the month first so that month 0 or 13 moves the year, as timegm does.
    std::int64_t m0 = static_cast<std::int64_t>(month) - 1;
    const std::int64_t y = year + FloorDiv(m0, 12);
    m0 -= FloorDiv(m0, 12) * 12;
    const std::int64_t days = DaysFromCivil(y, m0 + 1, 1) + (static_cast<std::int64_t>(day) - 1);
    return days * 86400 + static_cast<std::int64_t>(hour) * 3600 +
           static_cast<std::int64_t>(minute) * 60 + second;
}

CalendarFields BreakTimeValue(TimeValue t) {
    CalendarFields f;
    const std::int64_t days = FloorDiv(t, 86400);
    const std::int64_t secs = t - days * 86400;
    std::int64_t y = 0;
    CivilFromDays(days, y, f.month, f.day);
    f.year = static_cast<int>(y);
    f.hour = static_cast<int>(secs / 3600);
    f.minute = static_cast<int>((secs % 3600) / 60);
    f.second = static_cast<int>(secs % 60);
    f.weekday = static_cast<int>(FloorDiv(days + 4, 7) * -7 + days + 4);
    f.yearday = static_cast<int>(days - DaysFromCivil(y, 1, 1));
    return f;
}

std::string FormatTime(TimeValue t, const std::string& pattern) {
    const CalendarFields f = BreakTimeValue(t);
    std::string out;
    out.reserve(pattern.size() + 16);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        switch (pattern[++i]) {
            case 'Y':
                AppendNumber(out, f.year, 4);
                break;
            case 'y':
                AppendNumber(out, ((f.year % 100) + 100) % 100, 2);
                break;
            case 'm':
                AppendNumber(out, f.month, 2);
                break;
            case 'd':
                AppendNumber(out, f.day, 2);
                break;
            case 'H':
                AppendNumber(out, f.hour, 2);
                break;
            case 'M':
                AppendNumber(out, f.minute, 2);
                break;
            case 'S':
                AppendNumber(out, f.second, 2);
                break;
            case 'j':
                AppendNumber(out, f.yearday + 1, 3);
                break;
            case 'a':
                out += kWeekdays[static_cast<std::size_t>(f.weekday)];
                break;
            case 'b':
                out += kMonths[static_cast<std::size_t>(f.month - 1)];
                break;
            case '%':
                out += '%';
                break;
            default:
                out += '%';
                out += pattern[i];
        }
    }
    return out;
}

std::string FormatSpan(TimeSpan span, const std::string& pattern) {
    const bool negative = span < 0;
    const std::int64_t s = negative ? -span : span;
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        switch (pattern[++i]) {
            case 'D':
                AppendNumber(out, negative ? -(s / 86400) : s / 86400, 1);
                break;
            case 'H':
                AppendNumber(out, (s % 86400) / 3600, 2);
                break;
            case 'M':
                AppendNumber(out, (s % 3600) / 60, 2);
                break;
            case 'S':
                AppendNumber(out, s % 60, 2);
                break;
            case '%':
                out += '%';
                break;
            default:
                out += '%';
                out += pattern[i];
        }
    }
    return out;
}

namespace {
// Reads 1..maxDigits decimal digits at text[pos]; false when there are none.
bool ReadNumber(const std::string& text, std::size_t& pos, std::size_t maxDigits, int& out) {
    std::size_t digits = 0;
    out = 0;
    while (pos < text.size() && digits < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
        out = out * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return digits > 0;
}

bool Expect(const std::string& text, std::size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}
}  // namespace

bool ParseTimeValue(const std::string& text, TimeValue& out) {
    // Whole-text match: trailing words ("10:00 tomorrow") are an error, not ignored.
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::size_t pos = 0;
    if (!ReadNumber(text, pos, 4, y) || !Expect(text, pos, '-') || !ReadNumber(text, pos, 2, mo) ||
        !Expect(text, pos, '-') || !ReadNumber(text, pos, 2, d) || !Expect(text, pos, ' ') ||
        !ReadNumber(text, pos, 2, h) || !Expect(text, pos, ':') || !ReadNumber(text, pos, 2, mi)) {
        return false;
    }
    if (Expect(text, pos, ':') && !ReadNumber(text, pos, 2, s)) {
        return false;
    }
    if (pos != text.size()) {
        return false;
    }
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1900 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) {
        return false;
    }
    const int maxDay = kDays[static_cast<std::size_t>(mo - 1)] + (mo == 2 && IsLeap(y) ? 1 : 0);
    if (d > maxDay) {
        return false;
    }
    out = MakeTimeValue(y, mo, d, h, mi, s);
    return true;
}

}  // namespace pelmora
