#include "sim/nmea_source.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>

namespace pelmora::sim {
namespace {

std::string Format(const char* pattern, auto... args) {
    char buffer[160];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
    if (n <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<std::size_t>(std::min(n, int{sizeof buffer} - 1)));
}

// ddmm.mmmm / dddmm.mmmm with the hemisphere letter.
std::string Angle(double degrees, bool latitude) {
    const char hemisphere = latitude ? (degrees < 0 ? 'S' : 'N') : (degrees < 0 ? 'W' : 'E');
    const double a = std::fabs(degrees);
    const int whole = static_cast<int>(a);
    const double minutes = (a - whole) * 60.0;
    return Format(latitude ? "%02d%07.4f,%c" : "%03d%07.4f,%c", whole, minutes, hemisphere);
}

}  // namespace

std::string NmeaChecksum(const std::string& body) {
    unsigned x = 0;
    for (const char c : body) {
        x ^= static_cast<unsigned char>(c);
    }
    return Format("*%02X", x & 0xFFu);
}

std::string NmeaSentence(const std::string& body) {
    return "$" + body + NmeaChecksum(body) + "\r\n";
}

std::string NmeaSource::Burst(std::int64_t utcSeconds) {
    const std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    // A loop of about 1.2 km radius, one lap in ten minutes.
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(utcSeconds % 600) / 600.0;
    const double lat = 25.0330 + 0.011 * std::sin(phase);
    const double lon = 121.5654 + 0.012 * std::cos(phase);
    const double speedKmh = 45.0 + 5.0 * std::sin(3.0 * phase);
    // Counter-clockwise as seen from above: the course turns with the phase.
    const double course = std::fmod(360.0 - phase * 180.0 / std::numbers::pi, 360.0);
    const std::string time = Format("%02d%02d%02d.000", tm.tm_hour, tm.tm_min, tm.tm_sec);
    const std::string date =
        Format("%02d%02d%02d", tm.tm_mday, tm.tm_mon + 1, (tm.tm_year + 1900) % 100);
    const std::string latText = Angle(lat, true);
    const std::string lonText = Angle(lon, false);

    std::string out;
    out += NmeaSentence("GPGGA," + time + "," + latText + "," + lonText +
                        ",1,08,0.9,38.4,M,16.2,M,,0000");
    out += NmeaSentence("GPGSA,A,3,02,05,07,10,13,16,21,26,,,,,1.6,0.9,1.3");
    out += NmeaSentence("GPRMC," + time + ",A," + latText + "," + lonText + "," +
                        Format("%.2f,%.2f,", speedKmh / 1.852, course) + date + ",,,A");
    out += NmeaSentence("GPVTG," +
                        Format("%.2f,T,,M,%.2f,N,%.2f,K,A", course, speedKmh / 1.852, speedKmh));
    if (count_ % 5 == 0) {
        out += NmeaSentence("GPGSV,2,1,08,02,67,312,45,05,41,048,42,07,22,201,38,10,55,133,44");
        out += NmeaSentence("GPGSV,2,2,08,13,18,273,35,16,30,087,40,21,12,165,31,26,48,004,43");
    }
    ++count_;
    return out;
}

std::vector<std::uint8_t> NmeaSource::Garble(const std::uint8_t* bytes, std::size_t count) {
    std::vector<std::uint8_t> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        noise_ ^= noise_ << 13;
        noise_ ^= noise_ >> 7;
        noise_ ^= noise_ << 17;
        // Framing errors at a mismatched rate leave mostly high bits set; the sent byte still
        // shapes what is seen.
        auto b = static_cast<std::uint8_t>((noise_ >> 32) ^ bytes[i]);
        b |= 0x80;
        if (b == 0xA0) {
            b = 0xE0;
        }
        out.push_back(b);
    }
    return out;
}

}  // namespace pelmora::sim
