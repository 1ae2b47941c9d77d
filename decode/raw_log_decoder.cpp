#include "decode/raw_log_decoder.h"

namespace pelmora {
namespace {

std::uint32_t Word(const std::uint8_t* p, std::size_t i) {
    return (static_cast<std::uint32_t>(p[2 * i]) << 8) | p[2 * i + 1];
}

// The logger stores each 32-bit coordinate as two big-endian words, the low half first.
std::int32_t Coordinate(const std::uint8_t* p, std::size_t lowWord) {
    return static_cast<std::int32_t>(Word(p, lowWord) | (Word(p, lowWord + 1) << 16));
}

}  // namespace

int DecodeDeltaCode(std::uint16_t code) {
    const int c = code & 0x3FF;
    return c <= 511 ? c : 511 - c;
}

std::size_t ApplyLogRecord(const std::uint8_t* window, std::size_t length, LogDecodeState& state,
                           std::uint8_t& type) {
    type = 0;
    if (window == nullptr || length == 0) {
        return 0;
    }
    const std::size_t size = RawRecordLength(window[0]);
    if (size == 0 || length < size) {
        return 0;
    }
    type = RawRecordType(window[0]);
    if (size == kRawFullRecordSize) {
        state.speed = static_cast<std::int16_t>(Word(window, 0) & 0x3FF);
        state.week = static_cast<std::int32_t>(Word(window, 1) & 0x3FF);
        state.timeOfWeek =
            static_cast<std::int32_t>((Word(window, 2) << 4) | ((Word(window, 1) >> 12) & 0xF));
        state.x = Coordinate(window, 3);
        state.y = Coordinate(window, 5);
        state.z = Coordinate(window, 7);
        state.dx = state.dy = state.dz = 0;
    } else {
        const std::uint32_t w2 = Word(window, 2);
        const std::uint32_t w3 = Word(window, 3);
        state.speed = static_cast<std::int16_t>(Word(window, 0) & 0x3FF);
        state.timeIncrement = static_cast<std::uint16_t>(Word(window, 1));
        state.dx = static_cast<std::int16_t>(DecodeDeltaCode(static_cast<std::uint16_t>(w2 >> 6)));
        state.dy = static_cast<std::int16_t>(
            DecodeDeltaCode(static_cast<std::uint16_t>((((w3 >> 12) & 0xF) << 6) | (w2 & 0x3F))));
        state.dz = static_cast<std::int16_t>(DecodeDeltaCode(static_cast<std::uint16_t>(w3)));
        // A damaged stream of compact records must not overflow: the sums wrap as the
        // logger's own 32-bit counters would.
        state.timeOfWeek = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.timeOfWeek) +
                                                     state.timeIncrement);
        state.x = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.x) +
                                            static_cast<std::uint32_t>(state.dx));
        state.y = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.y) +
                                            static_cast<std::uint32_t>(state.dy));
        state.z = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.z) +
                                            static_cast<std::uint32_t>(state.dz));
    }
    return size;
}

std::size_t DecodeLogRecord(const std::uint8_t* window, std::size_t length, LogDecodeState& state,
                            GpsDateTime& dateTime, std::uint8_t& type, TimeValue nowUtc) {
    const std::size_t size = ApplyLogRecord(window, length, state, type);
    if (size == 0) {
        return 0;
    }
    // Not wrapped at the week's end: the conversion is linear, so a time of week past 604800 s
    // still gives the right date.
    const int fullWeek = ResolveGpsWeek(state.week, state.timeOfWeek, nowUtc);
    GpsTimeToUtc(fullWeek, state.timeOfWeek, dateTime);
    return size;
}

}  // namespace pelmora
