#include <gtest/gtest.h>

#include <vector>

#include "decode/gps_time.h"
#include "decode/raw_log_decoder.h"
#include "sim/track/raw_record_encoder.h"

namespace pelmora {
namespace {

const TimeValue kNow2026 = MakeTimeValue(2026, 12, 8, 12, 0, 0);

std::string Format(const GpsDateTime& d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                  d.minute, static_cast<int>(d.second));
    return buf;
}

// The one first-byte rule that the filter, the decoder and the simulated logger share. Only the
// kind nibble counts: bits 3-2 are unused, so 0x44 is a full record, not the end of a sector.
TEST(RawRecord, KindsLengthsAndTypeCodes) {
    struct Row {
        std::uint8_t first;
        std::size_t length;
        std::uint8_t type;
    };
    for (const Row& r : std::vector<Row>{{0x40, 18, 1},
                                         {0x53, 18, 11},
                                         {0x60, 18, 3},
                                         {0x7F, 18, 13},
                                         {0x80, 8, 2},
                                         {0x9C, 8, 12},
                                         {0x44, 18, 1},  // unused bits set
                                         {0x6C, 18, 3},
                                         {0x9E, 8, 12},
                                         {0x00, 0, 0},
                                         {0x3F, 0, 0},
                                         {0xA0, 0, 0},
                                         {0xFF, 0, 0}}) {
        EXPECT_EQ(RawRecordLength(r.first), r.length) << int(r.first);
        EXPECT_EQ(RawRecordType(r.first), r.type) << int(r.first);
    }
}

TEST(RawRecord, DeltaCodesAreNotTwosComplement) {
    struct Row {
        std::uint16_t code;
        int delta;
    };
    for (const Row& r :
         std::vector<Row>{{0, 0}, {1, 1}, {511, 511}, {512, -1}, {513, -2}, {1023, -512}}) {
        EXPECT_EQ(DecodeDeltaCode(r.code), r.delta) << r.code;
        EXPECT_EQ(EncodeDeltaCode(r.delta), r.code) << r.delta;
    }
}

TEST(RawRecord, CoordinatesAreReadLowWordFirst) {
    std::uint8_t full[18] = {0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
                             0x02, 0xFF, 0xFE, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78};
    LogDecodeState s;
    GpsDateTime d;
    std::uint8_t type = 0;
    ASSERT_EQ(DecodeLogRecord(full, sizeof full, s, d, type, kNow2026), 18u);
    EXPECT_EQ(s.x, 0x00020001);
    EXPECT_EQ(s.y, -2);  // FFFE FFFF: low half FFFE, high half FFFF
    EXPECT_EQ(s.z, 0x56781234);
    EXPECT_EQ(type, 1);
}

TEST(RawRecord, FullRecordFieldsAndWordLayout) {
    // Speed 0x155 km/h, week 0x2AB, time of week 0x9ABCD.
    const std::uint8_t full[18] = {0x71, 0x55, 0xD2, 0xAB, 0x9A, 0xBC, 0, 0, 0,
                                   0,    0,    0,    0,    0,    0,    0, 0, 0};
    LogDecodeState s;
    s.dx = 5;
    GpsDateTime d;
    std::uint8_t type = 0;
    ASSERT_EQ(DecodeLogRecord(full, sizeof full, s, d, type, kNow2026), 18u);
    EXPECT_EQ(type, 13);
    EXPECT_EQ(s.speed, 0x155);
    EXPECT_EQ(s.week, 0x2AB);
    EXPECT_EQ(s.timeOfWeek, 0x9ABCD);
    EXPECT_EQ(s.dx, 0);

    FullRecordFields f;
    f.kind = 7;
    f.speedKmh = 0x155;
    f.week = 0x2AB;
    f.timeOfWeek = 0x9ABCD;
    const auto encoded = EncodeFullRecord(f);
    EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), full));
}

TEST(RawRecord, CompactRecordsAccumulateOnTheLastFullRecord) {
    FullRecordFields f;
    f.week = 100;
    f.timeOfWeek = 1000;
    f.x = 4000000;
    f.y = 800000;
    f.z = 4800000;
    f.speedKmh = 50;
    std::vector<std::uint8_t> log;
    const auto full = EncodeFullRecord(f);
    log.insert(log.end(), full.begin(), full.end());
    for (const CompactRecordFields& c : std::vector<CompactRecordFields>{
             {8, 60, 2, 511, -512, -1}, {9, 70, 3, -1, 0, 511}, {8, 0, 65535, 0, 1, -512}}) {
        const auto b = EncodeCompactRecord(c);
        log.insert(log.end(), b.begin(), b.end());
    }
    struct Expect {
        std::size_t size;
        std::uint8_t type;
        std::int32_t tow, x, y, z;
        int speed;
    };
    const std::vector<Expect> expected = {
        {18, 1, 1000, 4000000, 800000, 4800000, 50},
        {8, 2, 1002, 4000511, 799488, 4799999, 60},
        {8, 12, 1005, 4000510, 799488, 4800510, 70},
        {8, 2, 66540, 4000510, 799489, 4799998, 0},
    };
    LogDecodeState s;
    std::size_t offset = 0;
    for (const Expect& e : expected) {
        GpsDateTime d;
        std::uint8_t type = 0;
        ASSERT_EQ(DecodeLogRecord(log.data() + offset, log.size() - offset, s, d, type, kNow2026),
                  e.size);
        offset += e.size;
        EXPECT_EQ(type, e.type);
        EXPECT_EQ(s.timeOfWeek, e.tow);
        EXPECT_EQ(s.x, e.x);
        EXPECT_EQ(s.y, e.y);
        EXPECT_EQ(s.z, e.z);
        EXPECT_EQ(s.speed, e.speed);
        EXPECT_EQ(s.week, 100);
    }
    EXPECT_EQ(offset, log.size());
}

