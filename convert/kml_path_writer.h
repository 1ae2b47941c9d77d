#pragma once
// The track as KML line strings split at stops, with begin, start, stop, end, maximum-speed and
// over-speed markers. Runs after the stop-distance analysis.
#include <vector>

#include "convert/convert_observer.h"
#include "convert/convert_point.h"
#include "convert/convert_text.h"
#include "core/conversion_settings.h"

namespace pelmora {

// Writes the document (without the byte-order mark, which the file puts first). points must not
// be empty. False when progress asked to stop.
bool WriteKmlPath(const std::vector<TrackPoint>& points, const ConversionSettings& settings,
                  TextSink& out, ConvertProgress* progress);

}  // namespace pelmora
