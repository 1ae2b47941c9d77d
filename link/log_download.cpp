#include "link/log_download.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "link/datalog_device.h"
#include "link/download_store.h"
#include "link/log_filter.h"
#include "link/log_status.h"

namespace pelmora {

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// Reports progress about this often: the window posts every report to its GUI thread.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr std::uint64_t kProgressBytes = 16 * 1024;

class ProgressMeter {
  public:
    explicit ProgressMeter(DownloadObserver& observer) : observer_(observer) {}
    void AddTotal(std::uint64_t bytes) {
        progress_.total += bytes;
        Report(true);
    }
    void Set(std::uint64_t done) {
        progress_.done = std::min(done, progress_.total);
        Report(progress_.done == progress_.total);
    }
    std::uint64_t done() const { return progress_.done; }

  private:
    void Report(bool always) {
        const auto now = Clock::now();
        if (!always && now - last_ < kProgressInterval &&
            progress_.done < lastDone_ + kProgressBytes) {
            return;
        }
        last_ = now;
        lastDone_ = progress_.done;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        if (seconds > 0 && progress_.done > 0) {
            progress_.bytesPerSecond = static_cast<double>(progress_.done) / seconds;
            progress_.secondsLeft =
                static_cast<double>(progress_.total - progress_.done) / progress_.bytesPerSecond;
        }
        observer_.ReadProgress(progress_);
    }

    DownloadObserver& observer_;
    DownloadProgress progress_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_{};
    std::uint64_t lastDone_ = 0;
};

// Sectors [first, end) as the logger sent them, one 4096-byte block each.
RangeResult ReadSectors(DatalogDevice& device, std::uint32_t first, std::uint32_t end, Bytes& out,
                        ProgressMeter& meter, const std::atomic<bool>& stop) {
    const std::uint64_t base = meter.done();
    try {
        out.assign((static_cast<std::size_t>(end - first) + 1) * kSectorSize, 0);
    } catch (const std::bad_alloc&) {
        return RangeResult::GaveUp;
    }
    std::size_t count = 0;
    RangeControl control;
    control.stop = &stop;
    control.filter = false;
    control.progress = [&](std::uint64_t bytes) { meter.Set(base + bytes); };
    const RangeResult result =
        device.ReadRange(first, end, kSectorsPerRange, out, count, kReadTrackLogId, control);
    out.resize(std::min(count, out.size()));
    return result;
}

// The kept records of each received sector, appended to log; their lengths to kept.
void FilterSectors(Bytes& sectors, Bytes& log, std::vector<std::uint32_t>& kept) {
    for (std::size_t at = 0; at < sectors.size(); at += kSectorSize) {
        const std::size_t n = std::min<std::size_t>(kSectorSize, sectors.size() - at);
        const std::size_t k = FilterLogRecords(sectors.data() + at, n);
        log.insert(log.end(), sectors.begin() + static_cast<std::ptrdiff_t>(at),
                   sectors.begin() + static_cast<std::ptrdiff_t>(at + k));
        kept.push_back(static_cast<std::uint32_t>(k));
    }
}

// Switches logger and port to the fastest rate of the candidates that the logger acknowledges
// and then answers at; every refusal leaves both at `configured`. Returns the rate in use.
int SwitchToDownloadRate(DatalogDevice& device, int configured, int pinned,
                         DownloadObserver& observer) {
    std::vector<int> candidates;
    if (pinned != 0) {
        candidates.push_back(pinned);
    } else {
        candidates.assign(std::begin(kDownloadRates), std::end(kDownloadRates));
    }
    for (const int rate : candidates) {
        if (rate == configured) {
            return configured;
        }
        if (pinned == 0 && rate < configured) {
            return configured;  // a logger set faster than every candidate stays there
        }
        CommandResult ack = CommandResult::NoAnswer;
        if (!device.SetBaudRate(rate, kRateAttribute, &ack)) {
            device.SetPortRate(configured);
            continue;
        }
        if (ack == CommandResult::Done && device.Probe() == CommandResult::Done) {
            return rate;
        }
        // Refused (the logger stayed), acknowledged but kept, or switched where the line cannot
        // follow: find the logger at its old rate, else ask it back from the new one.
        device.SetPortRate(configured);
        if (ack == CommandResult::Done && device.Probe() != CommandResult::Done) {
            device.SetPortRate(rate);
            device.SetBaudRate(configured, kRateAttribute);
        }
        observer.StatusLine("The logger did not take " + std::to_string(rate) + " bit/s...");
    }
    return configured;
}

struct Transfer {
    Bytes log;
    SectorMap map;
    bool incremental = false;
};

// Fetches only the sectors from the held log's last one on, after checking sector 0 and the held
// part of that last sector against data.log. nullopt when anything differs.
std::optional<Transfer> ReadNewSectors(DatalogDevice& device, const std::string& folder,
                                       const SectorMap& held, std::uint32_t sectors,
                                       ProgressMeter& meter, const std::atomic<bool>& stop,
                                       RangeResult& code) {
    const auto old = LoadDataLog(folder);
    const std::uint32_t from = static_cast<std::uint32_t>(held.keptBytes.size()) - 1;
    if (!old) {
        return std::nullopt;
    }
    meter.AddTotal(static_cast<std::uint64_t>(1 + sectors - from) * kSectorSize);
    Bytes first;
    code = ReadSectors(device, 0, 1, first, meter, stop);
    if (code != RangeResult::Done) {
        return std::nullopt;
    }
    Bytes firstLog;
    std::vector<std::uint32_t> firstKept;
    FilterSectors(first, firstLog, firstKept);
    if (firstLog.size() != held.keptBytes[0] ||
        !std::equal(firstLog.begin(), firstLog.end(), old->begin())) {
        return std::nullopt;
    }
    Bytes fresh;
    code = ReadSectors(device, from, sectors, fresh, meter, stop);
    if (code != RangeResult::Done) {
        return std::nullopt;
    }
    Transfer t;
    t.incremental = true;
    const std::uint64_t keep = held.KeptBefore(from);
    t.log.assign(old->begin(), old->begin() + static_cast<std::ptrdiff_t>(keep));
    t.map.keptBytes.assign(held.keptBytes.begin(), held.keptBytes.begin() + from);
    FilterSectors(fresh, t.log, t.map.keptBytes);
    // What the last sector held then must still be there, in front of what was added since.
    const std::uint32_t heldTail = held.keptBytes[from];
    if (t.map.keptBytes.size() <= from || t.map.keptBytes[from] < heldTail ||
        !std::equal(old->begin() + static_cast<std::ptrdiff_t>(keep), old->end(),
                    t.log.begin() + static_cast<std::ptrdiff_t>(keep))) {
        return std::nullopt;
    }
    return t;
}

}  // namespace

