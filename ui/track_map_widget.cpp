#include "ui/track_map_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "ui/tile_source.h"

namespace pelmora {

TrackMapWidget::TrackMapWidget(TileSource* tiles, QWidget* parent) : QWidget(parent) {
    m_scene.tiles = tiles;
    setMinimumSize(200, 150);
    setCursor(Qt::OpenHandCursor);
    if (tiles != nullptr) {
        connect(tiles, &TileSource::tileArrived, this, qOverload<>(&QWidget::update));
    }
}

void TrackMapWidget::SetModel(const TrackModel* model) {
    m_scene.model = model;
    m_scene.hover.reset();
    m_scene.period = model != nullptr ? IndexRange{0, model->points().size()} : IndexRange{};
    m_userMoved = false;
    FitTrack();
}

void TrackMapWidget::SetPeriod(IndexRange period) {
    m_scene.period = period;
    update();
}

void TrackMapWidget::SetHover(std::optional<std::size_t> index) {
    m_scene.hover = index;
    update();
}

void TrackMapWidget::FitTrack() {
    if (m_scene.model != nullptr && !m_scene.model->empty()) {
        m_view = MapView::Fit(m_scene.model->Bounds(), rect());
    }
    update();
}

void TrackMapWidget::resizeEvent(QResizeEvent*) {
    // Until the user moved the map, a new size shows the whole track again.
    if (!m_userMoved) {
        FitTrack();
    }
}

void TrackMapWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_scene.palette = palette();  // read at each paint, so a theme change shows at once
    PaintMap(painter, rect(), m_view, m_scene);
}

void TrackMapWidget::wheelEvent(QWheelEvent* event) {
    // Half a zoom level a notch: a tile level every two.
    m_view.ZoomAround(event->angleDelta().y() / 240.0, event->position(), rect());
    m_userMoved = true;
    update();
    event->accept();
}

void TrackMapWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragFrom = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
}

void TrackMapWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragFrom) {
        return;
    }
    const QPointF delta = event->position() - *m_dragFrom;
    m_dragFrom = event->position();
    m_view.center.x -= delta.x() / m_view.Scale();
    m_view.center.y -= delta.y() / m_view.Scale();
    m_userMoved = true;
    update();
}

void TrackMapWidget::mouseReleaseEvent(QMouseEvent*) {
    m_dragFrom.reset();
    setCursor(Qt::OpenHandCursor);
}

}  // namespace pelmora
