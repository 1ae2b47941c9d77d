#pragma once
// The track as GPX 1.1: waypoints for the KML markers, one track with a segment per stretch
// between stops, speed and course in the track-point extension. UTF-8 without BOM, LF.
#include <string_view>
#include <vector>

#include "convert/convert_observer.h"
#include "convert/convert_point.h"
#include "convert/convert_text.h"
#include "core/conversion_settings.h"

namespace pelmora {

inline constexpr const char* kGpxNamespace = "http://www.topografix.com/GPX/1/1";
inline constexpr const char* kGpxTrackPointNamespace =
    "http://www.garmin.com/xmlschemas/TrackPointExtension/v2";

// trackName is the name of the output file without its extension. Runs after the stop-distance
// analysis (it reads the maximum-speed flag). False when progress asked to stop.
bool WriteGpx(const std::vector<TrackPoint>& points, const ConversionSettings& settings,
              std::string_view trackName, TextSink& out, ConvertProgress* progress);

// Text with & < > " ' escaped for XML content and attributes.
void PutXmlEscaped(TextSink& out, std::string_view text);

}  // namespace pelmora
