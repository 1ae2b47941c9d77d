#pragma once
// The fixes as NMEA 0183 sentences: GGA and RMC per fix, or the ID text and RMC per fix.
#include <string>
#include <string_view>
#include <vector>

#include "convert/convert_observer.h"
#include "convert/convert_point.h"
#include "convert/convert_text.h"
#include "core/time_value.h"

namespace pelmora {

enum class NmeaSentence { Gga, Rmc };
enum class NmeaKind { Plain = 4, WithId = 16 };

// "ddmm.mmmm" and "dddmm.mmmm" of the absolute value, zero-padded after the degrees.
std::string FormatNmeaLatitude(double latitude);
std::string FormatNmeaLongitude(double longitude);

// One sentence with its checksum and CR LF. speedKmh becomes knots whatever the display unit.
// GGA: height is field 9 (above the sea, or the ellipsoid), geoid the separation N of field 11.
std::string FormatNmeaSentence(NmeaSentence kind, TimeValue utc, double latitude, double longitude,
                               double height, double speedKmh, int bearing, double geoid = 0);

// False when progress asked to stop.
bool WriteNmea(const std::vector<TrackPoint>& points, NmeaKind kind, std::string_view idText,
               TextSink& out, ConvertProgress* progress);

}  // namespace pelmora
