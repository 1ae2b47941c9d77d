#pragma once
// The trace summary: the period and the mileage of TraceLog.ltp, with the texts that the window
// and the command line show. Damaged records never stop it.
#include <cstdint>
#include <string>

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
    TimeValue begin = 0;  // first fix + zoneOffset (local)
    TimeValue end = 0;    // last fix + zoneOffset (local)
    TimeSpan span = 0;
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
class TraceSummaryBuilder {
  public:
    void Add(const std::uint8_t* fix);
    // traceBytes: the file's size (a partial fix at its end counts for "No log data!" only).
    TraceSummary Finish(std::uint64_t traceBytes, std::int64_t zoneOffset,
                        const std::string& gmtLabel, int speedUnit) const;

  private:
    std::size_t records_ = 0;
    int previousSecond_ = 60;  // the first fix never matches
    std::uint8_t first_[4] = {};
    std::uint8_t last_[4] = {};  // time words of the last fix; its second is previousSecond_
    GreatCirclePath path_;
};

// zoneOffset: seconds added to UTC fix times; gmtLabel: "(UTC)", "(GMT+8:00)", ...;
// speedUnit: 2 (MPH) gives the mileage in miles, any other value in kilometres.
TraceSummary ScanTraceLog(const std::string& tracePath, std::int64_t zoneOffset,
                          const std::string& gmtLabel, int speedUnit);

}  // namespace pelmora
