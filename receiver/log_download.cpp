#include "receiver/log_download.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <thread>
#include <vector>

#include "receiver/datalog_codes.h"
#include "receiver/datalog_device.h"
#include "receiver/log_status.h"
#include "trace/atomic_file.h"

namespace pelmora {

namespace {

void RemoveIfPresent(const std::string& path) {
    if (!path.empty()) {
        std::remove(path.c_str());  // absent is fine
    }
}

bool WriteRawLog(const std::string& path, const std::uint8_t* data, std::size_t size) {
    AtomicFile file;
    if (!file.Open(path)) {
        return false;
    }
    if (!file.Write(data, size)) {
        const int saved = errno;
        file.Discard();
        errno = saved;
        return false;
    }
    return file.Commit();
}

}  // namespace

int DownloadPercent(std::uint64_t bytesRead, std::uint64_t usedLogBytes) {
    if (usedLogBytes == 0) {
        return 0;
    }
    // The sectors read hold more than the used bytes (the tail of the last one), so cap the bar.
    const std::uint64_t percent = bytesRead * 100 / usedLogBytes;
    return percent > 100 ? 100 : static_cast<int>(percent);
}

DownloadResult DownloadLog(DatalogDevice& device, const DownloadRequest& request,
                           DownloadObserver& observer, const std::atomic<bool>& stop) {
    DownloadResult result;
    // The old log and its trace go first: a failed read must not leave them to be taken for the
    // new one.
    RemoveIfPresent(request.traceLogPath);
    RemoveIfPresent(request.rawLogPath);

    std::uint32_t sectors = 0;
    std::uint32_t total = 0;
    LogStatus status;
    int ackCode = 0;
    const int sectorsCode = device.QuerySectorsUsed(sectors, total, &status, &ackCode);
    if (sectorsCode == kDatalogTimeout) {
        result.code = kDownloadDeviceError;
        if (observer.ConfirmFactoryReset()) {
            result.factoryResetSent = true;
            result.factoryResetCode = device.FactoryReset();
        }
        return result;
    }
    if (sectorsCode != kDatalogAck) {
        result.code = kDownloadStatusFailed;
        result.statusCode = ackCode;
        return result;
    }
    result.sectors = sectors;
    const std::uint64_t used = status.UsedLogBytes();
    observer.DownloadStarted(sectors, used);

    const int configuredRate = device.PortBaudRate();
    const bool switchRate = configuredRate != kDownloadRate;
    if (switchRate) {
        if (!device.SetBaudRate(kDownloadRate, kRateAttribute)) {
            // The port did not reopen: no range could be asked for.
            observer.StatusLine("read fail...");
            result.code = kDownloadGaveUp;
            return result;
        }
        std::this_thread::sleep_for(request.rateSwitchWait);
    }

    // (N + 1) sectors, as the logger may answer a range with a little more than asked.
    std::vector<std::uint8_t> buffer;
    int code = kRangeDone;
    std::size_t count = 0;
    try {
        buffer.assign((static_cast<std::size_t>(sectors) + 1) * kSectorSize, 0);
    } catch (const std::bad_alloc&) {
        code = kRangeGaveUp;
    }
    if (code == kRangeDone) {
        RangeControl control;
        control.stop = &stop;
        control.progress = [&](std::uint64_t bytes) {
            observer.ReadProgress(bytes, DownloadPercent(bytes, used));
        };
        code =
            device.ReadRange(0, sectors, kSectorsPerRange, buffer, count, kReadTrackLogId, control);
    }
    if (code == kRangeDone) {
        if (WriteRawLog(request.rawLogPath, buffer.data(), count)) {
            result.bytes = count;
        } else {
            result.code = kDownloadWriteFailed;
            result.error = errno;
        }
    } else {
        result.code = code == kRangeStopped ? kDownloadStopped : kDownloadGaveUp;
    }
    observer.StatusLine(code == kRangeDone ? "read successful..." : "read fail...");
    buffer = {};

    std::this_thread::sleep_for(request.settleWait);
    if (switchRate) {
        device.SetBaudRate(configuredRate, kRateAttribute);
    }
    std::this_thread::sleep_for(request.settleWait);
    device.RestartReceiver();
    return result;
}

}  // namespace pelmora
