#include <gtest/gtest.h>

#include <vector>

#include "link/log_status.h"

namespace pelmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLittle(Bytes& f, std::size_t at, std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) {
        f[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// A whole log-status reply frame as the logger sends it.
Bytes StatusFrame(std::uint32_t address, std::uint16_t left, std::uint16_t total) {
    Bytes f(48, 0);
    f[0] = 0xA0;
    f[1] = 0xA1;
    f[3] = 41;
    f[4] = 0x94;
    PutLittle(f, 5, address, 4);
    PutLittle(f, 9, left, 2);
    PutLittle(f, 11, total, 2);
    PutLittle(f, 13, 65535, 4);
    PutLittle(f, 17, 5, 4);
    PutLittle(f, 21, 20000, 4);
    PutLittle(f, 25, 10, 4);
    PutLittle(f, 29, 4000, 4);
    PutLittle(f, 33, 0, 4);
    f[37] = 1;
    f[38] = 0;
    PutLittle(f, 39, 3, 4);
    f[43] = 1;
    f[44] = 2;
    std::uint8_t sum = 0;
    for (std::size_t i = 4; i < 45; ++i) {
        sum ^= f[i];
    }
    f[45] = sum;
    f[46] = 0x0D;
    f[47] = 0x0A;
    return f;
}

TEST(LogStatusReply, FieldsAreLeastSignificantFirst) {
    const Bytes f = StatusFrame(0x00012345, 0x8005, 200);
    const auto s = ParseLogStatusReply(f.data(), f.size());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->writeAddress, 0x00012345u);
    EXPECT_EQ(s->SectorsLeftCount(), 5);
    EXPECT_TRUE(s->Circular());
    EXPECT_EQ(s->totalSectors, 200);
    EXPECT_EQ(s->maxTime, 65535u);
    EXPECT_EQ(s->minDistance, 10u);
    EXPECT_EQ(s->maxSpeed, 4000u);
    EXPECT_EQ(s->poiEntries, 3u);
    EXPECT_EQ(s->autologFull, 1);
    EXPECT_EQ(s->poiLogFull, 2);
}

TEST(LogStatusReply, ShortOrForeignRepliesAreRejected) {
    const Bytes whole = StatusFrame(8192, 0, 100);
    Bytes shortLength = whole;
    shortLength[3] = 40;  // announces one payload byte too few
    Bytes otherId = whole;
    otherId[4] = 0x95;
    Bytes noStart = whole;
    noStart[1] = 0xA2;
    const struct {
        const char* legend;
        const Bytes* frame;
        std::size_t size;
        bool accepted;
    } rows[] = {
        {"whole frame", &whole, whole.size(), true},
        {"up to the last field (as read without its trailer)", &whole, 45, true},
        {"last field missing", &whole, 44, false},
        {"only the header", &whole, 5, false},
        {"nothing", &whole, 0, false},
        {"length byte too short", &shortLength, shortLength.size(), false},
        {"another reply id", &otherId, otherId.size(), false},
        {"not a frame", &noStart, noStart.size(), false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ParseLogStatusReply(row.frame->data(), row.size).has_value(), row.accepted)
            << row.legend;
    }
    EXPECT_FALSE(ParseLogStatusReply(nullptr, 48));
}

TEST(LogStatusReply, SectorsToRead) {
    const struct {
        std::uint16_t left, total;
        long expected;  // -1: device error
    } rows[] = {{0, 100, 100}, {30, 100, 71}, {0x8000, 100, 100}, {0x801E, 100, 71}, {0, 0, -1},
                {5, 0, -1},    {100, 100, 1}, {200, 100, 1},      {1, 65535, 65535}};
    for (const auto& row : rows) {
        LogStatus s;
        s.sectorsLeft = row.left;
        s.totalSectors = row.total;
        const auto n = SectorsToRead(s);
        EXPECT_EQ(n ? static_cast<long>(*n) : -1, row.expected) << row.left << "/" << row.total;
    }
}

TEST(LogStatusReply, UsageFiguresDoNotWrap) {
    const struct {
        std::uint32_t address;
        std::uint16_t total;
        const char* percent;
        int progress;
    } rows[] = {
        {8192, 100, "0.00", 0},
        {8192 + 4096 * 50, 100, "49.50", 50},
        // 60 MB used: x 100 wraps a 32-bit product.
        {8192 + 60000000u, 16384, "89.40", 89},
        {100, 100, "0.00", 0},  // below the log's start
        {8192 + 4096, 0, "100.00", 0},
    };
    for (const auto& row : rows) {
        LogStatus s;
        s.writeAddress = row.address;
        s.totalSectors = row.total;
        EXPECT_EQ(LogUsagePercentText(s), row.percent) << row.address;
        EXPECT_EQ(LogUsageProgress(s), row.progress) << row.address;
    }
}

TEST(LogStatusReply, StatusLines) {
    const Bytes f = StatusFrame(8192, 0x8005, 200);
    const auto s = ParseLogStatusReply(f.data(), f.size());
    ASSERT_TRUE(s);
    const std::vector<std::string> expected = {
        "-----------------  Log Status  -----------------",
        "Circular Sector left: 5 / 200",
        "max T: 65535, min T: 5",
        "max D: 20000, min D: 10",
        "max V: 4000, min V: 0",
        "Datalog: Enable",
        "FIFO mode: Oneway",
        "POI entry : 3",
        "Autolog full : 1",
        "POIlog full : 2",
    };
    EXPECT_EQ(LogStatusLines(*s), expected);

    const struct {
        std::uint16_t left, total;
        const char* line;
    } rows[] = {{0, 100, "Sector Full!"},
                {0x8000, 100, "Circular Sector left: 0 / 100"},
                {7, 100, "Sector left: 7 / 100"},
                {7, 0, "Sector left: 7"},
                {0x8007, 0, "Circular Sector left: 7"}};
    for (const auto& row : rows) {
        LogStatus t;
        t.sectorsLeft = row.left;
        t.totalSectors = row.total;
        EXPECT_EQ(LogStatusLines(t)[1], row.line);
    }
}

Bytes IdFrame(std::uint8_t announcedLength, const std::string& text) {
    Bytes f(6 + text.size() + 3, 0);
    f[0] = 0xA0;
    f[1] = 0xA1;
    f[3] = static_cast<std::uint8_t>(2 + text.size());
    f[4] = 0xD0;
    f[5] = announcedLength;
    std::copy(text.begin(), text.end(), f.begin() + 6);
    f[f.size() - 2] = 0x0D;
    f[f.size() - 1] = 0x0A;
    return f;
}

TEST(DeviceIdReply, TextLengthIsChecked) {
    const Bytes named = IdFrame(4, "CAR7");
    const Bytes none = IdFrame(255, "");
    const Bytes longer = IdFrame(90, std::string(90, 'q'));
    const Bytes lying = IdFrame(20, "CAR7");  // announces more text than the frame holds
    Bytes otherId = named;
    otherId[4] = 0xD1;
    const struct {
        const char* legend;
        const Bytes* frame;
        std::size_t size;
        const char* text;  // nullptr: rejected
    } rows[] = {
        {"id text", &named, named.size(), "CAR7"},
        {"length 255 is no id", &none, none.size(), ""},
        {"at most 80 bytes are taken", &longer, longer.size(),
         "qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqq"},
        {"text cut short by the read", &named, 8, nullptr},
        {"length beyond the frame", &lying, lying.size(), nullptr},
        {"another reply", &otherId, otherId.size(), nullptr},
        {"no length byte", &named, 5, nullptr},
    };
    for (const auto& row : rows) {
        const auto text = ParseDeviceIdReply(row.frame->data(), row.size);
        if (row.text == nullptr) {
            EXPECT_FALSE(text) << row.legend;
        } else {
            ASSERT_TRUE(text) << row.legend;
            EXPECT_EQ(*text, row.text) << row.legend;
        }
    }
}

}  // namespace
}  // namespace pelmora