TEST(RawRecord, ShortOrUnlistedWindowLeavesTheStateAlone) {
    FullRecordFields f;
    f.x = 7;
    const auto full = EncodeFullRecord(f);
    LogDecodeState s;
    s.x = 99;
    GpsDateTime d;
    std::uint8_t type = 9;
    EXPECT_EQ(DecodeLogRecord(full.data(), 17, s, d, type, kNow2026), 0u);
    EXPECT_EQ(s.x, 99);
    EXPECT_EQ(type, 0);
    const std::uint8_t erased[18] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(DecodeLogRecord(erased, sizeof erased, s, d, type, kNow2026), 0u);
    EXPECT_EQ(s.x, 99);
    EXPECT_EQ(DecodeLogRecord(nullptr, 18, s, d, type, kNow2026), 0u);
}

TEST(GpsTime, LoggerWeekZeroIsTheFirstRolloverDay) {
    // Week 0 of the logger is GPS week 1024; 14 s into it is midnight UTC.
    GpsDateTime d;
    GpsTimeToUtc(1024, 14.0, d);
    EXPECT_EQ(Format(d), "1999-08-22 00:00:00");
    const std::uint8_t full[18] = {0x40, 0, 0xE0, 0, 0, 0};
    LogDecodeState s;
    std::uint8_t type = 0;
    // Read in 2010, the plain week + 1024 applies unchanged.
    ASSERT_EQ(DecodeLogRecord(full, 18, s, d, type, MakeTimeValue(2010, 1, 1, 0, 0, 0)), 18u);
    EXPECT_EQ(Format(d), "1999-08-22 00:00:00");
}

TEST(GpsTime, FractionAndLeapDays) {
    GpsDateTime d;
    // GPS week 1626 began on Sunday 2011-03-06; time of week for Wednesday 2011-03-09 12:34:57 UTC.
    GpsTimeToUtc(1626, 3 * 86400 + 12 * 3600 + 34 * 60 + 57 + 14 + 0.5, d);
    EXPECT_EQ(Format(d), "2011-03-09 12:34:57");
    EXPECT_FLOAT_EQ(d.second, 57.5f);
    const TimeValue leap = MakeTimeValue(2024, 2, 29, 23, 59, 59);
    const GpsWeekTime g = UtcToGpsWeekTime(leap);
    GpsTimeToUtc(g.fullWeek, static_cast<double>(g.timeOfWeek), d);
    EXPECT_EQ(Format(d), "2024-02-29 23:59:59");
}

TEST(GpsTime, TimeOfWeekPastTheWeekEndGivesTheNextDay) {
    // Saturday 23:59:40 UTC, then a compact record 30 s on: Sunday, the next GPS week, while
    // the record's week field stays the same.
    const GpsWeekTime g = UtcToGpsWeekTime(MakeTimeValue(2024, 5, 18, 23, 59, 40));
    ASSERT_GT(g.timeOfWeek + 30, 604800);
    FullRecordFields f;
    f.week = g.fullWeek % 1024;
    f.timeOfWeek = static_cast<std::uint32_t>(g.timeOfWeek);
    CompactRecordFields c;
    c.timeIncrement = 30;
    const auto a = EncodeFullRecord(f);
    const auto b = EncodeCompactRecord(c);
    LogDecodeState s;
    GpsDateTime d;
    std::uint8_t type = 0;
    DecodeLogRecord(a.data(), a.size(), s, d, type, kNow2026);
    EXPECT_EQ(Format(d), "2024-05-18 23:59:40");
    DecodeLogRecord(b.data(), b.size(), s, d, type, kNow2026);
    EXPECT_EQ(Format(d), "2024-05-19 00:00:10");
    EXPECT_EQ(s.week, f.week);
}

TEST(GpsTime, WeekRolloverIsResolvedAgainstNow) {
    struct Row {
        const char* legend;
        TimeValue recorded;
        TimeValue now;
        TimeValue expected;
    };
    const TimeValue t2024 = MakeTimeValue(2024, 5, 18, 7, 42, 10);
    const TimeValue t2011 = MakeTimeValue(2011, 3, 9, 7, 42, 10);
    const TimeValue t2019 = MakeTimeValue(2019, 4, 5, 10, 0, 0);
    for (const Row& r : std::vector<Row>{
             {"2024 log read in 2026", t2024, kNow2026, t2024},
             {"2011 log read in 2026", t2011, kNow2026, t2011},
             {"2011 log read in 2011", t2011, t2011 + 3600, t2011},
             {"last day before the rollover", t2019, kNow2026, t2019},
             {"a fix up to a day ahead of the clock", t2024, t2024 - 80000, t2024},
             {"clock behind the fix by more than a day", t2024, t2024 - 90000,
              t2024 - 1024 * 604800},
             {"clock far in the past keeps the first rollover", t2011, 0, t2011},
         }) {
        const GpsWeekTime g = UtcToGpsWeekTime(r.recorded);
        const int week = ResolveGpsWeek(g.fullWeek % 1024, g.timeOfWeek, r.now);
        EXPECT_EQ(GpsTimeToTimeValue(week, g.timeOfWeek), r.expected) << r.legend;
    }
}

}  // namespace
}  // namespace pelmora
