// Conversions across the clock changes: every local time the outputs show is checked against
// the C library's own reading of the same zone (an independent implementation of its rules).
#include <gtest/gtest.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "convert/convert_pipeline.h"
#include "convert_test_util.h"

namespace pelmora {
namespace {

// Local calendar fields of utc in zone, by the C library.
std::string LibcLocal(const char* zone, TimeValue utc) {
    ::setenv("TZ", zone, 1);
    ::tzset();
    const time_t t = static_cast<time_t>(utc);
    tm fields{};
    localtime_r(&t, &fields);
    ::unsetenv("TZ");
    ::tzset();
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y, %m, %d, %H, %M, %S, ", &fields);
    return buf;
}

TEST(ZoneConvert, TracksAcrossEachChangeShowTheZonesLocalTimes) {
    struct Row {
        const char* zone;
        int year, month, day, hour;  // the change, UTC
    };
    const Row rows[] = {
        {"Europe/Berlin", 2024, 3, 31, 1},    {"Europe/Berlin", 2024, 10, 27, 1},
        {"America/New_York", 2024, 3, 10, 7}, {"America/New_York", 2024, 11, 3, 6},
        {"Australia/Sydney", 2024, 4, 6, 16}, {"Australia/Sydney", 2024, 10, 5, 16},
    };
    for (const Row& row : rows) {
        // A parked logger, a fix every five minutes from three hours before to three after.
        const TimeValue change = MakeTimeValue(row.year, row.month, row.day, row.hour, 0, 0);
        std::vector<TraceFixBytes> fixes;
        std::vector<TimeValue> times;
        for (TimeValue t = change - 3 * 3600; t <= change + 3 * 3600; t += 300) {
            fixes.push_back(test::Fix(t, 48.1, 11.5, 500, 0));
            times.push_back(t);
        }
        test::TempDir dir;
        test::WriteFile(dir / "TraceLog.ltp", test::Bytes(fixes));
        ConvertRequest r = test::WholeTraceRequest(dir.path(), dir / "out.kml", ConvCsv);
        ASSERT_TRUE(SetNamedZone(r.settings, row.zone));
        test::RecordingObserver observer;
        ASSERT_TRUE(ConvertTraceLog(r, observer).ok()) << row.zone;

        std::istringstream csv(test::ReadFile(dir / "out.csv"));
        std::string line;
        std::getline(csv, line);  // header
        std::size_t i = 0;
        for (; std::getline(csv, line); ++i) {
            ASSERT_LT(i, times.size());
            EXPECT_EQ(line.substr(0, 26), LibcLocal(row.zone, times[i]))
                << row.zone << " fix " << i;
        }
        EXPECT_EQ(i, times.size()) << row.zone;
    }
}

}  // namespace
}  // namespace pelmora
