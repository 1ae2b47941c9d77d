#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace pelmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Padded(Bytes head, std::size_t size) {
    head.resize(size, 0);
    return head;
}

using DatalogCommands = SimLink;

TEST_F(DatalogCommands, ClearSendsItsExactFrame) {
    EXPECT_EQ(device_.ClearLog(), CommandResult::Done);
    ASSERT_TRUE(sim_->WaitForFrames(1, std::chrono::seconds(2)));
    const auto frames = sim_->Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, (Bytes{0xA0, 0xA1, 0x00, 0x01, 0x19, 0x19, 0x0D, 0x0A}));
    EXPECT_EQ(sim_->Flash().WriteOffset(), 0u);
}

TEST_F(DatalogCommands, ConfigureAndSetIdCarryTheirPayloads) {
    EXPECT_EQ(device_.ConfigureLog(5, 10, 0), CommandResult::Done);
    EXPECT_EQ(device_.SetDeviceId("CAR7"), CommandResult::Done);
    EXPECT_EQ(device_.SetDeviceId(""), CommandResult::Done);
    const auto payloads = ReceivedPayloads();
    ASSERT_EQ(payloads.size(), 3u);
    EXPECT_EQ(payloads[0], (Bytes{0x18, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x05,
                                  0x00, 0x00, 0x4E, 0x20, 0x00, 0x00, 0x00, 0x0A, 0x00,
                                  0x00, 0x0F, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}));
    EXPECT_EQ(payloads[1], Padded({0x75, 0x04, 'C', 'A', 'R', '7'}, 82));
    EXPECT_EQ(payloads[2], Padded({0x75, 0x00}, 82));
    EXPECT_EQ(sim_->Options().minTime, 5u);
    EXPECT_EQ(sim_->Options().minDistance, 10u);
}

TEST_F(DatalogCommands, DeviceIdRoundTrip) {
    std::string id = "stale";
    sim_->SetDeviceId("");
    EXPECT_EQ(device_.QueryDeviceId(id), CommandResult::Done);
    EXPECT_EQ(id, "");  // length 255: no ID
    sim_->SetDeviceId("Blue van 12");
    EXPECT_EQ(device_.QueryDeviceId(id), CommandResult::Done);
    EXPECT_EQ(id, "Blue van 12");
    EXPECT_EQ(ReceivedPayloads(0x74), (std::vector<Bytes>{{0x74}, {0x74}}));
}

TEST_F(DatalogCommands, LogStatusIsParsedFromItsReply) {
    LogStatus status;
    EXPECT_EQ(device_.QueryLogStatus(&status), CommandResult::Done);
    EXPECT_EQ(status.writeAddress, sim_->Flash().WriteAddress());
    EXPECT_EQ(status.totalSectors, 512);

    std::uint32_t sectors = 0;
    std::uint32_t total = 0;
    EXPECT_EQ(device_.QuerySectorsUsed(sectors, total), CommandResult::Done);
    EXPECT_EQ(sectors, 20u);
    EXPECT_EQ(total, 512u);
    EXPECT_EQ(ReceivedPayloads(0x17).size(), 2u);
}

TEST_F(DatalogCommands, LoggerWithoutSectorsIsADeviceError) {
    sim_->SetFlash(sim::FlashImage{});
    std::uint32_t sectors = 7;
    std::uint32_t total = 7;
    // Answered, but with no sectors to read: the caller tells this from a failed query.
    EXPECT_EQ(device_.QuerySectorsUsed(sectors, total), CommandResult::Done);
    EXPECT_EQ(sectors, 0u);
    EXPECT_EQ(total, 0u);
    EXPECT_EQ(device_.FactoryReset(), CommandResult::Done);
    EXPECT_EQ(ReceivedPayloads(0x04), (std::vector<Bytes>{{0x04, 0x01}}));
}

TEST_F(DatalogCommands, NackIsReported) {
    sim_->NackNext(2);
    EXPECT_EQ(device_.ClearLog(), CommandResult::Refused);
    EXPECT_EQ(device_.ConfigureLog(1, 2, 3), CommandResult::Refused);
    // A failed status query is reported, and not mistaken for a logger without sectors.
    sim_->NackNext(1);
    std::uint32_t sectors = 0;
    std::uint32_t total = 0;
    EXPECT_EQ(device_.QuerySectorsUsed(sectors, total), CommandResult::Refused);
}

TEST_F(DatalogCommands, LostAckIsRetriedWithTheSameFrame) {
    sim_->LoseAckNext(1);
    EXPECT_EQ(device_.ClearLog(), CommandResult::Done);
    const auto payloads = ReceivedPayloads(0x19);
    EXPECT_EQ(payloads.size(), 2u);
}

TEST_F(DatalogCommands, RestartExpectsNoAnswer) {
    device_.RestartReceiver();
    ASSERT_TRUE(sim_->WaitForFrames(1, std::chrono::seconds(2)));
    EXPECT_EQ(ReceivedPayloads(), (std::vector<Bytes>{Padded({0x01, 0x01}, 15)}));
    EXPECT_EQ(sim_->Frames()[0].answer, sim::FrameAnswer::NoAck);
}

TEST_F(DatalogCommands, BaudRateReopensTheSamePort) {
    const std::string path = port_.PortPath();
    sim_->SetBaud(9600);
    port_.Close();
    ASSERT_TRUE(port_.Open(path, 9600));
    EXPECT_TRUE(device_.SetBaudRate(57600, 2));
    EXPECT_EQ(ReceivedPayloads(0x05), (std::vector<Bytes>{{0x05, 0x00, 0x04, 0x02}}));
    EXPECT_EQ(port_.BaudRate(), 57600);
    EXPECT_EQ(port_.PortPath(), path);
    EXPECT_EQ(sim_->Baud(), 57600);
    // Commands work at the new rate.
    std::string id;
    EXPECT_EQ(device_.QueryDeviceId(id), CommandResult::Done);
    EXPECT_FALSE(device_.SetBaudRate(1200, 2));
}

TEST(DatalogCommandsOffline, NothingIsSentWithoutAPort) {
    DatalogDevice device;
    std::string id;
    std::uint32_t sectors = 0;
    std::uint32_t total = 0;
    EXPECT_EQ(device.ClearLog(), CommandResult::NotConnected);
    EXPECT_EQ(device.ConfigureLog(0, 0, 0), CommandResult::NotConnected);
    EXPECT_EQ(device.SetDeviceId("x"), CommandResult::NotConnected);
    EXPECT_EQ(device.QueryDeviceId(id), CommandResult::NotConnected);
    EXPECT_EQ(device.QueryLogStatus(), CommandResult::NotConnected);
    EXPECT_EQ(device.QuerySectorsUsed(sectors, total), CommandResult::NotConnected);
    EXPECT_EQ(device.FactoryReset(), CommandResult::NotConnected);
    EXPECT_FALSE(device.SetBaudRate(57600, 2));
    device.RestartReceiver();
}

}  // namespace
}  // namespace pelmora
