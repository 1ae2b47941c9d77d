#include "decode/trace_summary.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/conversion_settings.h"
#include "core/convert_texts.h"
#include "core/regular_file.h"
#include "decode/trace_fix.h"

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
        std::snprintf(buf, sizeof buf, convert_text::kTotalMileageMile, metres / 1609);
    } else {
        std::snprintf(buf, sizeof buf, convert_text::kTotalMileageKm, metres / 1000);
    }
    return buf;
}

}  // namespace

void TraceSummaryBuilder::Add(const std::uint8_t* fix) {
    Add(ReadLe16(fix), ReadLe16(fix + 2), ReadLe32(fix + 4), ReadLe32(fix + 8), ReadLe32(fix + 12));
}

void TraceSummaryBuilder::Add(std::uint16_t dateWord, std::uint16_t halfSeconds, std::int32_t x,
                              std::int32_t y, std::int32_t z) {
    // The time words hold half seconds of the day; only the second of the minute is needed per
    // fix, for the rule below. The whole date is worked out for the first and last fix only.
    // The trace keeps 2-second steps: a second fix of a slot, and every further one, moves one
    // on, so that the end never runs back (t, t+1, t+1), as the conversion has it.
    int second = (halfSeconds * 2) % 60;
    if (second == previousSecond_ || second + 1 == previousSecond_) {
        ++second;
    }
    previousSecond_ = second;
    if (records_ == 0) {
        firstDate_ = dateWord;
        firstHalfSeconds_ = halfSeconds;
    }
    lastDate_ = dateWord;
    lastHalfSeconds_ = halfSeconds;
    mileage_.Add(x, y, z);
    ++records_;
}

TraceSummary TraceSummaryBuilder::Finish(std::uint64_t traceBytes, const ZoneRules& zone,
                                         int speedUnit) {
    if (traceBytes == 0) {
        return WithStatus(TraceSummaryStatus::NoData, convert_text::kNoLogData);
    }
    if (records_ < 2) {
        TraceSummary s = WithStatus(TraceSummaryStatus::NoStopData, convert_text::kNoStopLogData);
        s.records = records_;
        return s;
    }
    // Damaged fields are normalised, never rejected: the summary has no validity check.
    auto time = [](std::uint16_t dateWord, std::uint16_t halfSeconds, int second) {
        const TraceFixDateTime f = DecodeTraceFixDateTime(dateWord, halfSeconds);
        return MakeTimeValue(f.year, f.month, f.day, f.hour, f.minute, second);
    };
    TraceSummary s;
    s.status = TraceSummaryStatus::Ok;
    s.records = records_;
    s.beginUtc = time(firstDate_, firstHalfSeconds_,
                      DecodeTraceFixDateTime(firstDate_, firstHalfSeconds_).second);
    s.endUtc = time(lastDate_, lastHalfSeconds_, previousSecond_);
    s.begin = zone.ToLocal(s.beginUtc);
    s.end = zone.ToLocal(s.endUtc);
    s.span = s.endUtc - s.beginUtc;
    s.mileage = mileage_.Metres();
    s.beginLabel = FormatTime(s.begin, "%Y/%m/%d %H");
    s.endLabel = FormatTime(s.end, "%Y/%m/%d %H");
    s.message = "Begin" + FormatTime(s.begin, ": %Y-%m-%d %H:%M:%S") + " " +
                zone.LabelAt(s.beginUtc) + "\n" + "End" + FormatTime(s.end, ": %Y-%m-%d %H:%M:%S") +
                " " + zone.LabelAt(s.endUtc) + "\n" + FormatSpan(s.span, convert_text::kTotalTime) +
                "\n" + MileageText(s.mileage, speedUnit);
    return s;
}

TraceSummary ScanTraceLog(const std::string& tracePath, const ZoneRules& zone, int speedUnit) {
    // A FIFO under the trace's name must not block the summary: regular files only.
    const int fd = OpenRegularFile(tracePath);
    std::unique_ptr<std::FILE, FileCloser> file(fd >= 0 ? fdopen(fd, "rb") : nullptr);
    if (!file) {
        if (fd >= 0) {
            close(fd);
        }
        TraceSummary s = WithStatus(TraceSummaryStatus::OpenFailed, convert_text::kOpenTraceFailed);
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
    return summary.Finish(bytesRead, zone, speedUnit);
}

}  // namespace pelmora
