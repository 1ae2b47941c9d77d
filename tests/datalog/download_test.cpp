#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "receiver/datalog_codes.h"
#include "receiver/log_download.h"
#include "sim_fixture.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class RecordingObserver : public DownloadObserver {
  public:
    void DownloadStarted(std::uint32_t sectors, std::uint64_t used) override {
        startedSectors = sectors;
        usedBytes = used;
    }
    void ReadProgress(std::uint64_t bytes, int percent) override {
        lastBytes = bytes;
        lastPercent = percent;
        ++progressCalls;
        if (stopAfterBytes != 0 && bytes >= stopAfterBytes) {
            stop.store(true);
        }
    }
    bool ConfirmFactoryReset() override {
        ++questions;
        return answerYes;
    }
    void StatusLine(const std::string& line) override { lines.push_back(line); }

    std::uint32_t startedSectors = 0;
    std::uint64_t usedBytes = 0;
    std::uint64_t lastBytes = 0;
    int lastPercent = -1;
    int progressCalls = 0;
    int questions = 0;
    bool answerYes = false;
    std::uint64_t stopAfterBytes = 0;
    std::atomic<bool> stop{false};
    std::vector<std::string> lines;
};

class Download : public SimLink {
  protected:
    void SetUp() override {
        SimLink::SetUp();
        char name[] = "/tmp/pelmora-download-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        request_.rawLogPath = dir_ / "data.log";
        request_.traceLogPath = dir_ / "TraceLog.ltp";
        request_.rateSwitchWait = 50ms;
        request_.settleWait = 10ms;
        // Old files of an earlier read.
        std::ofstream(request_.rawLogPath) << "old log";
        std::ofstream(request_.traceLogPath) << "old trace";
    }
    void TearDown() override {
        SimLink::TearDown();
        fs::remove_all(dir_);
    }
    DownloadResult Run() { return DownloadLog(device_, request_, observer_, observer_.stop); }
    Bytes Range(std::size_t count) {
        Bytes buffer((count + 1) * 4096);
        std::size_t got = 0;
        lastRange_ = device_.ReadRange(0, static_cast<std::uint32_t>(count), 16, buffer, got, 0x1D);
        buffer.resize(got);
        return buffer;
    }

    fs::path dir_;
    DownloadRequest request_;
    RecordingObserver observer_;
    int lastRange_ = -1;
};

TEST_F(Download, TwentySectorsTakeTwoRequests) {
    const Bytes data = Range(20);
    EXPECT_EQ(lastRange_, kRangeDone);
    EXPECT_EQ(ReceivedPayloads(0x1D),
              (std::vector<Bytes>{{0x1D, 0x00, 0x00, 0x00, 0x10}, {0x1D, 0x00, 0x10, 0x00, 0x04}}));
    EXPECT_EQ(data, sim_->ExpectedDownload());
}

TEST_F(Download, NoSectorsSendNoRequest) {
    const Bytes data = Range(0);
    EXPECT_EQ(lastRange_, kRangeDone);
    EXPECT_TRUE(data.empty());
    EXPECT_TRUE(ReceivedPayloads(0x1D).empty());
}

TEST_F(Download, SplitMarkerAndMissingEchoGiveTheSameData) {
    const Bytes expected = sim_->ExpectedDownload();
    for (int boundary = 1; boundary <= 3; ++boundary) {
        sim_->SplitEndMarker(boundary);
        EXPECT_EQ(Range(20), expected) << "split after " << boundary;
        EXPECT_EQ(lastRange_, kRangeDone);
    }
    sim_->SplitEndMarker(0);
    sim_->SetEcho(sim::EchoStyle::LfCr);
    EXPECT_EQ(Range(20), expected) << "LF CR echo";
}

TEST_F(Download, NackAndCorruptDataAreRetried) {
    sim_->NackNext(2);
    sim_->CorruptNextRanges(1);
    EXPECT_EQ(Range(20), sim_->ExpectedDownload());
    EXPECT_EQ(lastRange_, kRangeDone);
    // Two NACKs and one corrupted answer of the first range, then both ranges.
    EXPECT_EQ(ReceivedPayloads(0x1D).size(), 5u);
    EXPECT_TRUE(recorder_.codes.empty());
}

TEST_F(Download, StalledRangeIsRetried) {
    device_.timings.dataWait = 200ms;
    sim_->StallNextRange(5000);
    EXPECT_EQ(Range(20), sim_->ExpectedDownload());
    EXPECT_EQ(ReceivedPayloads(0x1D).size(), 3u);
}

