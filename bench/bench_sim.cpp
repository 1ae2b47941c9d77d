// The simulated logger's byte work: building a 16-sector ranged read and scanning client frames.
#include <benchmark/benchmark.h>

#include <vector>

#include "sim/flash_image.h"
#include "sim/logger_core.h"
#include "sim/sim_frame.h"

namespace {

void BM_BuildRangeStream16(benchmark::State& state) {
    const auto flash = pelmora::sim::BuiltInFlash();
    for (auto _ : state) {
        auto stream = pelmora::sim::BuildRangeStream(flash, 0, 16, pelmora::sim::EchoStyle::Sector);
        benchmark::DoNotOptimize(stream.data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 16 * 4096);
}
BENCHMARK(BM_BuildRangeStream16);

void BM_ScanFramesInNoise(benchmark::State& state) {
    std::vector<std::uint8_t> line;
    const std::uint8_t status[] = {0x17};
    const auto frame = pelmora::sim::BuildFrame(status);
    for (int i = 0; i < 1000; ++i) {
        line.insert(line.end(), 50, 0x24);
        line.insert(line.end(), frame.begin(), frame.end());
    }
    for (auto _ : state) {
        pelmora::sim::FrameScanner scanner;
        std::vector<pelmora::sim::ScannedFrame> found;
        scanner.Feed(line, found);
        benchmark::DoNotOptimize(found.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_ScanFramesInNoise);

void BM_ExpectedDownload(benchmark::State& state) {
    const auto flash = pelmora::sim::BuiltInFlash();
    for (auto _ : state) {
        auto bytes = flash.ExpectedDownload();
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_ExpectedDownload);

}  // namespace

BENCHMARK_MAIN();
