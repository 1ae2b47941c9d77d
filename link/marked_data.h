#pragma once
// The raw answer to a ranged read: the data bytes, the in-band end marker "END" NUL, then the
// trailer "CHECKSUM=", the XOR of the data and the first sector echoed least significant byte
// first (LF CR standing for a missing echo).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/datalog_codes.h"

namespace pelmora {

inline constexpr std::size_t kMarkerSize = 4;
inline constexpr std::size_t kTrailerSize = 12;  // "CHECKSUM=", checksum, echo low, echo high

// A byte state machine over one answer, fed in chunks of any size (the line cuts the marker and
// the trailer anywhere). Data goes straight into dest and never past it. The marker is in-band (a
// compact record may hold "END" NUL): a candidate is data again as soon as the bytes after it
// stop matching "CHECKSUM=", and the scan goes on from the byte after the marker.
class MarkedDataLexer {
  public:
    enum class State {
        Data,         // scanning data bytes
        MaybeMarker,  // a prefix of "END" NUL is held back, not yet data
        Trailer,      // a marker is held back and the bytes after it match the trailer so far
        Done,         // trailer complete, checksum and echo match
        Failed,       // more data than dest holds, or a bad checksum or echo
    };

    MarkedDataLexer(std::uint16_t firstSector, std::span<std::uint8_t> dest)
        : firstSector_(firstSector), dest_(dest) {}

    // Consumes bytes up to the end of the answer; returns how many it took (all of them until
    // the state is Done or Failed; what follows the trailer is not the answer's).
    std::size_t Feed(std::span<const std::uint8_t> bytes);

    State state() const { return state_; }
    bool Finished() const { return state_ == State::Done || state_ == State::Failed; }
    // Data bytes written to dest so far; held-back marker bytes are not counted.
    std::size_t DataSize() const { return size_; }

  private:
    void Step(std::uint8_t b);
    void Append(std::uint8_t b);
    void Release(std::size_t markerBytes);

    std::uint16_t firstSector_;
    std::span<std::uint8_t> dest_;
    State state_ = State::Data;
    std::size_t size_ = 0;
    std::uint8_t xor_ = 0;
    std::size_t held_ = 0;       // marker bytes matched (MaybeMarker) or trailer bytes (Trailer)
    std::uint8_t tail_[3] = {};  // checksum, echo low, echo high
};

// Reads what the line holds into buffer, at most size bytes; 0 when nothing came within its poll.
using ByteReader = std::function<std::size_t(std::uint8_t* buffer, std::size_t size)>;

struct ReceiveOptions {
    // The attempt fails when the line stays silent this long (the logger's stream never pauses).
    std::chrono::milliseconds dataWait{5000};
    // Called with the data bytes of this attempt so far after every chunk; may be empty.
    std::function<void(std::size_t)> progress;
    // Asked after every read, streaming or not: Stopped or Disconnected ends the attempt at once
    // with that result; Done lets it go on. May be empty.
    std::function<RangeResult()> interrupted;
};

// Receives one range's answer into dest (its size is the capacity) and verifies its trailer.
// Done with got = data length when the checksum and the echo of firstSector match, else
// AttemptFailed (silence, data longer than dest, no trailer, a bad checksum or echo), or what
// `interrupted` said. Nothing is written past dest; on a failure dest's content is unspecified
// and got is 0.
RangeResult ReceiveMarkedData(std::uint16_t firstSector, std::span<std::uint8_t> dest,
                              std::size_t& got, const ByteReader& read,
                              const ReceiveOptions& options = {});

}  // namespace pelmora
