#include "convert/kml_path_writer.h"

#include "convert/kml_markup.h"
#include "core/convert_texts.h"

namespace pelmora {

bool WriteKmlPath(const std::vector<TrackPoint>& points, const ConversionSettings& s, TextSink& out,
                  ConvertProgress* progress) {
    if (points.empty()) {
        return true;
    }
    kml::PutHead(out);
    out.Put(
        "\t<Style id=\"linestyle\">\n\t\t<LineStyle>\n\t\t<color>ffffffff</color>\n"
        "\t\t<colorMode>random</colorMode>\n\t\t<width>4</width>\n\t\t</LineStyle>\n"
        "\t\t</Style>\n");
    for (const char* id : {"YellowCabs", "GreenCabs", "RedCabs", "Cross", "Circle"}) {
        kml::PutIconStyle(out, id);
    }
    kml::PutMarker(out, points.front(), {convert_text::kBegin, 0, "YellowCabs"}, s);

    const std::size_t n = points.size();
    const TimeSpan stopSpan = static_cast<TimeSpan>(s.StopPeriod) * 60;
    int segment = 0;
    double total = 0;
    for (std::size_t first = 0; first < n;) {
        // The schema puts the TimeSpan before the geometry, so find the segment's end first.
        std::size_t last = first;
        while (last + 1 < n &&
               !(s.StopPeriod != 0 && points[last + 1].time - points[last].time > stopSpan)) {
            ++last;
        }
        ++segment;
        if (s.StopPeriod != 0) {
            kml::PutMarker(out, points[first], {convert_text::kStart, segment, "GreenCabs"}, s);
        }
        out.Put("\t\t<Placemark>\n\t\t\t<name>");
        out.Put(convert_text::kPath);
        out.Put(' ');
        out.PutInt(segment);
        out.Put("</name>\n\t\t\t<TimeSpan>\n\t\t\t\t<begin>");
        out.PutTime(points[first].time, "%Y-%m-%dT%H:%M:%SZ");
        out.Put("</begin>\n\t\t\t\t<end>");
        out.PutTime(points[last].time, "%Y-%m-%dT%H:%M:%SZ");
        out.Put("</end>\n\t\t\t</TimeSpan>\n\t\t\t<styleUrl>#linestyle</styleUrl>\n");
        // A line string needs two coordinates: a one-fix segment is a point.
        const bool single = first == last;
        out.Put(single ? "\t\t\t<Point><coordinates>"
                       : "\t\t\t<LineString>\n\t\t\t\t<coordinates>\n");
        double segmentMetres = 0;
        for (std::size_t i = first; i <= last; ++i) {
            const TrackPoint& p = points[i];
            total += p.distance;
            if (i > first) {
                segmentMetres += p.distance;
            }
            if (!single) {
                out.Put("\t\t\t\t\t");
            }
            out.PutFixed(p.longitude, 6);
            out.Put(',');
            out.PutFixed(p.latitude, 6);
            out.Put(',');
            out.PutInt(kml::WholeMetres(p.height));
            if (!single) {
                out.Put('\n');
            }
            if (progress != nullptr) {
                progress->SetWriter(i + 1, n);
                if ((i & 0xFFF) == 0 && progress->StopRequested()) {
                    return false;
                }
            }
        }
        out.Put(single ? "</coordinates></Point>\n\t\t</Placemark>\n"
                       : "\t\t\t\t</coordinates>\n\t\t\t</LineString>\n\t\t</Placemark>\n");
        const TrackPoint* next = last + 1 < n ? &points[last + 1] : nullptr;
        if (s.StopPeriod != 0) {
            // The stop marker's mileage includes the distance to the next segment's first point.
            kml::PutStopMarker(out, points[first], points[last], next, segment,
                               segmentMetres + (next != nullptr ? next->distance : 0), s);
        }
        first = last + 1;
    }
    kml::PutEndMarker(out, points.front(), points.back(), total, s);
    for (const TrackPoint& p : points) {
        if (p.maxSpeed) {
            kml::PutMarker(out, p, {convert_text::kMaxSpeed, 0, "Cross"}, s);
        } else if (p.overSpeed) {
            kml::PutMarker(out, p, {"", 0, "Circle"}, s);
        }
    }
    kml::PutTail(out);
    return true;
}

}  // namespace pelmora
