#pragma once
// What the track view draws, computed without any widget: the trace after the conversion's
// filters and stop analysis (so its markers are those of the KML path), projected to Web
// Mercator, split into segments at stops, with screen-tolerance polylines and chart series.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/convert_point.h"
#include "convert/trace_reader.h"
#include "core/conversion_settings.h"
#include "core/time_value.h"

namespace pelmora {

// Web Mercator world coordinates: x and y in [0, 1], x east from 180 W, y south from 85.05 N.
struct WorldPoint {
    double x = 0;
    double y = 0;
};

struct WorldRect {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    bool Contains(WorldPoint p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
};

inline constexpr double kMercatorMaxLatitude = 85.0511287798;

WorldPoint ProjectMercator(double latitudeDeg, double longitudeDeg);
void UnprojectMercator(WorldPoint p, double& latitudeDeg, double& longitudeDeg);

enum class MarkerKind { Begin, End, Start, Stop, MaxSpeed, OverSpeed };

struct TrackMarker {
    MarkerKind kind = MarkerKind::Begin;
    std::size_t index = 0;  // into TrackModel::points()
    int segment = 0;        // 1-based for Start and Stop, else 0
};

// Inclusive point indexes.
struct TrackSegment {
    std::size_t first = 0;
    std::size_t last = 0;
};

// Half-open point indexes; empty when first == last.
struct IndexRange {
    std::size_t first = 0;
    std::size_t last = 0;
    bool empty() const { return first >= last; }
};

// A stop between two segments, in local time: the last fix before it and the first after it.
struct TrackStop {
    TimeValue begin = 0;
    TimeValue end = 0;
    TimeValue beginUtc = 0;
    TimeValue endUtc = 0;
};

// One chart sample: a bucket's fix with the highest or lowest speed, so peaks survive the
// thinning. The chart runs on UTC (continuous across clock changes) and labels local time.
struct ChartSample {
    TimeValue time = 0;  // UTC
    TimeValue localTime = 0;
    double speed = 0;   // in the chosen unit
    double height = 0;  // metres
};

struct TrackViewOptions {
    ConversionSettings settings;  // zone offset, speed unit, stop period and distance, over-speed
    int recordTimePeriod = 0;     // spike threshold, as the conversion takes it
    int recordDistance = 0;
};

class TrackModel {
  public:
    TrackModel() = default;
    // Runs the conversion's spike filter, bearing pass and stop analysis over points.
    TrackModel(std::vector<TrackPoint> points, const TrackViewOptions& options);

    const std::vector<TrackPoint>& points() const { return points_; }
    const std::vector<WorldPoint>& world() const { return world_; }
    const std::vector<TrackSegment>& segments() const { return segments_; }
    const std::vector<TrackMarker>& markers() const { return markers_; }
    const std::vector<TrackStop>& stops() const { return stops_; }
    const TrackViewOptions& options() const { return options_; }
    bool empty() const { return points_.empty(); }
    // The projected extent of the points in range (all points by default).
    WorldRect Bounds() const { return Bounds({0, points_.size()}); }
    WorldRect Bounds(IndexRange range) const;
    double highestSpeed() const { return highestSpeed_; }

    // The points whose UTC time lies in [beginUtc, endUtc]: both ends belong to the period.
    IndexRange PeriodRange(TimeValue beginUtc, TimeValue endUtc) const;
    // The point nearest to a local time; points() must not be empty.
    std::size_t NearestByLocalTime(TimeValue localTime) const;
    // The point nearest to a UTC time; points() must not be empty.
    std::size_t NearestByTime(TimeValue utc) const;

    // The polylines of range as drawn at the given tolerance (world units per pixel times the
    // pixels a step may skip): one per segment piece, points of the same pixel dropped, runs
    // wholly outside view dropped. Segment ends are always kept.
    void Polylines(IndexRange range, const WorldRect& view, double tolerance,
                   std::vector<std::vector<WorldPoint>>& out) const;

    // At most 2 x buckets samples of range over its UTC time.
    std::vector<ChartSample> ChartSeries(IndexRange range, std::size_t buckets) const;

  private:
    std::vector<TrackPoint> points_;
    std::vector<WorldPoint> world_;
    std::vector<TrackSegment> segments_;
    std::vector<TrackMarker> markers_;
    std::vector<TrackStop> stops_;
    TrackViewOptions options_;
    double highestSpeed_ = 0;
    bool sorted_ = true;
};

// Reads the whole trace of folder (TraceLog.ltp or .lte) into model. stop, when set, ends the
// read early with Stopped; problem, when given, gets the message of NoGeoid.
TraceReadStatus LoadTrackModel(const std::string& folder, const TrackViewOptions& options,
                               TrackModel& model, const std::atomic<bool>* stop = nullptr,
                               std::string* problem = nullptr);

}  // namespace pelmora
