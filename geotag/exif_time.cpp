#include "geotag/exif_time.h"

#include <cctype>
#include <cstdio>

namespace pelmora {
namespace {

bool Digits(const std::string& text, std::size_t at, std::size_t count, int& out) {
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

bool ParseExifDateTime(const std::string& text, TimeValue& out) {
    // Some writers end the value with a NUL or blanks that the tag's count keeps.
    if (text.size() < 19) {
        return false;
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text[4] != ':' || !Digits(text, 5, 2, month) ||
        text[7] != ':' || !Digits(text, 8, 2, day) || text[10] != ' ' ||
        !Digits(text, 11, 2, hour) || text[13] != ':' || !Digits(text, 14, 2, minute) ||
        text[16] != ':' || !Digits(text, 17, 2, second)) {
        return false;
    }
    for (std::size_t i = 19; i < text.size(); ++i) {
        if (text[i] != '\0' && text[i] != ' ') {
            return false;
        }
    }
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60) {
        return false;
    }
    const TimeValue t = MakeTimeValue(year, month, day, hour, minute, second);
    // 31 February comes back as 3 March: not a date the camera wrote.
    if (BreakTimeValue(t).day != day && second != 60) {
        return false;
    }
    out = t;
    return true;
}

int ParseSubSeconds(const std::string& text) {
    int millis = 0;
    int scale = 100;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || scale == 0) {
            break;
        }
        millis += (c - '0') * scale;
        scale /= 10;
    }
    return millis;
}

std::optional<int> ParseExifOffset(const std::string& text) {
    int hours = 0, minutes = 0;
    if (text.size() < 6 || (text[0] != '+' && text[0] != '-') || !Digits(text, 1, 2, hours) ||
        text[3] != ':' || !Digits(text, 4, 2, minutes) || hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    const int seconds = hours * 3600 + minutes * 60;
    return text[0] == '-' ? -seconds : seconds;
}

std::int64_t PhotoUtcMillis(const CameraTime& camera, std::int64_t offsetMillis,
                            const ZoneRules& zone) {
    const std::int64_t localMillis = camera.local * 1000 + camera.millis + offsetMillis;
    const std::int64_t seconds = FloorDiv(localMillis, 1000);
    const std::int64_t rest = localMillis - seconds * 1000;
    const std::int64_t utc =
        camera.offsetSeconds ? seconds - *camera.offsetSeconds : zone.ToUtc(seconds);
    return utc * 1000 + rest;
}

std::string FormatMillis(std::int64_t millis) {
    const std::int64_t seconds = FloorDiv(millis, 1000);
    const int rest = static_cast<int>(millis - seconds * 1000);
    std::string text = FormatTime(seconds, "%Y-%m-%d %H:%M:%S");
    if (rest != 0) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, ".%03d", rest);
        text += buffer;
    }
    return text;
}

std::string FormatOffset(int seconds) {
    const int magnitude = seconds < 0 ? -seconds : seconds;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%c%02d:%02d", seconds < 0 ? '-' : '+', magnitude / 3600,
                  magnitude / 60 % 60);
    return buffer;
}

}  // namespace pelmora
