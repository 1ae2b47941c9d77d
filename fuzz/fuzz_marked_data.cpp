// The answer to a ranged read as the line delivers it, in chunks of any size: the lexer must
// reach the same end however the stream is cut, and the whole receive stays within its buffer.
//
// Input: byte 0 the first sector's low byte, byte 1 the capacity in 64-byte units, byte 2 the
// chunk-size seed; the stream follows.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "link/marked_data.h"

namespace {

struct Lexed {
    pelmora::MarkedDataLexer::State state;
    std::vector<std::uint8_t> data;
    std::size_t taken;
};

Lexed Lex(std::span<const std::uint8_t> stream, std::uint16_t s, std::size_t capacity,
          pelmora::fuzz::ChunkSizes* chunks) {
    // Exactly the capacity, so that a write past it is caught.
    std::vector<std::uint8_t> dest(capacity);
    pelmora::MarkedDataLexer lexer(s, dest);
    std::size_t taken = 0;
    while (taken < stream.size() && !lexer.Finished()) {
        const std::size_t n =
            chunks == nullptr ? stream.size() : std::min(chunks->Next(), stream.size() - taken);
        const std::size_t used = lexer.Feed(stream.subspan(taken, n));
        FUZZ_CHECK(used <= n && (used == n || lexer.Finished()));
        FUZZ_CHECK(lexer.DataSize() <= capacity);
        taken += used;
    }
    dest.resize(lexer.DataSize());
    return {lexer.state(), dest, taken};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::uint16_t firstSector = data[0];
    const std::size_t capacity = static_cast<std::size_t>(data[1]) * 64;
    const std::span<const std::uint8_t> stream(data + 3, size - 3);

    pelmora::fuzz::ChunkSizes cuts(data[2], 1 + data[2] % 64);
    const Lexed whole = Lex(stream, firstSector, capacity, nullptr);
    const Lexed split = Lex(stream, firstSector, capacity, &cuts);
    FUZZ_CHECK(whole.state == split.state && whole.taken == split.taken);
    FUZZ_CHECK(whole.data == split.data);
    if (whole.state == pelmora::MarkedDataLexer::State::Done) {
        FUZZ_CHECK(whole.data.size() + pelmora::kMarkerSize + pelmora::kTrailerSize <= whole.taken);
    }

    pelmora::fuzz::ChunkSizes chunks(data[2], 1 + data[2] % 64);
    std::vector<std::uint8_t> dest(capacity, 0xEE);
    std::size_t at = 0;
    std::size_t deliveries = 0;
    const pelmora::ByteReader read = [&](std::uint8_t* out, std::size_t room) -> std::size_t {
        ++deliveries;
        if (at >= stream.size()) {
            return 0;
        }
        const std::size_t n = std::min({chunks.Next(), room, stream.size() - at});
        std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(at), n, out);
        at += n;
        return n;
    };
    pelmora::ReceiveOptions options;
    options.dataWait = std::chrono::milliseconds(0);  // the stream's end is the line's silence
    options.progress = [&](std::size_t n) { FUZZ_CHECK(n <= capacity); };
    std::size_t got = 12345;
    using pelmora::RangeResult;
    const RangeResult code = pelmora::ReceiveMarkedData(firstSector, dest, got, read, options);
    FUZZ_CHECK(code == (whole.state == pelmora::MarkedDataLexer::State::Done
                            ? RangeResult::Done
                            : RangeResult::AttemptFailed));
    if (code == RangeResult::Done) {
        FUZZ_CHECK(got == whole.data.size());
        FUZZ_CHECK(std::equal(whole.data.begin(), whole.data.end(), dest.begin()));
    } else {
        FUZZ_CHECK(got == 0);
    }
    FUZZ_CHECK(deliveries <= stream.size() + 2);
    return 0;
}