int DownloadProgress::Percent() const {
    if (total == 0) {
        return 0;
    }
    return static_cast<int>(std::min<std::uint64_t>(done * 100 / total, 100));
}

std::string ProgressText(const DownloadProgress& p) {
    char text[128];
    const double mb = 1e6;
    int n = std::snprintf(text, sizeof text, "%.1f of %.1f MB, %.1f kB/s",
                          static_cast<double>(p.done) / mb, static_cast<double>(p.total) / mb,
                          p.bytesPerSecond / 1000.0);
    if (p.secondsLeft >= 0 && n > 0 && static_cast<std::size_t>(n) < sizeof text) {
        const long left = static_cast<long>(p.secondsLeft + 0.5);
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ", %ld min %02ld s left",
                      left / 60, left % 60);
    }
    return text;
}

bool HoldsUndownloadedData(const std::string& dataFolder, std::uint64_t used) {
    if (used == 0) {
        return false;
    }
    const auto held = LoadSectorMap(dataFolder);
    return !held || used > held->usedLogBytes;
}

DownloadResult DownloadLog(DatalogDevice& device, const DownloadRequest& request,
                           DownloadObserver& observer, const std::atomic<bool>& stop) {
    DownloadResult result;
    // Nothing of the folder is touched before the new download is complete: a failure keeps
    // the previous one.
    const bool hadLog = LoadDataLog(request.dataFolder).has_value();
    auto failed = [&](DownloadOutcome outcome) {
        observer.StatusLine(kLineReadFail);
        if (outcome == DownloadOutcome::LineDead) {
            observer.StatusLine(kLineStoppedAnswering);
        }
        if (hadLog) {
            observer.StatusLine(kLinePreviousKept);
        }
        result.outcome = outcome;
        return result;
    };

    SerialPort* port = device.Port();
    if (port != nullptr) {
        port->ResetSilence();
        port->SetDeadLineLimit(device.timings.deadLine);
    }
    struct DeadLineOff {
        SerialPort* port;
        ~DeadLineOff() {
            if (port != nullptr) {
                port->SetDeadLineLimit(std::chrono::milliseconds(0));
            }
        }
    } deadLineOff{port};

    std::uint32_t sectors = 0;
    std::uint32_t total = 0;
    LogStatus status;
    result.status = device.QuerySectorsUsed(sectors, total, &status);
    if (result.status == CommandResult::Disconnected) {
        return failed(DownloadOutcome::Disconnected);
    }
    if (result.status != CommandResult::Done) {
        return failed(port != nullptr && port->LineDead() ? DownloadOutcome::LineDead
                                                          : DownloadOutcome::StatusFailed);
    }
    if (sectors == 0) {
        result.outcome = DownloadOutcome::DeviceError;
        if (observer.ConfirmFactoryReset()) {
            result.factoryResetSent = true;
            result.factoryReset = device.FactoryReset();
        }
        return result;
    }
    result.sectors = sectors;

    const int configured = device.PortBaudRate();
    const int rate = SwitchToDownloadRate(device, configured, request.rate, observer);
    result.rate = rate;
    observer.StatusLine("Reading at " + std::to_string(rate) + " bit/s...");

    ProgressMeter meter(observer);
    RangeResult code = RangeResult::Done;
    std::optional<Transfer> transfer;
    const auto held = request.full ? std::nullopt : LoadSectorMap(request.dataFolder);
    // A log that shrank, or lost bytes, was cleared since: everything is new.
    if (held && held->keptBytes.size() >= 2 && sectors >= held->keptBytes.size() &&
        status.UsedLogBytes() >= held->usedLogBytes) {
        transfer = ReadNewSectors(device, request.dataFolder, *held, sectors, meter, stop, code);
        if (!transfer && code == RangeResult::Done) {
            observer.StatusLine("The logger's log has changed: reading all of it...");
        }
    }
    if (!transfer && code == RangeResult::Done) {
        meter.AddTotal(static_cast<std::uint64_t>(sectors) * kSectorSize);
        Bytes raw;
        code = ReadSectors(device, 0, sectors, raw, meter, stop);
        if (code == RangeResult::Done) {
            transfer.emplace();
            FilterSectors(raw, transfer->log, transfer->map.keptBytes);
        }
    }
    result.transferred = meter.done();

    bool written = true;
    if (code == RangeResult::Done) {
        transfer->map.usedLogBytes = status.UsedLogBytes();
        result.incremental = transfer->incremental;
        if (StoreDownload(request.dataFolder, transfer->log, transfer->map)) {
            result.bytes = transfer->log.size();
            const std::time_t now = request.clock ? request.clock() : std::time(nullptr);
            result.archivePath = ArchiveDownload(request.dataFolder, transfer->log, now);
            if (result.incremental) {
                observer.StatusLine("Only the new sectors were read; the rest is unchanged...");
            }
            observer.StatusLine(kLineReadSuccessful);
            if (result.archivePath.empty()) {
                observer.StatusLine(std::string("The archive copy failed: ") +
                                    std::strerror(errno));
            }
        } else {
            result.error = errno;
            written = false;
        }
    }
    transfer.reset();

    // Every way out puts the logger back at its own rate, an abort's cancelled port included.
    if (port != nullptr) {
        port->SetCancel(0);
    }
    std::this_thread::sleep_for(request.settleWait);
    if (rate != configured) {
        device.SetBaudRate(configured, kRateAttribute);
    }
    std::this_thread::sleep_for(request.settleWait);
    device.RestartReceiver();

    switch (code) {
        case RangeResult::Done:
            return written ? result : failed(DownloadOutcome::WriteFailed);
        case RangeResult::Stopped:
            return failed(DownloadOutcome::Stopped);
        case RangeResult::LineDead:
            return failed(DownloadOutcome::LineDead);
        case RangeResult::Disconnected:
            return failed(DownloadOutcome::Disconnected);
        case RangeResult::AttemptFailed:
        case RangeResult::GaveUp:
            break;
    }
    return failed(DownloadOutcome::GaveUp);
}

std::string_view OutcomeText(DownloadOutcome outcome) {
    switch (outcome) {
        case DownloadOutcome::Done:
            return kLineReadSuccessful;
        case DownloadOutcome::GaveUp:
            return "The logger did not send its log after thirty attempts of a range";
        case DownloadOutcome::Stopped:
            return "The Read was stopped";
        case DownloadOutcome::StatusFailed:
            return "The logger did not report its log status";
        case DownloadOutcome::DeviceError:
            return "The logger reports no log sectors (it has errors)";
        case DownloadOutcome::WriteFailed:
            return "The download could not be written to the data folder";
        case DownloadOutcome::LineDead:
            return kLineStoppedAnswering;
        case DownloadOutcome::Disconnected:
            return "The logger was disconnected";
    }
    return "Unknown outcome";
}

}  // namespace pelmora
