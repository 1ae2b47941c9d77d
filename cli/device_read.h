#pragma once
// The Read of `read`, shared with `sync`: connect, the rate this logger took last time first,
// the download with its status lines on standard output and progress on a terminal, Ctrl-C,
// SIGTERM and SIGHUP as Stop (the logger is always switched back).
#include <string>

#include "cli/cli_common.h"
#include "link/log_download.h"

namespace pelmora::cli {

struct ReadRun {
    DownloadResult result;
    std::string deviceId;
    std::string port;  // the path opened, for the messages
};

// Throws CommandFailure when the logger cannot be reached (the previous download kept).
ReadRun ConnectAndRead(const DeviceChoice& choice, DownloadRequest request, bool factoryReset);
// -1 for a Read that wrote a log (to be decoded); else the exit status, the cause said on
// standard error for a failure (0 for an empty logger).
int ReadFailureStatus(const DownloadResult& result, const std::string& folder,
                      const std::string& port);
// Ctrl-C, SIGTERM or SIGHUP came during the last Read: a loop of Reads ends too.
bool InterruptedRead();

}  // namespace pelmora::cli
