#include "decode/decompress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/atomic_file.h"
#include "core/convert_texts.h"
#include "core/regular_file.h"
#include "decode/fix_clock.h"
#include "decode/gps_time.h"
#include "decode/raw_log_decoder.h"
#include "decode/trace_fix.h"
#include "decode/trace_summary.h"

namespace pelmora {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

DecompressResult Failure(DecompressStatus status, const char* message, int error) {
    DecompressResult r;
    r.status = status;
    r.message = message;
    r.systemError = error;
    return r;
}

class Progress {
  public:
    Progress(ProgressSink* sink, std::uint64_t total) : sink_(sink), total_(total) {}
    // Cheap per record: the percentage is only worked out when the next whole percent is reached.
    void At(std::uint64_t done) {
        if (sink_ == nullptr || done < next_) {
            return;
        }
        // Past the threshold the percentage is always a new one.
        const int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
        sink_->OnProgress(percent);
        // The first offset that reaches the next percent.
        const auto nextPercent = static_cast<std::uint64_t>(percent) + 1;
        next_ = total_ == 0 ? UINT64_MAX : (nextPercent * total_ + 99) / 100;
    }

  private:
    ProgressSink* sink_;
    std::uint64_t total_;
    std::uint64_t next_ = 0;
};

constexpr std::size_t kChunk = 64 * 1024;
// Fixes are written in blocks: a stream call per 22-byte fix costs more than decoding it.
constexpr std::size_t kOutputFixes = 64 * 1024 / kTraceFixSize;

bool FlushFixes(AtomicFile& trace, std::vector<std::uint8_t>& output, std::size_t& used) {
    const bool ok = used == 0 || trace.Write(output.data(), used);
    used = 0;
    return ok;
}

}  // namespace

DecompressResult DecompressLog(const std::string& rawPath, const std::string& tracePath,
                               const DecompressOptions& options, ProgressSink* progress) {
    // A FIFO without a writer would block the open, a device the reads: regular files only.
    const int fd = OpenRegularFile(rawPath);
    std::unique_ptr<std::FILE, FileCloser> raw(fd >= 0 ? fdopen(fd, "rb") : nullptr);
    if (!raw) {
        if (fd >= 0) {
            close(fd);
        }
        return Failure(DecompressStatus::OpenRawFailed, "Open raw log file failed!", errno);
    }
    struct stat st {};
    const std::uint64_t total = fstat(fileno(raw.get()), &st) == 0 && st.st_size > 0
                                    ? static_cast<std::uint64_t>(st.st_size)
                                    : 0;
    AtomicFile trace;
    if (!trace.Open(tracePath)) {
        return Failure(DecompressStatus::CreateTraceFailed, "Create trace log file failed!", errno);
    }

    const TimeValue now = options.nowUtc.value_or(CurrentUtcTime());
    DecompressResult result;
    Progress report(progress, total);
    report.At(0);
    LogDecodeState state;
    std::vector<std::uint8_t> buffer(kChunk + kRawRecordWindow);
    std::vector<std::uint8_t> output(kOutputFixes * kTraceFixSize);
    std::size_t used = 0;
    TraceFixClock clock;
    std::size_t have = 0;
    std::size_t pos = 0;
    std::uint64_t offset = 0;  // file offset of buffer[pos]
    bool eof = false;
    for (;;) {
        if (have - pos < kRawRecordWindow && !eof) {
            std::memmove(buffer.data(), buffer.data() + pos, have - pos);
            have -= pos;
            pos = 0;
            const std::size_t n =
                std::fread(buffer.data() + have, 1, buffer.size() - have, raw.get());
            if (n == 0) {
                if (std::ferror(raw.get()) != 0) {
                    return Failure(DecompressStatus::ReadRawFailed, "Read raw log file failed!",
                                   errno);
                }
                eof = true;
            }
            have += n;
            continue;
        }
        const std::size_t left = have - pos;
        if (left == 0) {
            break;
        }
        const std::uint8_t* window = buffer.data() + pos;
        const std::size_t size = RawRecordLength(window[0]);
        if (size == 0) {
            result.status = DecompressStatus::BadRecord;
            result.message = kDownloadAgain;
            result.badRecordOffset = offset;
            break;
        }
        if (left < size) {
            // The file ends inside a record (an interrupted download): drop the partial record.
            result.droppedTailBytes = left;
            break;
        }
        std::uint8_t type = 0;
        const std::size_t consumed = ApplyLogRecord(window, left, state, type);
        if (consumed == 0) {
            result.status = DecompressStatus::BadRecord;
            result.message = kDownloadAgain;
            result.badRecordOffset = offset;
            break;
        }
        if (consumed == kRawFullRecordSize) {
            ++result.fullRecords;
        } else {
            ++result.compactRecords;
        }
        // The time of week is not wrapped at the week's end: the conversion is linear, so a time
        // past 604800 s still gives the right date.
        const int fullWeek = ResolveGpsWeek(state.week, state.timeOfWeek, now);
        clock.Set(GpsTimeToTimeValue(fullWeek, state.timeOfWeek));
        PackTraceFix(output.data() + used, clock.DateWord(), clock.HalfSeconds(), state.x, state.y,
                     state.z, state.speed);
        if (options.summary != nullptr) {
            options.summary->Add(clock.DateWord(), clock.HalfSeconds(), state.x, state.y, state.z);
        }
        used += kTraceFixSize;
        if (used == output.size() && !FlushFixes(trace, output, used)) {
            return Failure(DecompressStatus::WriteTraceFailed, "Write trace log file failed!",
                           errno);
        }
        ++result.fixes;
        pos += consumed;
        offset += consumed;
        report.At(offset);
    }
    if (result.fixes == 0) {
        // An empty or unreadable log would replace a good trace with nothing.
        trace.Discard();
        if (result.ok()) {
            result.status = DecompressStatus::NoFix;
            result.message = convert_text::kNoLogData;
        }
        return result;
    }
    if (!FlushFixes(trace, output, used) || !trace.Commit()) {
        return Failure(DecompressStatus::WriteTraceFailed, "Write trace log file failed!", errno);
    }
    if (result.ok()) {
        report.At(total);
        result.message = kDecompressCompleted;
    }
    return result;
}

}  // namespace pelmora
