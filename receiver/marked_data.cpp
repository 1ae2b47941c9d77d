#include "receiver/marked_data.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "receiver/datalog_codes.h"

namespace pelmora {

namespace {

constexpr std::uint8_t kMarker[kMarkerSize] = {'E', 'N', 'D', 0};
constexpr char kChecksumTag[] = "CHECKSUM=";
constexpr std::size_t kChecksumTagSize = sizeof kChecksumTag - 1;
// Room past the capacity for a marker begun at the very end of the data.
constexpr std::size_t kMarkerSlack = kMarkerSize;
// As many reads as the trailer may take (each returns at least one byte).
constexpr int kMaxTrailerReads = 10000;

// The bytes present after a marker agree with "CHECKSUM=" as far as they go.
bool TrailerPlausible(const std::uint8_t* bytes, std::size_t size) {
    const std::size_t n = std::min(size, kChecksumTagSize);
    return std::memcmp(bytes, kChecksumTag, n) == 0;
}

bool EndsWith(std::span<const std::uint8_t> data, std::size_t n) {
    return data.size() >= n && std::equal(kMarker, kMarker + n, data.end() - n);
}

bool Starts(std::span<const std::uint8_t> chunk, std::size_t at, std::size_t markerFrom) {
    const std::size_t n = kMarkerSize - markerFrom;
    return chunk.size() - at >= n && std::equal(kMarker + markerFrom, kMarker + kMarkerSize,
                                                chunk.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

EndMarkerMatch FindEndMarker(std::span<const std::uint8_t> chunk,
                             std::span<const std::uint8_t> received, std::size_t from) {
    const std::size_t size = chunk.size();
    for (std::size_t i = from; i < size; ++i) {
        auto accept = [&](std::size_t takeBack, std::size_t trailer) {
            return TrailerPlausible(chunk.data() + trailer, size - trailer)
                       ? EndMarkerMatch{true, takeBack, i - from, trailer}
                       : EndMarkerMatch{};
        };
        if (chunk[i] == 'E' && Starts(chunk, i, 0)) {
            if (auto m = accept(0, i + kMarkerSize); m.found) {
                return m;
            }
        }
        if (i == 0) {
            // A marker split by the read: its first bytes are already the data's last ones.
            for (std::size_t head = 1; head < kMarkerSize; ++head) {
                if (EndsWith(received, head) && Starts(chunk, 0, head)) {
                    if (auto m = accept(head, kMarkerSize - head); m.found) {
                        return m;
                    }
                }
            }
        }
    }
    return {};
}

int ReceiveMarkedData(std::uint16_t firstSector, std::span<std::uint8_t> dest, std::size_t& got,
                      const ByteReader& read, const ReceiveOptions& options) {
    using Clock = std::chrono::steady_clock;
    got = 0;
    const std::size_t limit = dest.size() + kMarkerSlack;
    std::vector<std::uint8_t> data;
    data.reserve(limit);
    std::vector<std::uint8_t> chunk(kTrailerCapacity);
    std::vector<std::uint8_t> pending;  // bytes still to scan
    std::vector<std::uint8_t> trailer;
    trailer.reserve(kTrailerCapacity);

    auto deadline = Clock::now() + options.dataWait;
    // One read of what the line holds into out (at most room bytes); false once the line has been
    // silent for the data wait.
    auto readSome = [&](std::uint8_t* out, std::size_t room, std::size_t& n) {
        for (;;) {
            n = read(out, room);
            if (n > room) {
                n = 0;  // a reader claiming more than it was given room for is not believed
            }
            if (n > 0) {
                deadline = Clock::now() + options.dataWait;
                return true;
            }
            if (Clock::now() >= deadline) {
                return false;
            }
        }
    };
    auto append = [&](const std::uint8_t* bytes, std::size_t n) {
        if (n > limit - data.size()) {
            return false;
        }
        data.insert(data.end(), bytes, bytes + n);
        if (options.progress) {
            options.progress(data.size());
        }
        return true;
    };

    for (;;) {
        if (pending.empty()) {
            std::size_t n = 0;
            if (!readSome(chunk.data(), chunk.size(), n)) {
                return kRangeAttemptFailed;
            }
            pending.assign(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
        }
        const EndMarkerMatch m = FindEndMarker(pending, data);
        if (!m.found) {
            if (!append(pending.data(), pending.size())) {
                return kRangeAttemptFailed;  // more data than the range holds, and no marker
            }
            pending.clear();
            continue;
        }
        data.resize(data.size() - m.takeBack);
        if (!append(pending.data(), m.dataLength)) {
            return kRangeAttemptFailed;
        }
        const std::size_t tail = std::min(pending.size() - m.trailerOffset, kTrailerCapacity);
        trailer.assign(pending.begin() + static_cast<std::ptrdiff_t>(m.trailerOffset),
                       pending.begin() + static_cast<std::ptrdiff_t>(m.trailerOffset + tail));
        pending.clear();

        int reads = 0;
        while (TrailerPlausible(trailer.data(), trailer.size()) && trailer.size() < kTrailerSize) {
            if (++reads > kMaxTrailerReads) {
                return kRangeAttemptFailed;
            }
            const std::size_t at = trailer.size();
            trailer.resize(kTrailerCapacity);
            std::size_t n = 0;
            const bool ok = readSome(trailer.data() + at, kTrailerCapacity - at, n);
            trailer.resize(at + n);
            if (!ok) {
                return kRangeAttemptFailed;
            }
        }
        if (TrailerPlausible(trailer.data(), trailer.size())) {
            break;
        }
        // What looked like the marker was data: keep it and scan what followed it.
        if (!append(kMarker, kMarkerSize)) {
            return kRangeAttemptFailed;
        }
        pending.swap(trailer);
        trailer.clear();
    }

    if (data.size() > dest.size()) {
        return kRangeAttemptFailed;
    }
    std::uint8_t sum = 0;
    for (const std::uint8_t b : data) {
        sum ^= b;
    }
    const std::uint8_t checksum = trailer[9];
    const bool noEcho = trailer[10] == 0x0A && trailer[11] == 0x0D;
    const auto echo = static_cast<std::uint16_t>(trailer[11] << 8 | trailer[10]);
    if (checksum != sum || (!noEcho && echo != firstSector)) {
        return kRangeAttemptFailed;
    }
    std::copy(data.begin(), data.end(), dest.begin());
    got = data.size();
    return kRangeDone;
}

}  // namespace pelmora
