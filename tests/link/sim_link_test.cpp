// The link against the simulated logger: what the window's device detection and the commands
// rely on, end to end over a pseudo-terminal.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/receiver_protocol.h"
#include "sim/logger_sim.h"
#include "tests/link/print_results.h"
#include "tests/link/pty_peer.h"

namespace pelmora {
namespace {

using test::WaitUntil;
using namespace std::chrono_literals;

const unsigned char kClearLog[] = {0xA0, 0xA1, 0x00, 0x01, 0x19, 0x19, 0x0D, 0x0A};

class SimLink : public ::testing::Test {
  protected:
    void Start(int simBaud, bool silent = false) {
        sim::LoggerSimOptions options;
        options.baud = simBaud;
        options.silent = silent;
        sim_ = std::make_unique<sim::LoggerSim>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim_->Start(&error)) << error;
    }
    void TearDown() override {
        protocol.StopReader();
        port.Close();
        if (sim_) {
            sim_->Stop();
        }
    }
    std::unique_ptr<sim::LoggerSim> sim_;
    SerialPort port;
    ReceiverProtocol protocol;
};

TEST_F(SimLink, OpenFailsCleanlyThenSucceedsOnTheLoggerAfterAFailedSetup) {
    Start(4800);
    EXPECT_FALSE(port.Open("/dev/pelmora-missing-logger", 4800));
    EXPECT_FALSE(port.IsConnected());
    EXPECT_FALSE(port.Open(sim_->SlavePath(), 4321));
    EXPECT_FALSE(port.IsConnected());
    ASSERT_TRUE(port.Open(sim_->SlavePath(), 4800)) << port.LastError();
    EXPECT_TRUE(WaitUntil([&] { return sim_->ClientBaud() == 4800; }, 2s));
}

TEST_F(SimLink, AWriteOf1300BytesGoesOutAs512And512And276) {
    Start(57600);
    ASSERT_TRUE(port.Open(sim_->SlavePath(), 57600));
    std::vector<std::size_t> chunks;
    port.SetWriteObserver([&](std::size_t requested, std::size_t) { chunks.push_back(requested); });
    const std::vector<unsigned char> data(1300, 0x20);
    EXPECT_EQ(port.Write(data.data(), 1300), 1300);
    EXPECT_EQ(chunks, (std::vector<std::size_t>{512, 512, 276}));
}

TEST_F(SimLink, CommandsAreAcknowledgedAndRetried) {
    Start(9600);
    ASSERT_TRUE(port.Open(sim_->SlavePath(), 9600));
    EXPECT_EQ(port.SendAndWaitAck(kClearLog, 8), CommandResult::Done);
    sim_->NackNext(1);
    EXPECT_EQ(port.SendAndWaitAck(kClearLog, 8), CommandResult::Refused);
    sim_->ClearLogs();
    sim_->LoseAckNext(2);
    EXPECT_EQ(port.SendAndWaitAck(kClearLog, 8), CommandResult::Done);
    EXPECT_EQ(sim_->Frames().size(), 3u);
}

TEST_F(SimLink, ASilentLoggerGoesUnansweredAfterTenAttempts) {
    Start(9600, true);
    ASSERT_TRUE(port.Open(sim_->SlavePath(), 9600));
    EXPECT_EQ(port.SendAndWaitAck(kClearLog, 8), CommandResult::NoAnswer);
    EXPECT_TRUE(sim_->WaitForFrames(10, 2s));
    EXPECT_EQ(sim_->Frames().size(), 10u);
}

TEST_F(SimLink, ALoggerAtTheRightRateSpeaksNmea) {
    Start(9600);
    ASSERT_TRUE(port.Open(sim_->SlavePath(), 9600));
    protocol.SetPort(&port);
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return protocol.link.LineKind.load() == kLineKindNmea; }, 10s));
    EXPECT_TRUE(protocol.StopReader());
    EXPECT_TRUE(protocol.link.LinkAlive.load());
}

TEST_F(SimLink, ALoggerAtAnotherRateSetsLineKindTwo) {
    Start(4800);
    ASSERT_TRUE(port.Open(sim_->SlavePath(), 9600));
    protocol.SetPort(&port);
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return protocol.link.LineKind.load() == kLineKindOther; }, 10s));
    EXPECT_TRUE(protocol.StopReader());
    EXPECT_TRUE(protocol.link.LinkAlive.load());
}

TEST_F(SimLink, ASilentLoggerClearsLinkAlive) {
    Start(9600, true);
    ASSERT_TRUE(port.Open(sim_->SlavePath(), 9600));
    protocol.SetPort(&port);
    protocol.link.LinkAlive.store(true);
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return !protocol.link.ProbePending.load(); }, 10s));
    EXPECT_TRUE(protocol.StopReader());
    EXPECT_FALSE(protocol.link.LinkAlive.load());
}

TEST_F(SimLink, TheRateChangesOnTheOpenPort) {
    Start(9600);
    ASSERT_TRUE(port.Open(sim_->SlavePath(), 9600));
    ASSERT_TRUE(port.ChangeRate(57600));
    EXPECT_TRUE(WaitUntil([&] { return sim_->ClientBaud() == 57600; }, 2s));
}

}  // namespace
}  // namespace pelmora
