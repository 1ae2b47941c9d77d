#pragma once
// Builders shared by the conversion tests.
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/convert_observer.h"
#include "convert/convert_pipeline.h"
#include "convert/convert_point.h"
#include "core/conversion_settings.h"
#include "core/time_value.h"
#include "decode/trace_fix.h"

namespace pelmora::test {

inline ConversionSettings Settings(int biasMinutes = 480, int speedUnit = UnitKmh,
                                   int stopPeriod = 10) {
    ConversionSettings s;
    s.TimeZoneBias = biasMinutes;
    s.ZoneOffset = static_cast<std::int64_t>(biasMinutes) * 60;
    s.GmtLabel = GmtLabelFor(biasMinutes);
    s.Zone = ZoneRules::Fixed(s.ZoneOffset);
    s.SpeedUnit = speedUnit;
    s.SpeedUnitLabel = SpeedUnitText(speedUnit);
    s.StopPeriod = stopPeriod;
    return s;
}

// The whole trace of traceFolder converted into the chosen outputs with the test settings.
inline ConvertRequest WholeTraceRequest(const std::string& traceFolder,
                                        const std::string& outputPath, int conversion) {
    ConvertRequest r;
    r.traceFolder = traceFolder;
    r.outputPath = outputPath;
    r.begin = INT64_MIN;
    r.end = INT64_MAX;
    r.settings = Settings();
    r.settings.Conversion = conversion;
    r.settings.ConversionCount = CountConversions(conversion);
    return r;
}

inline TrackPoint Point(TimeValue utc, double latitude, double longitude, double height = 0,
                        int speedInUnit = 0, std::int64_t zoneOffset = 480 * 60) {
    TrackPoint p;
    p.time = utc;
    p.localTime = utc + zoneOffset;
    p.latitude = latitude;
    p.longitude = longitude;
    p.height = height;
    p.speed = speedInUnit;
    p.speedInUnit = speedInUnit;
    const double lat = latitude / kDegreesPerRadian;
    const double lon = longitude / kDegreesPerRadian;
    p.direction = {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
    return p;
}

// "\n" as CR LF, the line ends of the KML files.
inline std::string Crlf(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// ECEF metres (rounded as the logger stores them) of a geodetic position on WGS-84.
inline void GeodeticToEcef(double latDeg, double lonDeg, double h, std::int32_t& x, std::int32_t& y,
                           std::int32_t& z) {
    const double a = 6378137.0;
    const double e2 = 0.006694379990141317;
    const double lat = latDeg / 57.2957795131;
    const double lon = lonDeg / 57.2957795131;
    const double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    x = static_cast<std::int32_t>(std::lround((n + h) * std::cos(lat) * std::cos(lon)));
    y = static_cast<std::int32_t>(std::lround((n + h) * std::cos(lat) * std::sin(lon)));
    z = static_cast<std::int32_t>(std::lround((n * (1 - e2) + h) * std::sin(lat)));
}

// One TraceFix at the UTC time t.
inline TraceFixBytes Fix(TimeValue t, double latDeg, double lonDeg, double h, int speedKmh) {
    const CalendarFields f = BreakTimeValue(t);
    std::int32_t x = 0, y = 0, z = 0;
    GeodeticToEcef(latDeg, lonDeg, h, x, y, z);
    return EncodeTraceFix(f.year, f.month, f.day, f.hour, f.minute, static_cast<float>(f.second), x,
                          y, z, speedKmh);
}

inline std::string Bytes(const std::vector<TraceFixBytes>& fixes) {
    std::string out;
    for (const TraceFixBytes& f : fixes) {
        out.append(reinterpret_cast<const char*>(f.data()), f.size());
    }
    return out;
}

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pelmora-convert-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

struct RecordingObserver : ConvertObserver {
    void OnProgress(int percent) override { progress.push_back(percent); }
    void OnMessage(std::string_view text, MessageSeverity severity) override {
        messages.emplace_back(text);
        severities.push_back(severity);
    }
    void OnStatus(std::string_view text) override { status = text; }
    std::vector<int> progress;
    std::vector<std::string> messages;
    std::vector<MessageSeverity> severities;
    std::string status;
};

}  // namespace pelmora::test
