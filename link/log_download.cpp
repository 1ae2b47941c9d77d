#include "link/log_download.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <utility>
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
// and then answers at; every refusal leaves both at `configured`. Returns the rate in use. A
// cancel stops the search, but not before a logger asked away is back at `configured`.
int SwitchToDownloadRate(DatalogDevice& device, SerialPort& port, int configured, int pinned,
                         int first, DownloadObserver& observer) {
    std::vector<int> candidates;
    if (pinned != 0) {
        candidates.push_back(pinned);
    } else {
        // The rate that worked last time goes first; the trial goes on from the top if it fails.
        if (first == configured) {
            return configured;
        }
        if (first > configured && std::find(std::begin(kDownloadRates), std::end(kDownloadRates),
                                            first) != std::end(kDownloadRates)) {
            candidates.push_back(first);
        }
        for (const int rate : kDownloadRates) {
            if (rate != first) {
                candidates.push_back(rate);
            }
        }
    }
    for (const int rate : candidates) {
        if (rate == configured) {
            return configured;
        }
        if (pinned == 0 && rate < configured) {
            return configured;  // a logger set faster than every candidate stays there
        }
        if (port.CancelRequested()) {
            return configured;
        }
        CommandResult ack = CommandResult::NoAnswer;
        if (!device.SetBaudRate(rate, kRateAttribute, &ack)) {
            device.SetPortRate(configured);
            continue;
        }
        if (ack == CommandResult::Done && device.Probe() == CommandResult::Done) {
            return rate;
        }
        // Refused (the logger stayed), acknowledged but kept, cut short, or switched where the
        // line cannot follow: find the logger at its old rate, else ask it back from the new one.
        const bool cancelled = port.CancelRequested();
        port.SetCancel(0);
        device.SetPortRate(configured);
        if (ack != CommandResult::Refused && device.Probe() != CommandResult::Done) {
            device.SetPortRate(rate);
            device.SetBaudRate(configured, kRateAttribute);
        }
        if (cancelled) {
            port.SetCancel(1);
            return configured;
        }
        observer.StatusLine("The logger did not take " + std::to_string(rate) + " bit/s...");
    }
    return configured;
}

constexpr int kSwitchBackTries = 3;

// Asks the logger, at `rate`, back to `configured` until a log-status probe finds it answering
// there, three times at most (once, with short waits, after a dead line: the Read ends within
// seconds of its dead-line limit). A cancel that comes meanwhile is cleared: the way back is not
// to be cut short. Returns the rate the logger is left at: `configured`, `rate` (it still answers
// there) or 0 (it answers at neither, or the line is gone). The port ends at `configured`.
int SwitchBack(DatalogDevice& device, SerialPort& port, int configured, int rate,
               bool afterDeadLine = false) {
    port.SetDeadLineLimit(std::chrono::milliseconds(0));
    const int tries = afterDeadLine ? 1 : kSwitchBackTries;
    for (int attempt = 0; attempt < tries; ++attempt) {
        port.SetCancel(0);
        if (!port.IsConnected() || port.HungUp()) {
            return 0;
        }
        // Set again even when the port says it is there: stty or a modem prober may have set
        // the line to another rate under it, which garbles every byte both ways.
        device.SetPortRate(rate);
        CommandResult ack = CommandResult::NoAnswer;
        // The port follows either way.
        device.SetBaudRate(configured, kRateAttribute, &ack, afterDeadLine);
        // A refusal needs no probe: the logger said it stays where it is.
        if (ack != CommandResult::Refused && device.Probe() == CommandResult::Done) {
            return configured;
        }
    }
    port.SetCancel(0);
    const bool stillThere = device.SetPortRate(rate) && device.Probe() == CommandResult::Done;
    device.SetPortRate(configured);
    return stillThere ? rate : 0;
}

// What to tell the user about a logger that did not return to its rate.
std::string NotReturnedText(int configured, int rate, int leftAt) {
    const std::string want = std::to_string(configured) + " bit/s";
    if (leftAt != 0) {
        const std::string there = std::to_string(leftAt) + " bit/s";
        return "The logger did not return to " + want + ": it was left at " + there +
               "; connect again and it is found at " + there + " and switched back.";
    }
    return "The logger did not return to " + want + " and no longer answers at " +
           std::to_string(rate) + " bit/s: switch it off and on, then connect again.";
}

