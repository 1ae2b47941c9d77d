#include "decode/trace_fix.h"

#include <bit>
#include <cstring>
#include <type_traits>

namespace pelmora {
namespace {
// Byte-order independent, yet a single store on little-endian hosts.
template <typename T>
void PutLe(std::uint8_t* p, T value) {
    using U = std::make_unsigned_t<T>;
    auto v = static_cast<U>(value);
    if constexpr (std::endian::native != std::endian::little) {
        U swapped = 0;
        for (std::size_t i = 0; i < sizeof(U); ++i) {
            swapped = static_cast<U>((swapped << 8) | (v & 0xFF));
            v = static_cast<U>(v >> 8);
        }
        v = swapped;
    }
    std::memcpy(p, &v, sizeof v);
}
}  // namespace

std::uint16_t TraceFixDateWord(int year, int month, int day) {
    return static_cast<std::uint16_t>((((year - 1980) & 0x7F) << 9) | ((month & 0xF) << 5) |
                                      (day & 0x1F));
}

void PackTraceFix(std::uint8_t* out, std::uint16_t dateWord, std::uint16_t halfSeconds,
                  std::int32_t x, std::int32_t y, std::int32_t z, int speed) {
    PutLe(&out[0], dateWord);
    PutLe(&out[2], halfSeconds);
    PutLe(&out[4], x);
    PutLe(&out[8], y);
    PutLe(&out[12], z);
    PutLe(&out[16], std::uint16_t{0});
    const auto speedWord = static_cast<std::uint16_t>((speed & 0xFFF) | 0x2000);
    PutLe(&out[18], speedWord);
    // The checksum is the XOR of bytes 0-19; folding the 32-bit fields first gives the same
    // byte and is what keeps packing off the decoder's profile.
    std::uint32_t fold =
        static_cast<std::uint32_t>(dateWord) ^ (static_cast<std::uint32_t>(halfSeconds) << 16) ^
        static_cast<std::uint32_t>(x) ^ static_cast<std::uint32_t>(y) ^
        static_cast<std::uint32_t>(z) ^ (static_cast<std::uint32_t>(speedWord) << 16);
    fold ^= fold >> 16;
    fold ^= fold >> 8;
    out[20] = static_cast<std::uint8_t>(fold & 0xFF);
    out[21] = 0x0D;
}

TraceFixBytes EncodeTraceFix(int year, int month, int day, int hour, int minute, float second,
                             std::int32_t x, std::int32_t y, std::int32_t z, int speed) {
    TraceFixBytes r{};
    const double seconds = (static_cast<double>(hour) * 3600.0 + minute * 60.0 + second) / 2.0;
    const auto time = static_cast<std::uint16_t>(static_cast<std::int64_t>(seconds) & 0xFFFF);
    PackTraceFix(r.data(), TraceFixDateWord(year, month, day), time, x, y, z, speed);
    return r;
}

bool WriteTraceFix(std::FILE* file, int year, int month, int day, int hour, int minute,
                   float second, std::int32_t x, std::int32_t y, std::int32_t z, int speed) {
    const TraceFixBytes r = EncodeTraceFix(year, month, day, hour, minute, second, x, y, z, speed);
    return std::fwrite(r.data(), 1, r.size(), file) == r.size();
}

TraceFixDateTime DecodeTraceFixDateTime(const std::uint8_t* record) {
    return DecodeTraceFixDateTime(ReadLe16(record), ReadLe16(record + 2));
}

TraceFixDateTime DecodeTraceFixDateTime(std::uint16_t dateWord, std::uint16_t halfSeconds) {
    const std::uint32_t v =
        static_cast<std::uint32_t>(dateWord) | (static_cast<std::uint32_t>(halfSeconds) << 16);
    TraceFixDateTime f;
    f.year = static_cast<int>(((v >> 9) & 0x7F) + 1980);
    f.month = static_cast<int>((v >> 5) & 0xF);
    f.day = static_cast<int>(v & 0x1F);
    const int seconds = static_cast<int>((v >> 16) * 2);
    f.hour = seconds / 3600;
    f.minute = (seconds % 3600) / 60;
    f.second = seconds % 60;
    return f;
}

}  // namespace pelmora
