// pelmora-cli sync: the remembered logger (or a port) downloaded when it is there: what is new
// goes into the archive and the library, and what it brought is said in one line (and, with
// --notify, on the desktop). --wait first waits for it to be plugged in, --watch goes on waiting
// for the next time after each sync. The waits block on the system's events: no polling.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/decode_run.h"
#include "cli/device_read.h"
#include "cli/library_choice.h"
#include "cli/sync_report.h"
#include "core/app_paths.h"
#include "core/download_settings.h"
#include "link/remembered_logger.h"
#include "link/udev_logger.h"

namespace pelmora::cli {
namespace {

struct SyncChoice {
    LoggerIdentity logger;
    int baud = 4800;
    std::string folder;
    TripGaps gaps;
    bool notify = false;
};

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// One sync of the logger on port: the exit status as `read` gives it.
int SyncOnce(const SyncChoice& sync, const std::string& port) {
    std::unique_ptr<SyncLibrary> library;
    try {
        library = std::make_unique<SyncLibrary>(sync.folder);
    } catch (const CommandFailure& e) {
        Warn(std::string(e.what()) + "; downloading into the archive only");
    }
    DownloadRequest request;
    request.dataFolder = sync.folder;
    request.rate = LoadDownloadRate(Profile());
    request.full = LoadFullRead(Profile());
    DeviceChoice choice;
    choice.port = port;
    choice.baud = sync.baud;
    ReadRun run;
    try {
        run = ConnectAndRead(choice, request, false);
    } catch (const CommandFailure& e) {
        return Fail(e.what());
    }
    if (const int status = ReadFailureStatus(run.result, sync.folder, run.port); status >= 0) {
        return status;
    }
    if (run.result.nothingNew) {
        return kExitSuccess;  // the Read said "Nothing new on the logger."
    }
    if (const int status =
            DecodeAndSummarize(JoinPath(sync.folder, kRawLogName), sync.folder, false, false);
        status != kExitSuccess) {
        return status;
    }
    NewTrips added;
    if (library) {
        try {
            added = library->Add(JoinPath(sync.folder, kRawLogName), run.result.archivePath, port,
                                 sync.gaps);
        } catch (const CommandFailure& e) {
            return Fail(std::string(e.what()) + "; the download is kept in the archive");
        }
    }
    Say(NewTripsText(added));
    if (sync.notify && (!added.known || added.trips > 0)) {
        const DesktopNotifier notifier = GetDesktopNotifier();
        if (notifier != nullptr) {
            notifier(NotificationText(added));
        }
    }
    return kExitSuccess;
}

int RunSync(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    parser.Value("--port").Value("--baud").Flag("--remembered").Flag("--wait").Flag("--watch");
    parser.Flag("--notify");
    parser.Parse();
    const bool byPort = parser.Has("--port");
    if (byPort == parser.Has("--remembered")) {
        throw UsageError("give either --port PATH or --remembered");
    }
    SyncChoice sync;
    sync.baud = BaudChoice(parser);
    sync.notify = parser.Has("--notify");
    if (byPort) {
        sync.logger.path = *parser.Get("--port");
        if (sync.logger.path.empty()) {
            throw UsageError("--port needs a device path");
        }
    } else {
        sync.logger = LoadRememberedLogger(Profile());
        if (sync.logger.empty()) {
            return Fail(
                "no logger is remembered: tick \"Download automatically when this logger is "
                "plugged in\" in the Serial Port Setting dialog, or give --port PATH");
        }
    }
    sync.folder = DataDir(parser);
    sync.gaps = GetTripGaps(parser);
    const bool watch = parser.Has("--watch");
    const bool wait = watch || parser.Has("--wait");

    std::unique_ptr<DeviceWatch> watcher = WatchFor(sync.logger);
    for (;;) {
        std::string error;
        if (wait) {
            if (!watcher->WaitUntil(true, error)) {
                return Fail(error);
            }
        }
        const std::string port = watcher->Present();
        int status = kExitFailure;
        if (port.empty()) {
            status = Fail(IdentityLabel(sync.logger) + " is not plugged in (--wait waits for it)");
        } else {
            status = SyncOnce(sync, port);
        }
        if (!watch || InterruptedRead()) {
            return status;
        }
        // A logger that stays plugged in is synced once; the next sync comes with the next plug.
        if (!watcher->WaitUntil(false, error)) {
            return Fail(error);
        }
    }
}

const CommandRegistrar kSync{
    "sync",
    "sync [--port PATH | --remembered] [--wait] [--watch] [--data-dir DIR] [--notify] [--baud N]",
    "download what is new on the logger when it is there, into the archive and the library",
    RunSync};

}  // namespace
}  // namespace pelmora::cli
