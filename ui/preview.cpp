#include "ui/preview.h"

#include <QPainter>

#include "ui/map_painter.h"
#include "ui/track_chart.h"

namespace pelmora {

QImage RenderPreview(const TrackModel& model, IndexRange period, QSize size, TileSource* tiles) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const IndexRange shown = period.empty() ? IndexRange{0, model.points().size()} : period;
    // The map takes three fifths, as the window's splitter starts.
    const int mapHeight = size.height() * 3 / 5;
    const QRect mapRect(0, 0, size.width(), mapHeight);
    QPainter painter(&image);
    MapScene scene;
    scene.model = &model;
    scene.period = period;
    scene.tiles = tiles;
    PaintMap(painter, mapRect, MapView::Fit(model.Bounds(shown), mapRect), scene);

    TrackChartView chart;
    chart.SetModel(&model);
    if (!model.empty()) {
        chart.ShowTimeRange(model.points()[shown.first].time, model.points()[shown.last - 1].time);
    }
    chart.resize(size.width(), size.height() - mapHeight);
    chart.QWidget::render(&painter, QPoint(0, mapHeight));
    return image;
}

}  // namespace pelmora
