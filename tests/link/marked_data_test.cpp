#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "link/datalog_codes.h"
#include "link/marked_data.h"
#include "tests/link/print_results.h"

namespace pelmora {
namespace {

using Bytes = std::vector<std::uint8_t>;
using State = MarkedDataLexer::State;
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

// The whole answer to a ranged read of first sector s.
Bytes Answer(const Bytes& data, std::uint16_t s) {
    return Cat({data,
                kMarker,
                B("CHECKSUM="),
                {Xor(data), static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8)}});
}

// Data that holds the marker's bytes in several guises, as compact records can.
Bytes TrickyData() {
    Bytes d;
    for (int i = 0; i < 200; ++i) {
        d.push_back(static_cast<std::uint8_t>(i * 7));
    }
    const Bytes guises = Cat(
        {kMarker, B("CHECKSUX"), {'E', 'N', 'D', 1}, B("EEN"), kMarker, B("CHEND"), {0}, B("x")});
    d.insert(d.begin() + 100, guises.begin(), guises.end());
    return d;
}

struct Lexed {
    State state;
    Bytes data;
};

// Feeds the stream in pieces cut at the given offsets.
Lexed Lex(const Bytes& stream, std::uint16_t s, std::size_t capacity,
          const std::vector<std::size_t>& cuts) {
    Bytes dest(capacity, 0xEE);
    MarkedDataLexer lexer(s, dest);
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        lexer.Feed({stream.data() + at, cut - at});
        at = cut;
    }
    lexer.Feed({stream.data() + at, stream.size() - at});
    dest.resize(lexer.DataSize());
    return {lexer.state(), dest};
}

// Each row is fed whole, byte by byte, and cut in two at every offset: the line may split the
// marker and the trailer anywhere, and the result must not depend on where.
TEST(MarkedDataLexer, Answers) {
    const Bytes data = B("some log bytes");
    const Bytes tricky = TrickyData();
    const Bytes lfCr = Cat({data, kMarker, B("CHECKSUM="), {Xor(data), 0x0A, 0x0D}});
    Bytes badSum = Answer(data, 3);
    badSum[badSum.size() - 3] ^= 0x01;
    Bytes corrupt = Answer(data, 3);
    corrupt[2] ^= 0x40;
    const Bytes full(64, 0x90);
    const struct {
        const char* legend;
        Bytes in;
        std::uint16_t s;
        std::size_t capacity;
        State state;
        Bytes data;  // checked when done
    } rows[] = {
        {"echo matches", Answer(data, 3), 3, 4096, State::Done, data},
        {"16-bit echo", Answer(data, 0x1234), 0x1234, 4096, State::Done, data},
        {"LF CR stands for any echo", lfCr, 500, 4096, State::Done, data},
        {"empty data", Answer({}, 7), 7, 4096, State::Done, {}},
        {"in-band markers and near misses are data", Answer(tricky, 32), 32, 4096, State::Done,
         tricky},
        {"the real marker right after an in-band one", Answer(Cat({B("ab"), kMarker}), 1), 1, 4096,
         State::Done, Cat({B("ab"), kMarker})},
        {"bytes after the trailer are not the answer's", Cat({Answer(data, 3), B("$GPGGA,")}), 3,
         4096, State::Done, data},
        {"data filling the capacity exactly", Answer(full, 0), 0, 64, State::Done, full},
        {"wrong echo", Answer(data, 4), 3, 4096, State::Failed, {}},
        {"bad checksum", badSum, 3, 4096, State::Failed, {}},
        {"corrupted data byte", corrupt, 3, 4096, State::Failed, {}},
        {"one byte more than the capacity", Answer(Bytes(65, 0x80), 0), 0, 64, State::Failed, {}},
        {"a flood with no marker", Bytes(300, 0x80), 0, 256, State::Failed, {}},
        {"trailer cut short", Bytes(lfCr.begin(), lfCr.end() - 1), 3, 4096, State::Trailer, {}},
        {"cut inside the marker", Cat({data, B("EN")}), 3, 4096, State::MaybeMarker, {}},
        {"no marker at all", data, 3, 4096, State::Data, {}},
    };
    for (const auto& row : rows) {
        std::vector<std::vector<std::size_t>> splits = {{}};
        std::vector<std::size_t> bytes;
        for (std::size_t k = 0; k <= row.in.size(); ++k) {
            splits.push_back({k});
            bytes.push_back(k);
        }
        splits.push_back(bytes);
        for (const auto& cuts : splits) {
            const Lexed r = Lex(row.in, row.s, row.capacity, cuts);
            const std::string where = std::string(row.legend) + ", " + std::to_string(cuts.size()) +
                                      " cuts from " + std::to_string(cuts.empty() ? 0 : cuts[0]);
            ASSERT_EQ(r.state, row.state) << where;
            if (row.state == State::Done) {
                ASSERT_EQ(r.data, row.data) << where;
            }
        }
    }
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

TEST(ReceiveMarkedData, ReportsProgressAndGivesUpOnSilence) {
    const Bytes data(1000, 0x80);
    const Bytes answer = Answer(data, 0);
    Script script{{Bytes(answer.begin(), answer.begin() + 300),
                   Bytes(answer.begin() + 300, answer.begin() + 600),
                   Bytes(answer.begin() + 600, answer.end())}};
    Bytes dest(4096);
    std::size_t got = 0;
    std::vector<std::size_t> seen;
    ReceiveOptions options;
    options.dataWait = 20ms;
    options.progress = [&](std::size_t n) { seen.push_back(n); };
    ASSERT_EQ(ReceiveMarkedData(0, dest, got, std::ref(script), options), RangeResult::Done);
    EXPECT_EQ(got, 1000u);
    EXPECT_EQ(seen, (std::vector<std::size_t>{300, 600, 1000}));

    // Silence in the data and silence inside the trailer both end the attempt.
    for (Script silent : {Script{}, Script{{Bytes(answer.begin(), answer.end() - 2)}}}) {
        EXPECT_EQ(ReceiveMarkedData(0, dest, got, std::ref(silent), options),
                  RangeResult::AttemptFailed);
        EXPECT_EQ(got, 0u);
    }
}

}  // namespace
}  // namespace pelmora