TEST_F(Download, ThirtyFailedAttemptsGiveUp) {
    sim_->NackNext(1000);
    const Bytes data = Range(20);
    EXPECT_EQ(lastRange_, kRangeGaveUp);
    EXPECT_EQ(recorder_.codes, (std::vector<int>{kRangeGaveUp}));
    // Thirty evaluated attempts; the request of the 31st goes out unused.
    const auto requests = ReceivedPayloads(0x1D);
    EXPECT_EQ(requests.size(), 31u);
    for (const auto& r : requests) {
        EXPECT_EQ(r, (Bytes{0x1D, 0x00, 0x00, 0x00, 0x10}));
    }
}

TEST_F(Download, WholeReadWritesTheFilteredFlash) {
    const DownloadResult r = Run();
    EXPECT_EQ(r.code, kDownloadDone);
    EXPECT_EQ(r.sectors, 20u);
    EXPECT_EQ(ReadFile(request_.rawLogPath), sim_->ExpectedDownload());
    EXPECT_FALSE(fs::exists(request_.traceLogPath));
    EXPECT_EQ(observer_.startedSectors, 20u);
    EXPECT_EQ(observer_.usedBytes, sim_->Flash().WriteOffset());
    EXPECT_EQ(observer_.lastPercent, 100);
    EXPECT_EQ(observer_.lines, (std::vector<std::string>{"read successful..."}));
    // At 57600 already: no rate change. The receiver is restarted at the end.
    EXPECT_TRUE(ReceivedPayloads(0x05).empty());
    ASSERT_TRUE(WaitForId(0x01));
    const auto payloads = ReceivedPayloads();
    ASSERT_FALSE(payloads.empty());
    EXPECT_EQ(payloads.back()[0], 0x01);
    EXPECT_EQ(payloads.front(), (Bytes{0x17}));
}

TEST_F(Download, ReadAtAnotherRateSwitchesAndComesBack) {
    sim::LoggerSimOptions options;
    options.baud = 9600;
    options.paced = false;
    options.flash = FlashOfSectors(3);
    StartSim(std::move(options));
    const DownloadResult r = Run();
    EXPECT_EQ(r.code, kDownloadDone);
    EXPECT_EQ(ReadFile(request_.rawLogPath), sim_->ExpectedDownload());
    EXPECT_EQ(ReceivedPayloads(0x05),
              (std::vector<Bytes>{{0x05, 0x00, 0x04, 0x02}, {0x05, 0x00, 0x01, 0x02}}));
    EXPECT_EQ(port_.BaudRate(), 9600);
    ASSERT_TRUE(sim_->WaitForRateChanges(2, 2s));
    EXPECT_EQ(sim_->Baud(), 9600);
}

TEST_F(Download, StopBetweenRangesWritesNothing) {
    observer_.stopAfterBytes = 1;  // Stop pressed during the first range
    const DownloadResult r = Run();
    EXPECT_EQ(r.code, kDownloadStopped);
    EXPECT_FALSE(fs::exists(request_.rawLogPath));
    EXPECT_FALSE(fs::exists(request_.traceLogPath));
    // The range in flight completes; the next one is never asked for.
    EXPECT_EQ(ReceivedPayloads(0x1D), (std::vector<Bytes>{{0x1D, 0x00, 0x00, 0x00, 0x10}}));
    EXPECT_EQ(observer_.lines, (std::vector<std::string>{"read fail..."}));
    ASSERT_TRUE(WaitForId(0x01));
    EXPECT_EQ(ReceivedPayloads().back()[0], 0x01);
}

TEST_F(Download, FailedReadLeavesNoFile) {
    device_.timings.retryWait = 1ms;
    device_.timings.requestWait = 1ms;
    sim_->NackNext(1000);
    // The status query is NACKed as well.
    DownloadResult r = Run();
    EXPECT_EQ(r.code, kDownloadStatusFailed);
    EXPECT_EQ(r.statusCode, kDatalogNack);
    EXPECT_FALSE(fs::exists(request_.rawLogPath));
    EXPECT_EQ(recorder_.codes, (std::vector<int>{kDatalogNack}));
}

TEST_F(Download, LoggerWithErrorsOffersTheFactoryReset) {
    sim_->SetFlash(sim::FlashImage{});
    DownloadResult r = Run();
    EXPECT_EQ(r.code, kDownloadDeviceError);
    EXPECT_EQ(observer_.questions, 1);
    EXPECT_FALSE(r.factoryResetSent);
    EXPECT_TRUE(ReceivedPayloads(0x04).empty());

    observer_.answerYes = true;
    r = Run();
    EXPECT_TRUE(r.factoryResetSent);
    EXPECT_EQ(r.factoryResetCode, kDatalogAck);
    EXPECT_EQ(ReceivedPayloads(0x04), (std::vector<Bytes>{{0x04, 0x01}}));
    EXPECT_TRUE(ReceivedPayloads(0x1D).empty());
    EXPECT_FALSE(fs::exists(request_.rawLogPath));
}

}  // namespace
}  // namespace pelmora
