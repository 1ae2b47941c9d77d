#include <cstdint>
#include <vector>

#include "sim/flash_image.h"

#if PELMORA_SIM_HAS_TRACK
#include "sim/track/built_in_track.h"
#endif

namespace pelmora::sim {
namespace {

#if !PELMORA_SIM_HAS_TRACK
// Stand-in drive until the recorded one is built in: full records now and then, compact records
// one second apart between them, laid so that the first sector is filled to its last byte
// (4 full + 503 compact = 4096 bytes).
void PutWord(std::vector<std::uint8_t>& r, std::uint32_t w) {
    r.push_back(static_cast<std::uint8_t>(w >> 8));
    r.push_back(static_cast<std::uint8_t>(w));
}

std::vector<std::uint8_t> FullRecord(std::uint32_t week, std::uint32_t tow, std::int32_t x,
                                     std::int32_t y, std::int32_t z, std::uint32_t speed) {
    std::vector<std::uint8_t> r;
    PutWord(r, 0x4000 | (speed & 0x3FF));
    PutWord(r, (tow & 0xF) << 12 | (week & 0x3FF));
    PutWord(r, (tow >> 4) & 0xFFFF);
    for (const std::int32_t v : {x, y, z}) {
        const auto u = static_cast<std::uint32_t>(v);
        PutWord(r, u & 0xFFFF);
        PutWord(r, u >> 16);
    }
    return r;
}

std::uint32_t DeltaCode(int v) {
    return v >= 0 ? static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(511 - v);
}

std::vector<std::uint8_t> CompactRecord(std::uint32_t dt, int dx, int dy, int dz,
                                        std::uint32_t speed) {
    std::vector<std::uint8_t> r;
    const std::uint32_t cx = DeltaCode(dx), cy = DeltaCode(dy), cz = DeltaCode(dz);
    PutWord(r, 0x8000 | (speed & 0x3FF));
    PutWord(r, dt & 0xFFFF);
    PutWord(r, (cx << 6) | (cy & 0x3F));
    PutWord(r, ((cy >> 6) & 0xF) << 12 | cz);
    return r;
}

std::vector<std::vector<std::uint8_t>> StandInDrive() {
    // 2026-03-14 08:00:00 UTC: GPS week 2410 (362 modulo 1024), Saturday 08:00:18 GPS time.
    const std::uint32_t week = 2410 % 1024;
    std::uint32_t tow = 6 * 86400 + 8 * 3600 + 18;
    std::int32_t x = -3027000, y = 4928000, z = 2681000;
    std::vector<std::vector<std::uint8_t>> records;
    const int runs[] = {125, 126, 126, 126, 100};
    int step = 0;
    for (const int compacts : runs) {
        records.push_back(FullRecord(week, tow, x, y, z, 40));
        for (int i = 0; i < compacts; ++i, ++step) {
            const bool stopped = step % 200 > 170;  // a stop now and then
            const int dx = stopped ? 0 : 6, dy = stopped ? 0 : -8, dz = stopped ? 0 : 5;
            records.push_back(CompactRecord(1, dx, dy, dz, stopped ? 0 : 42));
            x += dx;
            y += dy;
            z += dz;
            tow += 1;
        }
        tow += 1;  // the full record's own second
    }
    return records;
}
#endif

}  // namespace

FlashImage BuiltInFlash() {
#if PELMORA_SIM_HAS_TRACK
    return FlashImage::FromRecords(BuiltInTrackRecords());
#else
    return FlashImage::FromRecords(StandInDrive());
#endif
}

}  // namespace pelmora::sim
