#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/logger_sim.h"
#include "sim/sim_frame.h"
#include "test_client.h"

namespace pelmora::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using testing::FirstFrame;
using testing::TestClient;

// Three sectors in use, the first filled to its last byte.
FlashImage SmallFlash() {
    FlashImage flash(16);
    const Bytes full = {0x40, 0x28, 0x21, 0x6A, 0x86, 0x01, 0x00, 0x00, 0x00,
                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const Bytes compact = {0x80, 0x2A, 0x00, 0x01, 0x01, 0x80, 0x00, 0x05};
    for (int i = 0; i < 512; ++i) {
        flash.AppendRecord(compact);
    }
    flash.AppendRecord(full);
    for (int i = 0; i < 600; ++i) {
        flash.AppendRecord(compact);
    }
    return flash;
}

LoggerSimOptions Small(int baud = 4800) {
    LoggerSimOptions o;
    o.baud = baud;
    o.flash = SmallFlash();
    return o;
}

bool HasFrameWithId(const Bytes& bytes, std::uint8_t id, std::uint8_t second = 0) {
    for (std::size_t i = 0; i + 1 < bytes.size();) {
        const Bytes f = FirstFrame(bytes, i);
        if (f.empty()) {
            return false;
        }
        if (f[4] == id && (second == 0 || f[5] == second)) {
            return true;
        }
        const auto at = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.end(),
                                    f.begin(), f.end());
        i = static_cast<std::size_t>(at - bytes.begin()) + f.size();
    }
    return false;
}

std::vector<std::string> CompleteLines(const Bytes& bytes) {
    std::vector<std::string> lines;
    std::string current;
    bool started = false;
    for (const auto b : bytes) {
        if (b == '$') {
            started = true;
            current.assign(1, '$');
        } else if (started) {
            current.push_back(static_cast<char>(b));
            if (current.size() >= 2 && current.ends_with("\r\n")) {
                lines.push_back(current);
                started = false;
            }
        }
    }
    return lines;
}

bool NmeaChecksumHolds(const std::string& line) {
    const auto star = line.find('*');
    if (star == std::string::npos || star + 5 != line.size()) {
        return false;
    }
    unsigned x = 0;
    for (std::size_t i = 1; i < star; ++i) {
        x ^= static_cast<unsigned char>(line[i]);
    }
    return std::stoul(line.substr(star + 1, 2), nullptr, 16) == x;
}

// The bytes after a ranged read's ACK: data, "END" NUL, "CHECKSUM=", xor, echo lo, echo hi.
struct RangeReply {
    Bytes data;
    Bytes trailer;
};
bool SplitRange(const Bytes& afterAck, std::size_t dataSize, RangeReply& out) {
    if (afterAck.size() < dataSize + 4 + 12) {
        return false;
    }
    out.data.assign(afterAck.begin(), afterAck.begin() + static_cast<std::ptrdiff_t>(dataSize));
    const Bytes marker(afterAck.begin() + static_cast<std::ptrdiff_t>(dataSize),
                       afterAck.begin() + static_cast<std::ptrdiff_t>(dataSize + 4));
    out.trailer.assign(afterAck.begin() + static_cast<std::ptrdiff_t>(dataSize + 4),
                       afterAck.begin() + static_cast<std::ptrdiff_t>(dataSize + 16));
    return marker == Bytes{'E', 'N', 'D', 0};
}

Bytes AfterAck(const Bytes& got) {
    const Bytes ack = AckFrame(0x1D);
    const auto at = std::search(got.begin(), got.end(), ack.begin(), ack.end());
    if (at == got.end()) {
        return {};
    }
    return Bytes(at + static_cast<std::ptrdiff_t>(ack.size()), got.end());
}

Bytes RangePayload(std::uint16_t first, std::uint16_t count) {
    return {0x1D, static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first),
            static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)};
}

class LoggerSimTest : public ::testing::Test {
  protected:
    void StartSim(LoggerSimOptions options) {
        sim_ = std::make_unique<LoggerSim>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim_->Start(&error)) << error;
        ASSERT_FALSE(sim_->SlavePath().empty());
    }
    std::unique_ptr<LoggerSim> sim_;
};

