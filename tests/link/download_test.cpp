#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>

#include "library/download_archive.h"
#include "link/log_download.h"
#include "sim_fixture.h"
#include "tests/link/pty_peer.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using test::WaitUntil;

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class RecordingObserver : public DownloadObserver {
  public:
    void ReadProgress(const DownloadProgress& p) override {
        last = p;
        if (stopAfterBytes != 0 && p.done >= stopAfterBytes) {
            stop.store(true);
        }
    }
    bool ConfirmFactoryReset() override {
        ++questions;
        return answerYes;
    }
    void StatusLine(const std::string& line) override { lines.push_back(line); }

    DownloadProgress last;
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
        request_.dataFolder = dir_;
        request_.settleWait = 10ms;
        request_.clock = [] { return std::time_t{1796724900}; };  // 2026-12-08 10:15:00 UTC
        WriteOldFiles();
    }
    // Files of an earlier read.
    void WriteOldFiles() {
        fs::remove_all(dir_ / "downloads");
        std::ofstream(dir_ / "data.log") << "old log";
        std::ofstream(dir_ / "TraceLog.ltp") << "old trace";
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
    Bytes DataLog() const { return ReadFile(dir_ / "data.log"); }
    bool Said(std::string_view line) const {
        return std::find(observer_.lines.begin(), observer_.lines.end(), line) !=
               observer_.lines.end();
    }
    std::size_t Archived() const { return ArchivedDownloads(dir_.string()).size(); }
    void ExpectOldFilesKept() const {
        EXPECT_EQ(ReadFile(dir_ / "data.log"), (Bytes{'o', 'l', 'd', ' ', 'l', 'o', 'g'}));
        EXPECT_EQ(ReadFile(dir_ / "TraceLog.ltp").size(), 9u);
        EXPECT_FALSE(fs::exists(dir_ / "downloads"));
    }

    fs::path dir_;
    DownloadRequest request_;
    RecordingObserver observer_;
    RangeResult lastRange_ = RangeResult::AttemptFailed;
};

TEST_F(Download, TwentySectorsTakeTwoRequests) {
    const Bytes data = Range(20);
    EXPECT_EQ(lastRange_, RangeResult::Done);
    EXPECT_EQ(ReceivedPayloads(0x1D),
              (std::vector<Bytes>{{0x1D, 0x00, 0x00, 0x00, 0x10}, {0x1D, 0x00, 0x10, 0x00, 0x04}}));
    EXPECT_EQ(data, sim_->ExpectedDownload());
}

TEST_F(Download, NoSectorsSendNoRequest) {
    const Bytes data = Range(0);
    EXPECT_EQ(lastRange_, RangeResult::Done);
    EXPECT_TRUE(data.empty());
    EXPECT_TRUE(ReceivedPayloads(0x1D).empty());
}

TEST_F(Download, SplitMarkerAndMissingEchoGiveTheSameData) {
    const Bytes expected = sim_->ExpectedDownload();
    for (int boundary = 1; boundary <= 3; ++boundary) {
        sim_->SplitEndMarker(boundary);
        EXPECT_EQ(Range(20), expected) << "split after " << boundary;
        EXPECT_EQ(lastRange_, RangeResult::Done);
    }
    sim_->SplitEndMarker(0);
    sim_->SetEcho(sim::EchoStyle::LfCr);
    EXPECT_EQ(Range(20), expected) << "LF CR echo";
}

TEST_F(Download, NackAndCorruptDataAreRetried) {
    sim_->NackNext(2);
    sim_->CorruptNextRanges(1);
    EXPECT_EQ(Range(20), sim_->ExpectedDownload());
    EXPECT_EQ(lastRange_, RangeResult::Done);
    // Two NACKs and one corrupted answer of the first range, then both ranges.
    EXPECT_EQ(ReceivedPayloads(0x1D).size(), 5u);
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
    EXPECT_EQ(lastRange_, RangeResult::GaveUp);
    // Thirty evaluated attempts; the request of the 31st goes out unused.
    const auto requests = ReceivedPayloads(0x1D);
    EXPECT_EQ(requests.size(), 31u);
    for (const auto& r : requests) {
        EXPECT_EQ(r, (Bytes{0x1D, 0x00, 0x00, 0x00, 0x10}));
    }
}