struct Transfer {
    Bytes log;
    SectorMap map;
    bool incremental = false;
    bool unchanged = false;  // incremental, and nothing was added to the held log
};

// Fetches only the sectors from the held log's last one on, after checking sector 0 (when that is
// not the last one anyway) and the held part of that last sector against data.log. nullopt when
// anything differs.
std::optional<Transfer> ReadNewSectors(DatalogDevice& device, const std::string& folder,
                                       const SectorMap& held, std::uint32_t sectors,
                                       ProgressMeter& meter, const std::atomic<bool>& stop,
                                       RangeResult& code) {
    const auto old = LoadDataLog(folder);
    const std::uint32_t from = static_cast<std::uint32_t>(held.keptBytes.size()) - 1;
    if (!old) {
        return std::nullopt;
    }
    meter.AddTotal(static_cast<std::uint64_t>((from > 0 ? 1 : 0) + sectors - from) * kSectorSize);
    if (from > 0) {
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
    t.unchanged = t.log.size() == old->size();
    return t;
}

}  // namespace

int DownloadProgress::Percent() const {
    if (total == 0) {
        return 0;
    }
    return static_cast<int>(std::min<std::uint64_t>(done * 100 / total, 100));
}

std::string SizesText(std::uint64_t part, std::uint64_t whole) {
    // Below a tenth of a megabyte, megabytes read "0.0".
    const auto number = [](std::uint64_t bytes) {
        const bool small = bytes < 100'000;
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (small ? 1e3 : 1e6));
        return std::pair<std::string, const char*>(text, small ? "kB" : "MB");
    };
    const auto [p, partUnit] = number(part);
    const auto [w, wholeUnit] = number(whole);
    if (std::strcmp(partUnit, wholeUnit) == 0) {
        return p + " of " + w + " " + wholeUnit;
    }
    return p + " " + partUnit + " of " + w + " " + wholeUnit;
}

std::string ProgressText(const DownloadProgress& p) {
    char rate[32];
    std::snprintf(rate, sizeof rate, ", %.1f kB/s", p.bytesPerSecond / 1000.0);
    std::string text = SizesText(p.done, p.total) + rate;
    if (p.secondsLeft >= 0) {
        const long left = static_cast<long>(p.secondsLeft + 0.5);
        char tail[48];
        std::snprintf(tail, sizeof tail, ", %ld min %02ld s left", left / 60, left % 60);
        text += tail;
    }
    return text;
}

std::vector<std::string> FullnessLines(const LogStatus& status) {
    const std::uint64_t capacity = std::uint64_t{status.totalSectors} * kSectorSize;
    if (capacity == 0) {
        return {};
    }
    const std::uint64_t used = std::min<std::uint64_t>(status.UsedLogBytes(), capacity);
    // Rounded as shown, so that no "90.0 % full" goes without its warning.
    const double percent =
        std::round(1000.0 * static_cast<double>(used) / static_cast<double>(capacity)) / 10.0;
    char line[128];
    std::snprintf(line, sizeof line, "The logger is %.1f %% full (%s).", percent,
                  SizesText(used, capacity).c_str());
    std::vector<std::string> lines{line};
    if (percent >= 90.0) {
        const char* then =
            status.Circular() ? "it will overwrite its oldest records" : "it will stop recording";
        std::snprintf(line, sizeof line,
                      "The logger is %.0f %% full: download and clear it soon, or %s.", percent,
                      then);
        lines.emplace_back(line);
    }
    return lines;
}

