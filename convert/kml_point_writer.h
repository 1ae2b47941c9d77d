#pragma once
// Every fix as its own small KML placemark, with the path writer's begin, start, stop and end
// markers. Runs after the stop-distance analysis.
#include <vector>

#include "convert/convert_observer.h"
#include "convert/convert_point.h"
#include "convert/convert_text.h"
#include "core/conversion_settings.h"

namespace pelmora {

// As WriteKmlPath: the document without the byte-order mark; false when asked to stop.
bool WriteKmlPoints(const std::vector<TrackPoint>& points, const ConversionSettings& settings,
                    TextSink& out, ConvertProgress* progress);

}  // namespace pelmora
