#pragma once
// TraceLog.ltp: one 22-byte little-endian TraceFix per decoded fix. TraceLog.lte holds the
// 73-byte TraceFixExtended, which this program only reads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace pelmora {

inline constexpr std::size_t kTraceFixSize = 22;
inline constexpr std::size_t kTraceFixExtendedSize = 73;
inline constexpr int kSatelliteSlots = 12;

using TraceFixBytes = std::array<std::uint8_t, kTraceFixSize>;

// Packs one fix; odd seconds drop to the even second below (2-second resolution of the time word).
TraceFixBytes EncodeTraceFix(int year, int month, int day, int hour, int minute, float second,
                             std::int32_t x, std::int32_t y, std::int32_t z, int speed);

// The two time words of a TraceFix: the packed date and the seconds of the day halved.
std::uint16_t TraceFixDateWord(int year, int month, int day);
// Writes one fix whose time words are already packed into out[0..kTraceFixSize).
void PackTraceFix(std::uint8_t* out, std::uint16_t dateWord, std::uint16_t halfSeconds,
                  std::int32_t x, std::int32_t y, std::int32_t z, int speed);

// Appends one TraceFix to an open file; false when the write fails.
bool WriteTraceFix(std::FILE* file, int year, int month, int day, int hour, int minute,
                   float second, std::int32_t x, std::int32_t y, std::int32_t z, int speed);

// The fields of the first four bytes, without any validity check.
struct TraceFixDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
TraceFixDateTime DecodeTraceFixDateTime(const std::uint8_t* record);
TraceFixDateTime DecodeTraceFixDateTime(std::uint16_t dateWord, std::uint16_t halfSeconds);

inline std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

}  // namespace pelmora
