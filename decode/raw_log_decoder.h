#pragma once
// The logger's raw record stream (data.log): 18-byte full records and 8-byte compact delta
// records, read as big-endian 16-bit words; 32-bit coordinates are stored low half first.
#include <cstddef>
#include <cstdint>

#include "core/time_value.h"
#include "decode/gps_time.h"
#include "decode/raw_record.h"

namespace pelmora {

inline constexpr std::size_t kRawRecordWindow = kRawFullRecordSize;

// The running decoder state: compact records apply as deltas to it. Starts all zero.
struct LogDecodeState {
    std::int32_t week = 0;        // modulo 1024, from the last full record
    std::int32_t timeOfWeek = 0;  // full records set it, compact records add to it
    std::uint16_t timeIncrement = 0;
    std::int32_t x = 0, y = 0, z = 0;
    std::int16_t dx = 0, dy = 0, dz = 0;
    std::int16_t speed = 0;  // km/h
};

// A 10-bit delta code: c for c <= 511, 511 - c for c >= 512 (512 is -1 m, 1023 is -512 m).
int DecodeDeltaCode(std::uint16_t code);

// Applies the record at window[0..length) to state and returns its size, or 0 for an unlisted
// kind or a window shorter than the record (state untouched then). No calendar work: the caller
// resolves state.week and state.timeOfWeek.
std::size_t ApplyLogRecord(const std::uint8_t* window, std::size_t length, LogDecodeState& state,
                           std::uint8_t& type);

// Decodes the record at window[0..length) into state and dateTime and returns its size, or 0 for
// an unlisted kind or a window shorter than the record (state untouched then). The date is the
// UTC time of the record with the week resolved against nowUtc (see ResolveGpsWeek).
std::size_t DecodeLogRecord(const std::uint8_t* window, std::size_t length, LogDecodeState& state,
                            GpsDateTime& dateTime, std::uint8_t& type, TimeValue nowUtc);

}  // namespace pelmora
