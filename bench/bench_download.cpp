// The whole Read against the simulated logger pacing its bytes at the line rate: status query,
// the switch to the download rate and its probe, ranges of 16 sectors with their waits, the way
// back and the receiver's restart. Reports the bytes, the seconds and the share of the download
// rate's byte rate (bit rate / 10) that the log's sectors reach.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "link/datalog_device.h"
#include "link/log_download.h"
#include "link/serial_port.h"
#include "sim/logger_sim.h"

namespace {

using namespace pelmora;

sim::FlashImage FlashOfSectors(std::uint16_t sectors) {
    sim::FlashImage flash(512);
    for (std::uint32_t tag = 1;; ++tag) {
        // Stop a little into the last sector, as a logger mid-recording would be.
        if (flash.SectorsInUse() == sectors && flash.WriteOffset() % sim::kSectorSize >= 1000) {
            break;
        }
        std::vector<std::uint8_t> record(tag % 5 == 0 ? 18 : 8, static_cast<std::uint8_t>(tag));
        record[0] = tag % 5 == 0 ? 0x40 : 0x80;
        if (!flash.AppendRecord(record)) {
            break;
        }
    }
    return flash;
}

void BM_WholeRead(benchmark::State& state) {
    const auto sectors = static_cast<std::uint16_t>(state.range(0));
    const int rate = static_cast<int>(state.range(1));
    const int downloadRate = static_cast<int>(state.range(2));
    char name[] = "/tmp/pelmora-bench-XXXXXX";
    if (mkdtemp(name) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::filesystem::path dir = name;
    double seconds = 0;
    std::size_t lineBytes = 0;
    for (auto _ : state) {
        sim::LoggerSimOptions options;
        options.baud = rate;
        options.paced = true;
        options.flash = FlashOfSectors(sectors);
        sim::LoggerSim logger(std::move(options));
        SerialPort port;
        DatalogDevice device;
        if (!logger.Start() || !port.Open(logger.SlavePath(), rate)) {
            state.SkipWithError("the simulated logger did not start");
            break;
        }
        device.SetPort(&port);
        DownloadRequest request;
        request.dataFolder = dir.string();
        request.full = true;
        request.rate = downloadRate;
        DownloadObserver observer;
        std::atomic<bool> stop{false};
        const auto start = std::chrono::steady_clock::now();
        const DownloadResult result = DownloadLog(device, request, observer, stop);
        const auto end = std::chrono::steady_clock::now();
        if (result.outcome != DownloadOutcome::Done) {
            state.SkipWithError("the download failed");
            break;
        }
        if (!logger.WaitForRateChanges(2, std::chrono::seconds(2)) || logger.Baud() != rate) {
            state.SkipWithError("the logger was not switched back to its rate");
            break;
        }
        const double s = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(s);
        seconds += s;
        lineBytes += static_cast<std::size_t>(result.sectors) * sim::kSectorSize;
        port.Close();
        logger.Stop();
    }
    std::filesystem::remove_all(dir);
    if (seconds > 0) {
        const double byteRate = static_cast<double>(lineBytes) / seconds;
        state.counters["data_B_per_s"] = byteRate;
        state.counters["bytes"] = static_cast<double>(lineBytes);
        state.counters["seconds"] = seconds;
        state.counters["line_share_pct"] = 100.0 * byteRate / (downloadRate / 10.0);
        state.SetBytesProcessed(static_cast<std::int64_t>(lineBytes));
    }
}

// {sectors (256: 1 MiB), the logger's configured rate, the download rate}
BENCHMARK(BM_WholeRead)
    ->Args({256, 9600, 230400})
    ->Args({256, 9600, 115200})
    ->Args({256, 9600, 57600})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
