#include "convert/nmea_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace pelmora {
namespace {

// Degrees and minutes of |value| with the minutes rounded to the 4 decimals that are printed:
// rounding 59.99996' up must carry into the degrees, never print minute 60.
void SplitDegrees(double value, int& degrees, char* minutes, std::size_t capacity,
                  std::size_t& length) {
    const double a = std::fabs(value);
    double whole = std::floor(a);
    double m = (a - whole) * 60;
    length = FormatFixed(minutes, capacity, m, 4);
    if (m >= 59.99995) {
        whole += 1;
        m = 0;
        length = FormatFixed(minutes, capacity, m, 4);
    }
    degrees = static_cast<int>(whole);
}

std::size_t PutCoordinate(char* out, double value, int degreeDigits) {
    int degrees = 0;
    char minutes[64];
    std::size_t mlen = 0;
    SplitDegrees(value, degrees, minutes, sizeof minutes, mlen);
    // Equivalent to "%02d%.04f" (or "%03d") with "0" inserted after the degrees until the
    // text is 9 (or 10) characters long. Degrees of a geodetic position stay below 1000.
    degrees = degrees > 999 ? 999 : degrees;
    std::size_t n = 0;
    if (degreeDigits > 2 || degrees > 99) {
        out[n++] = static_cast<char>('0' + degrees / 100);
    }
    out[n++] = static_cast<char>('0' + degrees / 10 % 10);
    out[n++] = static_cast<char>('0' + degrees % 10);
    for (std::size_t pad = mlen; pad < 7; ++pad) {
        out[n++] = '0';
    }
    std::memcpy(out + n, minutes, mlen);
    return n + mlen;
}

std::size_t AppendTwo(char* p, int v) {
    p[0] = static_cast<char>('0' + (v / 10) % 10);
    p[1] = static_cast<char>('0' + v % 10);
    return 2;
}

constexpr char kHex[] = "0123456789ABCDEF";

// Builds one sentence into buf (at least 160 bytes); returns its length.
std::size_t BuildSentence(char* buf, NmeaSentence kind, const CalendarFields& f, double latitude,
                          double longitude, double height, double geoid, double speedKmh,
                          int bearing) {
    std::size_t n = 0;
    auto put = [&](const char* s, std::size_t len) {
        std::memcpy(buf + n, s, len);
        n += len;
    };
    put(kind == NmeaSentence::Gga ? "$GPGGA," : "$GPRMC,", 7);
    n += AppendTwo(buf + n, f.hour);
    n += AppendTwo(buf + n, f.minute);
    n += AppendTwo(buf + n, f.second);
    put(".00,", 4);
    if (kind == NmeaSentence::Rmc) {
        put("A,", 2);
    }
    n += PutCoordinate(buf + n, latitude, 2);
    put(latitude >= 0 ? ",N," : ",S,", 3);
    n += PutCoordinate(buf + n, longitude, 3);
    put(longitude >= 0 ? ",E," : ",W,", 3);
    if (kind == NmeaSentence::Gga) {
        put("1,10,1.0,", 9);
        // The reference output prints the height after a float round trip.
        n += FormatFixed(buf + n, 48, static_cast<double>(static_cast<float>(height)), 1);
        // Field 11, the geoid's separation: field 9 plus it is the height above the ellipsoid
        // (0.0 when field 9 already is that height).
        put(",M,", 3);
        n += FormatFixed(buf + n, 48, geoid, 1);
        put(",M,,", 4);
    } else {
        // Knots from the km/h speed with the reference program's km/h factors.
        char speed[48];
        const std::size_t slen = FormatFixed(speed, sizeof speed, speedKmh / 3.6 / 0.5144444, 1);
        for (std::size_t pad = slen; pad < 5; ++pad) {
            buf[n++] = '0';
        }
        put(speed, slen);
        buf[n++] = ',';
        if (bearing >= 0 && bearing <= 999) {
            buf[n++] = static_cast<char>('0' + bearing / 100);
            n += AppendTwo(buf + n, bearing % 100);
        } else {
            n += static_cast<std::size_t>(std::snprintf(buf + n, 16, "%03d", bearing));
        }
        put(".0,", 3);
        n += AppendTwo(buf + n, f.day);
        n += AppendTwo(buf + n, f.month);
        n += AppendTwo(buf + n, ((f.year % 100) + 100) % 100);
        put(",,,A", 4);
    }
    unsigned char sum = 0;
    for (std::size_t i = 1; i < n; ++i) {
        sum = static_cast<unsigned char>(sum ^ static_cast<unsigned char>(buf[i]));
    }
    buf[n++] = '*';
    buf[n++] = kHex[sum >> 4];
    buf[n++] = kHex[sum & 0xF];
    buf[n++] = '\r';
    buf[n++] = '\n';
    return n;
}

constexpr std::size_t kSentenceRoom = 256;

}  // namespace

std::string FormatNmeaLatitude(double latitude) {
    char buf[64];
    return std::string(buf, PutCoordinate(buf, latitude, 2));
}

std::string FormatNmeaLongitude(double longitude) {
    char buf[64];
    return std::string(buf, PutCoordinate(buf, longitude, 3));
}

std::string FormatNmeaSentence(NmeaSentence kind, TimeValue utc, double latitude, double longitude,
                               double height, double speedKmh, int bearing, double geoid) {
    char buf[kSentenceRoom];
    return std::string(buf, BuildSentence(buf, kind, BreakTimeValue(utc), latitude, longitude,
                                          height, geoid, speedKmh, bearing));
}

bool WriteNmea(const std::vector<TrackPoint>& points, NmeaKind kind, std::string_view idText,
               TextSink& out, ConvertProgress* progress) {
    char buf[kSentenceRoom];
    const std::size_t n = points.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TrackPoint& p = points[i];
        const CalendarFields f = BreakTimeValue(p.time);
        if (kind == NmeaKind::Plain) {
            out.PutRaw({buf, BuildSentence(buf, NmeaSentence::Gga, f, p.latitude, p.longitude,
                                           p.height, p.geoid, p.speed, p.bearing)});
        } else {
            out.PutRaw(idText);
        }
        out.PutRaw({buf, BuildSentence(buf, NmeaSentence::Rmc, f, p.latitude, p.longitude, p.height,
                                       p.geoid, p.speed, p.bearing)});
        if (progress != nullptr) {
            progress->SetWriter(i + 1, n);
            if ((i & 0xFFF) == 0 && progress->StopRequested()) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace pelmora
