#include "convert/gpx_writer.h"

#include "core/clean_text.h"
#include "core/convert_texts.h"

namespace pelmora {
namespace {

void PutPosition(TextSink& out, const TrackPoint& p) {
    // Seven decimals keep every position to well within 1e-6 degrees of the trace's own.
    out.Put(" lat=\"");
    out.PutFixed(p.latitude, 7);
    out.Put("\" lon=\"");
    out.PutFixed(p.longitude, 7);
    out.Put("\">");
}

void PutEleTime(TextSink& out, const TrackPoint& p, HeightReference heights) {
    out.Put("<ele>");
    out.PutFixed(p.height, 1);
    out.Put("</ele><time>");
    out.PutTime(p.time, "%Y-%m-%dT%H:%M:%SZ");
    out.Put("</time>");
    // <ele> is read as the height above the sea; the geoid's separation follows it then.
    if (heights == HeightReference::Sea) {
        out.Put("<geoidheight>");
        out.PutFixed(p.geoid, 1);
        out.Put("</geoidheight>");
    }
}

void PutWaypoint(TextSink& out, const TrackPoint& p, HeightReference heights, std::string_view name,
                 int number) {
    out.Put("  <wpt");
    PutPosition(out, p);
    PutEleTime(out, p, heights);
    out.Put("<name>");
    out.Put(name);
    if (number > 0) {
        out.Put(' ');
        out.PutInt(number);
    }
    out.Put("</name></wpt>\n");
}

}  // namespace

void PutXmlEscaped(TextSink& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out.Put("&amp;");
                break;
            case '<':
                out.Put("&lt;");
                break;
            case '>':
                out.Put("&gt;");
                break;
            case '"':
                out.Put("&quot;");
                break;
            case '\'':
                out.Put("&apos;");
                break;
            default:
                out.Put(c);
        }
    }
}

bool WriteGpx(const std::vector<TrackPoint>& points, const ConversionSettings& s,
              std::string_view trackName, TextSink& out, ConvertProgress* progress) {
    out.Put(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"Pelmora\" "
        "xmlns=\"");
    out.Put(kGpxNamespace);
    out.Put("\" xmlns:gpxtpx=\"");
    out.Put(kGpxTrackPointNamespace);
    out.Put("\">\n");
    if (points.empty()) {
        out.Put("</gpx>\n");
        return true;
    }
    const std::size_t n = points.size();
    const TimeSpan stopSpan = static_cast<TimeSpan>(s.StopPeriod) * 60;
    auto splitsBefore = [&](std::size_t i) {
        return s.StopPeriod != 0 && points[i].time - points[i - 1].time > stopSpan;
    };

    // Waypoints come first in the schema: Begin, each segment's Start and Stop, End, Max Speed.
    PutWaypoint(out, points.front(), s.Heights, convert_text::kBegin, 0);
    if (s.StopPeriod != 0) {
        int segment = 1;
        PutWaypoint(out, points.front(), s.Heights, convert_text::kStart, segment);
        for (std::size_t i = 1; i < n; ++i) {
            if (splitsBefore(i)) {
                PutWaypoint(out, points[i - 1], s.Heights, convert_text::kStop, segment);
                PutWaypoint(out, points[i], s.Heights, convert_text::kStart, ++segment);
            }
        }
        PutWaypoint(out, points.back(), s.Heights, convert_text::kStop, segment);
    }
    PutWaypoint(out, points.back(), s.Heights, convert_text::kEnd, 0);
    for (const TrackPoint& p : points) {
        if (p.maxSpeed) {
            PutWaypoint(out, p, s.Heights, convert_text::kMaxSpeed, 0);
        }
    }

    out.Put("  <trk>\n    <name>");
    PutXmlEscaped(out, CleanName(trackName));
    out.Put("</name>\n    <trkseg>\n");
    for (std::size_t i = 0; i < n; ++i) {
        const TrackPoint& p = points[i];
        if (i > 0 && splitsBefore(i)) {
            out.Put("    </trkseg>\n    <trkseg>\n");
        }
        out.Put("      <trkpt");
        PutPosition(out, p);
        PutEleTime(out, p, s.Heights);
        out.Put("<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>");
        out.PutFixed(p.speed / 3.6, 2);
        out.Put("</gpxtpx:speed><gpxtpx:course>");
        out.PutInt(p.bearing);
        out.Put("</gpxtpx:course></gpxtpx:TrackPointExtension></extensions></trkpt>\n");
        if (progress != nullptr) {
            progress->SetWriter(i + 1, n);
            if ((i & 0xFFF) == 0 && progress->StopRequested()) {
                return false;
            }
        }
    }
    out.Put("    </trkseg>\n  </trk>\n</gpx>\n");
    return true;
}

}  // namespace pelmora
