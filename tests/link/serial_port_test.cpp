#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_port.h"
#include "tests/link/print_results.h"
#include "tests/link/pty_peer.h"

namespace pelmora {
namespace {

using test::PtyPeer;
using namespace std::chrono_literals;

TEST(SerialPortOpen, MissingPathFailsCleanlyAndSaysWhy) {
    SerialPort port;
    EXPECT_FALSE(port.Open("/dev/pelmora-no-such-port", 9600));
    EXPECT_FALSE(port.IsConnected());
    EXPECT_NE(port.LastError().find("no such device"), std::string::npos) << port.LastError();
    unsigned char buffer[8];
    EXPECT_EQ(port.ReadAvailable(buffer, 8), 0);
    EXPECT_EQ(port.Write(buffer, 8), 0);
}

TEST(SerialPortOpen, NotATerminalIsRefused) {
    SerialPort port;
    EXPECT_FALSE(port.Open("/dev/null", 9600));
    EXPECT_FALSE(port.IsConnected());
    EXPECT_NE(port.LastError().find("not a serial device"), std::string::npos) << port.LastError();
}

TEST(SerialPortOpen, SucceedsAgainOnTheSamePathAfterAFailedSetup) {
    PtyPeer peer;
    SerialPort port;
    // The rate is refused after the device was opened: the setup fails past the open.
    EXPECT_FALSE(port.Open(peer.SlavePath(), 12345));
    EXPECT_FALSE(port.IsConnected());
    EXPECT_NE(port.LastError().find("unsupported baud rate"), std::string::npos);
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600)) << port.LastError();
    EXPECT_TRUE(port.IsConnected());
    EXPECT_EQ(port.BaudRate(), 9600);
    EXPECT_EQ(port.PortPath(), peer.SlavePath());
}

TEST(SerialPortOpen, ASecondHolderIsToldThePortIsBusy) {
    PtyPeer peer;
    SerialPort first;
    SerialPort second;
    ASSERT_TRUE(first.Open(peer.SlavePath(), 9600));
    EXPECT_FALSE(second.Open(peer.SlavePath(), 9600));
    EXPECT_NE(second.LastError().find("busy"), std::string::npos) << second.LastError();
    first.Close();
    EXPECT_FALSE(first.IsConnected());
    EXPECT_TRUE(second.Open(peer.SlavePath(), 9600)) << second.LastError();
}

