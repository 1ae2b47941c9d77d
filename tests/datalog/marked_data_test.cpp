#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "receiver/datalog_codes.h"
#include "receiver/marked_data.h"

namespace pelmora {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}
const Bytes kMarker = {'E', 'N', 'D', 0};

std::uint8_t Xor(const Bytes& data) {
    std::uint8_t x = 0;
    for (auto b : data) {
        x ^= b;
    }
    return x;
}

Bytes Trailer(const Bytes& data, std::uint16_t echo) {
    Bytes t = B("CHECKSUM=");
    t.push_back(Xor(data));
    t.push_back(static_cast<std::uint8_t>(echo));
    t.push_back(static_cast<std::uint8_t>(echo >> 8));
    return t;
}

// The whole answer to a ranged read of first sector s.
Bytes Answer(const Bytes& data, std::uint16_t s) {
    return Cat({data, kMarker, Trailer(data, s)});
}

// Data that holds the marker's bytes in several guises, as compact records can.
Bytes TrickyData() {
    Bytes d;
    for (int i = 0; i < 300; ++i) {
        d.push_back(static_cast<std::uint8_t>(i * 7));
    }
    const Bytes inBand = Cat({kMarker, B("CHECKSUX")});
    d.insert(d.begin() + 100, inBand.begin(), inBand.end());
    d.insert(d.begin() + 50, {'E', 'N', 'D', 1});
    return d;
}

// A reader that hands out the given chunks, then silence.
struct Script {
    std::deque<Bytes> chunks;
    std::size_t operator()(std::uint8_t* out, std::size_t room) {
        if (chunks.empty()) {
            return 0;
        }
        Bytes& c = chunks.front();
        const std::size_t n = std::min(room, c.size());
        std::copy_n(c.begin(), n, out);
        c.erase(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(n));
        if (c.empty()) {
            chunks.pop_front();
        }
        return n;
    }
};

// Cuts the stream at the given offsets.
std::deque<Bytes> Split(const Bytes& stream, std::vector<std::size_t> cuts) {
    std::deque<Bytes> out;
    std::size_t at = 0;
    cuts.push_back(stream.size());
    for (auto cut : cuts) {
        out.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                         stream.begin() + static_cast<std::ptrdiff_t>(cut));
        at = cut;
    }
    return out;
}

struct Received {
    int result;
    Bytes data;
};

Received Receive(std::deque<Bytes> chunks, std::uint16_t s, std::size_t capacity = 4096) {
    Script script{std::move(chunks)};
    Bytes dest(capacity, 0xEE);
    std::size_t got = 0;
    ReceiveOptions options;
    options.dataWait = 20ms;
    const int result = ReceiveMarkedData(s, dest, got, std::ref(script), options);
    dest.resize(got);
    return {result, dest};
}

