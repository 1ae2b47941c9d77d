#pragma once
// The trace summary: the period and the mileage of TraceLog.ltp, with the texts that the window
// and the command line show. Damaged records never stop it.
#include <cstdint>
#include <string>

#include "core/time_value.h"
#include "core/zone_rules.h"
#include "decode/mileage.h"

namespace pelmora {

enum class TraceSummaryStatus {
    OpenFailed,  // "Open trace log file failed!"
    NoData,      // "No log data!": an empty file
    NoStopData,  // "No stop log data!": fewer than two whole records
    Ok,
};

struct TraceSummary {
    TraceSummaryStatus status = TraceSummaryStatus::OpenFailed;
    // Ok: the four summary lines joined with "\n"; otherwise the message above.
    std::string message;
    // Begin and end label texts ("%Y/%m/%d %H"); "0" after an open failure, empty when the
    // labels keep their previous texts.
    std::string beginLabel;
    std::string endLabel;
    TimeValue begin = 0;  // first fix, local time in the zone
    TimeValue end = 0;    // last fix, local time in the zone
    TimeValue beginUtc = 0;
    TimeValue endUtc = 0;
    TimeSpan span = 0;   // endUtc - beginUtc: a clock change never stretches it
    double mileage = 0;  // metres along the fixes
    std::size_t records = 0;
    bool ok() const { return status == TraceSummaryStatus::Ok; }
};

// The summary worked out one fix at a time, from the 22 bytes of each fix as the trace file holds
// them: the decoder feeds it while it writes the trace, ScanTraceLog while it reads one back, and
// both give the same summary.
class TraceSummaryBuilder {
  public:
    void Add(const std::uint8_t* fix);
    // The same from the fields the decoder has just packed, without reading them back.
    void Add(std::uint16_t dateWord, std::uint16_t halfSeconds, std::int32_t x, std::int32_t y,
             std::int32_t z);
    // traceBytes: the file's size (a partial fix at its end counts for "No log data!" only).
    // zone: gives the local times and their labels ("(UTC)", "(GMT+8:00)") by the offset in
    // force at each.
    TraceSummary Finish(std::uint64_t traceBytes, const ZoneRules& zone, int speedUnit);

  private:
    std::size_t records_ = 0;
    int previousSecond_ = 60;  // the first fix never matches
    // The time words of the first and the last fix; the last one's second is previousSecond_.
    std::uint16_t firstDate_ = 0, firstHalfSeconds_ = 0;
    std::uint16_t lastDate_ = 0, lastHalfSeconds_ = 0;
    MileageWalk mileage_;
};

// speedUnit: 2 (MPH) gives the mileage in miles, any other value in kilometres.
TraceSummary ScanTraceLog(const std::string& tracePath, const ZoneRules& zone, int speedUnit);

}  // namespace pelmora
