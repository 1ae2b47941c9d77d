#include "ui/map_painter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/label_placer.h"
#include "ui/tile_source.h"
#include "ui/track_colours.h"

namespace pelmora {
namespace {

// Text over the map in the palette's colours, on a box of its base so it reads over tiles too,
// at a spot no other label holds (none when every spot is taken).
void DrawLabel(QPainter& painter, QPointF at, double radius, bool preferBelow, const QString& text,
               const QPalette& palette, LabelPlacer& labels) {
    const QRectF ink = painter.fontMetrics().boundingRect(text);
    const std::optional<QRectF> box =
        labels.Place(at, radius, ink.size() + QSizeF(4, 2), preferBelow);
    if (!box) {
        return;
    }
    QColor back = palette.color(QPalette::Base);
    back.setAlpha(200);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(back);
    painter.drawRoundedRect(*box, 3, 3);
    painter.setPen(palette.color(QPalette::Text));
    painter.drawText(box->topLeft() + QPointF(2, 1) - ink.topLeft(), text);
    painter.restore();
}

void PaintGraticule(QPainter& painter, const QRect& rect, const MapView& view,
                    const QColor& colour) {
    const WorldRect v = view.Visible(rect);
    double north = 0, west = 0, south = 0, east = 0;
    UnprojectMercator({v.left, v.top}, north, west);
    UnprojectMercator({v.right, v.bottom}, south, east);
    // Lines about a hundred pixels apart, on round degrees.
    const double wanted = (east - west) * 100 / std::max(1, rect.width());
    double step = 30;
    for (double s : {30.0, 10.0, 5.0, 2.0, 1.0, 0.5, 0.2, 0.1, 0.05, 0.02, 0.01, 0.005, 0.002,
                     0.001, 0.0005, 0.0002, 0.0001}) {
        if (s < wanted)
            break;
        step = s;
    }
    painter.setPen(QPen(colour, 1));
    for (double lon = std::ceil(std::max(west, -180.0) / step) * step; lon <= std::min(east, 180.0);
         lon += step) {
        const double x = view.ToScreen(ProjectMercator(0, lon), rect).x();
        painter.drawLine(QPointF(x, rect.top()), QPointF(x, rect.bottom()));
    }
    const double top = std::min(north, kMercatorMaxLatitude);
    for (double lat = std::ceil(std::max(south, -kMercatorMaxLatitude) / step) * step; lat <= top;
         lat += step) {
        const double y = view.ToScreen(ProjectMercator(lat, 0), rect).y();
        painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
    }
}

// True when any tile was drawn.
bool PaintTiles(QPainter& painter, const QRect& rect, const MapView& view, TileSource& tiles) {
    const int z = std::clamp(static_cast<int>(std::lround(view.zoom)), 0, TileSource::kMaxZoom);
    const int count = 1 << z;
    const double tilePixels = view.Scale() / count;
    const WorldRect v = view.Visible(rect);
    const int x0 = std::max(0, static_cast<int>(std::floor(v.left * count)));
    const int x1 = std::min(count - 1, static_cast<int>(std::floor(v.right * count)));
    const int y0 = std::max(0, static_cast<int>(std::floor(v.top * count)));
    const int y1 = std::min(count - 1, static_cast<int>(std::floor(v.bottom * count)));
    tiles.BeginFrame();
    bool any = false;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const QImage image = tiles.Tile(z, x, y);
            if (image.isNull())
                continue;
            const QPointF corner = view.ToScreen(
                {static_cast<double>(x) / count, static_cast<double>(y) / count}, rect);
            // Rounded edges, so neighbouring tiles leave no hairline between them.
            const QRect target(QPoint(static_cast<int>(std::floor(corner.x())),
                                      static_cast<int>(std::floor(corner.y()))),
                               QPoint(static_cast<int>(std::ceil(corner.x() + tilePixels)) - 1,
                                      static_cast<int>(std::ceil(corner.y() + tilePixels)) - 1));
            painter.drawImage(target, image);
            any = true;
        }
    }
    return any;
}

