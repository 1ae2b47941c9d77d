#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/logger_core.h"
#include "sim/sim_frame.h"

namespace pelmora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le(const Bytes& f, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) {
        v = v << 8 | f[at + static_cast<std::size_t>(i)];
    }
    return v;
}

FlashImage SmallFlash() {
    FlashImage flash(8);
    const Bytes full = {0x40, 0x28, 0x21, 0x6A, 0x86, 0x01, 0x00, 0x00, 0x00,
                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const Bytes compact = {0x80, 0x2A, 0x00, 0x01, 0x01, 0x80, 0x00, 0x05};
    flash.AppendRecord(full);
    for (int i = 0; i < 600; ++i) {
        flash.AppendRecord(compact);
    }
    return flash;
}

Bytes ConfigurePayload(std::uint32_t t, std::uint32_t d, std::uint32_t v) {
    Bytes p{0x18};
    for (const std::uint32_t x : {65535u, t, 20000u, d, 4000u, v}) {
        p.push_back(static_cast<std::uint8_t>(x >> 24));
        p.push_back(static_cast<std::uint8_t>(x >> 16));
        p.push_back(static_cast<std::uint8_t>(x >> 8));
        p.push_back(static_cast<std::uint8_t>(x));
    }
    p.push_back(1);
    p.push_back(0);
    return p;
}

Bytes IdPayload(const std::string& text, std::size_t declared) {
    Bytes p(82, 0x00);
    p[0] = 0x75;
    p[1] = static_cast<std::uint8_t>(declared);
    std::copy(text.begin(), text.end(), p.begin() + 2);
    return p;
}

struct AnswerRow {
    const char* legend;
    Bytes payload;
    bool acknowledge;
    bool ack;
    bool hasReply;
    bool hasRange;
    int newBaud;
};

class CoreAnswerTable : public ::testing::TestWithParam<AnswerRow> {};

TEST_P(CoreAnswerTable, AnswersAsTheProtocolSays) {
    const AnswerRow& row = GetParam();
    LoggerCore core(SmallFlash());
    const CoreAnswer a = core.Handle(row.payload);
    EXPECT_EQ(a.acknowledge, row.acknowledge) << row.legend;
    if (row.acknowledge) {
        EXPECT_EQ(a.ack, row.ack) << row.legend;
    }
    EXPECT_EQ(!a.reply.empty(), row.hasReply) << row.legend;
    EXPECT_EQ(a.range.has_value(), row.hasRange) << row.legend;
    EXPECT_EQ(a.newBaud, row.newBaud) << row.legend;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CoreAnswerTable,
    ::testing::Values(
        AnswerRow{"log status", {0x17}, true, true, true, false, 0},
        AnswerRow{"log status with extra bytes", {0x17, 0x00}, true, false, false, false, 0},
        AnswerRow{"clear", {0x19}, true, true, false, false, 0},
        AnswerRow{"configure", ConfigurePayload(5, 10, 0), true, true, false, false, 0},
        AnswerRow{"configure short", {0x18, 0x00, 0x00}, true, false, false, false, 0},
        AnswerRow{"device ID query", {0x74}, true, true, true, false, 0},
        AnswerRow{"device ID set", IdPayload("CAR-7", 5), true, true, false, false, 0},
        AnswerRow{"device ID set, length over 80", IdPayload("", 81), true, false, false, false, 0},
        AnswerRow{"device ID set, short payload", {0x75, 0x01, 'A'}, true, false, false, false, 0},
        AnswerRow{"baud 57600", {0x05, 0x00, 0x04, 0x02}, true, true, false, false, 57600},
        AnswerRow{"baud 230400", {0x05, 0x00, 0x06, 0x02}, true, true, false, false, 230400},
        AnswerRow{"baud index 7", {0x05, 0x00, 0x07, 0x02}, true, false, false, false, 0},
        AnswerRow{"factory reset", {0x04, 0x01}, true, true, false, false, 0},
        AnswerRow{"restart takes no ACK", Bytes{0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                  false, true, false, false, 0},
        AnswerRow{"range", {0x1D, 0x00, 0x00, 0x00, 0x02}, true, true, false, true, 0},
        AnswerRow{
            "range past the flash", {0x1D, 0x00, 0x07, 0x00, 0x02}, true, false, false, false, 0},
        AnswerRow{
            "range of no sectors", {0x1D, 0x00, 0x00, 0x00, 0x00}, true, false, false, false, 0},
        AnswerRow{"unknown id", {0x42}, true, false, false, false, 0}));

TEST(LoggerCore, LogStatusFieldsAreLeastSignificantFirst) {
    const FlashImage flash = SmallFlash();  // 18 + 600 * 8 bytes: two sectors in use
    LoggerCore core(flash);
    const CoreAnswer a = core.Handle(Bytes{0x17});
    const Bytes& f = a.reply;
    ASSERT_EQ(f.size(), 45u + 3u);
    EXPECT_EQ(f[3], 41);
    EXPECT_EQ(f[4], 0x94);
    EXPECT_EQ(Le(f, 5, 4), 8192u + flash.WriteOffset());
    const std::uint32_t left = Le(f, 9, 2), total = Le(f, 11, 2);
    EXPECT_EQ(total, 8u);
    // The client reads total - left + 1 sectors: exactly the sectors in use.
    EXPECT_EQ(total - left + 1, 2u);
    EXPECT_EQ(Le(f, 13, 4), 65535u);
    EXPECT_EQ(Le(f, 17, 4), 5u);
    EXPECT_EQ(Le(f, 21, 4), 20000u);
    EXPECT_EQ(Le(f, 29, 4), 4000u);
    EXPECT_EQ(f[37], 1);
    EXPECT_EQ(f[38], 0);
    EXPECT_EQ(PayloadChecksum(std::span<const std::uint8_t>(f).subspan(4, 41)), f[45]);
}

TEST(LoggerCore, FullAndCircularAndBrokenFlashInTheStatus) {
    FlashImage full(2);
    for (int i = 0; i < 1024; ++i) {
        full.AppendRecord(Bytes{0x80, 0, 0, 1, 0, 0, 0, 0});
    }
    LogOptions circular;
    circular.fifoMode = 1;
    const Bytes f = LogStatusFrame(full, circular);
    EXPECT_EQ(Le(f, 9, 2), 0x8000u);  // no sector left, circular
    const Bytes broken = LogStatusFrame(FlashImage{}, LogOptions{});
    EXPECT_EQ(Le(broken, 11, 2), 0u);  // the client's "device has errors" road
}

TEST(LoggerCore, ConfigureStoresTheRecordOptions) {
    LoggerCore core(SmallFlash());
    ASSERT_TRUE(core.Handle(ConfigurePayload(5, 10, 0)).ack);
    EXPECT_EQ(core.Options().minTime, 5u);
    EXPECT_EQ(core.Options().minDistance, 10u);
    EXPECT_EQ(core.Options().minSpeed, 0u);
    EXPECT_EQ(core.Options().maxDistance, 20000u);
    const Bytes f = core.Handle(Bytes{0x17}).reply;
    EXPECT_EQ(Le(f, 17, 4), 5u);
    EXPECT_EQ(Le(f, 25, 4), 10u);
}

TEST(LoggerCore, DeviceIdRoundTripAndNoId) {
    LoggerCore core(SmallFlash());
    EXPECT_EQ(core.Handle(Bytes{0x74}).reply, BuildFrame(Bytes{0xD0, 0xFF}));  // no ID: length 255
    ASSERT_TRUE(core.Handle(IdPayload("CAR-7", 5)).ack);
    EXPECT_EQ(core.DeviceId(), "CAR-7");
    EXPECT_EQ(core.Handle(Bytes{0x74}).reply, BuildFrame(Bytes{0xD0, 5, 'C', 'A', 'R', '-', '7'}));
    const std::string eighty(80, 'x');
    ASSERT_TRUE(core.Handle(IdPayload(eighty, 80)).ack);
    EXPECT_EQ(core.Handle(Bytes{0x74}).reply.size(), 82u + 7u);
}

TEST(LoggerCore, ClearEmptiesAndFactoryResetRestores) {
    LoggerCore core(SmallFlash());
    core.Handle(ConfigurePayload(9, 9, 9));
    ASSERT_TRUE(core.Handle(Bytes{0x19}).ack);
    EXPECT_TRUE(core.Flash().ExpectedDownload().empty());
    EXPECT_EQ(core.Flash().SectorsInUse(), 1);
    core.SetFlash(FlashImage{});
    ASSERT_TRUE(core.Handle(Bytes{0x04, 0x01}).ack);
    EXPECT_EQ(core.Flash().TotalSectors(), kDefaultTotalSectors);
    EXPECT_EQ(core.Options(), LogOptions{});
}

TEST(LoggerCore, NackedCommandsChangeNothing) {
    LoggerCore core(SmallFlash());
    const LogOptions before = core.Options();
    EXPECT_FALSE(core.Handle(Bytes{0x18, 1, 2, 3}).ack);
    EXPECT_EQ(core.Options(), before);
    EXPECT_FALSE(core.Handle(IdPayload("", 200)).ack);
    EXPECT_EQ(core.DeviceId(), "");
}

TEST(RangeStream, DataMarkerAndTrailerLayout) {
    const FlashImage flash = SmallFlash();
    for (const EchoStyle echo : {EchoStyle::Sector, EchoStyle::LfCr}) {
        const RangeStream s = BuildRangeStream(flash, 1, 3, echo);
        ASSERT_EQ(s.data.size(), 3u * kSectorSize);
        EXPECT_TRUE(
            std::equal(s.data.begin(), s.data.begin() + kSectorSize, flash.Sector(1).begin()));
        EXPECT_EQ(s.data.back(), 0xFF);  // erased tail
        EXPECT_EQ(s.marker, (Bytes{'E', 'N', 'D', 0}));
        ASSERT_EQ(s.trailer.size(), 12u);
        EXPECT_EQ(std::string(s.trailer.begin(), s.trailer.begin() + 9), "CHECKSUM=");
        EXPECT_EQ(s.trailer[9], PayloadChecksum(s.data));
        if (echo == EchoStyle::Sector) {
            EXPECT_EQ(s.trailer[10], 1);
            EXPECT_EQ(s.trailer[11], 0);
        } else {
            EXPECT_EQ(s.trailer[10], 0x0A);
            EXPECT_EQ(s.trailer[11], 0x0D);
        }
    }
    // The echo is the first sector, least significant byte first.
    FlashImage big(600);
    const RangeStream s = BuildRangeStream(big, 0x0123, 1, EchoStyle::Sector);
    EXPECT_EQ(s.trailer[10], 0x23);
    EXPECT_EQ(s.trailer[11], 0x01);
}

TEST(Rates, SevenRatesByIndex) {
    EXPECT_EQ(RateForIndex(0), 4800);
    EXPECT_EQ(RateForIndex(4), 57600);
    EXPECT_EQ(RateForIndex(6), 230400);
    EXPECT_EQ(RateForIndex(7), -1);
    EXPECT_EQ(IndexForRate(9600), 1);
    EXPECT_EQ(IndexForRate(2400), -1);
}

}  // namespace
}  // namespace pelmora::sim
