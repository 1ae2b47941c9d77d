#pragma once
// The Read of the recorded log, shared by the window and the command-line tool: status, the
// fastest rate the logger takes, only the sectors that are new since the last download (verified),
// the record filter, data.log and its archive copy, and on every way out the logger's own rate and
// the receiver's restart. Until a download is complete and written, data.log stays as it was.
//
// Thread contract: runs on the caller's thread, which owns the port for its whole length (the
// caller keeps the NMEA reader stopped). The observer's calls come on that thread; `stop` may be
// set from any thread and is honoured before each range.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "link/command_result.h"

namespace pelmora {

class DatalogDevice;
struct LogStatus;

inline constexpr std::uint8_t kRateAttribute = 2;
inline constexpr std::uint32_t kSectorsPerRange = 16;
// The rates a Read tries, fastest first; 57600 is the one every logger takes.
inline constexpr int kDownloadRates[] = {230400, 115200, 57600};

// Outcomes of DownloadLog.
enum class DownloadOutcome : std::uint8_t {
    Done,          // data.log written
    GaveUp,        // a range failed thirty times
    Stopped,       // stopped on request: nothing written
    StatusFailed,  // the log-status query failed (see status)
    DeviceError,   // the logger reports no sectors
    WriteFailed,   // data.log could not be written (errno kept)
    LineDead,      // nothing usable arrived for the dead-line limit
    Disconnected,  // the line went away
};
// "The Read gave up after thirty attempts of a range", ... (Done: "read successful...").
std::string_view OutcomeText(DownloadOutcome outcome);

inline constexpr const char* kLineReadSuccessful = "read successful...";
inline constexpr const char* kLineReadFail = "read fail...";
inline constexpr const char* kLinePreviousKept = "The previous download was kept...";
inline constexpr const char* kLineStoppedAnswering = "The logger stopped answering...";

struct DownloadProgress {
    std::uint64_t done = 0;   // bytes received
    std::uint64_t total = 0;  // bytes this Read asks for
    double bytesPerSecond = 0;
    double secondsLeft = -1;  // unknown until bytes have arrived
    int Percent() const;
};
// "1.2 of 4.0 MB, 22.4 kB/s, 2 min 05 s left"
std::string ProgressText(const DownloadProgress& progress);

class DownloadObserver {
  public:
    virtual ~DownloadObserver() = default;
    // The transfer begins (again, with a larger total, when an incremental Read turns full).
    virtual void ReadProgress(const DownloadProgress& /*progress*/) {}
    // The logger reports no sectors: "The device has errors. Reset to factory default ?"
    // True sends the factory reset. Blocking is fine: the download waits for the answer.
    virtual bool ConfirmFactoryReset() { return false; }
    // Lines for the status log: the rate used, "read successful..." or "read fail...".
    virtual void StatusLine(const std::string& /*line*/) {}
};

struct DownloadRequest {
    std::string dataFolder;  // data.log, data.log.sectors, downloads/
    int rate = 0;            // 0: the fastest the logger takes; else only this rate
    bool full = false;       // read every sector even when the last download still matches
    std::chrono::milliseconds settleWait{100};  // before and after switching back
    // The archive copy's name; the system clock when empty.
    std::function<std::time_t()> clock;
};

struct [[nodiscard]] DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Done;
    CommandResult status = CommandResult::Done;  // the log-status query's own result
    std::uint32_t sectors = 0;
    std::size_t bytes = 0;  // bytes written to data.log
    int error = 0;          // errno when data.log could not be written
    int rate = 0;           // the rate the sectors were read at
    bool incremental = false;
    std::uint64_t transferred = 0;  // data bytes that crossed the line
    std::string archivePath;        // empty when the archive copy failed
    bool factoryResetSent = false;
    CommandResult factoryReset = CommandResult::Done;  // its answer when sent
};

DownloadResult DownloadLog(DatalogDevice& device, const DownloadRequest& request,
                           DownloadObserver& observer, const std::atomic<bool>& stop);

// True when the logger, whose log occupies usedLogBytes, holds log bytes that no completed
// download of this folder has: the question before Clear.
bool HoldsUndownloadedData(const std::string& dataFolder, std::uint64_t usedLogBytes);
inline constexpr const char* kAskClearUndownloaded =
    "The logger holds data that has not been downloaded. Clear anyway?";

}  // namespace pelmora
