#include "trace/trace_summary.h"

#include <algorithm>
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

void TraceSummaryBuilder::Add(const std::uint8_t* fix) {
    // The time words hold half seconds of the day; only the second of the minute is needed per
    // fix, for the rule below. The whole date is worked out for the first and last fix only.
    const int half = ReadLe16(fix + 2);
    // The trace keeps 2-second steps: a second equal to the previous fix's moves one on.
    int second = (half * 2) % 60;
    if (second == previousSecond_) {
        ++second;
    }
    previousSecond_ = second;
    std::copy(fix, fix + 4, records_ == 0 ? first_ : last_);
    const Geodetic g = EcefToLatLon(ReadLe32(fix + 4), ReadLe32(fix + 8), ReadLe32(fix + 12));
    path_.Add(g.latitudeRad * kDegreesPerRadian, g.longitudeRad * kDegreesPerRadian);
    ++records_;
}

TraceSummary TraceSummaryBuilder::Finish(std::uint64_t traceBytes, std::int64_t zoneOffset,
                                         const std::string& gmtLabel, int speedUnit) const {
    if (traceBytes == 0) {
        return WithStatus(TraceSummaryStatus::NoData, kNoLogData);
    }
    if (records_ < 2) {
        TraceSummary s = WithStatus(TraceSummaryStatus::NoStopData, kNoStopLogData);
        s.records = records_;
        return s;
    }
    // Damaged fields are normalised, never rejected: the summary has no validity check.
    auto time = [](const std::uint8_t* words, int second) {
        const TraceFixDateTime f = DecodeTraceFixDateTime(words);
        return MakeTimeValue(f.year, f.month, f.day, f.hour, f.minute, second);
    };
    TraceSummary s;
    s.status = TraceSummaryStatus::Ok;
    s.records = records_;
    s.begin = time(first_, DecodeTraceFixDateTime(first_).second) + zoneOffset;
    s.end = time(last_, previousSecond_) + zoneOffset;
    s.span = s.end - s.begin;
    s.mileage = path_.Metres();
    s.beginLabel = FormatTime(s.begin, "%Y/%m/%d %H");
    s.endLabel = FormatTime(s.end, "%Y/%m/%d %H");
    s.message = "Begin" + FormatTime(s.begin, ": %Y-%m-%d %H:%M:%S") + " " + gmtLabel + "\n" +
                "End" + FormatTime(s.end, ": %Y-%m-%d %H:%M:%S") + " " + gmtLabel + "\n" +
                FormatSpan(s.span, "Total time: %D day %H hour %M min %S sec") + "\n" +
                MileageText(s.mileage, speedUnit);
    return s;
}

TraceSummary ScanTraceLog(const std::string& tracePath, std::int64_t zoneOffset,
                          const std::string& gmtLabel, int speedUnit) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(tracePath.c_str(), "rb"));
    if (!file) {
        TraceSummary s = WithStatus(TraceSummaryStatus::OpenFailed, kOpenTraceFailed);
        s.beginLabel = "0";
        s.endLabel = "0";
        return s;
    }
    std::vector<std::uint8_t> buffer(kRecordsPerRead * kTraceFixSize);
    std::uint64_t bytesRead = 0;
    TraceSummaryBuilder summary;
    std::size_t carry = 0;
    for (;;) {
        const std::size_t n =
            std::fread(buffer.data() + carry, 1, buffer.size() - carry, file.get());
        bytesRead += n;
        const std::size_t have = carry + n;
        std::size_t pos = 0;
        for (; pos + kTraceFixSize <= have; pos += kTraceFixSize) {
            summary.Add(buffer.data() + pos);
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
    return summary.Finish(bytesRead, zoneOffset, gmtLabel, speedUnit);
}

}  // namespace pelmora
