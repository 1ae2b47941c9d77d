#pragma once
// The device side as the window's device thread sees it: the port, the receiver's reader
// thread, the datalog commands and the download.
//
// Thread contract: Open, Close, the reader's start and stop, the commands and the download are
// called from the device thread only, one at a time. IsOpen, LinkAlive and LineKind may be read
// from any thread. The event sink's calls come on the thread that raised them (the reader
// thread or the device thread); the sink forwards to the GUI thread itself.
#include <atomic>
#include <cstdint>
#include <string>

#include "link/link_error.h"
#include "link/log_download.h"
#include "link/rate_search.h"

namespace pelmora {

// The events of the device link, bound to the window's handler members.
class DeviceEventSink {
  public:
    virtual ~DeviceEventSink() = default;
    virtual void OnQueryLogStatus(unsigned char* frame) = 0;
    virtual void OnPostMsg(unsigned char* text) = 0;
    virtual void OnBinaryMsg(int code) = 0;
};

// The minima the user sets; the maxima and the log mode are fixed by the command itself.
struct RecordOptionsCommand {
    int minTime = 0;
    int minDistance = 0;
    int minSpeed = 0;
};

class DeviceSession {
  public:
    virtual ~DeviceSession() = default;

    // Registers the three handlers on the link's event lists. Called once, from any thread: the
    // lists are guarded, so the reader may already run.
    virtual void BindHandlers(DeviceEventSink& sink) = 0;

    // The cause when the port cannot be used (fault None on success).
    virtual LinkError Open(const std::string& path, int baudRate) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
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

    // Result codes: 0 not connected, 1 done, 2 NACK, 9 time-out, 24/25/117. Each command also
    // reports its code through the sink's OnBinaryMsg, as the link does.
    virtual int QueryDeviceId(std::string& id) = 0;
    // The reply goes to the sink's OnQueryLogStatus before this returns.
    virtual int QueryLogStatus() = 0;
    virtual int ClearLog() = 0;
    virtual int ConfigureLog(const RecordOptionsCommand& options) = 0;
    virtual int WriteDeviceId(const std::string& id) = 0;

    // The whole Read (DownloadLog): the observer's calls come on the device thread.
    virtual DownloadResult ReadLog(const DownloadRequest& request, DownloadObserver& observer,
                                   const std::atomic<bool>& stop) = 0;
};

}  // namespace pelmora