TEST_F(Download, WholeReadWritesAndArchivesTheFilteredFlash) {
    const DownloadResult r = Run();
    EXPECT_EQ(r.outcome, DownloadOutcome::Done);
    EXPECT_EQ(r.sectors, 20u);
    EXPECT_EQ(DataLog(), sim_->ExpectedDownload());
    std::vector<std::uint8_t> archived;
    std::string error;
    ASSERT_TRUE(ReadArchivedDownload(dir_.string(), "2026-12-08T101500Z", archived, error))
        << error;
    EXPECT_EQ(archived, sim_->ExpectedDownload());
    EXPECT_EQ(ReadFile(dir_ / "TraceLog.ltp").size(), 9u);  // the decoder's to replace
    EXPECT_EQ(observer_.last.done, 20u * 4096);
    EXPECT_EQ(observer_.last.total, 20u * 4096);
    EXPECT_TRUE(Said(kLineReadSuccessful));
    EXPECT_EQ(observer_.lines.back(), "The logger is 3.8 % full (78.8 kB of 2.1 MB).");
    ASSERT_TRUE(WaitForId(0x01));
    EXPECT_EQ(ReceivedPayloads().back()[0], 0x01);
    EXPECT_EQ(ReceivedPayloads().front(), (Bytes{0x17}));

    // A second Read of the same log adds nothing to the archive and says so.
    request_.full = true;
    EXPECT_EQ(Run().outcome, DownloadOutcome::Done);
    EXPECT_TRUE(Said(kLineArchivedBefore));
    EXPECT_FALSE(fs::exists(dir_ / "downloads/2026-12-08T101500Z-2.manifest"));
}

// Every failing Read keeps data.log and the trace as they were and says so.
TEST_F(Download, FailedReadsKeepThePreviousDownload) {
    device_.timings.retryWait = 1ms;
    device_.timings.requestWait = 1ms;
    device_.timings.deadLine = 1500ms;
    struct Row {
        const char* legend;
        std::function<void(sim::LoggerSim&, RecordingObserver&)> arrange;
        DownloadOutcome outcome;
        int baud = 57600;  // the logger's own rate; other than 57600: checked to be restored
    };
    const Row rows[] = {
        {"status NACKed", [](auto& s, auto&) { s.NackNext(1000); }, DownloadOutcome::StatusFailed},
        {"ranges corrupt", [](auto& s, auto&) { s.CorruptNextRanges(1000); },
         DownloadOutcome::GaveUp},
        {"silent mid-range", [](auto& s, auto&) { s.SilenceMidRange(5000); },
         DownloadOutcome::LineDead},
        {"stopped", [](auto&, auto& o) { o.stopAfterBytes = 1; }, DownloadOutcome::Stopped},
        {"unplugged", [](auto& s, auto&) { s.HangUpMidRange(5000); },
         DownloadOutcome::Disconnected},
        // stty on the port mid-range: garbage both ways, bytes without end but nothing usable.
        {"garbled mid-range", [](auto& s, auto&) { s.GarbleMidRange(5000, 9600); },
         DownloadOutcome::LineDead, 9600},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        StartSim([&row] {
            sim::LoggerSimOptions o;
            o.baud = row.baud;
            o.paced = false;
            o.flash = FlashOfSectors(20);
            return o;
        }());
        request_.rate = 57600;
        WriteOldFiles();
        observer_.lines.clear();
        observer_.stopAfterBytes = 0;
        observer_.stop.store(false);
        row.arrange(*sim_, observer_);
        const DownloadResult r = Run();
        EXPECT_EQ(r.outcome, row.outcome);
        ExpectOldFilesKept();
        EXPECT_NE(std::find(observer_.lines.begin(), observer_.lines.end(), kLinePreviousKept),
                  observer_.lines.end());
        if (row.baud != 57600) {
            EXPECT_EQ(sim_->Baud(), row.baud);
            EXPECT_EQ(sim_->ClientBaud(), row.baud);
            EXPECT_TRUE(r.rateRestored);
        }
    }
}

// A cancel from another thread ends the range in flight while its bytes still stream (16
// sectors take eleven seconds at 57600 bit/s); the Read clears the cancel, puts the logger back at
// its own rate and keeps the previous download.
TEST_F(Download, ACancelEndsTheRangeInFlightWhileItStreams) {
    sim::LoggerSimOptions o;
    o.baud = 9600;
    o.commandEndsRange = true;
    o.flash = FlashOfSectors(40);
    StartSim(std::move(o));
    request_.rate = 57600;
    auto read = std::async(std::launch::async, [this] { return Run(); });
    ASSERT_TRUE(WaitUntil([this] { return sim_->RangesServed() > 0; }, 10s));
    const std::size_t sent = sim_->BytesSent();
    ASSERT_TRUE(WaitUntil([&] { return sim_->BytesSent() > sent + 8000; }, 10s));
    port_.SetCancel(1);
    const auto start = Clock::now();
    EXPECT_EQ(read.get().outcome, DownloadOutcome::Stopped);
    EXPECT_LT(Clock::now() - start, 2s) << "the range's end and the way back";
    EXPECT_FALSE(port_.CancelRequested());
    EXPECT_EQ(sim_->Baud(), 9600);
    EXPECT_EQ(port_.BaudRate(), 9600);
    ExpectOldFilesKept();
}

