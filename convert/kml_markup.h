#pragma once
// The pieces both KML writers share: document head, icon styles, marker placemarks and their
// descriptions. Lines end in "\n"; the KML file turns that into CR LF.
#include <string>
#include <string_view>

#include "convert/convert_point.h"
#include "convert/convert_text.h"
#include "core/conversion_settings.h"

namespace pelmora::kml {

inline constexpr const char* kNamespace = "http://www.opengis.net/kml/2.2";
inline constexpr const char* kIconHost = "http://maps.google.com";

// The XML declaration, the root element and the Document line.
void PutHead(TextSink& out);
// One icon style line: YellowCabs, GreenCabs, RedCabs, Cross or Circle.
void PutIconStyle(TextSink& out, std::string_view id);
void PutTail(TextSink& out);

// "Start: 2011-03-10 07:30:00 (GMT+8:00)": the fix's local time and the offset then in force.
std::string TimeItem(std::string_view label, const TrackPoint& p);
std::string SpanItem(TimeSpan span);
std::string MileageItem(double metres, int speedUnit);
// "Stop time: 0 day 0 hour 15 min 0 sec"
std::string StopTimeItem(TimeSpan span);

// Marker placemarks. name empty: no name line; number > 0: "name number".
struct Marker {
    std::string_view name;
    int number = 0;
    std::string_view style;
};
void PutMarker(TextSink& out, const TrackPoint& p, const Marker& m, const ConversionSettings& s);
// A marker whose description carries the summary items after the separator.
void PutSummaryMarker(TextSink& out, const TrackPoint& p, const Marker& m,
                      const ConversionSettings& s, const std::string* items, int itemCount);

// The five items of a stop marker: start, stop, segment span, segment mileage and, when a
// next point exists, the stop duration.
void PutStopMarker(TextSink& out, const TrackPoint& first, const TrackPoint& stop,
                   const TrackPoint* next, int segment, double segmentMetres,
                   const ConversionSettings& s);
// The four items of the End marker.
void PutEndMarker(TextSink& out, const TrackPoint& first, const TrackPoint& last,
                  double totalMetres, const ConversionSettings& s);

// Height in whole metres, truncated toward zero.
std::int64_t WholeMetres(double height);

}  // namespace pelmora::kml
