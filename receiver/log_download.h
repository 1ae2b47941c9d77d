#pragma once
// The download of the recorded log, shared by the window and the command-line tool: status,
// switch to 57600 bit/s, ranges of 16 sectors with retries, the record filter, the way back to the
// configured rate and the receiver's restart; "data.log" appears only when the whole log arrived.
//
// Thread contract: runs on the caller's thread, which owns the port for its whole length (the
// caller keeps the NMEA reader stopped). The observer's calls come on that thread; `stop` may be
// set from any thread and is honoured before each range.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace pelmora {

class DatalogDevice;

inline constexpr int kDownloadRate = 57600;
inline constexpr std::uint8_t kRateAttribute = 2;
inline constexpr std::uint32_t kSectorsPerRange = 16;

// Outcomes of DownloadLog.
inline constexpr int kDownloadDone = 0;      // data.log written
inline constexpr int kDownloadGaveUp = 9;    // a range failed thirty times ("Target Timeout...")
inline constexpr int kDownloadStopped = 99;  // Stop before a range: nothing written
inline constexpr int kDownloadStatusFailed = 10;  // the log-status query failed (see statusCode)
inline constexpr int kDownloadDeviceError = 11;   // the logger reports 0 sectors
inline constexpr int kDownloadWriteFailed = 12;   // data.log could not be written (errno kept)

class DownloadObserver {
  public:
    virtual ~DownloadObserver() = default;
    // The log status arrived: sectors to read and the bytes the log occupies.
    virtual void DownloadStarted(std::uint32_t /*sectors*/, std::uint64_t /*usedLogBytes*/) {}
    // After every chunk: bytes received so far and bytes x 100 / used log bytes (0..100).
    virtual void ReadProgress(std::uint64_t /*bytesRead*/, int /*percent*/) {}
    // The logger reports no sectors: "The device have errors. Reset to factory default ?"
    // True sends the factory reset. Blocking is fine: the download waits for the answer.
    virtual bool ConfirmFactoryReset() { return false; }
    // "read successful..." or "read fail...", once the ranged read has ended.
    virtual void StatusLine(const std::string& /*line*/) {}
};

struct DownloadRequest {
    std::string rawLogPath;  // data.log: replaced only on success
    // TraceLog.ltp: deleted first, as its log is being replaced; may be empty.
    std::string traceLogPath;
    // Waits of the sequence; tests shorten them.
    std::chrono::milliseconds rateSwitchWait{2000};
    std::chrono::milliseconds settleWait{100};
};

struct DownloadResult {
    int code = kDownloadDone;
    int statusCode = 1;  // the log-status query's own code (1, or 0/2/9 when it failed)
    std::uint32_t sectors = 0;
    std::size_t bytes = 0;  // bytes written to data.log
    int error = 0;          // errno when data.log could not be written
    bool factoryResetSent = false;
    int factoryResetCode = 0;  // its ACK-wait code when sent
};

DownloadResult DownloadLog(DatalogDevice& device, const DownloadRequest& request,
                           DownloadObserver& observer, const std::atomic<bool>& stop);

// bytes x 100 / used log bytes, in 64 bits, at most 100; 0 when the log is empty.
int DownloadPercent(std::uint64_t bytesRead, std::uint64_t usedLogBytes);

}  // namespace pelmora
