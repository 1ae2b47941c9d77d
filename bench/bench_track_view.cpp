// The track view on a generated 1,000,000-fix trace: reading it into the track model, the
// polylines of one frame, a frame of the map and the chart drawn offscreen. A timed command,
// not a Google Benchmark loop: one frame of this size is the figure that matters.
//   bench_track_view [--fixes N] [--width W] [--height H]
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/million_trace.h"
#include "convert/track_model.h"
#include "ui/map_painter.h"
#include "ui/track_chart.h"

namespace {

using Clock = std::chrono::steady_clock;

double Millis(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// The best of a few frames: the machine is shared, the least disturbed run is the cost.
template <class F>
double BestOf(int runs, F frame) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        frame();
        best = std::min(best, Millis(start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    long fixes = 1000000;
    int width = 1280;
    int height = 800;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fixes") == 0 && i + 1 < argc) {
            fixes = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--width") == 0 && i + 1 < argc) {
            width = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--height") == 0 && i + 1 < argc) {
            height = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--fixes N] [--width W] [--height H]\n", argv[0]);
            return 2;
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::string dir = (std::filesystem::temp_directory_path() / "pelmora-bench-XXXXXX");
    if (mkdtemp(dir.data()) == nullptr ||
        !pelmora::bench::WriteMillionTrace(dir + "/TraceLog.ltp", fixes)) {
        std::perror("trace");
        return 1;
    }

    pelmora::TrackViewOptions options;
    options.settings.ZoneOffset = 480 * 60;
    options.settings.GmtLabel = pelmora::GmtLabelFor(480);
    options.settings.Zone = pelmora::ZoneRules::Fixed(480 * 60);
    options.settings.SpeedUnitLabel = pelmora::SpeedUnitText(pelmora::UnitKmh);
    options.settings.StopPeriod = 10;
    options.settings.OverSpeed = 100;
    options.recordTimePeriod = 1;
    pelmora::TrackModel model;
    auto start = Clock::now();
    if (pelmora::LoadTrackModel(dir, options, model) != pelmora::TraceReadStatus::Ok) {
        std::fprintf(stderr, "no trace\n");
        return 1;
    }
    std::printf("%ld fixes: model (read, filters, projection, segments, markers) %8.1f ms\n", fixes,
                Millis(start));
    std::printf("  %zu points kept, %zu segments, %zu markers\n", model.points().size(),
                model.segments().size(), model.markers().size());

    const QRect mapRect(0, 0, width, height * 3 / 5);
    pelmora::MapView whole = pelmora::MapView::Fit(model.Bounds(), mapRect);
    pelmora::MapView street = whole;
    street.zoom = 16;  // a street-level view somewhere along the drive
    street.center = model.world()[model.world().size() / 2];
    const pelmora::IndexRange all{0, model.points().size()};
    const pelmora::IndexRange half{model.points().size() / 4, model.points().size() * 3 / 4};
    std::vector<std::vector<pelmora::WorldPoint>> lines;
    std::size_t drawn = 0;
    const double poly = BestOf(
        5, [&] { model.Polylines(all, whole.Visible(mapRect), 1.0 / whole.Scale(), lines); });
    for (const auto& l : lines)
        drawn += l.size();
    std::printf("polylines of the whole track, %d px wide        %8.1f ms (%zu of %zu points)\n",
                width, poly, drawn, model.points().size());

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    pelmora::MapScene scene;
    scene.model = &model;
    scene.period = half;
    for (const auto& [legend, view] :
         {std::pair{"map frame, whole track, period highlighted", whole},
          std::pair{"map frame, street level", street}}) {
        const double ms = BestOf(5, [&] {
            QPainter painter(&image);
            pelmora::PaintMap(painter, mapRect, view, scene);
        });
        std::printf("%-47s %8.1f ms\n", legend, ms);
    }
    pelmora::TrackChartView chart;
    chart.resize(width, height - mapRect.height());
    start = Clock::now();
    chart.SetModel(&model);
    std::printf("chart series                                    %8.1f ms\n", Millis(start));
    const double chartMs = BestOf(5, [&] {
        QPainter painter(&image);
        chart.QWidget::render(&painter, QPoint(0, mapRect.height()));
    });
    std::printf("chart frame                                     %8.1f ms\n", chartMs);
    std::filesystem::remove_all(dir);
    return 0;
}
