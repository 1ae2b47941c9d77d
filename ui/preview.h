#pragma once
// The track view as one picture: the map of the period above the chart, drawn offscreen for
// scripts and tests. Needs a QApplication (the chart is a graphics widget).
#include <QImage>
#include <QSize>

#include "convert/track_model.h"

namespace pelmora {

class TileSource;

// The map fits the period (the whole track when the period holds no fix) with the period
// highlighted; the chart spans the period. tiles may be null: a graticule only.
QImage RenderPreview(const TrackModel& model, IndexRange period, QSize size, TileSource* tiles);

}  // namespace pelmora
