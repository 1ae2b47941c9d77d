#pragma once
// Encodes fixes into the logger's raw record stream: 18-byte full records and 8-byte compact
// delta records, big-endian 16-bit words with 32-bit coordinates low half first. The exact
// inverse of the trace decoder; used by the tests, the sample generator and the simulated flash.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/time_value.h"

namespace pelmora {

inline constexpr std::size_t kFullRecordSize = 18;
inline constexpr std::size_t kCompactRecordSize = 8;

using RawRecord = std::vector<std::uint8_t>;

struct FullRecordFields {
    int kind = 4;                  // 4-7
    int speedKmh = 0;              // 0-1023
    int week = 0;                  // GPS week modulo 1024
    std::uint32_t timeOfWeek = 0;  // 20 bits
    std::int32_t x = 0, y = 0, z = 0;
};

struct CompactRecordFields {
    int kind = 8;  // 8 or 9
    int speedKmh = 0;
    std::uint16_t timeIncrement = 0;
    int dx = 0, dy = 0, dz = 0;  // each -512..511
};

// The 10-bit code of a delta: 0..511 as itself, -1..-512 as 512..1023 (not two's complement).
std::uint16_t EncodeDeltaCode(int delta);
inline bool DeltaFits(int delta) {
    return delta >= -512 && delta <= 511;
}

// Fields out of range are masked to their bit widths; callers check DeltaFits first.
std::array<std::uint8_t, kFullRecordSize> EncodeFullRecord(const FullRecordFields& f);
std::array<std::uint8_t, kCompactRecordSize> EncodeCompactRecord(const CompactRecordFields& f);

// The logger's GPS time of a UTC time, with the decoder's fixed 14-second GPS-UTC offset.
struct GpsWeekTime {
    int fullWeek = 0;
    std::int64_t timeOfWeek = 0;
};
GpsWeekTime UtcToGpsWeekTime(TimeValue utc);

// One fix to record.
struct TrackFix {
    TimeValue utc = 0;
    std::int32_t x = 0, y = 0, z = 0;  // ECEF metres
    int speedKmh = 0;
    bool forceFull = false;  // e.g. the first fix after the logger resumed
};

struct TrackEncoderOptions {
    int fullKind = 4;
    int compactKind = 8;
    // A full record after this many compact ones, as the logger does to bound a lost delta.
    int fullRecordEvery = 60;
};

// Turns fixes into records: a full record first, whenever a delta or the time increment does
// not fit a compact record, when forced, and periodically.
class RawTrackEncoder {
  public:
    explicit RawTrackEncoder(TrackEncoderOptions options = {}) : options_(options) {}
    RawRecord Add(const TrackFix& fix);
    int fullCount() const { return fullCount_; }
    int compactCount() const { return compactCount_; }

  private:
    TrackEncoderOptions options_;
    std::optional<TrackFix> last_;
    int sinceFull_ = 0;
    int fullCount_ = 0;
    int compactCount_ = 0;
};

std::vector<RawRecord> EncodeTrack(const std::vector<TrackFix>& fixes,
                                   const TrackEncoderOptions& options = {});
std::vector<std::uint8_t> ConcatenateRecords(const std::vector<RawRecord>& records);

}  // namespace pelmora
