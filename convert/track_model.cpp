#include "convert/track_model.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "convert/track_analysis.h"

namespace pelmora {
namespace {

// Which sides of view a point lies beyond; two points sharing a bit see nothing between them.
unsigned OutCode(WorldPoint p, const WorldRect& view) {
    unsigned code = 0;
    if (p.x < view.left)
        code |= 1;
    if (p.x > view.right)
        code |= 2;
    if (p.y < view.top)
        code |= 4;
    if (p.y > view.bottom)
        code |= 8;
    return code;
}

}  // namespace

WorldPoint ProjectMercator(double latitudeDeg, double longitudeDeg) {
    const double lat = std::clamp(latitudeDeg, -kMercatorMaxLatitude, kMercatorMaxLatitude);
    const double phi = lat * std::numbers::pi / 180;
    WorldPoint p;
    p.x = (longitudeDeg + 180) / 360;
    p.y = (1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / std::numbers::pi) / 2;
    return p;
}

void UnprojectMercator(WorldPoint p, double& latitudeDeg, double& longitudeDeg) {
    longitudeDeg = p.x * 360 - 180;
    latitudeDeg = std::atan(std::sinh(std::numbers::pi * (1 - 2 * p.y))) * 180 / std::numbers::pi;
}

TrackModel::TrackModel(std::vector<TrackPoint> points, const TrackViewOptions& options)
    : points_(std::move(points)), options_(options) {
    const ConversionSettings& s = options.settings;
    // The same passes, in the same order, as a conversion before its KML path.
    RemoveSpikes(points_, SpikeThreshold(options.recordTimePeriod, options.recordDistance));
    ComputeBearings(points_);
    AnalyseStops(points_, {s.SpeedUnit, s.StopDistance, s.OverSpeed});

    const std::size_t n = points_.size();
    world_.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const TrackPoint& p = points_[i];
        world_.push_back(ProjectMercator(p.latitude, p.longitude));
        highestSpeed_ = std::max(highestSpeed_, static_cast<double>(p.speedInUnit));
        if (i > 0 && p.time < points_[i - 1].time) {
            sorted_ = false;
        }
    }
    if (n == 0) {
        return;
    }
    // Segments end where the KML path ends them: a gap longer than the stop period.
    const TimeSpan stopSpan = static_cast<TimeSpan>(s.StopPeriod) * 60;
    TrackSegment open{0, 0};
    for (std::size_t i = 1; i <= n; ++i) {
        if (i == n || (s.StopPeriod != 0 && points_[i].time - points_[i - 1].time > stopSpan)) {
            open.last = i - 1;
            segments_.push_back(open);
            if (i < n) {
                stops_.push_back({points_[i - 1].localTime, points_[i].localTime,
                                  points_[i - 1].time, points_[i].time});
            }
            open.first = i;
        }
    }
    markers_.push_back({MarkerKind::Begin, 0, 0});
    if (s.StopPeriod != 0) {
        int number = 0;
        for (const TrackSegment& seg : segments_) {
            ++number;
            markers_.push_back({MarkerKind::Start, seg.first, number});
            markers_.push_back({MarkerKind::Stop, seg.last, number});
        }
    }
    markers_.push_back({MarkerKind::End, n - 1, 0});
    for (std::size_t i = 0; i < n; ++i) {
        if (points_[i].maxSpeed) {
            markers_.push_back({MarkerKind::MaxSpeed, i, 0});
        } else if (points_[i].overSpeed) {
            markers_.push_back({MarkerKind::OverSpeed, i, 0});
        }
    }
}

WorldRect TrackModel::Bounds(IndexRange range) const {
    WorldRect r{1, 1, 0, 0};
    for (std::size_t i = range.first; i < range.last && i < world_.size(); ++i) {
        r.left = std::min(r.left, world_[i].x);
        r.right = std::max(r.right, world_[i].x);
        r.top = std::min(r.top, world_[i].y);
        r.bottom = std::max(r.bottom, world_[i].y);
    }
    return r;
}

IndexRange TrackModel::PeriodRange(TimeValue beginUtc, TimeValue endUtc) const {
    if (beginUtc > endUtc) {
        return {};
    }
    if (sorted_) {
        const auto first =
            std::lower_bound(points_.begin(), points_.end(), beginUtc,
                             [](const TrackPoint& p, TimeValue t) { return p.time < t; });
        const auto last =
            std::upper_bound(first, points_.end(), endUtc,
                             [](TimeValue t, const TrackPoint& p) { return t < p.time; });
        return {static_cast<std::size_t>(first - points_.begin()),
                static_cast<std::size_t>(last - points_.begin())};
    }
    // A trace whose clock went back: the span from the first to the last fix inside the period.
    IndexRange r{points_.size(), 0};
    for (std::size_t i = 0; i < points_.size(); ++i) {
        if (points_[i].time >= beginUtc && points_[i].time <= endUtc) {
            r.first = std::min(r.first, i);
            r.last = i + 1;
        }
    }
    return r.empty() ? IndexRange{} : r;
}