TEST(FindEndMarker, Positions) {
    const Bytes tag = B("CHECKSUM=");
    const struct {
        const char* legend;
        Bytes received;
        Bytes chunk;
        EndMarkerMatch expected;
    } rows[] = {
        {"inside the chunk", B("xy"), Cat({B("abc"), kMarker, tag}), {true, 0, 3, 7}},
        {"at the chunk's start", B("xy"), Cat({kMarker, tag}), {true, 0, 0, 4}},
        {"split after E", B("abE"), Cat({B("ND"), {0}, tag}), {true, 1, 0, 3}},
        {"split after EN", B("aEN"), Cat({B("D"), {0}, tag}), {true, 2, 0, 2}},
        {"split after END", B("END"), Cat({{0}, tag}), {true, 3, 0, 1}},
        {"marker ends the chunk: the trailer is still to come",
         B(""),
         Cat({B("ab"), kMarker}),
         {true, 0, 2, 6}},
        {"trailer begun", B(""), Cat({B("ab"), kMarker, B("CHE")}), {true, 0, 2, 6}},
        {"in-band marker followed by data is data", B(""), Cat({B("a"), kMarker, B("CHEZ")}), {}},
        {"in-band, then the real marker",
         B(""),
         Cat({B("a"), kMarker, B("q"), kMarker, tag}),
         {true, 0, 6, 10}},
        {"split candidate followed by data", B("E"), Cat({B("ND"), {0}, B("xx")}), {}},
        {"no marker", B("abc"), B("ENDxEN"), {}},
        {"marker without NUL", B(""), Cat({B("END1"), tag}), {}},
        {"E at the data's end but no continuation", B("E"), B("NDx"), {}},
        {"empty chunk", B("END"), {}, {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FindEndMarker(row.chunk, row.received), row.expected) << row.legend;
    }
    // A scan from an offset never looks at the data received before.
    EXPECT_FALSE(FindEndMarker(Cat({B("xD"), {0}, tag}), B("EN"), 1).found);
}

TEST(ReceiveMarkedData, MarkerSplitAnywhereGivesTheSameData) {
    const Bytes data = TrickyData();
    const Bytes stream = Answer(data, 32);
    const std::size_t m = data.size();
    const struct {
        const char* legend;
        std::vector<std::size_t> cuts;
    } rows[] = {
        {"one chunk", {}},
        {"split after E", {m + 1}},
        {"split after EN", {m + 2}},
        {"split after END", {m + 3}},
        {"marker whole, trailer apart", {m + 4}},
        {"trailer split after its tag", {m + 13}},
        {"trailer split before the echo", {m + 14}},
        {"byte by byte around the marker", {m - 1, m, m + 1, m + 2, m + 3, m + 4, m + 5}},
        {"in-band marker split", {104, 105, 106, 107, 108}},
        {"data in many chunks", {10, 20, 200, 250}},
    };
    for (const auto& row : rows) {
        const Received r = Receive(Split(stream, row.cuts), 32);
        EXPECT_EQ(r.result, kRangeDone) << row.legend;
        EXPECT_EQ(r.data, data) << row.legend;
    }
}

TEST(ReceiveMarkedData, TrailerChecks) {
    const Bytes data = B("some log bytes");
    Bytes lfCr = Cat({data, kMarker, B("CHECKSUM="), {Xor(data), 0x0A, 0x0D}});
    Bytes badSum = Answer(data, 3);
    badSum[badSum.size() - 3] ^= 0x01;
    Bytes corrupt = Answer(data, 3);
    corrupt[2] ^= 0x40;
    const struct {
        const char* legend;
        Bytes stream;
        std::uint16_t s;
        int result;
    } rows[] = {
        {"echo matches", Answer(data, 3), 3, kRangeDone},
        {"16-bit echo", Answer(data, 0x1234), 0x1234, kRangeDone},
        {"LF CR stands for any echo", lfCr, 500, kRangeDone},
        {"wrong echo", Answer(data, 4), 3, kRangeAttemptFailed},
        {"bad checksum", badSum, 3, kRangeAttemptFailed},
        {"corrupted data byte", corrupt, 3, kRangeAttemptFailed},
        {"trailer cut short", Bytes(lfCr.begin(), lfCr.end() - 1), 3, kRangeAttemptFailed},
        {"no marker at all", data, 3, kRangeAttemptFailed},
        {"empty data is valid", Answer({}, 7), 7, kRangeDone},
        {"bytes after the trailer are ignored", Cat({Answer(data, 3), B("$GPGGA,...")}), 3,
         kRangeDone},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Receive({row.stream}, row.s).result, row.result) << row.legend;
    }
}

TEST(ReceiveMarkedData, NeverWritesPastTheCapacity) {
    const Bytes fits(64, 0x80);
    const Bytes tooLong(65, 0x80);
    EXPECT_EQ(Receive({Answer(fits, 0)}, 0, 64).result, kRangeDone);
    EXPECT_EQ(Receive({Answer(tooLong, 0)}, 0, 64).result, kRangeAttemptFailed);
    // An endless stream with no marker fails once it passes the capacity.
    std::deque<Bytes> flood(100, Bytes(4096, 0x80));
    EXPECT_EQ(Receive(flood, 0, 8192).result, kRangeAttemptFailed);
    // Data exactly filling the capacity with the marker split after "END".
    const Bytes full(4096, 0x90);
    const Bytes stream = Answer(full, 0);
    const Received r = Receive(Split(stream, {4099}), 0, 4096);
    EXPECT_EQ(r.result, kRangeDone);
    EXPECT_EQ(r.data, full);
}

TEST(ReceiveMarkedData, ReportsProgressAndGivesUpOnSilence) {
    const Bytes data(1000, 0x80);
    Script script{Split(Answer(data, 0), {300, 600})};
    Bytes dest(4096);
    std::size_t got = 0;
    std::vector<std::size_t> seen;
    ReceiveOptions options;
    options.dataWait = 20ms;
    options.progress = [&](std::size_t n) { seen.push_back(n); };
    ASSERT_EQ(ReceiveMarkedData(0, dest, got, std::ref(script), options), kRangeDone);
    EXPECT_EQ(got, 1000u);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 300u);
    EXPECT_EQ(seen.back(), 1000u);

    Script silent;
    EXPECT_EQ(ReceiveMarkedData(0, dest, got, std::ref(silent), options), kRangeAttemptFailed);
    EXPECT_EQ(got, 0u);
}

}  // namespace
}  // namespace pelmora
