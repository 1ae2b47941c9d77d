#pragma once
// The Read of the recorded log, shared by the window and the command-line tool: status, the
// fastest rate the logger takes, only the sectors that are new since the last download (verified),
// the record filter, data.log and its archive copy, and on every way out the logger's own rate
// (checked, and told when it could not be had back) and the receiver's restart. Until a download
// is complete and written, data.log stays as it was; an empty log or an unchanged one writes
// nothing.
//
// Thread contract: runs on the caller's thread, which owns the port for its whole length (the
// caller keeps the NMEA reader stopped). The observer's calls come on that thread; `stop` may be
// set from any thread and is honoured before each range. To stop now, set `stop` and the port's
// cancel (SerialPort::SetCancel(1), DeviceSession::CancelWait): the range in flight ends at once
// and the Read still switches the logger back; the Read clears the cancel itself.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/command_result.h"
#include "link/log_status.h"

namespace pelmora {

class DatalogDevice;

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
    LineDead,      // no well-formed answer for the dead-line limit (silent or garbled line)
    Disconnected,  // the line went away
    EmptyLog,      // the logger holds no log (0 bytes after the record filter): nothing written
};
// "The Read gave up after thirty attempts of a range", ... (Done: "read successful...").
std::string_view OutcomeText(DownloadOutcome outcome);

inline constexpr const char* kLineReadSuccessful = "read successful...";
inline constexpr const char* kLineReadFail = "read fail...";
inline constexpr const char* kLinePreviousKept = "The previous download was kept...";
inline constexpr const char* kLineStoppedAnswering =
    "The logger stopped answering, or the line is garbled...";
inline constexpr const char* kLineEmptyLog = "The logger holds no log: nothing to download.";
inline constexpr const char* kLineNothingNew = "Nothing new on the logger.";
inline constexpr const char* kLineArchivedBefore =
    "The archive already holds this download: nothing archived.";

// Why a Read takes every sector instead of only the new ones; each has its status line.
enum class WholeReadReason : std::uint8_t {
    None,         // only the new sectors were read (or the log fits in the sector being written)
    Asked,        // a full read was asked for (--full, the setting)
    NoEarlier,    // no earlier download in the data folder to go on from
    Cleared,      // the log shrank: cleared since the last download
    Wrapped,      // a circular log overwrote its oldest records since
    OtherLogger,  // a logger with another flash size than at the last download
    Changed,      // the log's start differs: cleared and recorded anew, or another logger
};
// "The log was cleared since the last download: reading the whole log...", ...; empty for None.
std::string_view WholeReadText(WholeReadReason reason);

// "12.3 of 40.9 kB", "18.9 kB of 2.1 MB", "1.5 of 4.0 MB": kB below a tenth of a megabyte.
std::string SizesText(std::uint64_t part, std::uint64_t whole);
// How full the logger is: "The logger is 37.5 % full (0.8 of 2.1 MB).", and from 90 % a second
// line that says what to do. None for a logger that reports no sectors.
std::vector<std::string> FullnessLines(const LogStatus& status);

struct DownloadProgress {
    std::uint64_t done = 0;   // bytes received
    std::uint64_t total = 0;  // bytes this Read asks for
    double bytesPerSecond = 0;
    double secondsLeft = -1;  // unknown until bytes have arrived
    int Percent() const;
};
// "1.2 of 4.0 MB, 22.4 kB/s, 2 min 05 s left" (sizes as SizesText)
std::string ProgressText(const DownloadProgress& progress);

class DownloadObserver {
  public:
    virtual ~DownloadObserver() = default;
    // The transfer begins (again, with a larger total, when an incremental Read turns full).
    virtual void ReadProgress(const DownloadProgress& /*progress*/) {}
    // The logger reports no sectors: "The device has errors. Reset to factory default ?"
    // True sends the factory reset. Blocking is fine: the download waits for the answer.
    virtual bool ConfirmFactoryReset() { return false; }
    // Lines for the status log: the rate used, why the whole log is read, "read successful..." or
    // "read fail...", how full the logger is, a logger left at another rate.
    virtual void StatusLine(const std::string& /*line*/) {}
};

struct DownloadRequest {
    std::string dataFolder;  // data.log, data.log.sectors, downloads/
    int rate = 0;            // 0: the fastest the logger takes; else only this rate
    // With rate 0: the rate this logger was last read at (LoadLoggerRate), tried first; the
    // whole trial runs only when it fails. Its own rate means "it takes none": no trial at all.
    int firstRate = 0;
    bool full = false;  // read every sector even when the last download still matches
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
    bool nothingNew = false;  // incremental, and the log was unchanged: nothing archived
    WholeReadReason wholeRead = WholeReadReason::None;
    std::uint64_t transferred = 0;  // data bytes that crossed the line
    std::string archivePath;        // empty when nothing was archived or the copy failed
    bool factoryResetSent = false;
    CommandResult factoryReset = CommandResult::Done;  // its answer when sent
    // The logger answered at its own rate again after the Read (always so when the Read never
    // left it). When not: leftAtRate is the rate it still answers at, 0 when it answers at
    // neither; a status line has said so and what to do.
    bool rateRestored = true;
    int leftAtRate = 0;
};

DownloadResult DownloadLog(DatalogDevice& device, const DownloadRequest& request,
                           DownloadObserver& observer, const std::atomic<bool>& stop);

// What Clear finds before it clears: whether a Read now would bring anything new, judged by
// content as an incremental Read judges it (sector 0 and the last download's last sector against
// data.log), never by the log's size alone.
struct [[nodiscard]] UndownloadedCheck {
    CommandResult result = CommandResult::Done;  // of the status query and the sector reads
    bool holds = false;                          // the logger holds data not downloaded here
    std::string rateNote;  // set when the logger was not back at its rate afterwards
};
UndownloadedCheck CheckUndownloaded(DatalogDevice& device, const std::string& dataFolder,
                                    int pinnedRate = 0);
inline constexpr const char* kAskClearUndownloaded =
    "The logger holds data that has not been downloaded. Clear anyway?";

}  // namespace pelmora