void PaintPolylines(QPainter& painter, const QRect& rect, const MapView& view,
                    const TrackModel& model, IndexRange range, const QPen& pen) {
    std::vector<std::vector<WorldPoint>> lines;
    // A step shorter than a pixel shows nothing new.
    model.Polylines(range, view.Visible(rect.adjusted(-8, -8, 8, 8)), 1.0 / view.Scale(), lines);
    painter.setPen(pen);
    QPolygonF polygon;
    for (const auto& line : lines) {
        if (line.size() == 1) {
            painter.drawPoint(view.ToScreen(line.front(), rect));
            continue;
        }
        polygon.clear();
        polygon.reserve(static_cast<qsizetype>(line.size()));
        for (const WorldPoint& w : line)
            polygon.append(view.ToScreen(w, rect));
        painter.drawPolyline(polygon);
    }
}

// ink: the rims and the max-speed cross, in contrast with what lies under the marker.
void PaintMarker(QPainter& painter, QPointF at, MarkerKind kind, int segment, const QColor& ink,
                 const QPalette& palette, LabelPlacer& labels) {
    struct Look {
        QColor fill;
        double radius;
        const char* label;
    };
    Look look{};
    switch (kind) {
        case MarkerKind::Begin:
            look = {QColor(0xff, 0xd0, 0x00), 7, "Begin"};
            break;
        case MarkerKind::End:
            look = {QColor(0xff, 0xd0, 0x00), 7, "End"};
            break;
        case MarkerKind::Start:
            look = {QColor(0x20, 0xb0, 0x40), 5, "Start"};
            break;
        case MarkerKind::Stop:
            look = {kStopRed, 5, "Stop"};
            break;
        case MarkerKind::OverSpeed:
            look = {kStopRed, 3, nullptr};
            break;
        case MarkerKind::MaxSpeed: {
            painter.setPen(QPen(ink, 3));
            painter.drawLine(at + QPointF(-6, -6), at + QPointF(6, 6));
            painter.drawLine(at + QPointF(-6, 6), at + QPointF(6, -6));
            DrawLabel(painter, at, 6, false, QStringLiteral("Max Speed"), palette, labels);
            return;
        }
    }
    painter.setPen(QPen(ink, 1));
    painter.setBrush(look.fill);
    painter.drawEllipse(at, look.radius, look.radius);
    painter.setBrush(Qt::NoBrush);
    if (look.label != nullptr) {
        QString text = QLatin1String(look.label);
        if (segment > 0)
            text += QLatin1Char(' ') + QString::number(segment);
        // A stop and the next start often share a place: one label above, one below.
        DrawLabel(painter, at, look.radius, kind == MarkerKind::Start || kind == MarkerKind::End,
                  text, palette, labels);
    }
}

}  // namespace

double MapView::Scale() const {
    return 256.0 * std::exp2(zoom);
}

QPointF MapView::ToScreen(WorldPoint w, const QRect& rect) const {
    const double s = Scale();
    return {(w.x - center.x) * s + rect.left() + rect.width() / 2.0,
            (w.y - center.y) * s + rect.top() + rect.height() / 2.0};
}

WorldPoint MapView::ToWorld(QPointF p, const QRect& rect) const {
    const double s = Scale();
    return {center.x + (p.x() - rect.left() - rect.width() / 2.0) / s,
            center.y + (p.y() - rect.top() - rect.height() / 2.0) / s};
}

WorldRect MapView::Visible(const QRect& rect) const {
    const WorldPoint a = ToWorld(rect.topLeft(), rect);
    const WorldPoint b = ToWorld(QPointF(rect.right() + 1, rect.bottom() + 1), rect);
    return {a.x, a.y, b.x, b.y};
}

