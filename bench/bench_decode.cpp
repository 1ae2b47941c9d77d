// Decoding speed and memory: a raw log of mostly compact records into TraceLog.ltp, alone and
// with the trace summary worked out in the same pass (what pelmora-cli decode runs).
// The log is built once; the trace goes to a scratch folder (tmpfs when /dev/shm exists) so the
// figure is the decoder's, not the disk's. Peak RSS is reported to show that decoding streams.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "decode/decompress.h"
#include "sim/track/raw_record_encoder.h"

namespace {

std::string ScratchFolder() {
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

bool WriteRawLog(const std::string& path, std::size_t targetBytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    pelmora::RawTrackEncoder encoder;
    pelmora::TrackFix fix;
    fix.utc = pelmora::MakeTimeValue(2025, 6, 1, 8, 0, 0);
    fix.x = -3027000;
    fix.y = 4928000;
    fix.z = 2680000;
    std::size_t written = 0;
    for (long i = 0; written < targetBytes; ++i) {
        fix.utc += 1;
        fix.x += static_cast<std::int32_t>(i % 7) - 3;
        fix.y += static_cast<std::int32_t>(i % 11) - 5;
        fix.z += static_cast<std::int32_t>(i % 5) - 2;
        fix.speedKmh = static_cast<int>(i % 90);
        const pelmora::RawRecord r = encoder.Add(fix);
        std::fwrite(r.data(), 1, r.size(), f);
        written += r.size();
    }
    return std::fclose(f) == 0;
}

std::string MakeRawLog(std::size_t targetBytes) {
    const std::string path =
        ScratchFolder() + "/pelmora-bench-" + std::to_string(getpid()) + ".log";
    if (!WriteRawLog(path, targetBytes)) {
        std::perror(path.c_str());
    }
    return path;
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_DecompressLog(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0)) << 20;
    const std::string raw = MakeRawLog(size);
    const std::string trace = raw + ".ltp";
    const long rssBefore = PeakRssKiB();
    pelmora::DecompressOptions options;
    options.nowUtc = pelmora::MakeTimeValue(2026, 12, 1, 0, 0, 0);
    const bool withSummary = state.range(1) != 0;
    std::size_t fixes = 0;
    for (auto _ : state) {
        pelmora::TraceSummaryBuilder summary;
        options.summary = withSummary ? &summary : nullptr;
        const pelmora::DecompressResult r = pelmora::DecompressLog(raw, trace, options, nullptr);
        if (!r.ok()) {
            state.SkipWithError(r.message.c_str());
            break;
        }
        if (withSummary) {
            benchmark::DoNotOptimize(summary.Finish(r.fixes * 22, pelmora::ZoneRules::Fixed(0), 1));
        }
        fixes = r.fixes;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["fixes"] = static_cast<double>(fixes);
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
    state.counters["rss_growth_MiB"] = static_cast<double>(PeakRssKiB() - rssBefore) / 1024.0;
    std::remove(raw.c_str());
    std::remove(trace.c_str());
}
// Arguments: MiB of raw log, summary in the pass (1) or not (0).
BENCHMARK(BM_DecompressLog)
    ->Args({64, 0})
    ->Args({48, 0})
    ->Args({48, 1})
    ->ArgNames({"MiB", "summary"})
    // Bytes per second of the process's CPU time, which a loaded machine distorts less than it
    // does wall time.
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

// bench_decode --write-log PATH MIB writes the benchmark's raw log for a timed pelmora-cli decode
// (bench/decode_cli.sh) and exits; any other arguments go to the benchmark.
int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--write-log") {
        if (!WriteRawLog(argv[2], std::stoul(argv[3]) << 20)) {
            std::perror(argv[2]);
            return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
