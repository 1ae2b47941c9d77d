#include "trace/trace_summary.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "settings/conversion_settings.h"
#include "trace/geodesy.h"
#include "trace/trace_fix.h"

namespace pelmora {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

constexpr std::size_t kRecordsPerRead = 4096;

TraceSummary WithStatus(TraceSummaryStatus status, const char* message) {
    TraceSummary s;
    s.status = status;
    s.message = message;
    return s;
}

std::string MileageText(double metres, int speedUnit) {
    char buf[64];
    if (speedUnit == UnitMph) {
        std::snprintf(buf, sizeof buf, "Total mileage: %.3f Mile", metres / 1609);
    } else {
        std::snprintf(buf, sizeof buf, "Total mileage: %.3f KM", metres / 1000);
    }
    return buf;
}

}  // namespace

TraceSummary ScanTraceLog(const std::string& tracePath, const ZoneRules& zone, int speedUnit) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(tracePath.c_str(), "rb"));
    if (!file) {
        TraceSummary s = WithStatus(TraceSummaryStatus::OpenFailed, kOpenTraceFailed);
        s.beginLabel = "0";
        s.endLabel = "0";
        return s;
    }
    std::vector<std::uint8_t> buffer(kRecordsPerRead * kTraceFixSize);
    std::size_t bytesRead = 0;
    std::size_t records = 0;
    int previousSecond = 60;  // the first record never matches
    double previousLat = 0, previousLon = 0;
    TimeValue begin = 0, end = 0;
    double mileage = 0;
    std::size_t carry = 0;
    for (;;) {
        const std::size_t n =
            std::fread(buffer.data() + carry, 1, buffer.size() - carry, file.get());
        bytesRead += n;
        const std::size_t have = carry + n;
        std::size_t pos = 0;
        for (; pos + kTraceFixSize <= have; pos += kTraceFixSize) {
            const std::uint8_t* r = buffer.data() + pos;
            const TraceFixDateTime f = DecodeTraceFixDateTime(r);
            // The trace keeps 2-second steps: a repeated second moves one on.
            int second = f.second;
            if (second == previousSecond) {
                ++second;
            }
            previousSecond = second;
            // Damaged fields are normalised, never rejected: the summary has no validity check.
            const TimeValue t = MakeTimeValue(f.year, f.month, f.day, f.hour, f.minute, second);
            const Geodetic g = EcefToGeodetic(ReadLe32(r + 4), ReadLe32(r + 8), ReadLe32(r + 12));
            const double lat = g.latitudeRad * kDegreesPerRadian;
            const double lon = g.longitudeRad * kDegreesPerRadian;
            if (records == 0) {
                begin = t;
            } else {
                end = t;
                mileage += GreatCircleDistance(previousLat, previousLon, lat, lon);
            }
            previousLat = lat;
            previousLon = lon;
            ++records;
        }
        carry = have - pos;
        if (carry > 0 && pos > 0) {
            std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(pos),
                      buffer.begin() + static_cast<std::ptrdiff_t>(have), buffer.begin());
        }
        if (n == 0) {
            break;
        }
    }
    if (bytesRead == 0) {
        return WithStatus(TraceSummaryStatus::NoData, kNoLogData);
    }
    if (records < 2) {
        TraceSummary s = WithStatus(TraceSummaryStatus::NoStopData, kNoStopLogData);
        s.records = records;
        return s;
    }
    TraceSummary s;
    s.status = TraceSummaryStatus::Ok;
    s.records = records;
    s.beginUtc = begin;
    s.endUtc = end;
    s.begin = zone.ToLocal(begin);
    s.end = zone.ToLocal(end);
    s.span = end - begin;
    s.mileage = mileage;
    s.beginLabel = FormatTime(s.begin, "%Y/%m/%d %H");
    s.endLabel = FormatTime(s.end, "%Y/%m/%d %H");
    s.message = "Begin" + FormatTime(s.begin, ": %Y-%m-%d %H:%M:%S") + " " + zone.LabelAt(begin) +
                "\n" + "End" + FormatTime(s.end, ": %Y-%m-%d %H:%M:%S") + " " + zone.LabelAt(end) +
                "\n" +
                FormatSpan(s.span, "Total time: %D day %H hour %M min %S sec") + "\n" +
                MileageText(mileage, speedUnit);
    return s;
}

}  // namespace pelmora
