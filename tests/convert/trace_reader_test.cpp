#include "convert/trace_reader.h"

#include <gtest/gtest.h>

#include "convert_test_util.h"

namespace pelmora {
namespace {

using test::Fix;

const TimeValue kT0 = MakeTimeValue(2011, 3, 9, 23, 30, 0);

std::vector<TrackPoint> Parse(const std::vector<TraceFixBytes>& fixes, TraceReadOptions o) {
    const std::string bytes = test::Bytes(fixes);
    std::vector<TrackPoint> points;
    ParseTraceRecords({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                      kTraceFixSize, false, o, points);
    return points;
}

TraceReadOptions Whole(int speedUnit = UnitKmh) {
    return {INT64_MIN, INT64_MAX, ZoneRules::Fixed(8 * 3600), speedUnit};
}

TEST(TraceReader, EqualStoredTimesNeverRunBack) {
    // 11 s is stored as 10 s (2-second resolution).
    const auto points = Parse({Fix(kT0 + 10, 25, 121, 0, 0), Fix(kT0 + 11, 25, 121, 0, 0),
                               Fix(kT0 + 10, 25, 121, 0, 0), Fix(kT0 + 12, 25, 121, 0, 0)},
                              Whole());
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0].time, kT0 + 10);
    EXPECT_EQ(points[1].time, kT0 + 11);
    EXPECT_EQ(points[2].time, kT0 + 11);  // a third of the slot: t+1 again, never back to t
    EXPECT_EQ(points[3].time, kT0 + 12);
    EXPECT_EQ(points[0].localTime, kT0 + 10 + 8 * 3600);
}

TEST(TraceReader, PeriodEndsBelongToThePeriod) {
    const auto points = Parse({Fix(kT0 - 2, 25, 121, 0, 0), Fix(kT0, 25, 121, 0, 0),
                               Fix(kT0 + 2, 25, 121, 0, 0), Fix(kT0 + 4, 25, 121, 0, 0)},
                              {kT0, kT0 + 2, ZoneRules(), UnitKmh});
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].time, kT0);
    EXPECT_EQ(points[1].time, kT0 + 2);
}

TEST(TraceReader, DamagedRecordsAreSkipped) {
    std::vector<TraceFixBytes> fixes = {Fix(kT0, 25, 121, 0, 0)};
    for (const auto& [month, day, hour] : std::vector<std::tuple<int, int, int>>{
             {0, 1, 0}, {13, 1, 0}, {1, 0, 0}, {1, 1, 24}, {1, 1, 36}}) {
        fixes.push_back(EncodeTraceFix(2011, month, day, hour, 0, 0, 1, 2, 3, 0));
    }
    TraceFixBytes garbage;
    garbage.fill(0xFF);
    fixes.push_back(garbage);
    fixes.push_back(Fix(kT0 + 2, 25, 121, 0, 0));
    const auto points = Parse(fixes, Whole());
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].time, kT0 + 2);
}

TEST(TraceReader, SpeedInTheChosenUnitTruncated) {
    EXPECT_EQ(SpeedInUnit(100, UnitKmh), 100);
    EXPECT_EQ(SpeedInUnit(100, UnitMph), 62);
    EXPECT_EQ(SpeedInUnit(100, UnitMps), 27);
    EXPECT_EQ(SpeedInUnit(99.9, UnitKmh), 99);
    const auto points = Parse({Fix(kT0, 25, 121, 0, 100)}, Whole(UnitMph));
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].speedInUnit, 62);
    EXPECT_EQ(points[0].speed, 100);
}

TEST(TraceReader, PositionFromEcef) {
    const auto points = Parse({Fix(kT0, -33.8688, 151.2093, 58, 0)}, Whole());
    ASSERT_EQ(points.size(), 1u);
    EXPECT_NEAR(points[0].latitude, -33.8688, 2e-5);
    EXPECT_NEAR(points[0].longitude, 151.2093, 2e-5);
    EXPECT_NEAR(points[0].height, 58, 1.5);
}

TEST(TraceReader, TrailingPartialRecordAndOddSizesNeverReadPastTheBuffer) {
    const std::string bytes = test::Bytes({Fix(kT0, 25, 121, 0, 0)}) + "abc";
    std::vector<TrackPoint> points;
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        points.clear();
        const std::size_t n =
            ParseTraceRecords({reinterpret_cast<const std::uint8_t*>(bytes.data()), size},
                              kTraceFixSize, false, Whole(), points);
        EXPECT_EQ(n, size / kTraceFixSize);
        EXPECT_EQ(points.size(), size / kTraceFixSize);
    }
    EXPECT_EQ(ParseTraceRecords({reinterpret_cast<const std::uint8_t*>(bytes.data()), 22}, 0, false,
                                Whole(), points),
              0u);
}

TEST(TraceReader, FileStatuses) {
    test::TempDir dir;
    std::vector<TrackPoint> points;
    EXPECT_EQ(ReadTraceLog(dir.path(), Whole(), points, {}), TraceReadStatus::OpenFailed);

    test::WriteFile(dir / "TraceLog.ltp", test::Bytes({Fix(kT0, 25, 121, 0, 0)}) + "x");
    EXPECT_EQ(ReadTraceLog(dir.path(), Whole(), points, {}), TraceReadStatus::Invalid);

    test::WriteFile(dir / "TraceLog.ltp", "");
    EXPECT_EQ(ReadTraceLog(dir.path(), Whole(), points, {}), TraceReadStatus::NoData);

    test::WriteFile(dir / "TraceLog.ltp", test::Bytes({Fix(kT0, 25, 121, 0, 0)}));
    EXPECT_EQ(ReadTraceLog(dir.path(), {0, kT0 - 1, ZoneRules(), 1}, points, {}),
              TraceReadStatus::NoData);
    EXPECT_EQ(ReadTraceLog(dir.path(), Whole(), points, {}), TraceReadStatus::Ok);
    EXPECT_EQ(points.size(), 1u);
    EXPECT_EQ(ReadTraceLog(dir.path(), Whole(), points,
                           [](std::uint64_t, std::uint64_t) { return false; }),
              TraceReadStatus::Stopped);
}

TEST(TraceReader, ExtendedFileWhenTheTraceIsAbsent) {
    test::TempDir dir;
    std::string lte;
    for (int i = 0; i < 3; ++i) {
        const TraceFixBytes f = Fix(kT0 + 2 * i, 25, 121, 0, 0);
        std::string record(reinterpret_cast<const char*>(f.data()), 20);
        record.resize(kTraceFixExtendedSize, '\x01');
        lte += record;
    }
    test::WriteFile(dir / "TraceLog.lte", lte);
    std::vector<TrackPoint> points;
    EXPECT_EQ(ReadTraceLog(dir.path(), Whole(), points, {}), TraceReadStatus::Ok);
    EXPECT_EQ(points.size(), 3u);
    // 73-byte records: a length that fits 22-byte records but not 73 is invalid.
    test::WriteFile(dir / "TraceLog.lte", lte.substr(0, 22 * 3));
    EXPECT_EQ(ReadTraceLog(dir.path(), Whole(), points, {}), TraceReadStatus::Invalid);
}

}  // namespace
}  // namespace pelmora
