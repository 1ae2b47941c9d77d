#include "convert/track_analysis.h"

#include <gtest/gtest.h>

#include "convert_test_util.h"

namespace pelmora {
namespace {

// Degrees of latitude per metre on the distance sphere (half meridian 20001.6 km).
constexpr double kDegPerMetre = 180.0 / 20001600.0;

std::vector<TrackPoint> AlongMeridian(const std::vector<double>& metres) {
    std::vector<TrackPoint> points;
    for (std::size_t i = 0; i < metres.size(); ++i) {
        points.push_back(test::Point(static_cast<TimeValue>(i), metres[i] * kDegPerMetre, 10));
    }
    return points;
}

TEST(SpikeFilter, Threshold) {
    EXPECT_EQ(SpikeThreshold(0, 0), 100);
    EXPECT_EQ(SpikeThreshold(5, 0), 500);
    EXPECT_EQ(SpikeThreshold(5, 60), 600);
    EXPECT_EQ(SpikeThreshold(5, 40), 500);
}

struct SpikeRow {
    const char* legend;
    std::vector<double> metres;  // along a meridian, one fix a second
    double threshold;
    std::vector<TimeValue> kept;
};

TEST(SpikeFilter, RemovesOutAndBackJumpsAndKeepsFastTravel) {
    const SpikeRow rows[] = {
        {"out-and-back spike", {0, 150, 0}, 100, {0, 2}},
        {"near one neighbour", {0, 150, 200}, 100, {0, 1, 2}},
        {"highway, a fix every 5 s at 120 km/h",
         {0, 167, 334, 501, 668, 835},
         100,
         {0, 1, 2, 3, 4, 5}},
        {"flight at 1 Hz", {0, 250, 500, 750, 1000}, 100, {0, 1, 2, 3, 4}},
        {"spike on a highway", {0, 167, 2000, 501, 668}, 100, {0, 1, 3, 4}},
        {"two spikes measured from the same kept point", {0, 10, 1000, 500, 20}, 100, {0, 1, 4}},
        {"first and last are never candidates", {5000, 0, 10, 5000}, 100, {0, 1, 2, 3}},
    };
    for (const SpikeRow& row : rows) {
        std::vector<TrackPoint> points = AlongMeridian(row.metres);
        RemoveSpikes(points, row.threshold);
        std::vector<TimeValue> kept;
        for (const TrackPoint& p : points) {
            kept.push_back(p.time);
        }
        EXPECT_EQ(kept, row.kept) << row.legend;
    }
}

struct BearingRow {
    const char* legend;
    double dLat;
    double dLon;
    int bearing;
};

TEST(Bearings, CompassPoints) {
    const BearingRow rows[] = {{"east", 0, 0.001, 90},
                               {"north", 0.001, 0, 0},
                               {"west", 0, -0.001, 270},
                               {"south", -0.001, 0, 180},
                               {"north-east", 0.001, 0.001 / std::cos(25 * 3.141592653 / 180), 45},
                               {"across the date line eastwards", 0, -359.999, 90}};
    for (const BearingRow& row : rows) {
        std::vector<TrackPoint> points = {test::Point(0, 25, 179.9995),
                                          test::Point(1, 25 + row.dLat, 179.9995 + row.dLon)};
        if (row.dLon == -359.999) {
            points[0].longitude = 179.9995;
            points[1].longitude = 179.9995 - 359.999;
        }
        ComputeBearings(points);
        EXPECT_EQ(points[0].bearing, row.bearing) << row.legend;
        EXPECT_EQ(points[1].bearing, 0) << row.legend;
    }
}

TEST(Bearings, StandingStillKeepsThePreviousBearing) {
    std::vector<TrackPoint> points = {test::Point(0, 0, 0), test::Point(1, 0, 0),
                                      test::Point(2, 0, 0.001), test::Point(3, 0, 0.001),
                                      test::Point(4, 0.001, 0.001)};
    ComputeBearings(points);
    EXPECT_EQ(points[0].bearing, 0);  // no earlier pair
    EXPECT_EQ(points[1].bearing, 90);
    EXPECT_EQ(points[2].bearing, 90);
    EXPECT_EQ(points[3].bearing, 0);
    EXPECT_EQ(points[4].bearing, 0);
}

TEST(StopAnalysis, StopDistanceInFeetWithMph) {
    // 25 m is 83.3 feet: closer than 100 feet, so dropped; 40 m (133 feet) stays.
    std::vector<TrackPoint> points = AlongMeridian({0, 25, 40, 200});
    AnalyseStops(points, {UnitMph, 100, 0});
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[1].time, 2);
    EXPECT_NEAR(points[1].distance, 40, 0.01);  // from the last kept point, not the dropped one
    EXPECT_NEAR(points[2].distance, 160, 0.01);

    std::vector<TrackPoint> metres = AlongMeridian({0, 25, 40, 200});
    AnalyseStops(metres, {UnitKmh, 30, 0});
    EXPECT_EQ(metres.size(), 3u);
}

TEST(StopAnalysis, LastPointOnlyGetsItsDistance) {
    std::vector<TrackPoint> points = AlongMeridian({0, 100, 101});
    points[2].speed = points[2].speedInUnit = 200;
    AnalyseStops(points, {UnitKmh, 50, 10});
    ASSERT_EQ(points.size(), 3u);
    EXPECT_NEAR(points[2].distance, 1, 0.01);
    EXPECT_FALSE(points[2].overSpeed);
    EXPECT_FALSE(points[2].maxSpeed);
}

TEST(StopAnalysis, OverSpeedAndMaximum) {
    std::vector<TrackPoint> points = AlongMeridian({0, 100, 200, 300, 400});
    const int speeds[] = {50, 80, 120, 90, 0};
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i].speed = points[i].speedInUnit = speeds[i];
    AnalyseStops(points, {UnitKmh, 0, 85});
    EXPECT_FALSE(points[0].overSpeed);
    EXPECT_FALSE(points[1].overSpeed);
    EXPECT_TRUE(points[2].overSpeed);
    EXPECT_TRUE(points[3].overSpeed);
    EXPECT_TRUE(points[2].maxSpeed);
    EXPECT_FALSE(points[3].maxSpeed);

    for (TrackPoint& p : points)
        p.overSpeed = p.maxSpeed = false;
    AnalyseStops(points, {UnitKmh, 0, 0});
    for (const TrackPoint& p : points)
        EXPECT_FALSE(p.overSpeed);

    // In m/s 4, 5, 7 and 5 km/h all show as 1: the marker is still on the 7 km/h fix.
    const double walk[] = {0, 4, 5, 7, 5};
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].speed = walk[i];
        points[i].speedInUnit = static_cast<std::int32_t>(walk[i] / 3.6);
        points[i].overSpeed = points[i].maxSpeed = false;
    }
    AnalyseStops(points, {UnitMps, 0, 0});
    EXPECT_TRUE(points[3].maxSpeed);
    EXPECT_FALSE(points[1].maxSpeed);
}

TEST(StopAnalysis, FastFirstPointIsNeverTheMaximum) {
    std::vector<TrackPoint> points = AlongMeridian({0, 100, 200});
    points[0].speed = points[0].speedInUnit = 150;
    AnalyseStops(points, {UnitKmh, 0, 100});
    for (const TrackPoint& p : points) {
        EXPECT_FALSE(p.maxSpeed);
        EXPECT_FALSE(p.overSpeed);
    }
}

}  // namespace
}  // namespace pelmora
