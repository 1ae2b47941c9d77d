#pragma once
// Draws the track to scale on any paint device: tiles or a graticule, the whole trace, the
// period over it, the markers, the hovered fix and the tile attribution.
#include <QPalette>
#include <QPointF>
#include <QRect>
#include <optional>

#include "convert/track_model.h"

class QPainter;

namespace pelmora {

class TileSource;

// What part of the world a map shows: its centre and a zoom level as the tile servers count
// them (level z shows the world 256 x 2^z pixels wide); fractional levels scale the tiles.
struct MapView {
    WorldPoint center{0.5, 0.5};
    double zoom = 1;

    static constexpr double kMaxZoom = 19;
    double Scale() const;  // pixels per world unit
    QPointF ToScreen(WorldPoint w, const QRect& rect) const;
    WorldPoint ToWorld(QPointF p, const QRect& rect) const;
    WorldRect Visible(const QRect& rect) const;
    // The view that shows bounds whole in rect with a margin of pixels around it.
    static MapView Fit(const WorldRect& bounds, const QRect& rect, int margin = 24);
    // Zooms by steps around the screen point p, which stays over the same place.
    void ZoomAround(double steps, QPointF p, const QRect& rect);
};

struct MapScene {
    const TrackModel* model = nullptr;
    IndexRange period;                 // highlighted; empty for none
    std::optional<std::size_t> hover;  // a fix shown with a ring
    TileSource* tiles = nullptr;       // none: the graticule only
    // Background, graticule and text follow it, so a dark theme gives a dark map.
    QPalette palette;
};

void PaintMap(QPainter& painter, const QRect& rect, const MapView& view, const MapScene& scene);

}  // namespace pelmora
