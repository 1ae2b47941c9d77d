#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "link/receiver_protocol.h"
#include "link/serial_port.h"
#include "tests/link/print_results.h"
#include "tests/link/pty_peer.h"

namespace pelmora {
namespace {

using test::FrameOf;
using test::PtyPeer;
using Bytes = PtyPeer::Bytes;
using namespace std::chrono_literals;

const Bytes kClearLog = {0xA0, 0xA1, 0x00, 0x01, 0x19, 0x19, 0x0D, 0x0A};
const Bytes kAck = {0xA0, 0xA1, 0x00, 0x02, 0x83, 0x19, 0x9A, 0x0D, 0x0A};
const Bytes kZeroAck = {0xA0, 0xA1, 0x00, 0x02, 0x83, 0x00, 0x83, 0x0D, 0x0A};
const Bytes kNack = {0xA0, 0xA1, 0x00, 0x02, 0x84, 0x19, 0x9D, 0x0D, 0x0A};
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class SendAck : public ::testing::Test {
  protected:
    void Open() {
        peer.Start();
        ASSERT_TRUE(port.Open(peer.SlavePath(), 9600)) << port.LastError();
        port.SetWriteObserver([this](std::size_t, std::size_t) { writes.fetch_add(1); });
    }
    PtyPeer peer;
    SerialPort port;
    std::atomic<int> writes{0};
};

TEST_F(SendAck, AnAckIsDone) {
    peer.SetResponder([](const Bytes&) { return kAck; });
    Open();
    EXPECT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::Done);
    EXPECT_EQ(peer.Received(), kClearLog);
}

TEST_F(SendAck, ANackIsRefused) {
    peer.SetResponder([](const Bytes&) { return kNack; });
    Open();
    EXPECT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::Refused);
}

TEST_F(SendAck, AnAckWithAZeroByteAfterItsIdIsNotAnAck) {
    // The zero ACK is read and passed over; the NACK that follows it decides.
    peer.SetResponder([](const Bytes&) { return Cat(kZeroAck, kNack); });
    Open();
    EXPECT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::Refused);
    EXPECT_EQ(writes.load(), 1);
}

TEST_F(SendAck, NmeaAndOtherFramesDuringTheWaitAreDropped) {
    const Bytes gga(kGga.begin(), kGga.end());
    peer.SetResponder([gga](const Bytes&) {
        return Cat(Cat(Cat(gga, FrameOf({0x94, 1, 2, 3})), Bytes{0x55, 0x66}), kAck);
    });
    Open();
    EXPECT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::Done);
}

TEST_F(SendAck, ALostFrameIsSentAgain) {
    std::atomic<int> seen{0};
    peer.SetResponder([&seen](const Bytes&) { return ++seen < 3 ? Bytes{} : kAck; });
    Open();
    EXPECT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::Done);
    EXPECT_EQ(writes.load(), 3);
    EXPECT_EQ(peer.FramesReceived(), 3);
}

TEST_F(SendAck, ASilentLineGoesUnansweredAfterTenAttempts) {
    Open();
    EXPECT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::NoAnswer);
    EXPECT_EQ(writes.load(), 10);
    EXPECT_LE(port.WakeUps(), 20u) << "each attempt sleeps until its answer is due";
    ASSERT_TRUE(peer.WaitForBytes(80, 2s));
    EXPECT_EQ(peer.FramesReceived(), 10);
}

TEST(SendAckClosed, NotConnectedSendsNothing) {
    PtyPeer peer;
    peer.Start();
    SerialPort port;
    EXPECT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::NotConnected);
    EXPECT_TRUE(port.SendOnly(kClearLog.data(), 8));
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    port.Close();
    EXPECT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::NotConnected);
    EXPECT_TRUE(peer.Received().empty());
}

TEST(SendOnly, WritesWithoutWaiting) {
    PtyPeer peer;
    peer.Start();
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    Bytes restart = FrameOf({0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(port.SendOnly(restart.data(), static_cast<int>(restart.size())));
    ASSERT_TRUE(peer.WaitForBytes(restart.size(), 2s));
    EXPECT_EQ(peer.Received(), restart);
}

class ReplyWait : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
        protocol.SetPort(&port);
    }
    // The responder is set before the peer runs.
    void Begin(PtyPeer::Responder responder) {
        peer.SetResponder(std::move(responder));
        peer.Start();
    }
    PtyPeer peer;
    SerialPort port;
    ReceiverProtocol protocol;
    unsigned char buffer[ReceiverProtocol::kReplyCapacity + 1] = {};
};

TEST_F(ReplyWait, AReplyWithCrLfInItsPayloadArrivesWhole) {
    // A write address of 0x00000D0A would cut the reply at a line end.
    const Bytes status = FrameOf({0x94, 0x0A, 0x0D, 0x00, 0x00, 0x0D, 0x0A, 100, 0});
    Begin([status](const Bytes&) { return Cat(kAck, status); });
    ASSERT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::Done);
    const int r = protocol.WaitReply(kKindLogStatus, buffer);
    ASSERT_EQ(r, static_cast<int>(status.size()));
    EXPECT_EQ(Bytes(buffer, buffer + r), status);
}

TEST_F(ReplyWait, AReplyWithAWrongChecksumIsPassedOver) {
    Bytes bad = FrameOf({0xD0, 3, 'a', 'b', 'c'});
    bad[bad.size() - 3] ^= 0x40;
    const Bytes good = FrameOf({0xD0, 3, 'x', 'y', 'z'});
    Begin([bad, good](const Bytes&) { return Cat(Cat(kAck, bad), good); });
    ASSERT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::Done);
    const int r = protocol.WaitReply(kKindDeviceId, buffer);
    ASSERT_EQ(r, static_cast<int>(good.size()));
    EXPECT_EQ(buffer[6], 'x');
}

TEST_F(ReplyWait, NoReplyEndsTheWait) {
    Begin([](const Bytes&) { return kAck; });
    ASSERT_EQ(port.SendAndWaitAck(kClearLog.data(), 8), CommandResult::Done);
    EXPECT_EQ(protocol.WaitReply(kKindLogStatus, buffer, 300), 0);
}

TEST(ReplyWaitClosed, NotConnectedGivesNothing) {
    ReceiverProtocol protocol;
    unsigned char buffer[ReceiverProtocol::kReplyCapacity + 1] = {};
    EXPECT_EQ(protocol.WaitReply(kKindLogStatus, buffer, 50), 0);
    SerialPort port;
    protocol.SetPort(&port);
    EXPECT_EQ(protocol.WaitReply(kKindLogStatus, buffer, 50), 0);
}

}  // namespace
}  // namespace pelmora