// ---- idle line ----

TEST_F(LoggerSimTest, NmeaArrivesValidAndNeverFasterThanTheLine) {
    StartSim(Small(4800));
    TestClient client(sim_->SlavePath(), 4800);
    ASSERT_TRUE(client.IsOpen());
    client.Flush();
    const auto start = std::chrono::steady_clock::now();
    const Bytes got =
        client.ReadUntil([](const Bytes& b) { return CompleteLines(b).size() >= 6; }, 5000ms);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto lines = CompleteLines(got);
    ASSERT_GE(lines.size(), 6u);
    for (const auto& line : lines) {
        EXPECT_TRUE(NmeaChecksumHolds(line)) << line;
    }
    // 10 bits a byte: at 4800 bit/s no more than 480 bytes a second reach the client (plus what
    // was already on its way when it flushed).
    EXPECT_LE(static_cast<double>(got.size()), seconds * 480.0 + 64.0);
}

TEST_F(LoggerSimTest, ClientAtAnotherRateSeesNoNmea) {
    StartSim(Small(4800));
    TestClient client(sim_->SlavePath(), 9600);
    client.Flush();
    const Bytes got = client.ReadAtLeast(200, 4000ms);
    ASSERT_GE(got.size(), 200u);
    // A burst already on its way may have started before the flush; skip to the first garbage.
    const auto garbage = std::find_if(got.begin(), got.end(), [](auto b) { return b >= 0x80; });
    ASSERT_NE(garbage, got.end());
    const Bytes tail(garbage + 1, got.end());
    EXPECT_TRUE(
        CompleteLines(Bytes(tail.begin() + std::min<std::ptrdiff_t>(
                                               200, static_cast<std::ptrdiff_t>(tail.size())),
                            tail.end()))
            .empty());
    EXPECT_EQ(std::count(tail.begin(), tail.end(), '$'), 0);
    EXPECT_EQ(sim_->ClientBaud(), 9600);
    // Frames sent at the wrong rate are noise to the logger.
    client.SendPayload({0x17});
    client.ReadFor(300ms);
    EXPECT_TRUE(sim_->Frames().empty());
}

TEST_F(LoggerSimTest, SilentLoggerSendsNothingAndAnswersNothing) {
    LoggerSimOptions o = Small();
    o.silent = true;
    StartSim(std::move(o));
    TestClient client(sim_->SlavePath(), 4800);
    client.Flush();
    ASSERT_TRUE(client.SendPayload({0x17}));
    ASSERT_TRUE(sim_->WaitForFrames(1, 2000ms));
    EXPECT_TRUE(client.ReadFor(1200ms).empty());  // longer than one NMEA period
    EXPECT_EQ(sim_->Frames()[0].answer, FrameAnswer::Ignored);
    EXPECT_EQ(sim_->BytesSent(), 0u);
}

// ---- commands ----

TEST_F(LoggerSimTest, ConfigureIsAckedLoggedAndKept) {
    StartSim(Small());
    TestClient client(sim_->SlavePath(), 4800);
    client.Flush();
    const Bytes payload = {0x18, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x05,
                           0x00, 0x00, 0x4E, 0x20, 0x00, 0x00, 0x00, 0x0A, 0x00,
                           0x00, 0x0F, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00};
    ASSERT_TRUE(client.SendPayload(payload));
    const Bytes got =
        client.ReadUntil([](const Bytes& b) { return HasFrameWithId(b, 0x83, 0x18); }, 3000ms);
    EXPECT_TRUE(HasFrameWithId(got, 0x83, 0x18));
    const auto frames = sim_->Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, BuildFrame(payload));
    EXPECT_TRUE(frames[0].checksumOk);
    EXPECT_EQ(frames[0].answer, FrameAnswer::Ack);
    EXPECT_EQ(frames[0].simBaud, 4800);
    EXPECT_EQ(sim_->Options().minTime, 5u);
    EXPECT_EQ(sim_->Options().minDistance, 10u);
}

