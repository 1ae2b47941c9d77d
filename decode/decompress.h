#pragma once
// The decompression run: the raw log (data.log) into the trace file (TraceLog.ltp), one TraceFix
// per raw record. No globals: runs on any thread, one run per call.
#include <cstdint>
#include <optional>
#include <string>

#include "core/progress_sink.h"
#include "core/time_value.h"
#include "decode/trace_summary.h"

namespace pelmora {

enum class DecompressStatus {
    Ok,
    // No raw log (systemError ENOENT after a Read whose status query failed and which had
    // already deleted it): nothing is written and the old trace is untouched.
    OpenRawFailed,
    ReadRawFailed,
    CreateTraceFailed,
    WriteTraceFailed,
    BadRecord,  // a record of no known kind: the fixes before it are kept
    NoFix,      // "No log data!": not a single fix, so the old trace is kept
};

struct DecompressOptions {
    // The clock that resolves the GPS week rollover; the system clock when empty.
    std::optional<TimeValue> nowUtc;
    // Fed every fix as it is written, so the summary needs no second pass over the trace.
    TraceSummaryBuilder* summary = nullptr;
};

struct DecompressResult {
    DecompressStatus status = DecompressStatus::Ok;
    // "Decompress is completed..." on success, else the text to show the user.
    std::string message;
    int systemError = 0;  // errno of a failed open, read or write
    std::size_t fixes = 0;
    std::size_t fullRecords = 0;
    std::size_t compactRecords = 0;
    std::uint64_t badRecordOffset = 0;  // BadRecord: where the unknown kind starts
    std::size_t droppedTailBytes = 0;   // a partial record at the end of the raw log
    bool ok() const { return status == DecompressStatus::Ok; }
};

inline constexpr const char* kDecompressCompleted = "Decompress is completed...";
inline constexpr const char* kDownloadAgain =
    "To double check data, please download log data again.";

// Reads rawPath and replaces tracePath atomically. On BadRecord the trace of the fixes before
// the bad record is written, as the window has always kept them; on any other failure, and when
// no fix at all came out (NoFix, or BadRecord at the first record), the old trace stays as it
// was. A partial record at the end of the raw log is dropped and counted. The trace summary is
// the caller's next step after a successful run: from options.summary, or ScanTraceLog.
DecompressResult DecompressLog(const std::string& rawPath, const std::string& tracePath,
                               const DecompressOptions& options, ProgressSink* progress);

}  // namespace pelmora
