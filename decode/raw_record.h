#pragma once
// What the first byte of a raw log record says: the one rule shared by the download's record
// filter, the decoder and the simulated logger. Header only, so receiver/ and sim/ need no link
// to the trace library for it.
//
// The first byte is bits 15-8 of the record's first big-endian word: bits 7-4 the kind, bits 3-2
// unused, bits 1-0 the top of the speed. Only the kind decides the record: a set unused bit does
// not make a well-formed record garbage, and erased (0xFF) or zeroed flash still starts none.
#include <array>
#include <cstddef>
#include <cstdint>

namespace pelmora {

inline constexpr std::size_t kRawFullRecordSize = 18;
inline constexpr std::size_t kRawCompactRecordSize = 8;

namespace raw_record_detail {
struct Kind {
    std::uint8_t length = 0;  // 0: no record starts with this kind
    std::uint8_t type = 0;    // the type code the decoder reports
};
// clang-format off
inline constexpr std::array<Kind, 16> kKinds = {{
    {}, {}, {}, {},
    {18, 1}, {18, 11}, {18, 3}, {18, 13},  // full
    {8, 2}, {8, 12},                       // compact
    {}, {}, {}, {}, {}, {},
}};
// clang-format on
}  // namespace raw_record_detail

// The filter's question: the length of the record that starts here, 0 when none does.
constexpr std::size_t RawRecordLength(std::uint8_t firstByte) {
    return raw_record_detail::kKinds[firstByte >> 4].length;
}

// The decoder's question: which kind, as a type code (1, 11, 3, 13 full; 2, 12 compact; 0 none).
constexpr std::uint8_t RawRecordType(std::uint8_t firstByte) {
    return raw_record_detail::kKinds[firstByte >> 4].type;
}

}  // namespace pelmora
