#include "link/marked_data.h"

#include <array>

namespace pelmora {
namespace {

constexpr std::uint8_t kMarker[kMarkerSize] = {'E', 'N', 'D', 0};
constexpr char kChecksumTag[] = "CHECKSUM=";
constexpr std::size_t kTagSize = sizeof kChecksumTag - 1;
// The reads of one answer: what the driver holds, as the logger's stream gives it.
constexpr std::size_t kChunkSize = 4096;

}  // namespace

void MarkedDataLexer::Append(std::uint8_t b) {
    if (size_ == dest_.size()) {
        state_ = State::Failed;  // more data than the range holds, and no marker
        return;
    }
    dest_[size_++] = b;
    xor_ ^= b;
}

// The held-back bytes were data after all: the first markerBytes of the marker, then (in the
// trailer state) the tag bytes that followed it. They are scanned again, since they may begin
// a marker of their own.
void MarkedDataLexer::Release(std::size_t markerBytes) {
    const std::size_t tagBytes = state_ == State::Trailer ? held_ : 0;
    state_ = State::Data;
    held_ = 0;
    for (std::size_t i = 0; i < markerBytes && state_ == State::Data; ++i) {
        Append(kMarker[i]);
    }
    for (std::size_t i = 0; i < tagBytes && !Finished(); ++i) {
        Step(static_cast<std::uint8_t>(kChecksumTag[i]));
    }
}

void MarkedDataLexer::Step(std::uint8_t b) {
    switch (state_) {
        case State::Data:
            if (b == kMarker[0]) {
                state_ = State::MaybeMarker;
                held_ = 1;
            } else {
                Append(b);
            }
            return;
        case State::MaybeMarker:
            if (b == kMarker[held_]) {
                if (++held_ == kMarkerSize) {
                    state_ = State::Trailer;
                    held_ = 0;
                }
                return;
            }
            Release(held_);
            break;  // b is scanned again as data
        case State::Trailer:
            if (held_ >= kTagSize) {
                tail_[held_++ - kTagSize] = b;
                if (held_ == kTrailerSize) {
                    const bool noEcho = tail_[1] == 0x0A && tail_[2] == 0x0D;
                    const auto echo = static_cast<std::uint16_t>(tail_[2] << 8 | tail_[1]);
                    const bool ok = tail_[0] == xor_ && (noEcho || echo == firstSector_);
                    state_ = ok ? State::Done : State::Failed;
                }
                return;
            }
            if (b == static_cast<std::uint8_t>(kChecksumTag[held_])) {
                ++held_;
                return;
            }
            Release(kMarkerSize);
            break;
        case State::Done:
        case State::Failed:
            return;
    }
    if (!Finished()) {
        Step(b);
    }
}

std::size_t MarkedDataLexer::Feed(std::span<const std::uint8_t> bytes) {
    std::size_t taken = 0;
    while (taken < bytes.size() && !Finished()) {
        Step(bytes[taken++]);
    }
    return taken;
}

RangeResult ReceiveMarkedData(std::uint16_t firstSector, std::span<std::uint8_t> dest,
                              std::size_t& got, const ByteReader& read,
                              const ReceiveOptions& options) {
    using Clock = std::chrono::steady_clock;
    got = 0;
    MarkedDataLexer lexer(firstSector, dest);
    std::array<std::uint8_t, kChunkSize> chunk;
    auto deadline = Clock::now() + options.dataWait;
    while (!lexer.Finished()) {
        std::size_t n = read(chunk.data(), chunk.size());
        if (n > chunk.size()) {
            n = 0;  // a reader claiming more than it was given room for is not believed
        }
        if (options.interrupted) {
            // Looked at on every read: a stop must not wait for the stream to pause.
            if (const RangeResult why = options.interrupted(); why != RangeResult::Done) {
                return why;
            }
        }
        if (n == 0) {
            if (Clock::now() >= deadline) {
                return RangeResult::AttemptFailed;
            }
            continue;
        }
        deadline = Clock::now() + options.dataWait;
        lexer.Feed({chunk.data(), n});
        if (options.progress) {
            options.progress(lexer.DataSize());
        }
    }
    if (lexer.state() != MarkedDataLexer::State::Done) {
        return RangeResult::AttemptFailed;
    }
    got = lexer.DataSize();
    return RangeResult::Done;
}

}  // namespace pelmora