TEST_F(Download, LoggerWithErrorsOffersTheFactoryReset) {
    sim_->SetFlash(sim::FlashImage{});
    DownloadResult r = Run();
    EXPECT_EQ(r.outcome, DownloadOutcome::DeviceError);
    EXPECT_EQ(observer_.questions, 1);
    EXPECT_FALSE(r.factoryResetSent);
    EXPECT_TRUE(ReceivedPayloads(0x04).empty());

    observer_.answerYes = true;
    r = Run();
    EXPECT_TRUE(r.factoryResetSent);
    EXPECT_EQ(r.factoryReset, CommandResult::Done);
    EXPECT_EQ(ReceivedPayloads(0x04), (std::vector<Bytes>{{0x04, 0x01}}));
    EXPECT_TRUE(ReceivedPayloads(0x1D).empty());
    ExpectOldFilesKept();
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

// A logger that refuses the fastest rate, by NACK or by acknowledging and staying, is read at
// the next one, byte-identical, and left at its own rate.
TEST_F(Download, RefusedRatesFallBackToTheNextOne) {
    for (const sim::RateRefusal refusal : {sim::RateRefusal::Nack, sim::RateRefusal::AckAndKeep}) {
        sim::LoggerSimOptions o;
        o.baud = 9600;
        o.paced = false;
        o.flash = FlashOfSectors(3);
        o.highestRate = 115200;
        o.refusal = refusal;
        StartSim(std::move(o));
        const DownloadResult r = Run();
        EXPECT_EQ(r.outcome, DownloadOutcome::Done);
        EXPECT_EQ(r.rate, 115200);
        EXPECT_EQ(DataLog(), sim_->ExpectedDownload());
        ASSERT_TRUE(WaitForId(0x01));
        EXPECT_EQ(sim_->Baud(), 9600);
        EXPECT_EQ(port_.BaudRate(), 9600);
    }
}

// After the log grows, only the sectors from the last one held on cross the line, plus sector 0
// to verify the rest; after a clear and a new recording everything does. data.log equals a full
// read's each time, and every Read is archived.
TEST_F(Download, IncrementalReadFetchesOnlyWhatIsNew) {
    request_.rate = 57600;
    sim_->SetFlash(FlashOfSectors(30));
    ASSERT_EQ(Run().outcome, DownloadOutcome::Done);

    // Nothing added since: said so, and no archive copy the same as the last one.
    DownloadResult r = Run();
    EXPECT_TRUE(r.incremental);
    EXPECT_TRUE(r.nothingNew);
    EXPECT_TRUE(Said(kLineNothingNew));
    EXPECT_TRUE(r.archivePath.empty());
    EXPECT_EQ(Archived(), 1u);

    sim_->SetFlash(FlashOfSectors(40));
    sim_->ClearLogs();
    r = Run();
    EXPECT_EQ(r.outcome, DownloadOutcome::Done);
    EXPECT_TRUE(r.incremental);
    EXPECT_EQ(r.transferred, (1u + 40 - 29) * 4096);
    EXPECT_EQ(ReceivedPayloads(0x1D),
              (std::vector<Bytes>{{0x1D, 0x00, 0x00, 0x00, 0x01}, {0x1D, 0x00, 0x1D, 0x00, 0x0B}}));
    EXPECT_EQ(DataLog(), sim_->ExpectedDownload());

    // Cleared and recorded anew: the first sector differs, so everything is read.
    sim::FlashImage fresh(512);
    for (int i = 0; fresh.SectorsInUse() < 45; ++i) {
        fresh.AppendRecord(
            std::vector<std::uint8_t>{0x80, 1, 2, 3, 4, 5, 6, static_cast<std::uint8_t>(i)});
    }
    sim_->SetFlash(fresh);
    r = Run();
    EXPECT_EQ(r.outcome, DownloadOutcome::Done);
    EXPECT_FALSE(r.incremental);
    EXPECT_EQ(DataLog(), sim_->ExpectedDownload());

    request_.full = true;
    r = Run();
    EXPECT_FALSE(r.incremental);
    EXPECT_EQ(r.transferred, 45u * 4096);
    EXPECT_EQ(Archived(), 3u);  // the same log again is archived once
}

sim::FlashImage RecordedAnew(std::uint16_t sectors) {
    sim::FlashImage fresh(512);
    for (int i = 0; fresh.SectorsInUse() < sectors; ++i) {
        fresh.AppendRecord(
            std::vector<std::uint8_t>{0x80, 9, 8, 7, 6, 5, 4, static_cast<std::uint8_t>(i)});
    }
    return fresh;
}

// A Read that takes every sector again says why, in one line.
TEST_F(Download, AWholeReadSaysWhy) {
    request_.rate = 57600;
    const struct {
        const char* legend;
        sim::FlashImage before;  // of the last download; no sectors: none was made
        sim::FlashImage now;
        bool full;
        std::uint8_t fifoMode;
        WholeReadReason reason;
    } rows[] = {
        {"no earlier download", {}, FlashOfSectors(20), false, 0, WholeReadReason::NoEarlier},
        {"asked for", FlashOfSectors(20), FlashOfSectors(20), true, 0, WholeReadReason::Asked},
        {"cleared", FlashOfSectors(30), FlashOfSectors(10), false, 0, WholeReadReason::Cleared},
        {"start differs", FlashOfSectors(20), RecordedAnew(25), false, 0, WholeReadReason::Changed},
        {"wrapped round", FlashOfSectors(20), RecordedAnew(25), false, 1, WholeReadReason::Wrapped},
        {"another logger", FlashOfSectors(20), FlashOfSectors(20, 1024), false, 0,
         WholeReadReason::OtherLogger},
        {"only what is new", FlashOfSectors(20), FlashOfSectors(30), false, 0,
         WholeReadReason::None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        fs::remove(dir_ / "data.log.sectors");
        sim::LogOptions options;
        sim_->SetOptions(options);
        if (row.before.TotalSectors() != 0) {
            sim_->SetFlash(row.before);
            request_.full = true;
            ASSERT_EQ(Run().outcome, DownloadOutcome::Done);
        }
        sim_->SetFlash(row.now);
        options.fifoMode = row.fifoMode;
        sim_->SetOptions(options);
        request_.full = row.full;
        observer_.lines.clear();
        const DownloadResult r = Run();
        EXPECT_EQ(r.outcome, DownloadOutcome::Done);
        EXPECT_EQ(r.wholeRead, row.reason);
        EXPECT_EQ(r.incremental, row.reason == WholeReadReason::None);
        EXPECT_EQ(Said(WholeReadText(row.reason)), row.reason != WholeReadReason::None);
        EXPECT_EQ(DataLog(), sim_->ExpectedDownload());
    }
}

// A cleared logger holds no log: the Read says so and leaves data.log, its map and the archive
// as the last download left them.
TEST_F(Download, AnEmptyLogWritesNothing) {
    ASSERT_EQ(Run().outcome, DownloadOutcome::Done);
    const Bytes log = DataLog();
    const Bytes map = ReadFile(dir_ / "data.log.sectors");
    sim_->SetFlash(sim::FlashImage(512));
    observer_.lines.clear();
    const DownloadResult r = Run();
    EXPECT_EQ(r.outcome, DownloadOutcome::EmptyLog);
    EXPECT_EQ(DataLog(), log);
    EXPECT_EQ(ReadFile(dir_ / "data.log.sectors"), map);
    EXPECT_EQ(Archived(), 1u);
    EXPECT_TRUE(Said(kLineEmptyLog));
    EXPECT_FALSE(Said(kLineReadSuccessful));
    EXPECT_TRUE(Said("The logger is 0.0 % full (0.0 kB of 2.1 MB)."));
}

// The way back to the logger's rate is checked by a status probe there and asked for again:
// two refusals are overcome; after three the user is told where the logger was left, and the
// receiver's restart goes out at that rate.
TEST_F(Download, TheSwitchBackIsCheckedAndAskedForAgain) {
    const struct {
        int refusals;
        bool restored;
        int leftAt;
        int restartAt;
    } rows[] = {{2, true, 0, 9600}, {3, false, 57600, 57600}};
    request_.settleWait = 100ms;  // the restart leaves the line before the port changes rate
    for (const auto& row : rows) {
        SCOPED_TRACE(row.refusals);
        sim::LoggerSimOptions o;
        o.baud = 9600;
        o.paced = false;
        o.flash = FlashOfSectors(3);
        StartSim(std::move(o));
        request_.rate = 57600;
        observer_.lines.clear();
        sim_->RefuseRateChanges(row.refusals, 9600);
        const DownloadResult r = Run();
        EXPECT_EQ(r.outcome, DownloadOutcome::Done);
        EXPECT_EQ(r.rateRestored, row.restored);
        EXPECT_EQ(r.leftAtRate, row.leftAt);
        EXPECT_EQ(ReceivedPayloads(0x05).size(), 4u);  // away once, back three times
        EXPECT_EQ(sim_->Baud(), row.restored ? 9600 : 57600);
        EXPECT_EQ(port_.BaudRate(), 9600);
        ASSERT_TRUE(WaitForId(0x01));
        EXPECT_EQ(sim_->Frames().back().simBaud, row.restartAt);
        EXPECT_EQ(sim_->Frames().back().answer, sim::FrameAnswer::NoAck);
        EXPECT_EQ(Said("The logger did not return to 9600 bit/s: it was left at 57600 bit/s; "
                       "connect again and it is found at 57600 bit/s and switched back."),
                  !row.restored);
    }
}

}  // namespace
}  // namespace pelmora
