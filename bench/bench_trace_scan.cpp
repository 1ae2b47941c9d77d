// Decoding records in memory (no file) and the trace summary over a full 4 MB flash.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "decode/decompress.h"
#include "decode/raw_log_decoder.h"
#include "decode/trace_summary.h"
#include "sim/track/builtin_track.h"

namespace {

using namespace pelmora;

// The built-in drive repeated to the size of a full 4 MB logger flash.
std::vector<std::uint8_t> FullFlashLog() {
    const std::vector<std::uint8_t> drive = BuiltinTrackLog();
    std::vector<std::uint8_t> log;
    while (log.size() + drive.size() <= 4u << 20) {
        log.insert(log.end(), drive.begin(), drive.end());
    }
    return log;
}

std::string TempPath(const char* name) {
    return std::string("/tmp/pelmora-bench-") + std::to_string(getpid()) + "-" + name;
}

void BM_DecodeLogRecord(benchmark::State& state) {
    const std::vector<std::uint8_t> log = FullFlashLog();
    const TimeValue now = CurrentUtcTime();
    std::size_t records = 0;
    for (auto _ : state) {
        LogDecodeState s;
        std::size_t offset = 0;
        while (offset < log.size()) {
            GpsDateTime d;
            std::uint8_t type = 0;
            const std::size_t n =
                DecodeLogRecord(log.data() + offset, log.size() - offset, s, d, type, now);
            if (n == 0) {
                break;
            }
            offset += n;
            ++records;
            benchmark::DoNotOptimize(d);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.size()));
    state.counters["records"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeLogRecord)->Unit(benchmark::kMillisecond);

void BM_ScanTraceLog(benchmark::State& state) {
    const std::string raw = TempPath("data2.log");
    const std::string trace = TempPath("TraceLog2.ltp");
    const std::vector<std::uint8_t> log = FullFlashLog();
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(log.data()), static_cast<std::streamsize>(log.size()));
    DecompressLog(raw, trace, {}, nullptr);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScanTraceLog(trace, pelmora::ZoneRules::Fixed(0), 1));
    }
    unlink(raw.c_str());
    unlink(trace.c_str());
}
BENCHMARK(BM_ScanTraceLog)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
