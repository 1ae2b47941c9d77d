#pragma once
// The raw answer to a ranged read: the data bytes, the in-band end marker "END" NUL, then the
// trailer "CHECKSUM=", the XOR of the data and the first sector echoed least significant byte
// first (LF CR standing for a missing echo).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace pelmora {

inline constexpr std::size_t kMarkerSize = 4;
inline constexpr std::size_t kTrailerSize = 12;  // "CHECKSUM=", checksum, echo low, echo high
inline constexpr std::size_t kTrailerCapacity = 4096;

struct EndMarkerMatch {
    bool found = false;
    // Marker bytes that ended the previous chunk and were appended as data (0 to 3).
    std::size_t takeBack = 0;
    // Bytes of the chunk, from the scan's start, that are data before the marker.
    std::size_t dataLength = 0;
    // First byte after the marker; the trailer is chunk[trailerOffset, chunk.size()).
    std::size_t trailerOffset = 0;

    bool operator==(const EndMarkerMatch&) const = default;
};

// Finds the first end marker in chunk[from, size), including one that began at the end of the
// data received so far (split after "E", "EN" or "END"; only when from is 0). The marker is
// in-band: a compact record may hold "END" NUL, so a candidate followed by bytes that are not the
// start of "CHECKSUM=" is data and the scan goes on.
EndMarkerMatch FindEndMarker(std::span<const std::uint8_t> chunk,
                             std::span<const std::uint8_t> received, std::size_t from = 0);

// Reads what the line holds into buffer, at most size bytes; 0 when nothing came within its poll.
using ByteReader = std::function<std::size_t(std::uint8_t* buffer, std::size_t size)>;

struct ReceiveOptions {
    // The attempt fails when the line stays silent this long (the logger's stream never pauses).
    std::chrono::milliseconds dataWait{5000};
    // Called with the data bytes of this attempt so far after every chunk; may be empty.
    std::function<void(std::size_t)> progress;
};

// Receives one range's answer into dest (its size is the capacity) and verifies its trailer.
// Returns 0 with got = data length when the checksum and the echo of firstSector match, else 8
// (silence, data longer than dest, no trailer, a bad checksum or echo). Nothing is written past
// dest; on 8 dest's content is unspecified and got is 0.
int ReceiveMarkedData(std::uint16_t firstSector, std::span<std::uint8_t> dest, std::size_t& got,
                      const ByteReader& read, const ReceiveOptions& options = {});

}  // namespace pelmora
