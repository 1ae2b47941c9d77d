#pragma once
// Every fix as its own small KML placemark, with the path writer's begin, start, stop and end
// markers. Runs after the stop-distance analysis.
#include <vector>

#include "settings/conversion_settings.h"
#include "trace/convert_observer.h"
#include "trace/convert_point.h"
#include "trace/convert_text.h"

namespace pelmora {

// As WriteKmlPath: the document without the byte-order mark; false when asked to stop.
bool WriteKmlPoints(const std::vector<TrackPoint>& points, const ConversionSettings& settings,
                    TextSink& out, ConvertProgress* progress);

}  // namespace pelmora
