#pragma once
// The photo's own clock as its EXIF tags give it: DateTimeOriginal "YYYY:MM:DD HH:MM:SS",
// SubSecTimeOriginal (decimal digits of the second) and OffsetTimeOriginal ("+02:00").
#include <cstdint>
#include <optional>
#include <string>

#include "core/time_value.h"
#include "core/zone_rules.h"

namespace pelmora {

struct CameraTime {
    TimeValue local = 0;               // the camera's calendar fields, whole seconds
    int millis = 0;                    // from SubSecTimeOriginal
    std::optional<int> offsetSeconds;  // east of UTC, from OffsetTimeOriginal
};

// False for anything but a full, valid "YYYY:MM:DD HH:MM:SS" (a camera's "0000:00:00 00:00:00"
// or blanks mean no time).
bool ParseExifDateTime(const std::string& text, TimeValue& out);
// The first three digits as milliseconds ("5" is 500); 0 for no digits.
int ParseSubSeconds(const std::string& text);
// "+HH:MM" or "-HH:MM" within a day; nullopt otherwise (also for blanks).
std::optional<int> ParseExifOffset(const std::string& text);

// The photo's instant in UTC milliseconds: the camera's time plus offsetMillis (its clock's
// error), in the photo's own zone when it has one, else in zone.
std::int64_t PhotoUtcMillis(const CameraTime& camera, std::int64_t offsetMillis,
                            const ZoneRules& zone);

// "2026-12-08 14:03:22.500" (milliseconds only when not zero), for lines and tables.
std::string FormatMillis(std::int64_t millis);
// "+02:00".
std::string FormatOffset(int seconds);

}  // namespace pelmora