std::string_view WholeReadText(WholeReadReason reason) {
    switch (reason) {
        case WholeReadReason::None:
            return "";
        case WholeReadReason::Asked:
            return "A full read was asked for: reading the whole log...";
        case WholeReadReason::NoEarlier:
            return "No earlier download to go on from: reading the whole log...";
        case WholeReadReason::Cleared:
            return "The log was cleared since the last download: reading the whole log...";
        case WholeReadReason::Wrapped:
            return "The log has wrapped round and overwritten its oldest records since the last "
                   "download: reading the whole log...";
        case WholeReadReason::OtherLogger:
            return "This is another logger than at the last download: reading the whole log...";
        case WholeReadReason::Changed:
            return "The log's start differs from the last download (cleared and recorded anew, or "
                   "another logger): reading the whole log...";
    }
    return "";
}

namespace {

// The records of sectors [first, end) as the record filter keeps them, one entry per sector.
CommandResult KeptSectors(DatalogDevice& device, std::uint32_t first, std::uint32_t end,
                          std::vector<Bytes>& kept) {
    DownloadObserver quiet;
    ProgressMeter meter(quiet);
    const std::atomic<bool> never{false};
    Bytes raw;
    switch (ReadSectors(device, first, end, raw, meter, never)) {
        case RangeResult::Done:
            break;
        case RangeResult::Disconnected:
            return CommandResult::Disconnected;
        case RangeResult::Stopped:
            return CommandResult::Cancelled;
        default:
            return CommandResult::NoAnswer;
    }
    kept.clear();
    for (std::size_t at = 0; at < raw.size(); at += kSectorSize) {
        const std::size_t n = std::min<std::size_t>(kSectorSize, raw.size() - at);
        const auto begin = raw.begin() + static_cast<std::ptrdiff_t>(at);
        kept.emplace_back(
            begin, begin + static_cast<std::ptrdiff_t>(FilterLogRecords(raw.data() + at, n)));
    }
    kept.resize(end - first);
    return CommandResult::Done;
}

// Whether the sectors hold anything that data.log (cut as `held` says) lacks.
CommandResult CompareWithLastDownload(DatalogDevice& device, const std::string& folder,
                                      const LogStatus& status, std::uint32_t sectors, bool& holds) {
    std::vector<Bytes> kept;
    const auto held = LoadSectorMap(folder);
    const auto old = held ? LoadDataLog(folder) : std::nullopt;
    const bool comparable = held && old && !held->keptBytes.empty() &&
                            (held->totalSectors == 0 || held->totalSectors == status.totalSectors);
    const std::uint32_t from =
        comparable ? static_cast<std::uint32_t>(held->keptBytes.size()) - 1 : 0;
    if (!comparable || sectors <= from) {
        // Nothing to compare with, or the log shrank (cleared since): any record is new.
        const CommandResult read = KeptSectors(device, 0, 1, kept);
        holds = read == CommandResult::Done && !kept[0].empty();
        return read;
    }
    if (from > 0) {
        if (const CommandResult read = KeptSectors(device, 0, 1, kept);
            read != CommandResult::Done) {
            return read;
        }
        if (kept[0].size() != held->keptBytes[0] || old->size() < kept[0].size() ||
            !std::equal(kept[0].begin(), kept[0].end(), old->begin())) {
            holds = !kept[0].empty();  // another log since: whatever it holds is new
            return CommandResult::Done;
        }
    }
    // The last sector, and the one after it when the logger counts one more: a sector counted
    // but still erased holds nothing.
    if (sectors > from + 2) {
        holds = true;
        return CommandResult::Done;
    }
    if (const CommandResult read = KeptSectors(device, from, sectors, kept);
        read != CommandResult::Done) {
        return read;
    }
    const auto tail = old->begin() + static_cast<std::ptrdiff_t>(held->KeptBefore(from));
    const Bytes& last = kept[0];
    const bool same = last.size() >= static_cast<std::size_t>(old->end() - tail) &&
                      std::equal(tail, old->end(), last.begin());
    holds = !same || last.size() > static_cast<std::size_t>(old->end() - tail) ||
            (kept.size() > 1 && !kept[1].empty());
    return CommandResult::Done;
}

}  // namespace

