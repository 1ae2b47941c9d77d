#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/receiver_protocol.h"
#include "tests/link/print_results.h"
#include "tests/link/pty_peer.h"

namespace pelmora {
namespace {

using test::PtyPeer;
using test::WaitUntil;
using Bytes = PtyPeer::Bytes;
using namespace std::chrono_literals;

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

// Collects what the reader tells; the reader thread writes, the test reads.
struct Listener : LinkListener {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::atomic<int> lost{0};
    void OnNmeaLine(std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex);
        lines.emplace_back(line);
    }
    void OnLineLost() override { lost.fetch_add(1); }
    std::size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return lines.size();
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
};

class Reader : public ::testing::Test {
  protected:
    void Begin(Bytes stream, std::chrono::milliseconds period) {
        if (!stream.empty()) {
            peer.SetStream(std::move(stream), period);
        }
        peer.Start();
        ASSERT_TRUE(port.Open(peer.SlavePath(), 9600)) << port.LastError();
        protocol.SetPort(&port);
        protocol.SetListener(&listener);
    }
    PtyPeer peer;
    SerialPort port;
    ReceiverProtocol protocol;
    Listener listener;
};

TEST_F(Reader, NmeaSentencesSetLinkAliveAndLineKindOne) {
    Begin(Bytes(kGga.begin(), kGga.end()), 150ms);
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return listener.Count() >= 2; }, 5s));
    EXPECT_TRUE(protocol.StopReader());
    EXPECT_TRUE(protocol.link.LinkAlive.load());
    EXPECT_EQ(protocol.link.LineKind.load(), kLineKindNmea);
    EXPECT_FALSE(protocol.link.ProbePending.load());
    // The handler gets the line with its LF taken off.
    EXPECT_EQ(listener.Lines().front(), kGga.substr(0, kGga.size() - 1));
}

TEST_F(Reader, AReceiverAtAnotherRateSetsLineKindTwo) {
    // What a receiver at another rate looks like: bytes that never form a sentence.
    Bytes noise;
    for (int i = 0; i < 300; ++i) {
        noise.push_back(static_cast<unsigned char>((i * 37 + 11) & 0xFF));
    }
    Begin(noise, 100ms);
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return protocol.link.LineKind.load() == kLineKindOther; }, 5s));
    EXPECT_TRUE(protocol.StopReader());
    EXPECT_TRUE(protocol.link.LinkAlive.load());
    EXPECT_EQ(protocol.link.LineKind.load(), kLineKindOther);
}

TEST_F(Reader, ASilentReceiverClearsLinkAlive) {
    Begin({}, 0ms);
    protocol.link.LinkAlive.store(true);
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return !protocol.link.ProbePending.load(); }, 10s));
    EXPECT_TRUE(protocol.StopReader());
    EXPECT_FALSE(protocol.link.LinkAlive.load());
    EXPECT_EQ(protocol.link.LineKind.load(), kLineKindNone);
    EXPECT_EQ(listener.Count(), 0u);
}

// Between commands the reader sleeps in its reads: a silent line wakes it a few times a second,
// not every millisecond.
TEST_F(Reader, ASilentLineWakesTheReaderAtMostFiveTimesASecond) {
    Begin({}, 0ms);
    ASSERT_TRUE(protocol.StartReader());
    std::this_thread::sleep_for(5s);
    const std::uint64_t wakeUps = port.WakeUps();
    const auto stopStart = std::chrono::steady_clock::now();
    EXPECT_TRUE(protocol.StopReader());
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 500ms) << "the stop wakes the read";
    EXPECT_LE(wakeUps, 25u);
}

TEST_F(Reader, StopsPromptlyWhileTheLineIsBusyAndStartsAgain) {
    std::string burst;
    for (int i = 0; i < 8; ++i) {
        burst += (i % 2) ? kRmc : kGga;
    }
    Begin(Bytes(burst.begin(), burst.end()), 50ms);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(protocol.StartReader());
        EXPECT_FALSE(protocol.StartReader()) << "only one reader at a time";
        EXPECT_TRUE(
            WaitUntil([&] { return listener.Count() > static_cast<std::size_t>(round); }, 5s));
        EXPECT_TRUE(protocol.StopReader());
        EXPECT_FALSE(protocol.ReaderRunning());
        EXPECT_FALSE(port.CancelRequested()) << "the stop clears the cancel flag again";
    }
    EXPECT_TRUE(protocol.StopReader()) << "stopping a stopped reader is harmless";
}

TEST_F(Reader, ACommandRunsBetweenStopAndStart) {
    const Bytes ack = {0xA0, 0xA1, 0x00, 0x02, 0x83, 0x19, 0x9A, 0x0D, 0x0A};
    peer.SetResponder([ack](const Bytes&) { return ack; });
    Begin(Bytes(kGga.begin(), kGga.end()), 100ms);
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return listener.Count() >= 1; }, 5s));
    ASSERT_TRUE(protocol.StopReader());
    const unsigned char frame[] = {0xA0, 0xA1, 0x00, 0x01, 0x19, 0x19, 0x0D, 0x0A};
    EXPECT_EQ(port.SendAndWaitAck(frame, 8), CommandResult::Done);
    port.SetCancel(1);  // left over from a command cut short: the reader must still read
    const std::size_t before = listener.Count();
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return listener.Count() > before; }, 5s));
}

TEST_F(Reader, AHangUpEndsNothingButTheLink) {
    Begin(Bytes(kGga.begin(), kGga.end()), 100ms);
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(WaitUntil([&] { return listener.Count() >= 1; }, 5s));
    peer.HangUp();
    EXPECT_TRUE(WaitUntil([&] { return port.HungUp(); }, 5s));
    // Told once, and the reader ends by itself.
    EXPECT_TRUE(WaitUntil([&] { return !protocol.ReaderRunning(); }, 5s));
    EXPECT_EQ(listener.lost.load(), 1);
    EXPECT_TRUE(protocol.StopReader());
}

TEST(ReaderWithoutPort, StartsAndStops) {
    ReceiverProtocol protocol;
    ASSERT_TRUE(protocol.StartReader());
    EXPECT_TRUE(protocol.StopReader());
}

TEST(ReaderWithoutPort, DestructionStopsARunningReader) {
    PtyPeer peer;
    peer.SetStream(Bytes(kGga.begin(), kGga.end()), 50ms);
    peer.Start();
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    {
        ReceiverProtocol protocol;
        protocol.SetPort(&port);
        ASSERT_TRUE(protocol.StartReader());
    }
    EXPECT_TRUE(port.IsConnected());
}

}  // namespace
}  // namespace pelmora