// Another program with the port open, without any lock, makes it busy and is named; this
// process, at the pseudo-terminal's other end, does not count.
TEST(SerialPortOpen, AProgramHoldingThePortOpenMakesItBusyLockOrNot) {
    PtyPeer peer;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, peer.SlavePath().c_str(), O_RDONLY | O_NOCTTY, 0);
    char sleep[] = "sleep";
    char seconds[] = "30";
    char* argv[] = {sleep, seconds, nullptr};
    pid_t holder = -1;  // no fork: ThreadSanitizer refuses it in a threaded process
    ASSERT_EQ(posix_spawnp(&holder, "sleep", &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const std::string expected =
        peer.SlavePath() + ": busy: held by sleep (pid " + std::to_string(holder) + ")";
    SerialPort port;
    for (int i = 0; i < 100 && port.LastError() != expected; ++i) {  // until it runs as sleep
        EXPECT_FALSE(port.Open(peer.SlavePath(), 9600));
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(port.LastError(), expected);
    EXPECT_EQ(port.LastLinkError().fault, LinkFault::Busy);
    kill(holder, SIGTERM);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(port.Open(peer.SlavePath(), 9600)) << port.LastError();
}

TEST(SerialPortOpen, SetsARawLineAtTheRateAndChangesIt) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    // The master of a pseudo-terminal reports its slave's settings.
    termios tio{};
    ASSERT_EQ(tcgetattr(peer.MasterFd(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    ASSERT_TRUE(port.ChangeRate(57600)) << port.LastError();
    ASSERT_EQ(tcgetattr(peer.MasterFd(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_EQ(port.BaudRate(), 57600);
    EXPECT_FALSE(port.ChangeRate(1234));
    EXPECT_EQ(port.BaudRate(), 57600);
}

TEST(SerialPortWrite, GoesOutInChunksOf512) {
    PtyPeer peer;
    peer.Start();
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    std::vector<std::size_t> chunks;
    port.SetWriteObserver([&](std::size_t requested, std::size_t written) {
        EXPECT_EQ(requested, written);
        chunks.push_back(requested);
    });
    std::vector<unsigned char> data(1300);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<unsigned char>(i * 7);
    }
    EXPECT_EQ(port.Write(data.data(), 1300), 1300);
    EXPECT_EQ(chunks, (std::vector<std::size_t>{512, 512, 276}));
    ASSERT_TRUE(peer.WaitForBytes(1300, 5s));
    EXPECT_EQ(peer.Received(), data);
}

TEST(SerialPortRead, SilentLineTimesOutAndCancelEndsAtOnce) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    unsigned char byte = 0;
    EXPECT_EQ(port.ReadByte(&byte), -1);
    unsigned char buffer[16];
    EXPECT_EQ(port.ReadAvailable(buffer, 16), 0);
    EXPECT_EQ(port.ReadLine(buffer, 15), 0);
    port.SetCancel(1);
    EXPECT_TRUE(port.CancelRequested());
    EXPECT_EQ(port.ReadByte(&byte), 0);
    port.SetCancel(0);
    EXPECT_EQ(port.ReadByte(&byte), -1);
}

TEST(SerialPortRead, ReadAvailableTakesWhatIsQueuedUpToItsMaximum) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    peer.Send({1, 2, 3, 4, 5, 6});
    unsigned char buffer[4] = {};
    ASSERT_EQ(port.ReadAvailable(buffer, 4), 4);
    EXPECT_EQ(buffer[3], 4);
    ASSERT_EQ(port.ReadAvailable(buffer, 4), 2);
    EXPECT_EQ(buffer[1], 6);
}

TEST(SerialPortRead, ReadLineKeepsAFrameFromA0A1AndDropsTheNoiseBeforeIt) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    const std::vector<unsigned char> ack = {0xA0, 0xA1, 0x00, 0x02, 0x83, 0x19, 0x9A, 0x0D, 0x0A};
    std::vector<unsigned char> line(ack.size() + 3);
    line[0] = 0x55;
    line[1] = 0x13;
    line[2] = 0x77;
    std::copy(ack.begin(), ack.end(), line.begin() + 3);
    peer.Send(line);
    unsigned char buffer[1025] = {};
    ASSERT_EQ(port.ReadLine(buffer, 1024), 8);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 9), ack);
    EXPECT_EQ(buffer[9], 0);
}

TEST(SerialPortRead, ReadLineOfTextAndAtCapacity) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    peer.Send({'x', 'y', 'z', 0x0D, 0x0A, 'a', 'b', 'c', 'd', 'e', 'f', 'g'});
    unsigned char buffer[7] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    ASSERT_EQ(port.ReadLine(buffer, 6), 4);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 6),
              (std::vector<unsigned char>{'x', 'y', 'z', 0x0D, 0x0A, 0}));
    ASSERT_EQ(port.ReadLine(buffer, 6), 6);
    EXPECT_EQ(buffer[5], 'f');
}

TEST(SerialPortRead, FlushInputDropsWhatIsPending) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    peer.Send({1, 2, 3});
    unsigned char byte = 0;
    ASSERT_EQ(port.ReadByte(&byte), 1);  // the bytes have arrived
    port.FlushInput();
    EXPECT_EQ(port.ReadByte(&byte), -1);
}

TEST(SerialPortRead, AHangUpMidFrameEndsTheReadAtOnce) {
    PtyPeer peer;
    SerialPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath(), 9600));
    peer.Send({0xA0, 0xA1, 0x00, 0x05, 0x94, 0x01});
    unsigned char buffer[1025] = {};
    unsigned char byte = 0;
    ASSERT_EQ(port.ReadByte(&byte), 1);
    peer.HangUp();
    const int r = port.ReadLine(buffer, 1024);
    EXPECT_LE(r, 5);
    EXPECT_TRUE(port.HungUp());
    EXPECT_EQ(port.ReadByte(&byte), 0);
    EXPECT_EQ(port.ReadReply(buffer, 512), 0);
    const unsigned char frame[] = {0xA0, 0xA1, 0x00, 0x01, 0x19, 0x19, 0x0D, 0x0A};
    EXPECT_EQ(port.SendAndWaitAck(frame, 8), CommandResult::Disconnected);
}

TEST(SerialPortRead, NotConnectedReadsNothing) {
    SerialPort port;
    unsigned char buffer[8] = {};
    EXPECT_EQ(port.ReadAvailable(buffer, 8), 0);
    EXPECT_EQ(port.ReadLine(buffer, 7), 0);
    EXPECT_EQ(port.ReadReply(buffer, 7), 0);
    EXPECT_EQ(port.ReadByte(buffer), 0);
    port.Close();  // safe when closed
    EXPECT_FALSE(port.IsConnected());
}

}  // namespace
}  // namespace pelmora
