#include "convert/kml_markup.h"

#include <cmath>
#include <cstdio>

#include "core/convert_texts.h"

namespace pelmora::kml {
namespace {

struct IconStyle {
    std::string_view id;
    std::string_view color;  // empty: no color element
    std::string_view scale;
    std::string_view icon;
};

constexpr IconStyle kIconStyles[] = {
    {"YellowCabs", "ff00ffff", "1.0", "/mapfiles/kml/shapes/cabs.png"},
    {"GreenCabs", "ff00ff00", "1.0", "/mapfiles/kml/shapes/cabs.png"},
    {"RedCabs", "ff0000ff", "1.0", "/mapfiles/kml/shapes/cabs.png"},
    {"Cross", "", "1.0", "/mapfiles/kml/shapes/hospitals.png"},
    {"Circle", "ff0000ff", "0.8", "/mapfiles/kml/shapes/placemark_circle.png"},
};

// The label of the offset in force at the fix (summer and winter differ in a named zone). Offsets
// change rarely along a trace, so the last label is kept.
const std::string& ZoneLabelOf(const TrackPoint& p) {
    thread_local std::int64_t offset = 0;
    thread_local std::string label = OffsetLabel(0);
    if (p.localTime - p.time != offset) {
        offset = p.localTime - p.time;
        label = OffsetLabel(offset);
    }
    return label;
}

void PutDescriptionHead(TextSink& out, const TrackPoint& p, const ConversionSettings& s) {
    // One CDATA section: the <br/> stay text, as readers expect of an HTML description.
    out.Put("\t\t\t<description><![CDATA[");
    out.Put(convert_text::kLongitude);
    out.Put(':');
    out.PutFixed(p.longitude, 6);
    out.Put(' ');
    out.Put(convert_text::kLatitude);
    out.Put(':');
    out.PutFixed(p.latitude, 6);
    out.Put(' ');
    out.Put(convert_text::kAltitude);
    out.Put(':');
    out.PutInt(WholeMetres(p.height));
    out.Put(' ');
    out.Put(convert_text::kSpeed);
    out.Put(':');
    out.PutInt(p.speedInUnit);
    out.Put(s.SpeedUnitLabel);
    out.Put("<br/>");
    out.Put(convert_text::kTime);
    out.Put(':');
    out.PutTime(p.localTime, "%Y-%m-%d %H:%M:%S");
    out.Put(ZoneLabelOf(p));
}

void PutMarkerHead(TextSink& out, const Marker& m) {
    out.Put("\t\t<Placemark>\n");
    if (!m.name.empty()) {
        out.Put("\t\t\t<name>");
        out.Put(m.name);
        if (m.number > 0) {
            out.Put(' ');
            out.PutInt(m.number);
        }
        out.Put("</name>\n");
    }
}

void PutMarkerTail(TextSink& out, const TrackPoint& p, const Marker& m) {
    out.Put("\t\t\t<TimeStamp><when>");
    out.PutTime(p.time, "%Y-%m-%dT%H:%M:%SZ");
    // A style is named as a fragment of this document: without the '#' no reader finds it.
    out.Put("</when></TimeStamp>\n\t\t\t<styleUrl>#");
    out.Put(m.style);
    out.Put("</styleUrl>\n\t\t\t<Point><coordinates>");
    out.PutFixed(p.longitude, 6);
    out.Put(',');
    out.PutFixed(p.latitude, 6);
    out.Put(',');
    out.PutInt(WholeMetres(p.height));
    out.Put("</coordinates></Point>\n\t\t</Placemark>\n");
}

}  // namespace

std::int64_t WholeMetres(double height) {
    // Heights come from ECEF metres, so they stay within a few 1e9; guard the conversion anyway.
    if (!(std::fabs(height) < 9e18)) {
        return 0;
    }
    return static_cast<std::int64_t>(height);
}

void PutHead(TextSink& out) {
    out.Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"");
    out.Put(kNamespace);
    out.Put("\">\n\t<Document>\n");
}

