// One hundred downloads from the simulated logger with random NACKs, lost ACKs, lost frames,
// corrupted chunks, split end markers and stalls, and one line that goes away in the middle of a
// range. A download that reports success has written exactly the logger's filtered flash; one
// that fails says so and leaves the previous data.log as it was; none waits without end.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "link/datalog_device.h"
#include "link/log_download.h"
#include "link/serial_port.h"
#include "sim/logger_sim.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr int kDownloads = 100;
constexpr int kDisconnectAt = 37;           // this download loses its line mid-range
constexpr double kFaultProbability = 0.15;  // per frame the logger receives
// Far above the slowest honest download (thirty failed attempts of a range); reaching it means
// something waits without end.
constexpr auto kDownloadBound = 90s;

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A drive of 17 to 40 sectors (two or three ranges of 16): full and compact records, some holding
// the end marker's bytes as real compact records can; a record that does not fit starts the next
// sector, so the erased tails vary.
sim::FlashImage RandomFlash(std::mt19937& rng) {
    const auto sectors = static_cast<std::uint16_t>(17 + rng() % 24);
    sim::FlashImage flash(512);
    while (flash.SectorsInUse() <= sectors) {
        const auto r = static_cast<std::uint32_t>(rng());
        Bytes record;
        if (r % 41 == 0) {
            record = {0x80, 'E', 'N', 'D', 0, 'C', 'H', 'E'};
        } else if (r % 4 == 0) {
            record.assign(18, 0);
            record[0] = static_cast<std::uint8_t>(0x40 | (r >> 8) % 4 << 4 | (r >> 12) % 4);
        } else {
            record.assign(8, 0);
            record[0] = static_cast<std::uint8_t>(0x80 | (r >> 8) % 2 << 4 | (r >> 12) % 4);
        }
        for (std::size_t i = 1; i < record.size() && r % 41 != 0; ++i) {
            record[i] = static_cast<std::uint8_t>(rng());
        }
        if (!flash.AppendRecord(record)) {
            break;
        }
    }
    return flash;
}

class Observer : public DownloadObserver {
  public:
    void StatusLine(const std::string& line) override { lines.push_back(line); }
    void ReadProgress(const DownloadProgress& p) override { EXPECT_LE(p.done, p.total); }
    bool Said(const char* line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::vector<std::string> lines;
};

struct Counts {
    int completed = 0;
    int identical = 0;
    int failedAsReported = 0;
};

TEST(DownloadSoak, HundredDownloadsUnderFaults) {
    char name[] = "/tmp/pelmora-soak-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const fs::path dir = name;
    std::mt19937 rng(20240611);
    Counts counts;
    std::vector<std::size_t> faults(6, 0);

    for (int i = 0; i < kDownloads; ++i) {
        SCOPED_TRACE("download " + std::to_string(i));
        sim::LoggerSimOptions options;
        // Mostly at the download rate already; every tenth logger runs at 9600 and is switched.
        options.baud = i % 10 == 5 ? 9600 : 57600;
        options.paced = false;
        options.flash = RandomFlash(rng);
        options.echo = i % 4 == 3 ? sim::EchoStyle::LfCr : sim::EchoStyle::Sector;
        sim::LoggerSim logger(std::move(options));
        std::string error;
        ASSERT_TRUE(logger.Start(&error)) << error;
        const Bytes expected = logger.ExpectedDownload();
        logger.SetRandomFaults(rng(), kFaultProbability);
        if (i % 3 == 1) {
            logger.SplitEndMarker(1 + static_cast<int>(rng() % 3));
        }
        const bool disconnect = i == kDisconnectAt;
        if (disconnect) {
            logger.HangUpMidRange(4096 * 16 + 1000);  // in the second range
        }

        SerialPort port;
        ASSERT_TRUE(port.Open(logger.SlavePath(), logger.Baud())) << port.LastError();
        DatalogDevice device;
        device.SetPort(&port);
        device.timings.dataWait = 500ms;  // the logger's stream never pauses; a stall is a fault

        const fs::path raw = dir / "data.log";
        const Bytes old = {'o', 'l', 'd'};
        std::ofstream(raw, std::ios::binary).write("old", 3);
        DownloadRequest request;
        request.dataFolder = dir.string();
        request.full = true;  // every logger here is another one
        request.settleWait = 10ms;
        Observer observer;
        std::atomic<bool> stop{false};

        auto run = std::async(std::launch::async,
                              [&] { return DownloadLog(device, request, observer, stop); });
        if (run.wait_for(kDownloadBound) != std::future_status::ready) {
            // The download cannot be abandoned safely; end the run rather than hang it.
            ADD_FAILURE() << "download " << i << " did not end";
            std::fflush(nullptr);
            std::_Exit(1);
        }
        const DownloadResult result = run.get();
        port.Close();
        logger.Stop();
        const auto applied = logger.FaultsApplied();
        for (std::size_t k = 0; k < faults.size() && k < applied.size(); ++k) {
            faults[k] += applied[k];
        }

        const Bytes written = ReadFile(raw);
        if (result.outcome == DownloadOutcome::Done) {
            ++counts.completed;
            EXPECT_TRUE(observer.Said(kLineReadSuccessful));
            EXPECT_EQ(result.bytes, expected.size());
            if (written == expected) {
                ++counts.identical;
            } else {
                ADD_FAILURE() << "reported success, but data.log differs from the flash ("
                              << written.size() << " bytes, expected " << expected.size() << ")";
            }
            EXPECT_FALSE(disconnect) << "a download that lost its line reported success";
        } else {
            // A failure: said so, and the old log still in place.
            const bool reported = observer.Said(kLineReadFail) && observer.Said(kLinePreviousKept);
            EXPECT_TRUE(reported) << OutcomeText(result.outcome);
            const bool noPartialLog = written == old;
            EXPECT_TRUE(noPartialLog) << written.size() << " bytes left in data.log";
            if (reported && noPartialLog) {
                ++counts.failedAsReported;
            }
            std::string frames;
            for (const auto& f : logger.Frames()) {
                frames.append(" ").append(std::to_string(f.Id())).append(":");
                frames.append(std::to_string(static_cast<int>(f.answer)));
            }
            EXPECT_TRUE(disconnect)
                << "download failed: " << OutcomeText(result.outcome)
                << " (status: " << ResultText(result.status) << "); frames (id:answer)" << frames;
        }
    }
    fs::remove_all(dir);

    std::printf("soak: %d downloads, %d completed, %d identical, %d failed as reported\n",
                kDownloads, counts.completed, counts.identical, counts.failedAsReported);
    std::printf(
        "soak: faults applied: NACK %zu, lost ACK %zu, lost frame %zu, corrupt %zu, "
        "split marker %zu, stall %zu\n",
        faults[0], faults[1], faults[2], faults[3], faults[4], faults[5]);
    EXPECT_EQ(counts.completed + counts.failedAsReported, kDownloads);
    EXPECT_EQ(counts.identical, counts.completed);
    EXPECT_EQ(counts.failedAsReported, 1);
}

}  // namespace
}  // namespace pelmora
