#include <gtest/gtest.h>

#include <cmath>

#include "convert/point_object.h"
#include "core/time_value.h"
#include "decode/geodesy.h"
#include "decode/trace_fix.h"

namespace pelmora {
namespace {

TEST(TraceFix, PacksDateTimeAndChecksum) {
    const TraceFixBytes r = EncodeTraceFix(2011, 3, 9, 12, 34, 57.0f, 0, 0, 0, 0);
    EXPECT_EQ(ReadLe16(&r[0]), 0x3E69);
    EXPECT_EQ(ReadLe16(&r[2]), 22648);  // the odd second drops to 56
    EXPECT_EQ(r[21], 0x0D);
    std::uint8_t sum = 0;
    for (int i = 0; i < 20; ++i)
        sum ^= r[static_cast<std::size_t>(i)];
    EXPECT_EQ(r[20], sum);

    CPointObject p;
    ASSERT_TRUE(p.ParseTraceRecord(r.data(), r.size(), false, 0, INT64_MAX));
    EXPECT_EQ(FormatTime(p.time, "%Y-%m-%d %H:%M:%S"), "2011-03-09 12:34:56");
}

TEST(TraceFix, ZeroRecordChecksumIsTheFlagsHighByte) {
    const TraceFixBytes r = EncodeTraceFix(1980, 0, 0, 0, 0, 0.0f, 0, 0, 0, 0);
    EXPECT_EQ(r[20], 0x20);
}

TEST(TraceFix, ReaderRejectsDamagedDateFields) {
    for (const auto& [month, day, hour] : std::vector<std::tuple<int, int, int>>{
             {0, 1, 0}, {13, 1, 0}, {15, 1, 0}, {1, 0, 0}, {1, 1, 24}, {1, 1, 36}}) {
        const TraceFixBytes r = EncodeTraceFix(2011, month, day, hour, 0, 0.0f, 1, 2, 3, 0);
        CPointObject p;
        EXPECT_FALSE(p.ParseTraceRecord(r.data(), r.size(), false, 0, INT64_MAX))
            << month << "/" << day << " " << hour;
    }
}

TEST(Geodesy, PolarAxisAndIdenticalPoints) {
    const Geodetic north = EcefToGeodetic(0, 0, 6356752.0);
    EXPECT_DOUBLE_EQ(north.latitudeRad, 1.5707963267949);
    EXPECT_EQ(north.longitudeRad, 0.0);
    EXPECT_EQ(GreatCircleDistance(25.0, 121.5, 25.0, 121.5), 0.0);
    EXPECT_FALSE(std::isnan(GreatCircleDistance(25.0, 121.5, 25.0, 121.5000000001)));
}

TEST(TimeValue, RoundTripsCalendarFields) {
    const TimeValue t = MakeTimeValue(2024, 2, 29, 23, 59, 58);
    EXPECT_EQ(FormatTime(t, "%Y/%m/%d %H:%M:%S"), "2024/02/29 23:59:58");
    EXPECT_EQ(FormatSpan(3 * 86400 + 3723, "%D day %H hour %M min %S sec"),
              "3 day 01 hour 02 min 03 sec");
    TimeValue parsed = 0;
    EXPECT_TRUE(ParseTimeValue("2024-02-29 23:59:58", parsed));
    EXPECT_EQ(parsed, t);
    EXPECT_FALSE(ParseTimeValue("2023-02-29 00:00:00", parsed));
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

TEST(TimeValue, ParseRejectsTrailingAndMalformedText) {
    TimeValue t = 0;
    EXPECT_TRUE(ParseTimeValue("2024-05-18 09:42", t));
    EXPECT_EQ(t, MakeTimeValue(2024, 5, 18, 9, 42, 0));
    EXPECT_TRUE(ParseTimeValue("2024-5-8 9:42:07", t));
    EXPECT_EQ(t, MakeTimeValue(2024, 5, 8, 9, 42, 7));
    for (const char* bad :
         {"2024-05-18 09:42x", "2024-05-18 09:42:", "2024-05-18 09:42:07 ", " 2024-05-18 09:42",
          "2024-05-18", "2024-05-18 24:00", "2024-13-01 00:00", "2024-00-01 00:00",
          "2024-04-31 00:00", "2024-05-18 -1:00", "2024-05-18 09:60", "2024-05-18 09:42:60",
          "+2024-05-18 09:42", "20245-05-18 09:42", ""}) {
        EXPECT_FALSE(ParseTimeValue(bad, t)) << bad;
    }
}

}  // namespace
}  // namespace pelmora
