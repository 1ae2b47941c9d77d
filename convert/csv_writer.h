#pragma once
// The fixes as a comma-separated table for spreadsheets: local time, position, height, speed in
// the chosen unit, bearing. LF line ends, no byte-order mark.
#include <vector>

#include "convert/convert_observer.h"
#include "convert/convert_point.h"
#include "convert/convert_text.h"
#include "core/conversion_settings.h"

namespace pelmora {

// False when progress asked to stop.
bool WriteCsv(const std::vector<TrackPoint>& points, const ConversionSettings& settings,
              TextSink& out, ConvertProgress* progress);

}  // namespace pelmora