TEST_F(LoggerSimTest, BadChecksumIsNackedAndRestartIsNotAnswered) {
    StartSim(Small());
    TestClient client(sim_->SlavePath(), 4800);
    client.Flush();
    client.Write({0xA0, 0xA1, 0x00, 0x01, 0x19, 0x18, 0x0D, 0x0A});
    Bytes got = client.ReadUntil([](const Bytes& b) { return HasFrameWithId(b, 0x84); }, 3000ms);
    EXPECT_TRUE(HasFrameWithId(got, 0x84, 0x19));
    client.SendPayload({0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(sim_->WaitForFrames(2, 2000ms));
    EXPECT_EQ(sim_->Frames()[1].answer, FrameAnswer::NoAck);
    got = client.ReadFor(500ms);  // the restarted receiver keeps quiet for a second
    EXPECT_FALSE(HasFrameWithId(got, 0x83));
}

TEST_F(LoggerSimTest, BaudChangeThenRangedReadInTheProtocolsLayout) {
    StartSim(Small(4800));
    auto client = std::make_unique<TestClient>(sim_->SlavePath(), 4800);
    client->Flush();
    ASSERT_TRUE(client->SendPayload({0x05, 0x00, 0x04, 0x02}));
    const Bytes ack =
        client->ReadUntil([](const Bytes& b) { return HasFrameWithId(b, 0x83, 0x05); }, 3000ms);
    ASSERT_TRUE(HasFrameWithId(ack, 0x83, 0x05));
    ASSERT_TRUE(sim_->WaitForRateChanges(1, 2000ms));
    const auto changes = sim_->RateChanges();
    EXPECT_EQ(changes[0].from, 4800);
    EXPECT_EQ(changes[0].to, 57600);
    EXPECT_EQ(changes[0].cause, RateChangeCause::Command);

    // The client reopens its port at the new rate, as the real one does.
    client.reset();
    client = std::make_unique<TestClient>(sim_->SlavePath(), 57600);
    client->Flush();
    ASSERT_TRUE(sim_->WaitUntilDrained(2000ms));
    ASSERT_TRUE(client->SendPayload(RangePayload(0, 3)));
    const std::size_t dataSize = 3 * kSectorSize;
    const Bytes got = client->ReadUntil(
        [&](const Bytes& b) { return AfterAck(b).size() >= dataSize + 16; }, 10000ms);
    RangeReply reply;
    ASSERT_TRUE(SplitRange(AfterAck(got), dataSize, reply));
    const FlashImage flash = sim_->Flash();
    EXPECT_TRUE(std::equal(reply.data.begin(), reply.data.end(), flash.Bytes().begin()));
    EXPECT_EQ(std::string(reply.trailer.begin(), reply.trailer.begin() + 9), "CHECKSUM=");
    EXPECT_EQ(reply.trailer[9], PayloadChecksum(reply.data));
    EXPECT_EQ(reply.trailer[10], 0);
    EXPECT_EQ(reply.trailer[11], 0);
    EXPECT_EQ(sim_->RangesServed(), 1u);
}

TEST_F(LoggerSimTest, LogStatusReplyFollowsItsAck) {
    StartSim(Small());
    TestClient client(sim_->SlavePath(), 4800);
    client.Flush();
    client.SendPayload({0x17});
    const Bytes got =
        client.ReadUntil([](const Bytes& b) { return HasFrameWithId(b, 0x94); }, 3000ms);
    ASSERT_TRUE(HasFrameWithId(got, 0x83, 0x17));
    const Bytes ack = AckFrame(0x17);
    const auto at = std::search(got.begin(), got.end(), ack.begin(), ack.end());
    const Bytes status = FirstFrame(Bytes(at + static_cast<std::ptrdiff_t>(ack.size()), got.end()));
    ASSERT_EQ(status.size(), 48u);
    EXPECT_EQ(status[4], 0x94);
    EXPECT_EQ(status[11] | status[12] << 8, 16);           // total sectors
    EXPECT_EQ(16 - (status[9] | status[10] << 8) + 1, 3);  // sectors to read
}

// ---- faults ----

class RangeFaultTest : public LoggerSimTest {
  protected:
    void SetUp() override {
        LoggerSimOptions o = Small(57600);
        o.paced = false;
        StartSim(std::move(o));
        client_ = std::make_unique<TestClient>(sim_->SlavePath(), 57600);
        client_->Flush();
    }
    // One request of `count` sectors; every byte that came back.
    Bytes Request(std::uint16_t first, std::uint16_t count, std::chrono::milliseconds limit) {
        EXPECT_TRUE(client_->SendPayload(RangePayload(first, count)));
        const std::size_t want = std::size_t{count} * kSectorSize + 16;
        return client_->ReadUntil([&](const Bytes& b) { return AfterAck(b).size() >= want; },
                                  limit);
    }
    std::unique_ptr<TestClient> client_;
};

TEST_F(RangeFaultTest, EchoCanBeLfCr) {
    sim_->SetEcho(EchoStyle::LfCr);
    RangeReply reply;
    ASSERT_TRUE(SplitRange(AfterAck(Request(2, 1, 5000ms)), kSectorSize, reply));
    EXPECT_EQ(reply.trailer[10], 0x0A);
    EXPECT_EQ(reply.trailer[11], 0x0D);
}

TEST_F(RangeFaultTest, CorruptedDataNoLongerMatchesTheTrailer) {
    sim_->CorruptNextRanges(1);
    RangeReply bad;
    ASSERT_TRUE(SplitRange(AfterAck(Request(0, 2, 5000ms)), 2 * kSectorSize, bad));
    EXPECT_NE(bad.trailer[9], PayloadChecksum(bad.data));
    RangeReply good;
    ASSERT_TRUE(SplitRange(AfterAck(Request(0, 2, 5000ms)), 2 * kSectorSize, good));
    EXPECT_EQ(good.trailer[9], PayloadChecksum(good.data));
    EXPECT_EQ(good.trailer[9], bad.trailer[9]);
}

TEST_F(RangeFaultTest, SplitMarkerArrivesInTwoReads) {
    for (const int boundary : {1, 2, 3}) {
        sim_->SplitEndMarker(boundary);
        client_->SendPayload(RangePayload(0, 1));
        // Read chunk by chunk: the first part must end a read on its own.
        std::vector<Bytes> reads;
        Bytes all;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (AfterAck(all).size() < kSectorSize + 16 &&
               std::chrono::steady_clock::now() < deadline) {
            Bytes chunk = client_->ReadAtLeast(1, 200ms);
            if (!chunk.empty()) {
                all.insert(all.end(), chunk.begin(), chunk.end());
                reads.push_back(std::move(chunk));
            }
        }
        const Bytes marker = {'E', 'N', 'D', 0};
        const Bytes head(marker.begin(), marker.begin() + boundary);
        const Bytes tail(marker.begin() + boundary, marker.end());
        bool split = false;
        for (std::size_t i = 0; i + 1 < reads.size(); ++i) {
            split |= reads[i].size() >= head.size() &&
                     std::equal(head.begin(), head.end(), reads[i].end() - boundary) &&
                     std::equal(tail.begin(), tail.end(), reads[i + 1].begin());
        }
        EXPECT_TRUE(split) << "boundary " << boundary;
        RangeReply reply;
        EXPECT_TRUE(SplitRange(AfterAck(all), kSectorSize, reply));
    }
}

TEST_F(RangeFaultTest, StallStopsTheDataThenTheNextRequestIsServed) {
    sim_->StallNextRange(1000);
    client_->SendPayload(RangePayload(0, 2));
    const Bytes stalled = client_->ReadFor(400ms);
    EXPECT_EQ(AfterAck(stalled).size(), 1000u);
    RangeReply reply;
    EXPECT_TRUE(SplitRange(AfterAck(Request(0, 2, 5000ms)), 2 * kSectorSize, reply));
}

TEST_F(RangeFaultTest, HangUpMidRangeEndsTheLineNotTheProcess) {
    sim_->HangUpMidRange(3000);
    client_->SendPayload(RangePayload(0, 3));
    const Bytes got = client_->ReadFor(3000ms);
    EXPECT_LE(AfterAck(got).size(), 3000u);
    EXPECT_TRUE(client_->HungUp());
    for (int i = 0; i < 100 && sim_->Running(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(sim_->Running());
    sim_->Stop();
}

TEST_F(RangeFaultTest, NackLostAckAndIgnore) {
    sim_->NackNext(1);
    client_->SendPayload({0x17});
    Bytes got = client_->ReadUntil([](const Bytes& b) { return HasFrameWithId(b, 0x84); }, 2000ms);
    EXPECT_TRUE(HasFrameWithId(got, 0x84, 0x17));
    EXPECT_FALSE(HasFrameWithId(got, 0x94));

    sim_->LoseAckNext(1);
    client_->SendPayload({0x17});
    got = client_->ReadUntil([](const Bytes& b) { return HasFrameWithId(b, 0x94); }, 2000ms);
    EXPECT_TRUE(HasFrameWithId(got, 0x94));
    EXPECT_FALSE(HasFrameWithId(got, 0x83));

    sim_->IgnoreNext(1);
    client_->SendPayload({0x17});
    ASSERT_TRUE(sim_->WaitForFrames(3, 2000ms));
    ASSERT_TRUE(sim_->WaitUntilDrained(2000ms));
    EXPECT_FALSE(HasFrameWithId(client_->ReadFor(200ms), 0x83));

    const auto frames = sim_->Frames();
    EXPECT_EQ(frames[0].answer, FrameAnswer::Nack);
    EXPECT_EQ(frames[1].answer, FrameAnswer::LostAck);
    EXPECT_EQ(frames[2].answer, FrameAnswer::Ignored);
    const auto applied = sim_->FaultsApplied();
    EXPECT_EQ(applied[static_cast<std::size_t>(FaultKind::Nack)], 1u);
    EXPECT_EQ(applied[static_cast<std::size_t>(FaultKind::LoseAck)], 1u);
    EXPECT_EQ(applied[static_cast<std::size_t>(FaultKind::Ignore)], 1u);
}

TEST_F(RangeFaultTest, RandomFaultsAreSeededAndOnlyRecoverableKinds) {
    auto run = [&](std::uint64_t seed) {
        sim_->ClearLogs();
        sim_->SetRandomFaults(seed, 1.0);
        std::vector<FrameAnswer> answers;
        for (int i = 0; i < 12; ++i) {
            client_->SendPayload({0x17});
            EXPECT_TRUE(sim_->WaitForFrames(static_cast<std::size_t>(i + 1), 2000ms));
        }
        for (const auto& f : sim_->Frames()) {
            answers.push_back(f.answer);
            EXPECT_NE(f.answer, FrameAnswer::Ack);
            EXPECT_NE(f.answer, FrameAnswer::Nack);  // would end a download, not test recovery
        }
        sim_->SetRandomFaults(0, 0.0);
        return answers;
    };
    EXPECT_EQ(run(7), run(7));
}

// ---- life cycle ----

TEST_F(LoggerSimTest, ClientsComeAndGoAndStopNeverHangs) {
    StartSim(Small());
    for (int i = 0; i < 3; ++i) {
        TestClient client(sim_->SlavePath(), 4800);
        client.Flush();
        client.SendPayload({0x74});
        const Bytes got =
            client.ReadUntil([](const Bytes& b) { return HasFrameWithId(b, 0xD0); }, 3000ms);
        EXPECT_TRUE(HasFrameWithId(got, 0xD0)) << "client " << i;
    }
    EXPECT_TRUE(sim_->Running());
    // A client that never reads: the sim's writes find the line full; Stop still returns.
    TestClient lazy(sim_->SlavePath(), 4800);
    sim_->SetPaced(false);
    lazy.SendPayload(RangePayload(0, 16));
    sim_->WaitForFrames(4, 2000ms);
    sim_->Stop();  // bounded: the test's own time-out catches a hang
    EXPECT_FALSE(sim_->Running());
    sim_->Stop();  // idempotent
}

TEST(LoggerSimLifeCycle, DestroyedWithoutStartOrStop) {
    { LoggerSim never; }
    {
        LoggerSim started;
        ASSERT_TRUE(started.Start());
    }
}

}  // namespace
}  // namespace pelmora::sim