UndownloadedCheck CheckUndownloaded(DatalogDevice& device, const std::string& folder,
                                    int pinnedRate) {
    UndownloadedCheck check;
    SerialPort* port = device.Port();
    if (port == nullptr) {
        check.result = CommandResult::NotConnected;
        return check;
    }
    std::uint32_t sectors = 0;
    std::uint32_t total = 0;
    LogStatus status;
    check.result = device.QuerySectorsUsed(sectors, total, &status);
    if (check.result != CommandResult::Done || sectors == 0) {
        return check;
    }
    // A few sectors, read as fast as a Read reads them.
    DownloadObserver quiet;
    const int configured = device.PortBaudRate();
    const int rate = SwitchToDownloadRate(device, *port, configured, pinnedRate, 0, quiet);
    check.result = CompareWithLastDownload(device, folder, status, sectors, check.holds);
    port->SetCancel(0);
    if (rate != configured) {
        const int leftAt = SwitchBack(device, *port, configured, rate);
        if (leftAt != configured) {
            check.rateNote = NotReturnedText(configured, rate, leftAt);
        }
    }
    return check;
}

DownloadResult DownloadLog(DatalogDevice& device, const DownloadRequest& request,
                           DownloadObserver& observer, const std::atomic<bool>& stop) {
    DownloadResult result;
    // Nothing of the folder is touched before the new download is complete: a failure keeps
    // the previous one.
    const bool hadLog = LoadDataLog(request.dataFolder).has_value();
    auto fail = [&](DownloadOutcome outcome) {
        observer.StatusLine(kLineReadFail);
        if (outcome == DownloadOutcome::LineDead) {
            observer.StatusLine(kLineStoppedAnswering);
        }
        if (hadLog) {
            observer.StatusLine(kLinePreviousKept);
        }
        result.outcome = outcome;
    };

    SerialPort* port = device.Port();
    if (port == nullptr) {
        result.status = CommandResult::NotConnected;
        fail(DownloadOutcome::StatusFailed);
        return result;
    }
    port->MarkAnswered();
    port->SetDeadLineLimit(device.timings.deadLine);
    struct DeadLineOff {
        SerialPort& port;
        ~DeadLineOff() { port.SetDeadLineLimit(std::chrono::milliseconds(0)); }
    } deadLineOff{*port};

    std::uint32_t sectors = 0;
    std::uint32_t total = 0;
    LogStatus status;
    result.status = device.QuerySectorsUsed(sectors, total, &status);
    if (result.status != CommandResult::Done) {
        port->SetCancel(0);
        if (result.status == CommandResult::Disconnected) {
            fail(DownloadOutcome::Disconnected);
        } else {
            fail(port->LineDead() ? DownloadOutcome::LineDead : DownloadOutcome::StatusFailed);
        }
        return result;
    }
    if (sectors == 0) {
        result.outcome = DownloadOutcome::DeviceError;
        if (observer.ConfirmFactoryReset()) {
            result.factoryResetSent = true;
            result.factoryReset = device.FactoryReset();
        }
        port->SetCancel(0);
        return result;
    }
    result.sectors = sectors;

    const int configured = device.PortBaudRate();
    const int rate =
        SwitchToDownloadRate(device, *port, configured, request.rate, request.firstRate, observer);
    result.rate = rate;
    observer.StatusLine("Reading at " + std::to_string(rate) + " bit/s...");

    ProgressMeter meter(observer);
    RangeResult code = RangeResult::Done;
    std::optional<Transfer> transfer;
    const auto held = request.full ? std::nullopt : LoadSectorMap(request.dataFolder);
    const std::uint64_t used = status.UsedLogBytes();
    if (request.full) {
        result.wholeRead = WholeReadReason::Asked;
    } else if (!held || held->keptBytes.empty()) {
        result.wholeRead = WholeReadReason::NoEarlier;
    } else if (held->totalSectors != 0 && held->totalSectors != status.totalSectors) {
        result.wholeRead = WholeReadReason::OtherLogger;
    } else if (sectors < held->keptBytes.size() || used < held->usedLogBytes) {
        // A log that shrank, or lost bytes, was cleared since, or went round: all of it is new.
        result.wholeRead = status.Circular() ? WholeReadReason::Wrapped : WholeReadReason::Cleared;
    } else {
        transfer = ReadNewSectors(device, request.dataFolder, *held, sectors, meter, stop, code);
        if (!transfer && code == RangeResult::Done) {
            result.wholeRead =
                status.Circular() ? WholeReadReason::Wrapped : WholeReadReason::Changed;
        }
    }
    if (!transfer && code == RangeResult::Done) {
        observer.StatusLine(std::string(WholeReadText(result.wholeRead)));
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
    bool empty = false;
    if (code == RangeResult::Done) {
        transfer->map.usedLogBytes = used;
        transfer->map.totalSectors = status.totalSectors;
        result.incremental = transfer->incremental;
        result.nothingNew = transfer->unchanged;
        result.bytes = transfer->log.size();
        empty = transfer->log.empty();
        // An empty log leaves the folder as it was; an unchanged one only its map, when that
        // changed, and no archive copy the same as the last.
        const bool mapChanged = !held || held->keptBytes != transfer->map.keptBytes ||
                                held->usedLogBytes != used ||
                                held->totalSectors != status.totalSectors;
        if (empty) {
            observer.StatusLine(kLineEmptyLog);
        } else if ((result.nothingNew && !mapChanged) ||
                   StoreDownload(request.dataFolder, transfer->log, transfer->map)) {
            if (result.nothingNew) {
                observer.StatusLine(kLineNothingNew);
            } else {
                const std::time_t now = request.clock ? request.clock() : std::time(nullptr);
                bool identical = false;
                result.archivePath =
                    ArchiveDownload(request.dataFolder, transfer->log, now, &identical);
                const int archiveErrno = errno;
                if (result.incremental) {
                    observer.StatusLine("Only the new sectors were read; the rest is unchanged...");
                }
                if (identical) {
                    observer.StatusLine(kLineArchivedBefore);
                } else if (result.archivePath.empty()) {
                    observer.StatusLine(std::string("The archive copy failed: ") +
                                        std::strerror(archiveErrno));
                }
            }
            observer.StatusLine(kLineReadSuccessful);
        } else {
            result.error = errno;
            result.bytes = 0;
            written = false;
        }
    }
    transfer.reset();

    // Every way out puts the logger back at its own rate, an abort's cancelled port included,
    // and makes sure it answers there.
    port->SetCancel(0);
    std::this_thread::sleep_for(request.settleWait);
    const int leftAt = rate == configured ? configured
                                          : SwitchBack(device, *port, configured, rate,
                                                       code == RangeResult::LineDead);
    if (leftAt != configured) {
        result.rateRestored = false;
        result.leftAtRate = leftAt;
        if (port->IsConnected() && !port->HungUp()) {
            observer.StatusLine(NotReturnedText(configured, rate, leftAt));
        }
    }
    std::this_thread::sleep_for(request.settleWait);
    // The restart goes out where the logger listens, or not at all.
    if (leftAt == configured && rate == configured && code == RangeResult::LineDead) {
        device.SetPortRate(configured);  // the line may have been set elsewhere under the port
    }
    if (leftAt == configured) {
        device.RestartReceiver();
    } else if (leftAt != 0 && device.SetPortRate(leftAt)) {
        device.RestartReceiver();
        // An adapter's own buffer may still hold the frame when the driver's queue is empty.
        std::this_thread::sleep_for(request.settleWait);
        device.SetPortRate(configured);
    }

    switch (code) {
        case RangeResult::Done:
            if (!written) {
                fail(DownloadOutcome::WriteFailed);
            } else if (empty) {
                result.outcome = DownloadOutcome::EmptyLog;
            }
            break;
        case RangeResult::Stopped:
            fail(DownloadOutcome::Stopped);
            break;
        case RangeResult::LineDead:
            fail(DownloadOutcome::LineDead);
            break;
        case RangeResult::Disconnected:
            fail(DownloadOutcome::Disconnected);
            break;
        case RangeResult::AttemptFailed:
        case RangeResult::GaveUp:
            fail(DownloadOutcome::GaveUp);
            break;
    }
    for (const std::string& line : FullnessLines(status)) {
        observer.StatusLine(line);
    }
    return result;
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
        case DownloadOutcome::EmptyLog:
            return kLineEmptyLog;
    }
    return "Unknown outcome";
}

}  // namespace pelmora
