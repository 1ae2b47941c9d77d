#include <gtest/gtest.h>

#include <vector>

#include "link/byte_source.h"
#include "tests/link/bytes.h"

namespace pelmora {
namespace {

using test::Bytes;
using test::Cat;
using test::Text;

struct LineCase {
    const char* legend;
    std::vector<unsigned char> input;
    int capacity;
    bool hangUp;
    int result;
    std::vector<unsigned char> stored;  // buffer[0, stored.size())
};

class AssembleLineTable : public ::testing::TestWithParam<LineCase> {};

TEST_P(AssembleLineTable, StoresAndCounts) {
    const LineCase& c = GetParam();
    MemoryByteSource source(c.input, c.hangUp);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(c.capacity) + 1, 0xEE);
    EXPECT_EQ(AssembleLine(source, buffer.data(), c.capacity), c.result);
    ASSERT_LE(c.stored.size(), buffer.size());
    EXPECT_EQ(std::vector<unsigned char>(buffer.begin(), buffer.begin() + c.stored.size()),
              c.stored);
}

const std::vector<unsigned char> kAck =
    Bytes({0xA0, 0xA1, 0x00, 0x02, 0x83, 0x19, 0x9A, 0x0D, 0x0A});

INSTANTIATE_TEST_SUITE_P(
    Rules, AssembleLineTable,
    ::testing::Values(LineCase{"text line ends at CR LF with a NUL after the LF", Text("xyz\r\n"),
                               16, false, 4, Bytes({'x', 'y', 'z', 0x0D, 0x0A, 0})},
                      LineCase{"noise before A0 A1 is dropped", Cat(Bytes({0x55}), kAck), 32, false,
                               8, Cat(kAck, Bytes({0}))},
                      LineCase{"a cut line before a frame is dropped", Cat(Text("$GPGG"), kAck), 32,
                               false, 8, Cat(kAck, Bytes({0}))},
                      LineCase{"no CR LF stops at capacity", Text("abcdefghij"), 6, false, 6,
                               Cat(Text("abcdef"), Bytes({0}))},
                      LineCase{"only the first line is taken", Text("ab\r\ncd\r\n"), 16, false, 3,
                               Cat(Text("ab\r\n"), Bytes({0}))},
                      LineCase{"CR LF at the very start does not end the line", Text("\r\nab\r\n"),
                               16, false, 5, Cat(Text("\r\nab\r\n"), Bytes({0}))},
                      LineCase{"a silent line after part of a frame gives what came",
                               Bytes({0xA0, 0xA1, 0x00}), 16, false, 3,
                               Bytes({0xA0, 0xA1, 0x00, 0})},
                      LineCase{"a hang-up mid-frame gives what came",
                               Bytes({0x55, 0xA0, 0xA1, 0x00, 0x05}), 16, true, 4,
                               Bytes({0xA0, 0xA1, 0x00, 0x05, 0})},
                      LineCase{"nothing at all gives 0", {}, 16, false, 0, Bytes({0})},
                      LineCase{"a payload CR LF cuts the frame",
                               Bytes({0xA0, 0xA1, 0, 3, 0x75, 0x0D, 0x0A, 0x78}), 16, false, 6,
                               Bytes({0xA0, 0xA1, 0, 3, 0x75, 0x0D, 0x0A, 0})},
                      LineCase{"a payload A0 A1 restarts the frame",
                               Bytes({0xA0, 0xA1, 0, 3, 0xA0, 0xA1, 0x33, 0x0D, 0x0A}), 16, false,
                               4, Bytes({0xA0, 0xA1, 0x33, 0x0D, 0x0A, 0})}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST(AssembleLine, CancelStopsAfterTheByteInHand) {
    MemoryByteSource source(Text("abcdef\r\n"));
    source.CancelAfter(2);
    unsigned char buffer[17] = {};
    EXPECT_EQ(AssembleLine(source, buffer, 16), 2);
    EXPECT_EQ(buffer[2], 0);
}

TEST(AssembleLine, NeverWritesPastCapacityPlusOne) {
    std::vector<unsigned char> noise(5000, 0x41);
    MemoryByteSource source(noise);
    std::vector<unsigned char> buffer(1025 + 8, 0xEE);
    EXPECT_EQ(AssembleLine(source, buffer.data(), 1024), 1024);
    EXPECT_EQ(buffer[1024], 0);
    for (std::size_t i = 1025; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xEE) << i;
    }
}

struct ReplyCase {
    const char* legend;
    std::vector<unsigned char> input;
    int capacity;
    int result;
    std::vector<unsigned char> stored;
    std::size_t consumed;
};

class AssembleReplyTable : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(AssembleReplyTable, ReadsFramesByLength) {
    const ReplyCase& c = GetParam();
    MemoryByteSource source(c.input);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(c.capacity) + 1, 0xEE);
    EXPECT_EQ(AssembleReply(source, buffer.data(), c.capacity), c.result);
    EXPECT_EQ(std::vector<unsigned char>(buffer.begin(), buffer.begin() + c.stored.size()),
              c.stored);
    EXPECT_EQ(source.Consumed(), c.consumed);
}

const std::vector<unsigned char> kCrLfPayload =
    Bytes({0xA0, 0xA1, 0x00, 0x03, 0x94, 0x0D, 0x0A, 0x93, 0x0D, 0x0A});

INSTANTIATE_TEST_SUITE_P(
    Rules, AssembleReplyTable,
    ::testing::Values(
        ReplyCase{"payload CR LF does not cut a reply", kCrLfPayload, 64, 10,
                  Cat(kCrLfPayload, Bytes({0})), 10},
        ReplyCase{"the next frame is left on the line", Cat(kAck, kAck), 64, 9, kAck, 9},
        ReplyCase{"NMEA text still ends at CR LF", Text("$GPGGA,1*00\r\nmore"), 64, 13,
                  Cat(Text("$GPGGA,1*00\r\n"), Bytes({0})), 13},
        ReplyCase{"noise before the frame is dropped", Cat(Bytes({0x55, 0x66}), kAck), 64, 9, kAck,
                  11},
        ReplyCase{"a length past capacity stops at capacity",
                  Cat(Bytes({0xA0, 0xA1, 0x00, 0xFF}), std::vector<unsigned char>(300, 1)), 64, 64,
                  Bytes({0xA0, 0xA1, 0x00, 0xFF, 1}), 64},
        ReplyCase{"a truncated frame gives what came", Bytes({0xA0, 0xA1, 0x00, 0x05, 0x94}), 64, 5,
                  Bytes({0xA0, 0xA1, 0x00, 0x05, 0x94, 0}), 5}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

}  // namespace
}  // namespace pelmora
