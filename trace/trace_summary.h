#pragma once
// The trace summary: the period and the mileage of TraceLog.ltp, with the texts that the window
// and the command line show. Damaged records never stop it.
#include <cstdint>
#include <deque>
#include <future>
#include <string>
#include <vector>

#include "settings/zone_rules.h"
#include "trace/geodesy.h"
#include "trace/time_value.h"

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

inline constexpr const char* kOpenTraceFailed = "Open trace log file failed!";
inline constexpr const char* kNoLogData = "No log data!";
inline constexpr const char* kNoStopLogData = "No stop log data!";

// The summary worked out one fix at a time, from the 22 bytes of each fix as the trace file holds
// them: the decoder feeds it while it writes the trace, ScanTraceLog while it reads one back, and
// both give the same summary.
//
// The mileage costs five libm calls a fix, several times the decoding itself, so blocks of
// positions go to worker threads (std::async, as many in flight as the machine has cores) that
// return each step's distance; the steps are summed here in their order, so the total is bit for
// bit the sequential one. Used from one thread.
class TraceSummaryBuilder {
  public:
    TraceSummaryBuilder() = default;
    TraceSummaryBuilder(const TraceSummaryBuilder&) = delete;
    TraceSummaryBuilder& operator=(const TraceSummaryBuilder&) = delete;

    void Add(const std::uint8_t* fix);
    // traceBytes: the file's size (a partial fix at its end counts for "No log data!" only).
    // Waits for the blocks in flight. zone: gives the local times and their labels ("(UTC)",
    // "(GMT+8:00)") by the offset in force at each.
    TraceSummary Finish(std::uint64_t traceBytes, const ZoneRules& zone, int speedUnit);

  private:
    struct Position {
        std::int32_t x, y, z;
    };
    static std::vector<double> Steps(const std::vector<Position>& block);
    void Dispatch();
    // Sums the oldest blocks in flight until at most keep are left.
    void Drain(std::size_t keep);
    void Collect(const std::vector<double>& steps);

    std::size_t records_ = 0;
    int previousSecond_ = 60;  // the first fix never matches
    std::uint8_t first_[4] = {};
    std::uint8_t last_[4] = {};  // time words of the last fix; its second is previousSecond_
    // Positions not yet handed out; after the first block, [0] repeats the last one handed out.
    std::vector<Position> block_;
    std::deque<std::future<std::vector<double>>> inFlight_;
    double metres_ = 0;
};

// speedUnit: 2 (MPH) gives the mileage in miles, any other value in kilometres.
TraceSummary ScanTraceLog(const std::string& tracePath, const ZoneRules& zone, int speedUnit);

}  // namespace pelmora
