#include <gtest/gtest.h>

#include <algorithm>

#include "decode/geodesy.h"
#include "decode/raw_log_decoder.h"
#include "sim/track/builtin_track.h"

namespace pelmora {
namespace {

const TimeValue kNow2026 = MakeTimeValue(2026, 12, 8, 12, 0, 0);

void ExpectDecodesToItsFixes(const BuiltinTrackOptions& options) {
    const std::vector<BuiltinTrackFix> fixes = BuiltinTrackFixes(options);
    const std::vector<std::uint8_t> log = BuiltinTrackLog(options);
    LogDecodeState s;
    std::size_t offset = 0;
    for (const BuiltinTrackFix& f : fixes) {
        GpsDateTime d;
        std::uint8_t type = 0;
        const std::size_t n =
            DecodeLogRecord(log.data() + offset, log.size() - offset, s, d, type, kNow2026);
        ASSERT_NE(n, 0u) << offset;
        offset += n;
        const TimeValue t =
            MakeTimeValue(d.year, d.month, d.day, d.hour, d.minute, static_cast<int>(d.second));
        ASSERT_EQ(t, f.fix.utc) << offset;
        ASSERT_EQ(s.x, f.fix.x);
        ASSERT_EQ(s.y, f.fix.y);
        ASSERT_EQ(s.z, f.fix.z);
        ASSERT_EQ(s.speed, f.fix.speedKmh);
    }
    EXPECT_EQ(offset, log.size());
}

TEST(BuiltinTrack, DecodesBackToItsFixes) {
    ExpectDecodesToItsFixes({});
    ExpectDecodesToItsFixes(BuiltinTrackOptions::Before2019());
    BuiltinTrackOptions acrossWeekEnd;
    acrossWeekEnd.startUtc = MakeTimeValue(2024, 5, 18, 23, 10, 0);
    ExpectDecodesToItsFixes(acrossWeekEnd);
}

TEST(BuiltinTrack, IsARealisticDriveWithStops) {
    const std::vector<BuiltinTrackFix> fixes = BuiltinTrackFixes();
    ASSERT_GT(fixes.size(), 2000u);
    int stops = 0;
    int maxSpeed = 0;
    for (std::size_t i = 1; i < fixes.size(); ++i) {
        const TimeSpan gap = fixes[i].fix.utc - fixes[i - 1].fix.utc;
        ASSERT_GE(gap, 1);
        stops += gap > 600 ? 1 : 0;
        if (gap <= 5) {
            // No fix jumps far enough to look like a spike to the conversion's filter.
            EXPECT_LT(GreatCircleDistance(fixes[i - 1].latitude, fixes[i - 1].longitude,
                                          fixes[i].latitude, fixes[i].longitude),
                      100.0);
        } else {
            EXPECT_EQ(fixes[i].fix.speedKmh, 0);
        }
        maxSpeed = std::max(maxSpeed, fixes[i].fix.speedKmh);
    }
    EXPECT_EQ(stops, 3);
    EXPECT_EQ(maxSpeed, 110);
}

TEST(BuiltinTrack, MostlyCompactRecordsWithPeriodicFullOnes) {
    const std::vector<RawRecord> records = BuiltinTrackRecords();
    ASSERT_EQ(records.front().size(), 18u);
    int sinceFull = 0;
    int full = 0;
    for (const RawRecord& r : records) {
        ASSERT_TRUE(r.size() == 18 || r.size() == 8);
        // The download's record filter reads the kind from the first byte with its two low bits
        // cleared, so bits 11-10 of the first word must stay clear.
        ASSERT_EQ(r[0] & 0x0C, 0);
        sinceFull = r.size() == 18 ? 0 : sinceFull + 1;
        full += r.size() == 18 ? 1 : 0;
        ASSERT_LE(sinceFull, 60);
    }
    EXPECT_LT(full * 20, static_cast<int>(records.size()));
}

TEST(RawTrackEncoder, FallsBackToAFullRecordWhenADeltaDoesNotFit) {
    RawTrackEncoder encoder;
    TrackFix a{MakeTimeValue(2024, 1, 1, 0, 0, 0), 4000000, 800000, 4800000, 10, false};
    EXPECT_EQ(encoder.Add(a).size(), 18u);
    TrackFix b = a;
    b.utc += 1;
    b.x += 511;
    b.z -= 512;
    EXPECT_EQ(encoder.Add(b).size(), 8u);
    TrackFix c = b;
    c.utc += 1;
    c.y += 512;
    EXPECT_EQ(encoder.Add(c).size(), 18u);
    TrackFix d = c;
    d.utc += 70000;
    EXPECT_EQ(encoder.Add(d).size(), 18u);
    TrackFix e = d;
    e.utc += 1;
    e.forceFull = true;
    EXPECT_EQ(encoder.Add(e).size(), 18u);
    EXPECT_EQ(encoder.fullCount(), 4);
    EXPECT_EQ(encoder.compactCount(), 1);
}

}  // namespace
}  // namespace pelmora
