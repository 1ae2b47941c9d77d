#include "convert/track_model.h"

#include <gtest/gtest.h>

#include "convert_test_util.h"

namespace pelmora {
namespace {

TEST(TrackView, MercatorCornersAndRoundTrip) {
    struct Row {
        double lat, lon, x, y;
    } rows[] = {
        {0, 0, 0.5, 0.5},
        {kMercatorMaxLatitude, -180, 0, 0},
        {-kMercatorMaxLatitude, 180, 1, 1},
        {89.9, 0, 0.5, 0},  // beyond the square: clamped to its edge
    };
    for (const Row& r : rows) {
        const WorldPoint w = ProjectMercator(r.lat, r.lon);
        EXPECT_NEAR(w.x, r.x, 1e-9) << r.lat << "," << r.lon;
        EXPECT_NEAR(w.y, r.y, 1e-9) << r.lat << "," << r.lon;
    }
    double lat = 0, lon = 0;
    UnprojectMercator(ProjectMercator(24.95, 121.45), lat, lon);
    EXPECT_NEAR(lat, 24.95, 1e-9);
    EXPECT_NEAR(lon, 121.45, 1e-9);
}

// Eastward fixes 51 m apart (under the spike threshold), one a second unless gaps says otherwise;
// speeds as given.
std::vector<TrackPoint> Drive(const std::vector<int>& speeds, const std::vector<TimeSpan>& gaps) {
    std::vector<TrackPoint> points;
    TimeValue t = MakeTimeValue(2024, 5, 18, 8, 0, 0);
    for (std::size_t i = 0; i < speeds.size(); ++i) {
        if (i > 0)
            t += i - 1 < gaps.size() ? gaps[i - 1] : 1;
        points.push_back(
            test::Point(t, 24.0, 121.0 + 0.0005 * static_cast<double>(i), 10, speeds[i]));
    }
    return points;
}

TEST(TrackView, SegmentsAndMarkersFollowTheKmlPath) {
    TrackViewOptions o;
    o.settings = test::Settings(480, UnitKmh, 10);
    o.settings.OverSpeed = 50;
    // Gaps of exactly 600 s keep a segment; 601 s split it.
    const TrackModel m(Drive({10, 60, 90, 20, 70, 0}, {1, 600, 1, 601, 1}), o);
    ASSERT_EQ(m.segments().size(), 2u);
    EXPECT_EQ(m.segments()[0].last, 3u);
    EXPECT_EQ(m.segments()[1].first, 4u);
    ASSERT_EQ(m.stops().size(), 1u);
    EXPECT_EQ(m.stops()[0].end - m.stops()[0].begin, 601);

    std::vector<std::pair<MarkerKind, std::size_t>> got;
    for (const TrackMarker& k : m.markers())
        got.emplace_back(k.kind, k.index);
    const std::vector<std::pair<MarkerKind, std::size_t>> want = {
        {MarkerKind::Begin, 0},     {MarkerKind::Start, 0},    {MarkerKind::Stop, 3},
        {MarkerKind::Start, 4},     {MarkerKind::Stop, 5},     {MarkerKind::End, 5},
        {MarkerKind::OverSpeed, 1}, {MarkerKind::MaxSpeed, 2}, {MarkerKind::OverSpeed, 4},
    };
    EXPECT_EQ(got, want);
}

TEST(TrackView, StopDistanceDropsFixesAsTheConversionDoes) {
    TrackViewOptions o;
    o.settings = test::Settings(0, UnitKmh, 0);
    o.settings.StopDistance = 80;  // every second fix is closer than that to the last kept one
    const TrackModel m(Drive({1, 2, 3, 4, 5}, {}), o);
    EXPECT_EQ(m.points().size(), 3u);
    EXPECT_EQ(m.segments().size(), 1u);
    EXPECT_EQ(m.markers().size(), 3u);  // Begin, End, Max Speed: no stop markers with period 0
}

TEST(TrackView, PeriodIncludesBothEnds) {
    const TrackModel m(Drive({0, 0, 0, 0, 0}, {}), TrackViewOptions{test::Settings(0, 1, 0)});
    const TimeValue t0 = m.points()[0].time;
    const IndexRange r = m.PeriodRange(t0 + 1, t0 + 3);
    EXPECT_EQ(r.first, 1u);
    EXPECT_EQ(r.last, 4u);
    EXPECT_TRUE(m.PeriodRange(t0 + 10, t0 + 20).empty());
    EXPECT_EQ(m.NearestByLocalTime(m.points()[3].localTime + 0), 3u);
}

TEST(TrackView, PolylinesThinToThePixelAndSkipWhatIsOffScreen) {
    std::vector<int> speeds(10001, 30);
    const TrackModel m(Drive(speeds, {}), TrackViewOptions{test::Settings(0, 1, 0)});
    const WorldRect all = m.Bounds();
    std::vector<std::vector<WorldPoint>> lines;
    // The whole 500 km drive across 500 pixels.
    m.Polylines({0, speeds.size()}, all, (all.right - all.left) / 500, lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LE(lines[0].size(), 502u);
    EXPECT_DOUBLE_EQ(lines[0].back().x, m.world().back().x);  // the end is always kept

    // A view on the middle tenth: only the steps that reach it are drawn.
    const double w = all.right - all.left;
    const WorldRect middle{all.left + 0.45 * w, all.top - 1e-6, all.left + 0.55 * w,
                           all.bottom + 1e-6};
    m.Polylines({0, speeds.size()}, middle, 0, lines);
    std::size_t drawn = 0;
    for (const auto& l : lines)
        drawn += l.size();
    EXPECT_GT(drawn, 990u);
    EXPECT_LT(drawn, 1020u);
}

TEST(TrackView, ChartKeepsEachBucketsSlowestAndFastest) {
    const TrackModel m(Drive({5, 80, 0, 7, 6, 90, 1, 3}, {}),
                       TrackViewOptions{test::Settings(0, 1, 0)});
    const std::vector<ChartSample> s = m.ChartSeries({0, m.points().size()}, 2);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].speed, 80);
    EXPECT_EQ(s[1].speed, 0);
    EXPECT_EQ(s[2].speed, 90);
    EXPECT_EQ(s[3].speed, 1);
}

}  // namespace
}  // namespace pelmora
