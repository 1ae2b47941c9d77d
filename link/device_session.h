#pragma once
// The device side as the device controller sees it: the port, the receiver's reader thread, the
// datalog commands and the download.
//
// Thread contract: Open, Close, the reader's start and stop, the commands and the download are
// called from the device thread only, one at a time. IsOpen, HungUp, LinkAlive, LineKind and
// CancelWait may be called from any thread. The listener's calls come on the reader thread.
#include <atomic>
#include <cstdint>
#include <string>

#include "link/command_result.h"
#include "link/link_error.h"
#include "link/log_download.h"
#include "link/log_status.h"
#include "link/rate_search.h"
#include "link/receiver_protocol.h"

namespace pelmora {

// The minima the user sets; the maxima and the log mode are fixed by the command itself.
struct RecordOptionsCommand {
    int minTime = 0;
    int minDistance = 0;
    int minSpeed = 0;
};

class DeviceSession {
  public:
    virtual ~DeviceSession() = default;

    // Where the reader's lines and a lost line are told; set before the reader starts.
    virtual void SetListener(LinkListener* listener) = 0;

    // The cause when the port cannot be used (fault None on success).
    virtual LinkError Open(const std::string& path, int baudRate) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The line went away under the open port.
    virtual bool HungUp() const = 0;
    // Drops pending input (after the open).
    virtual void ResetBuffers() = 0;
    virtual bool StartReader() = 0;
    virtual bool StopReader() = 0;
    virtual bool LinkAlive() const = 0;
    virtual int LineKind() const = 0;
    // With the reader stopped: looks for a logger that is silent or unreadable at the configured
    // rate at the other rates, and switches it back (FindLogger).
    virtual RateSearchResult FindLoggerRate(int configured, bool heardBefore) = 0;
    // Writes the link record (port and rate) of the last successful connection.
    virtual void RecordLink(const std::string& path, int baudRate) = 0;

    virtual CommandResult QueryDeviceId(std::string& id) = 0;
    virtual CommandResult QueryLogStatus(LogStatus& status) = 0;
    virtual CommandResult ClearLog() = 0;
    // Whether a Read now would bring anything new into dataFolder (CheckUndownloaded).
    virtual UndownloadedCheck CheckUndownloaded(const std::string& dataFolder) = 0;
    virtual CommandResult ConfigureLog(const RecordOptionsCommand& options) = 0;
    virtual CommandResult WriteDeviceId(const std::string& id) = 0;

    // The whole Read (DownloadLog): the observer's calls come on the device thread. `stop` is
    // looked at before each range.
    virtual DownloadResult ReadLog(const DownloadRequest& request, DownloadObserver& observer,
                                   const std::atomic<bool>& stop) = 0;
    // Cuts the wait in hand short (a range in flight, an ACK wait); the Read still switches the
    // logger back. Any thread.
    virtual void CancelWait() = 0;
};

}  // namespace pelmora