std::size_t TrackModel::NearestByTime(TimeValue utc) const {
    std::size_t best = 0;
    if (sorted_) {
        const auto it =
            std::lower_bound(points_.begin(), points_.end(), utc,
                             [](const TrackPoint& p, TimeValue t) { return p.time < t; });
        best = static_cast<std::size_t>(it - points_.begin());
        if (best == points_.size() || (best > 0 && utc - points_[best - 1].time < it->time - utc)) {
            --best;
        }
        return best;
    }
    TimeSpan bestGap = LLONG_MAX;
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const TimeSpan gap = std::llabs(points_[i].time - utc);
        if (gap < bestGap) {
            bestGap = gap;
            best = i;
        }
    }
    return best;
}

std::size_t TrackModel::NearestByLocalTime(TimeValue localTime) const {
    std::size_t best = 0;
    if (sorted_) {
        const auto it =
            std::lower_bound(points_.begin(), points_.end(), localTime,
                             [](const TrackPoint& p, TimeValue t) { return p.localTime < t; });
        best = static_cast<std::size_t>(it - points_.begin());
        if (best == points_.size() ||
            (best > 0 && localTime - points_[best - 1].localTime < it->localTime - localTime)) {
            --best;
        }
        return best;
    }
    TimeSpan bestGap = LLONG_MAX;
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const TimeSpan gap = std::llabs(points_[i].localTime - localTime);
        if (gap < bestGap) {
            bestGap = gap;
            best = i;
        }
    }
    return best;
}

void TrackModel::Polylines(IndexRange range, const WorldRect& view, double tolerance,
                           std::vector<std::vector<WorldPoint>>& out) const {
    out.clear();
    const double tol2 = tolerance * tolerance;
    const std::size_t end = std::min(range.last, world_.size());
    for (const TrackSegment& seg : segments_) {
        const std::size_t first = std::max(seg.first, range.first);
        const std::size_t last = std::min(seg.last + 1, end);  // half-open
        if (first >= last) {
            continue;
        }
        std::vector<WorldPoint> piece{world_[first]};
        WorldPoint kept = world_[first];
        unsigned keptCode = OutCode(kept, view);
        auto flush = [&] {
            if (piece.size() > 1 || (last - first == 1 && view.Contains(piece.front()))) {
                out.push_back(std::move(piece));
            }
            piece.clear();
        };
        for (std::size_t i = first + 1; i < last; ++i) {
            const WorldPoint w = world_[i];
            const unsigned code = OutCode(w, view);
            if ((code & keptCode) != 0) {
                // The step lies wholly beyond one side of the view: nothing of it shows.
                flush();
                piece.push_back(w);
                kept = w;
                keptCode = code;
                continue;
            }
            const double dx = w.x - kept.x;
            const double dy = w.y - kept.y;
            if (dx * dx + dy * dy < tol2 && i + 1 != last) {
                continue;
            }
            piece.push_back(w);
            kept = w;
            keptCode = code;
        }
        flush();
    }
}

std::vector<ChartSample> TrackModel::ChartSeries(IndexRange range, std::size_t buckets) const {
    std::vector<ChartSample> out;
    const std::size_t end = std::min(range.last, points_.size());
    if (range.first >= end || buckets == 0) {
        return out;
    }
    TimeValue t0 = points_[range.first].time;
    TimeValue t1 = t0;
    for (std::size_t i = range.first; i < end; ++i) {
        t0 = std::min(t0, points_[i].time);
        t1 = std::max(t1, points_[i].time);
    }
    const double width = static_cast<double>(t1 - t0 + 1) / static_cast<double>(buckets);
    // Each bucket keeps its slowest and its fastest fix, in time order, so stops and peaks show.
    struct Bucket {
        std::size_t low = SIZE_MAX;
        std::size_t high = SIZE_MAX;
    };
    std::vector<Bucket> table(buckets);
    for (std::size_t i = range.first; i < end; ++i) {
        const auto b =
            std::min(buckets - 1,
                     static_cast<std::size_t>(static_cast<double>(points_[i].time - t0) / width));
        Bucket& k = table[b];
        if (k.low == SIZE_MAX || points_[i].speedInUnit < points_[k.low].speedInUnit)
            k.low = i;
        if (k.high == SIZE_MAX || points_[i].speedInUnit > points_[k.high].speedInUnit)
            k.high = i;
    }
    out.reserve(buckets * 2);
    auto put = [&](std::size_t i) {
        const TrackPoint& p = points_[i];
        out.push_back({p.time, p.localTime, static_cast<double>(p.speedInUnit), p.height});
    };
    for (const Bucket& k : table) {
        if (k.low == SIZE_MAX) {
            continue;
        }
        const std::size_t a = std::min(k.low, k.high);
        const std::size_t b = std::max(k.low, k.high);
        put(a);
        if (b != a)
            put(b);
    }
    return out;
}

TraceReadStatus LoadTrackModel(const std::string& folder, const TrackViewOptions& options,
                               TrackModel& model, const std::atomic<bool>* stop,
                               std::string* problem) {
    TraceReadOptions read;
    read.begin = INT64_MIN;
    read.end = INT64_MAX;
    read.zone = options.settings.Zone;
    read.speedUnit = options.settings.SpeedUnit;
    read.heights = options.settings.Heights;
    std::vector<TrackPoint> points;
    const TraceReadStatus status = ReadTraceLog(
        folder, read, points,
        [stop](std::uint64_t, std::uint64_t) { return stop == nullptr || !stop->load(); }, problem);
    if (status == TraceReadStatus::Ok) {
        model = TrackModel(std::move(points), options);
    }
    return status;
}

}  // namespace pelmora
