#include <gtest/gtest.h>

#include <vector>

#include "link/receiver_protocol.h"
#include "link/serial_port.h"
#include "tests/link/bytes.h"

namespace pelmora {
namespace {

using test::Bytes;

std::vector<unsigned char> Framed(const std::vector<unsigned char>& payload) {
    std::vector<unsigned char> out(payload.size() + 7);
    const int n =
        ReceiverProtocol::BuildFrame(out.data(), payload.data(), static_cast<int>(payload.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

TEST(BuildFrame, OneBytePayload) {
    EXPECT_EQ(Framed(Bytes({0x19})), Bytes({0xA0, 0xA1, 0x00, 0x01, 0x19, 0x19, 0x0D, 0x0A}));
}

TEST(BuildFrame, LengthAndTotalOfA27BytePayload) {
    std::vector<unsigned char> payload(27, 0);
    payload[0] = 0x18;
    const auto frame = Framed(payload);
    ASSERT_EQ(frame.size(), 34u);
    EXPECT_EQ(frame[2], 0x00);
    EXPECT_EQ(frame[3], 0x1B);
    EXPECT_EQ(frame[31], 0x18);
}

TEST(BuildFrame, RefusesPayloadsLongerThan255) {
    std::vector<unsigned char> payload(256, 1);
    std::vector<unsigned char> out(300);
    EXPECT_EQ(ReceiverProtocol::BuildFrame(out.data(), payload.data(), 256), 0);
    EXPECT_EQ(ReceiverProtocol::BuildFrame(out.data(), payload.data(), 255), 262);
}

struct KindCase {
    const char* legend;
    std::vector<unsigned char> frame;
    int kind;
};

class FrameKindTable : public ::testing::TestWithParam<KindCase> {};

TEST_P(FrameKindTable, Classifies) {
    const KindCase& c = GetParam();
    EXPECT_EQ(ReceiverProtocol::FrameKind(c.frame.data(), static_cast<int>(c.frame.size())), c.kind)
        << c.legend;
}

std::vector<unsigned char> Corrupt(std::vector<unsigned char> frame) {
    frame[frame.size() - 3] ^= 0x01;
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Ids, FrameKindTable,
    ::testing::Values(KindCase{"0xA8", Framed(Bytes({0xA8, 1})), 1},
                      KindCase{"0xA9", Framed(Bytes({0xA9})), 2},
                      KindCase{"0xAA", Framed(Bytes({0xAA})), 3},
                      KindCase{"0xAC", Framed(Bytes({0xAC})), 4},
                      KindCase{"0x95", Framed(Bytes({0x95})), 5},
                      KindCase{"log status", Framed(Bytes({0x94, 0, 0x20, 0, 0})), 6},
                      KindCase{"0xB1", Framed(Bytes({0xB1})), 7},
                      KindCase{"software feature", Framed(Bytes({0x85, 3})), 8},
                      KindCase{"device id", Framed(Bytes({0xD0, 2, 'a', 'b'})), 208},
                      KindCase{"other id gives itself", Framed(Bytes({0x83, 0x19})), 0x83},
                      KindCase{"wrong checksum", Corrupt(Framed(Bytes({0x94, 1, 2}))), 0},
                      KindCase{"shorter than its length byte", Bytes({0xA0, 0xA1, 0, 9, 0x94}), 0},
                      KindCase{"too short for a header", Bytes({0xA0, 0xA1}), 0}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

struct ClassifyCase {
    const char* legend;
    std::vector<unsigned char> frame;
    ReplyKind result;
};

class ClassifyReplyTable : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyReplyTable, ChecksTrailerAndId) {
    const ClassifyCase& c = GetParam();
    const int size = static_cast<int>(c.frame.size());
    const int last = size > 3 ? c.frame[3] + 6 : 6;
    EXPECT_EQ(SerialPort::ClassifyReply(c.frame.data(), size, last), c.result) << c.legend;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ClassifyReplyTable,
    ::testing::Values(
        ClassifyCase{"ACK", Bytes({0xA0, 0xA1, 0x00, 0x02, 0x83, 0x19, 0x9A, 0x0D, 0x0A}),
                     ReplyKind::Ack},
        ClassifyCase{"ACK with a zero byte after its id is not an ACK",
                     Bytes({0xA0, 0xA1, 0x00, 0x02, 0x83, 0x00, 0x83, 0x0D, 0x0A}),
                     ReplyKind::Other},
        ClassifyCase{"NACK", Bytes({0xA0, 0xA1, 0x00, 0x02, 0x84, 0x19, 0x9D, 0x0D, 0x0A}),
                     ReplyKind::Nack},
        ClassifyCase{"NACK with a wrong checksum still counts",
                     Bytes({0xA0, 0xA1, 0x00, 0x02, 0x84, 0x19, 0x00, 0x0D, 0x0A}),
                     ReplyKind::Nack},
        ClassifyCase{"ACK without its trailer",
                     Bytes({0xA0, 0xA1, 0x00, 0x02, 0x83, 0x19, 0x9A, 0x0D, 0x00}),
                     ReplyKind::Other},
        ClassifyCase{"ACK without its start",
                     Bytes({0xA0, 0xA2, 0x00, 0x02, 0x83, 0x19, 0x9A, 0x0D, 0x0A}),
                     ReplyKind::Other},
        ClassifyCase{"other reply", Bytes({0xA0, 0xA1, 0x00, 0x02, 0x94, 0x19, 0x8D, 0x0D, 0x0A}),
                     ReplyKind::Other},
        ClassifyCase{"length byte pointing past the data",
                     Bytes({0xA0, 0xA1, 0x00, 0xF0, 0x83, 0x19, 0x9A, 0x0D, 0x0A}),
                     ReplyKind::Other},
        ClassifyCase{"cut frame", Bytes({0xA0, 0xA1, 0x00, 0x02, 0x83}), ReplyKind::Other}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

}  // namespace
}  // namespace pelmora
