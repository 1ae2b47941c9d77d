#include <gtest/gtest.h>

#include "link/datalog_payloads.h"

namespace pelmora {
namespace {

struct PayloadRow {
    const char* legend;
    Payload actual;
    Payload expected;
};

Payload Padded(Payload head, std::size_t size) {
    head.resize(size, 0);
    return head;
}

TEST(DatalogPayload, CommandsCarryTheirExactBytes) {
    const PayloadRow rows[] = {
        {"log status", LogStatusPayload(), {0x17}},
        {"clear", ClearLogPayload(), {0x19}},
        {"device id query", QueryDeviceIdPayload(), {0x74}},
        {"factory reset", FactoryResetPayload(), {0x04, 0x01}},
        {"restart: 01 01 and 13 zero bytes", RestartReceiverPayload(), Padded({0x01, 0x01}, 15)},
        {"configure 5 s, 10 m, 0 km/h",
         ConfigureLogPayload(5, 10, 0),
         {0x18, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x4E, 0x20, 0x00,
          0x00, 0x00, 0x0A, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}},
        {"configure all zero keeps the maxima",
         ConfigureLogPayload(0, 0, 0),
         {0x18, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4E, 0x20, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}},
        {"configure big values most significant first",
         ConfigureLogPayload(0x01020304, 0x0A0B0C0D, 0xFFFFFFFF),
         {0x18, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x4E, 0x20, 0x0A,
          0x0B, 0x0C, 0x0D, 0x00, 0x00, 0x0F, 0xA0, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00}},
        {"set empty id: length 0", SetDeviceIdPayload(""), Padded({0x75, 0x00}, 82)},
        {"set id", SetDeviceIdPayload("CAR7"), Padded({0x75, 4, 'C', 'A', 'R', '7'}, 82)},
        {"first range of 20 sectors",
         ReadRangePayload(0x1D, 0, 16),
         {0x1D, 0x00, 0x00, 0x00, 0x10}},
        {"second range of 20 sectors",
         ReadRangePayload(0x1D, 16, 4),
         {0x1D, 0x00, 0x10, 0x00, 0x04}},
        {"range beyond 255 sectors",
         ReadRangePayload(0x1D, 0x1234, 16),
         {0x1D, 0x12, 0x34, 0x00, 0x10}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.actual, row.expected) << row.legend;
    }
}

TEST(DatalogPayload, DeviceIdIsCutAtEightyBytes) {
    const std::string text(100, 'x');
    const Payload p = SetDeviceIdPayload(text);
    ASSERT_EQ(p.size(), 82u);
    EXPECT_EQ(p[1], 80);
    EXPECT_EQ(p[81], 'x');
}

TEST(DatalogPayload, BaudRateKnowsOnlyTheSevenRates) {
    const struct {
        int rate;
        int index;
    } rows[] = {{4800, 0},   {9600, 1},   {19200, 2}, {38400, 3}, {57600, 4},
                {115200, 5}, {230400, 6}, {0, -1},    {2400, -1}, {57601, -1}};
    for (const auto& row : rows) {
        const auto index = BaudRateIndex(row.rate);
        EXPECT_EQ(index ? *index : -1, row.index) << row.rate;
    }
    EXPECT_EQ(SetBaudRatePayload(57600, 2), (Payload{0x05, 0x00, 0x04, 0x02}));
    EXPECT_FALSE(SetBaudRatePayload(1200, 2));
}

}  // namespace
}  // namespace pelmora
