#include "trace/trace_summary.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "settings/conversion_settings.h"
#include "trace/convert_texts.h"
#include "trace/geodesy.h"
#include "trace/trace_fix.h"

namespace pelmora {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

constexpr std::size_t kRecordsPerRead = 4096;
// Positions per block of the mileage: large enough that a thread per block costs nothing.
constexpr std::size_t kBlockPositions = 32768;

std::size_t MaxBlocksInFlight() {
    static const std::size_t n = std::max(1u, std::thread::hardware_concurrency());
    return n;
}

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

// The distance of each step of the block, from its first position to its last.
std::vector<double> TraceSummaryBuilder::Steps(const std::vector<Position>& block) {
    std::vector<double> steps;
    steps.reserve(block.size());
    GreatCirclePath path;
    for (const auto& p : block) {
        const Geodetic g = EcefToLatLon(p.x, p.y, p.z);
        steps.push_back(
            path.Add(g.latitudeRad * kDegreesPerRadian, g.longitudeRad * kDegreesPerRadian));
    }
    if (!steps.empty()) {
        steps.erase(steps.begin());  // the first position only starts the block
    }
    return steps;
}

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
    ++records_;
    if (block_.capacity() == 0) {
        block_.reserve(kBlockPositions + 1);
    }
    block_.push_back({ReadLe32(fix + 4), ReadLe32(fix + 8), ReadLe32(fix + 12)});
    if (block_.size() > kBlockPositions) {
        Dispatch();
    }
}

void TraceSummaryBuilder::Dispatch() {
    if (block_.size() < 2) {
        return;
    }
    const Position carry = block_.back();
    Drain(MaxBlocksInFlight() - 1);
    auto work = std::make_shared<const std::vector<Position>>(std::move(block_));
    if (MaxBlocksInFlight() == 1) {
        Collect(Steps(*work));
    } else {
        try {
            inFlight_.push_back(std::async(std::launch::async, [work] { return Steps(*work); }));
        } catch (const std::system_error&) {
            // No thread to be had: work it out here, after the blocks before it.
            Drain(0);
            Collect(Steps(*work));
        }
    }
    block_.clear();
    block_.reserve(kBlockPositions + 1);
    block_.push_back(carry);
}

void TraceSummaryBuilder::Drain(std::size_t keep) {
    while (inFlight_.size() > keep) {
        Collect(inFlight_.front().get());
        inFlight_.pop_front();
    }
}

void TraceSummaryBuilder::Collect(const std::vector<double>& steps) {
    // In order, one step at a time: the sum the sequential walk gives.
    for (const double d : steps) {
        metres_ += d;
    }
}

TraceSummary TraceSummaryBuilder::Finish(std::uint64_t traceBytes, const ZoneRules& zone,
                                         int speedUnit) {
    Dispatch();
    Drain(0);
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
    s.beginUtc = time(first_, DecodeTraceFixDateTime(first_).second);
    s.endUtc = time(last_, previousSecond_);
    s.begin = zone.ToLocal(s.beginUtc);
    s.end = zone.ToLocal(s.endUtc);
    s.span = s.endUtc - s.beginUtc;
    s.mileage = metres_;
    s.beginLabel = FormatTime(s.begin, "%Y/%m/%d %H");
    s.endLabel = FormatTime(s.end, "%Y/%m/%d %H");
    s.message = "Begin" + FormatTime(s.begin, ": %Y-%m-%d %H:%M:%S") + " " +
                zone.LabelAt(s.beginUtc) + "\n" + "End" + FormatTime(s.end, ": %Y-%m-%d %H:%M:%S") +
                " " + zone.LabelAt(s.endUtc) + "\n" + FormatSpan(s.span, convert_text::kTotalTime) +
                "\n" + MileageText(s.mileage, speedUnit);
    return s;
}

TraceSummary ScanTraceLog(const std::string& tracePath, const ZoneRules& zone, int speedUnit) {
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
    return summary.Finish(bytesRead, zone, speedUnit);
}

}  // namespace pelmora