void PutIconStyle(TextSink& out, std::string_view id) {
    for (const IconStyle& style : kIconStyles) {
        if (style.id != id) {
            continue;
        }
        out.Put("\t\t<Style id=\"");
        out.Put(style.id);
        out.Put("\"><IconStyle>");
        if (!style.color.empty()) {
            out.Put("<color>");
            out.Put(style.color);
            out.Put("</color>");
        }
        out.Put("<scale>");
        out.Put(style.scale);
        out.Put("</scale><Icon><href>");
        out.Put(kIconHost);
        out.Put(style.icon);
        out.Put("</href></Icon></IconStyle></Style>\n");
    }
}

void PutTail(TextSink& out) {
    out.Put("\t</Document>\n</kml>\n");
}

std::string TimeItem(std::string_view label, const TrackPoint& p) {
    return std::string(label) + FormatTime(p.localTime, ": %Y-%m-%d %H:%M:%S") + " " +
           ZoneLabelOf(p);
}

std::string SpanItem(TimeSpan span) {
    return FormatSpan(span, convert_text::kTotalTime);
}

std::string MileageItem(double metres, int speedUnit) {
    // "Total mileage: %.3f Mile" / "Total mileage: %.3f KM", formatted without the locale.
    char number[400];
    const bool miles = speedUnit == UnitMph;
    const std::size_t n =
        FormatFixed(number, sizeof number, miles ? metres / 1609 : metres / 1000, 3);
    return "Total mileage: " + std::string(number, n) + (miles ? " Mile" : " KM");
}

std::string StopTimeItem(TimeSpan span) {
    char buf[128];
    std::snprintf(buf, sizeof buf, convert_text::kStopTime, static_cast<long long>(span / 86400),
                  static_cast<int>(span % 86400 / 3600), static_cast<int>(span % 3600 / 60),
                  static_cast<int>(span % 60));
    return buf;
}

void PutMarker(TextSink& out, const TrackPoint& p, const Marker& m, const ConversionSettings& s) {
    PutMarkerHead(out, m);
    PutDescriptionHead(out, p, s);
    out.Put("]]></description>\n");
    PutMarkerTail(out, p, m);
}

void PutSummaryMarker(TextSink& out, const TrackPoint& p, const Marker& m,
                      const ConversionSettings& s, const std::string* items, int itemCount) {
    PutMarkerHead(out, m);
    PutDescriptionHead(out, p, s);
    out.Put("<br/>--------------------------------------------------");
    for (int i = 0; i < itemCount; ++i) {
        out.Put("<br/>");
        out.Put(items[i]);
    }
    out.Put("]]></description>\n");
    PutMarkerTail(out, p, m);
}

void PutStopMarker(TextSink& out, const TrackPoint& first, const TrackPoint& stop,
                   const TrackPoint* next, int segment, double segmentMetres,
                   const ConversionSettings& s) {
    const std::string items[5] = {
        TimeItem(convert_text::kStart, first),
        TimeItem(convert_text::kStop, stop),
        SpanItem(stop.time - first.time),
        MileageItem(segmentMetres, s.SpeedUnit),
        next != nullptr ? StopTimeItem(next->time - stop.time) : std::string(),
    };
    PutSummaryMarker(out, stop, {convert_text::kStop, segment, "RedCabs"}, s, items, 5);
}

void PutEndMarker(TextSink& out, const TrackPoint& first, const TrackPoint& last,
                  double totalMetres, const ConversionSettings& s) {
    const std::string items[4] = {
        TimeItem(convert_text::kBegin, first),
        TimeItem(convert_text::kEnd, last),
        SpanItem(last.time - first.time),
        MileageItem(totalMetres, s.SpeedUnit),
    };
    PutSummaryMarker(out, last, {convert_text::kEnd, 0, "YellowCabs"}, s, items, 4);
}

}  // namespace pelmora::kml
