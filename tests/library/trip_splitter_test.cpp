#include "library/trip_splitter.h"

#include <gtest/gtest.h>

#include "tests/library/library_fixes.h"

namespace pelmora {
namespace {

using testing::Drive;
using testing::Encode;
using testing::TestFix;

std::vector<FixRun> Split(const std::vector<TestFix>& fixes, TripGaps gaps,
                          std::optional<ZoneRules> zone = std::nullopt) {
    TripSplitter splitter(gaps, std::move(zone));
    std::uint64_t i = 0;
    for (const TestFix& f : fixes) {
        splitter.Add(Encode(f).data(), i++);
    }
    return splitter.Finish();
}

struct GapRow {
    const char* name;
    TimeSpan pause;     // seconds between the two drives
    std::int32_t jump;  // metres between them
    TripGaps gaps;
    std::size_t trips;
};

TEST(TripSplitter, EitherGapSplits) {
    const GapRow rows[] = {
        {"no gap", 2, 10, {}, 1},
        {"time gap", 31 * 60, 10, {}, 2},
        {"time gap just kept", 30 * 60, 10, {}, 1},
        {"distance gap", 2, 2500, {}, 2},
        {"distance gap option", 2, 1500, {1800, 1000}, 2},
        {"time gap option", 11 * 60, 10, {600, 2000}, 2},
    };
    for (const GapRow& row : rows) {
        std::vector<TestFix> fixes = Drive(MakeTimeValue(2024, 5, 18, 7, 0, 0), 50);
        std::vector<TestFix> second = Drive(fixes.back().utc + row.pause, 50);
        for (TestFix& f : second) {
            f.y += fixes.back().y - TestFix{}.y + row.jump;
        }
        fixes.insert(fixes.end(), second.begin(), second.end());
        const std::vector<FixRun> trips = Split(fixes, row.gaps);
        ASSERT_EQ(trips.size(), row.trips) << row.name;
        EXPECT_EQ(trips.front().firstFix, 0u) << row.name;
        EXPECT_EQ(trips.back().firstFix + trips.back().fixes, 100u) << row.name;
        // Stored runs joined again give the same trips as a pass over the fixes.
        const std::vector<FixRun> joined = JoinRuns(Split(fixes, {60, 500}), row.gaps);
        ASSERT_EQ(joined.size(), trips.size()) << row.name;
        EXPECT_EQ(joined.back().firstFix, trips.back().firstFix) << row.name;
        EXPECT_NEAR(joined.front().metres, trips.front().metres, 0.01) << row.name;
    }
}

TEST(TripSplitter, DaysSplitAtLocalMidnightAcrossDaylightSaving) {
    const std::optional<ZoneRules> berlin = ZoneRules::Named("Europe/Berlin");
    ASSERT_TRUE(berlin);
    // A fix every 10 minutes from 2024-10-26 20:00 to 2024-10-28 00:00 UTC; summer time ends on
    // the 27th at 01:00 UTC, so local midnight is 22:00 UTC on the 26th and 23:00 UTC on the 27th.
    const TimeValue from = MakeTimeValue(2024, 10, 26, 20, 0, 0);
    const std::vector<TestFix> fixes = Drive(from, 6 * 28 + 1, 600, 10);
    const std::vector<FixRun> days = Split(fixes, {INT64_MAX / 2, 1e18}, berlin);
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[0].fixes, 12u);   // 20:00-21:50 UTC: 22:00-23:50 CEST on the 26th
    EXPECT_EQ(days[1].fixes, 150u);  // 22:00 on the 26th to 22:50 UTC on the 27th: 25 hours
    EXPECT_EQ(days[2].fixes, 7u);    // 23:00-00:00 UTC: the 28th from 00:00 CET
    EXPECT_EQ(days[1].beginUtc, MakeTimeValue(2024, 10, 26, 22, 0, 0));
}

}  // namespace
}  // namespace pelmora
