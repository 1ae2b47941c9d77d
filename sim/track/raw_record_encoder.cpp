#include "sim/track/raw_record_encoder.h"

namespace pelmora {
namespace {

constexpr std::int64_t kSecondsPerWeek = 604800;
constexpr std::int64_t kGpsUtcOffset = 14;

void PutWord(std::uint8_t* p, std::uint32_t word) {
    p[0] = static_cast<std::uint8_t>((word >> 8) & 0xFF);
    p[1] = static_cast<std::uint8_t>(word & 0xFF);
}

// The logger writes each 32-bit coordinate as two big-endian words, low half first.
void PutCoordinate(std::uint8_t* p, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    PutWord(p, v & 0xFFFF);
    PutWord(p + 2, v >> 16);
}

std::uint32_t KindWord(int kind, int speedKmh) {
    return (static_cast<std::uint32_t>(kind & 0xF) << 12) |
           (static_cast<std::uint32_t>(speedKmh) & 0x3FF);
}

}  // namespace

std::uint16_t EncodeDeltaCode(int delta) {
    const int code = delta >= 0 ? delta : 511 - delta;
    return static_cast<std::uint16_t>(code & 0x3FF);
}

std::array<std::uint8_t, kFullRecordSize> EncodeFullRecord(const FullRecordFields& f) {
    std::array<std::uint8_t, kFullRecordSize> r{};
    const std::uint32_t tow = f.timeOfWeek & 0xFFFFF;
    PutWord(&r[0], KindWord(f.kind, f.speedKmh));
    PutWord(&r[2], ((tow & 0xF) << 12) | (static_cast<std::uint32_t>(f.week) & 0x3FF));
    PutWord(&r[4], tow >> 4);
    PutCoordinate(&r[6], f.x);
    PutCoordinate(&r[10], f.y);
    PutCoordinate(&r[14], f.z);
    return r;
}

std::array<std::uint8_t, kCompactRecordSize> EncodeCompactRecord(const CompactRecordFields& f) {
    std::array<std::uint8_t, kCompactRecordSize> r{};
    const std::uint32_t cx = EncodeDeltaCode(f.dx);
    const std::uint32_t cy = EncodeDeltaCode(f.dy);
    const std::uint32_t cz = EncodeDeltaCode(f.dz);
    PutWord(&r[0], KindWord(f.kind, f.speedKmh));
    PutWord(&r[2], f.timeIncrement);
    PutWord(&r[4], (cx << 6) | (cy & 0x3F));
    PutWord(&r[6], ((cy >> 6) << 12) | cz);
    return r;
}

GpsWeekTime UtcToGpsWeekTime(TimeValue utc) {
    const std::int64_t gps = utc - MakeTimeValue(1980, 1, 6, 0, 0, 0) + kGpsUtcOffset;
    GpsWeekTime t;
    t.fullWeek = static_cast<int>(gps / kSecondsPerWeek);
    t.timeOfWeek = gps % kSecondsPerWeek;
    return t;
}

RawRecord RawTrackEncoder::Add(const TrackFix& fix) {
    bool full = !last_ || fix.forceFull || sinceFull_ >= options_.fullRecordEvery;
    CompactRecordFields c;
    if (!full) {
        const std::int64_t increment = fix.utc - last_->utc;
        const std::int64_t dx = static_cast<std::int64_t>(fix.x) - last_->x;
        const std::int64_t dy = static_cast<std::int64_t>(fix.y) - last_->y;
        const std::int64_t dz = static_cast<std::int64_t>(fix.z) - last_->z;
        full = increment < 0 || increment > 0xFFFF || dx < -512 || dx > 511 || dy < -512 ||
               dy > 511 || dz < -512 || dz > 511;
        c.kind = options_.compactKind;
        c.speedKmh = fix.speedKmh;
        c.timeIncrement = static_cast<std::uint16_t>(increment & 0xFFFF);
        c.dx = static_cast<int>(dx);
        c.dy = static_cast<int>(dy);
        c.dz = static_cast<int>(dz);
    }
    last_ = fix;
    if (full) {
        const GpsWeekTime t = UtcToGpsWeekTime(fix.utc);
        FullRecordFields f;
        f.kind = options_.fullKind;
        f.speedKmh = fix.speedKmh;
        f.week = t.fullWeek % 1024;
        f.timeOfWeek = static_cast<std::uint32_t>(t.timeOfWeek);
        f.x = fix.x;
        f.y = fix.y;
        f.z = fix.z;
        sinceFull_ = 0;
        ++fullCount_;
        const auto bytes = EncodeFullRecord(f);
        return RawRecord(bytes.begin(), bytes.end());
    }
    ++sinceFull_;
    ++compactCount_;
    const auto bytes = EncodeCompactRecord(c);
    return RawRecord(bytes.begin(), bytes.end());
}

std::vector<RawRecord> EncodeTrack(const std::vector<TrackFix>& fixes,
                                   const TrackEncoderOptions& options) {
    RawTrackEncoder encoder(options);
    std::vector<RawRecord> records;
    records.reserve(fixes.size());
    for (const TrackFix& fix : fixes) {
        records.push_back(encoder.Add(fix));
    }
    return records;
}

std::vector<std::uint8_t> ConcatenateRecords(const std::vector<RawRecord>& records) {
    std::vector<std::uint8_t> out;
    for (const RawRecord& r : records) {
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

}  // namespace pelmora
