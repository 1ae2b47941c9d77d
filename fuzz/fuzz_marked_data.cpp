// The answer to a ranged read as the line delivers it, in chunks of any size: the end marker
// search on every split of the stream, and the whole receive with its trailer check.
//
// Input: byte 0 the first sector's low byte, byte 1 the capacity in 64-byte units, byte 2 the
// chunk-size seed; the stream follows.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "receiver/marked_data.h"

namespace {

void CheckMatch(const pelmora::EndMarkerMatch& m, std::size_t chunkSize, std::size_t received,
                std::size_t from) {
    if (!m.found) {
        return;
    }
    FUZZ_CHECK(m.takeBack <= 3 && m.takeBack <= received);
    FUZZ_CHECK(from == 0 || m.takeBack == 0);
    FUZZ_CHECK(from + m.dataLength <= chunkSize);
    FUZZ_CHECK(m.trailerOffset <= chunkSize);
    FUZZ_CHECK(m.trailerOffset == from + m.dataLength + pelmora::kMarkerSize - m.takeBack);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::uint16_t firstSector = data[0];
    const std::size_t capacity = static_cast<std::size_t>(data[1]) * 64;
    pelmora::fuzz::ChunkSizes chunks(data[2], 1 + data[2] % 64);
    const std::span<const std::uint8_t> stream(data + 3, size - 3);

    // Split points of the stream as a line might cut it, the scan starting at the split or a
    // little after it.
    pelmora::fuzz::ChunkSizes splits(static_cast<std::uint8_t>(data[2] ^ 0x5A), 1 + data[1] % 32);
    for (std::size_t k = 0, n = 0; k <= stream.size() && n < 256; k += splits.Next(), ++n) {
        const auto received = stream.first(k);
        const auto chunk = stream.subspan(k);
        const std::size_t from = k % 3 == 0 ? 0 : std::min(chunk.size(), k % 5);
        CheckMatch(pelmora::FindEndMarker(chunk, received, from), chunk.size(), received.size(),
                   from);
    }

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
    std::size_t progressed = 0;
    options.progress = [&](std::size_t n) {
        FUZZ_CHECK(n <= capacity + pelmora::kMarkerSize);
        progressed = n;
    };
    std::size_t got = 12345;
    const int code = pelmora::ReceiveMarkedData(firstSector, dest, got, read, options);
    FUZZ_CHECK(code == 0 || code == 8);
    if (code == 0) {
        FUZZ_CHECK(got <= capacity);
        // The data came from the stream, so it is no longer than what was delivered.
        FUZZ_CHECK(got + pelmora::kMarkerSize + pelmora::kTrailerSize <= stream.size());
    } else {
        FUZZ_CHECK(got == 0);
    }
    FUZZ_CHECK(deliveries <= stream.size() + 2);
    return 0;
}
