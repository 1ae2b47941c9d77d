#include <gtest/gtest.h>

#include <vector>

#include "link/log_filter.h"

namespace pelmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Records numbered by their second byte, so kept bytes show which records survived.
void Full(Bytes& b, std::uint8_t tag) {
    b.push_back(0x40);
    b.push_back(tag);
    b.insert(b.end(), 16, 0x11);
}
void Compact(Bytes& b, std::uint8_t tag) {
    b.push_back(0x80);
    b.push_back(tag);
    b.insert(b.end(), 6, 0x22);
}
Bytes Sector(const Bytes& records, std::uint8_t fill = 0xFF) {
    Bytes s = records;
    s.resize(4096, fill);
    return s;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST(LogFilter, KeepsTheRecordsAtEachSectorsStart) {
    Bytes three;
    Full(three, 1);
    Full(three, 2);
    Full(three, 3);
    Bytes mixed;
    Full(mixed, 4);
    Compact(mixed, 5);
    Compact(mixed, 6);
    // 224 full and 8 compact records fill a sector to its last byte.
    Bytes exact;
    for (int i = 0; i < 224; ++i) {
        Full(exact, 7);
    }
    for (int i = 0; i < 8; ++i) {
        Compact(exact, 8);
    }
    // A full record cut by the sector's end: 511 compact records leave 8 bytes.
    Bytes cut;
    for (int i = 0; i < 511; ++i) {
        Compact(cut, 9);
    }
    Bytes cutSector = cut;
    cutSector.push_back(0x40);
    cutSector.push_back(10);
    cutSector.insert(cutSector.end(), 6, 0x33);
    Bytes next;
    Full(next, 11);
    // The decoder reads a record whose unused bits are set, so the filter must keep it.
    Bytes unused = three;
    unused[18] = 0x4C;

    const struct {
        const char* legend;
        Bytes input;
        Bytes expected;
    } rows[] = {
        {"erased sector keeps nothing", Sector({}), {}},
        {"three records then 0x00 keep 54 bytes", Sector(three, 0x00), three},
        {"full and compact records", Sector(mixed), mixed},
        {"a record with unused bits set is kept", Sector(unused), unused},
        {"two sectors are joined", Cat({Sector(three), Sector(mixed)}), Cat({three, mixed})},
        {"a sector filled to its last byte is kept once", Cat({exact, Sector(mixed)}),
         Cat({exact, mixed})},
        {"a record cut by the sector's end is dropped", Cat({cutSector, Sector(next)}),
         Cat({cut, next})},
        {"erased sector between two", Cat({Sector(three), Sector({}), Sector(next)}),
         Cat({three, next})},
        {"last block shorter than a sector", Cat({Sector(three), mixed}), Cat({three, mixed})},
        {"a record cut by the end of the data is dropped", Bytes(mixed.begin(), mixed.end() - 3),
         Bytes(mixed.begin(), mixed.begin() + 26)},
        {"no data", {}, {}},
    };
    for (const auto& row : rows) {
        Bytes buffer = row.input;
        const std::size_t kept = FilterLogRecords(buffer.data(), buffer.size());
        buffer.resize(kept);
        EXPECT_EQ(buffer, row.expected) << row.legend;
    }
}

}  // namespace
}  // namespace pelmora
