#pragma once
// The map of the track: the wheel zooms around the pointer, a drag pans.
#include <QWidget>
#include <optional>

#include "ui/map_painter.h"

namespace pelmora {

class TrackMapWidget : public QWidget {
    Q_OBJECT

  public:
    explicit TrackMapWidget(TileSource* tiles, QWidget* parent = nullptr);

    // model must outlive the widget or be replaced before it goes; the view fits the track.
    void SetModel(const TrackModel* model);
    void SetPeriod(IndexRange period);
    void SetHover(std::optional<std::size_t> index);
    void FitTrack();
    const MapView& view() const { return m_view; }
    IndexRange period() const { return m_scene.period; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    MapScene m_scene;
    MapView m_view;
    bool m_userMoved = false;  // until then the view follows the widget's size
    std::optional<QPointF> m_dragFrom;
};

}  // namespace pelmora
