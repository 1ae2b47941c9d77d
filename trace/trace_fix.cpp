#include "trace/trace_fix.h"

namespace pelmora {
namespace {
void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutLe32(std::uint8_t* p, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
    }
}
}  // namespace

TraceFixBytes EncodeTraceFix(int year, int month, int day, int hour, int minute, float second,
                             std::int32_t x, std::int32_t y, std::int32_t z, int speed) {
    TraceFixBytes r{};
    const auto date = static_cast<std::uint16_t>((((year - 1980) & 0x7F) << 9) |
                                                 ((month & 0xF) << 5) | (day & 0x1F));
    const double seconds = (static_cast<double>(hour) * 3600.0 + minute * 60.0 + second) / 2.0;
    const auto time = static_cast<std::uint16_t>(static_cast<std::int64_t>(seconds) & 0xFFFF);
    PutLe16(&r[0], date);
    PutLe16(&r[2], time);
    PutLe32(&r[4], x);
    PutLe32(&r[8], y);
    PutLe32(&r[12], z);
    PutLe16(&r[16], 0);
    PutLe16(&r[18], static_cast<std::uint16_t>((speed & 0xFFF) | 0x2000));
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 20; ++i) {
        sum = static_cast<std::uint8_t>(sum ^ r[i]);
    }
    r[20] = sum;
    r[21] = 0x0D;
    return r;
}

bool WriteTraceFix(std::FILE* file, int year, int month, int day, int hour, int minute,
                   float second, std::int32_t x, std::int32_t y, std::int32_t z, int speed) {
    const TraceFixBytes r = EncodeTraceFix(year, month, day, hour, minute, second, x, y, z, speed);
    return std::fwrite(r.data(), 1, r.size(), file) == r.size();
}

TraceFixDateTime DecodeTraceFixDateTime(const std::uint8_t* record) {
    const std::uint32_t v = static_cast<std::uint32_t>(ReadLe16(record)) |
                            (static_cast<std::uint32_t>(ReadLe16(record + 2)) << 16);
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
