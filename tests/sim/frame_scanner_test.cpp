#include <gtest/gtest.h>

#include <vector>

#include "sim/sim_frame.h"

namespace pelmora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST(SimFrame, BuildsTheWireLayout) {
    EXPECT_EQ(BuildFrame(Bytes{0x19}), (Bytes{0xA0, 0xA1, 0x00, 0x01, 0x19, 0x19, 0x0D, 0x0A}));
    const Bytes payload(27, 0x11);
    const Bytes frame = BuildFrame(payload);
    ASSERT_EQ(frame.size(), 34u);
    EXPECT_EQ(frame[2], 0x00);
    EXPECT_EQ(frame[3], 0x1B);
    EXPECT_EQ(frame[31], 0x11);  // 27 equal bytes XOR to the byte itself
}

TEST(SimFrame, AcknowledgementsCarryANonzeroSecondByte) {
    EXPECT_EQ(AckFrame(0x19), (Bytes{0xA0, 0xA1, 0x00, 0x02, 0x83, 0x19, 0x9A, 0x0D, 0x0A}));
    EXPECT_EQ(NackFrame(0x17), (Bytes{0xA0, 0xA1, 0x00, 0x02, 0x84, 0x17, 0x93, 0x0D, 0x0A}));
    // A frame with id 0 still gets an ACK the client can recognise.
    EXPECT_NE(AckFrame(0x00)[5], 0x00);
}

struct ScanRow {
    const char* legend;
    Bytes input;
    std::vector<Bytes> frames;
    std::vector<bool> checksumOk;
};

class FrameScannerTable : public ::testing::TestWithParam<ScanRow> {};

TEST_P(FrameScannerTable, FindsExactlyTheFrames) {
    const ScanRow& row = GetParam();
    // Whole input at once and byte by byte must agree: the line delivers any split.
    for (const bool byteByByte : {false, true}) {
        FrameScanner scanner;
        std::vector<ScannedFrame> found;
        if (byteByByte) {
            for (const auto b : row.input) {
                scanner.Feed(Bytes{b}, found);
            }
        } else {
            scanner.Feed(row.input, found);
        }
        ASSERT_EQ(found.size(), row.frames.size()) << row.legend << " split " << byteByByte;
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].bytes, row.frames[i]) << row.legend;
            EXPECT_EQ(found[i].checksumOk, row.checksumOk[i]) << row.legend;
        }
    }
}

const Bytes kClear = BuildFrame(Bytes{0x19});
const Bytes kStatus = BuildFrame(Bytes{0x17});
const Bytes kRange = BuildFrame(Bytes{0x1D, 0x00, 0x10, 0x00, 0x04});
// Payload bytes 0D 0A and A0 A1 inside a frame are data: the frame is read by its length.
const Bytes kAwkward = BuildFrame(Bytes{0x1D, 0x0D, 0x0A, 0xA0, 0xA1});
const Bytes kBadSum = {0xA0, 0xA1, 0x00, 0x01, 0x19, 0x18, 0x0D, 0x0A};

INSTANTIATE_TEST_SUITE_P(
    Rows, FrameScannerTable,
    ::testing::Values(
        ScanRow{"one frame", kClear, {kClear}, {true}},
        ScanRow{"leading NMEA and noise",
                Cat({Bytes{'$', 'G', 'P', 0x0D, 0x0A, 0x55}, kStatus}),
                {kStatus},
                {true}},
        ScanRow{"two frames back to back", Cat({kStatus, kRange}), {kStatus, kRange}, {true, true}},
        ScanRow{"CR LF and A0 A1 inside the payload", kAwkward, {kAwkward}, {true}},
        ScanRow{"bad checksum is a frame, flagged", kBadSum, {kBadSum}, {false}},
        ScanRow{"length high byte nonzero is no frame",
                Cat({Bytes{0xA0, 0xA1, 0x01, 0x01, 0x19, 0x19, 0x0D, 0x0A}, kClear}),
                {kClear},
                {true}},
        ScanRow{"wrong trailer: rescan finds the frame inside",
                Cat({Bytes{0xA0, 0xA1, 0x00, 0x08}, kClear, Bytes{0x55, 0x55, 0x55}}),
                {kClear},
                {true}},
        ScanRow{
            "partial frame at the end stays pending", Bytes{0xA0, 0xA1, 0x00, 0x05, 0x1D}, {}, {}},
        ScanRow{"lone A0 before a frame", Cat({Bytes{0xA0}, kClear}), {kClear}, {true}},
        ScanRow{"empty payload",
                Bytes{0xA0, 0xA1, 0x00, 0x00, 0x00, 0x0D, 0x0A},
                {Bytes{0xA0, 0xA1, 0x00, 0x00, 0x00, 0x0D, 0x0A}},
                {true}}));

TEST(FrameScanner, PendingBytesStayBounded) {
    FrameScanner scanner;
    std::vector<ScannedFrame> found;
    const Bytes noise(100000, 0x55);
    scanner.Feed(noise, found);
    EXPECT_EQ(scanner.Pending(), 0u);
    scanner.Feed(Bytes{0xA0, 0xA1, 0x00, 0xFF}, found);
    scanner.Feed(Bytes(300, 0x00), found);  // 262 bytes decide: no CR LF, rescan, all noise
    EXPECT_LT(scanner.Pending(), 262u);
    EXPECT_TRUE(found.empty());
}

}  // namespace
}  // namespace pelmora::sim