MapView MapView::Fit(const WorldRect& bounds, const QRect& rect, int margin) {
    MapView v;
    v.center = {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    const double w = std::max(1, rect.width() - 2 * margin);
    const double h = std::max(1, rect.height() - 2 * margin);
    // A single fix (no extent) gets a street-level view.
    const double dx = std::max(bounds.right - bounds.left, 1e-7);
    const double dy = std::max(bounds.bottom - bounds.top, 1e-7);
    v.zoom = std::clamp(std::log2(std::min(w / dx, h / dy) / 256.0), 0.0, 17.0);
    return v;
}

void MapView::ZoomAround(double steps, QPointF p, const QRect& rect) {
    const WorldPoint anchor = ToWorld(p, rect);
    zoom = std::clamp(zoom + steps, 0.0, kMaxZoom);
    const WorldPoint moved = ToWorld(p, rect);
    center.x += anchor.x - moved.x;
    center.y += anchor.y - moved.y;
}

void PaintMap(QPainter& painter, const QRect& rect, const MapView& view, const MapScene& scene) {
    painter.save();
    painter.setClipRect(rect);
    const QPalette& palette = scene.palette;
    painter.fillRect(rect, palette.color(QPalette::Base));
    PaintGraticule(painter, rect, view, GridColour(palette));
    // No tiles before there is a track: the world view would only cost the server requests.
    const bool tiles = scene.tiles != nullptr && scene.tiles->enabled() && scene.model != nullptr &&
                       !scene.model->empty() && PaintTiles(painter, rect, view, *scene.tiles);
    // Map tiles are light whatever the theme: only the bare background can be dark.
    const bool dark = !tiles && IsDarkSurface(palette.color(QPalette::Base));
    const QColor period = PeriodBlue(dark);
    const QColor ink = tiles ? QColor(Qt::black) : palette.color(QPalette::Text);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (scene.model != nullptr && !scene.model->empty()) {
        const TrackModel& model = *scene.model;
        const IndexRange all{0, model.points().size()};
        const bool whole = scene.period.first == 0 && scene.period.last >= all.last;
        PaintPolylines(painter, rect, view, model, all,
                       QPen(whole ? period : kTrackGrey, whole ? 3 : 2, Qt::SolidLine, Qt::RoundCap,
                            Qt::RoundJoin));
        if (!whole && !scene.period.empty()) {
            PaintPolylines(painter, rect, view, model, scene.period,
                           QPen(period, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
        // Thousands of over-speed fixes share pixels: one marker per pixel is enough.
        QPoint lastPixel(INT_MIN, INT_MIN);
        LabelPlacer labels;
        for (const TrackMarker& m : model.markers()) {
            const QPointF at = view.ToScreen(model.world()[m.index], rect);
            if (!rect.adjusted(-10, -10, 10, 10).contains(at.toPoint()))
                continue;
            if (m.kind == MarkerKind::OverSpeed) {
                if (at.toPoint() == lastPixel)
                    continue;
                lastPixel = at.toPoint();
            }
            PaintMarker(painter, at, m.kind, m.segment, ink, palette, labels);
        }
        if (scene.hover && *scene.hover < model.points().size()) {
            const QPointF at = view.ToScreen(model.world()[*scene.hover], rect);
            QColor fill = palette.color(QPalette::Base);
            fill.setAlpha(160);
            painter.setPen(QPen(ink, 2));
            painter.setBrush(fill);
            painter.drawEllipse(at, 8, 8);
            painter.setBrush(Qt::NoBrush);
        }
    }
    if (tiles) {
        const QString text = QString::fromUtf8(kTileAttribution);
        const QRect box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
        const QRect placed(rect.right() - box.width(), rect.bottom() - box.height(), box.width(),
                           box.height());
        QColor back = palette.color(QPalette::Base);
        back.setAlpha(200);
        painter.fillRect(placed, back);
        painter.setPen(palette.color(QPalette::Text));
        painter.drawText(placed, Qt::AlignCenter, text);
    }
    painter.restore();
}

}  // namespace pelmora
