#include "trace/kml_path_writer.h"

#include "trace/convert_texts.h"
#include "trace/kml_markup.h"

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
    const TrackPoint* previous = nullptr;
    const TrackPoint* segmentFirst = nullptr;
    int segment = 0;
    double total = 0;
    double segmentMetres = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        const TrackPoint* current = i < n ? &points[i] : nullptr;
        if (current != nullptr) {
            total += current->distance;
            segmentMetres += current->distance;
        }
        if (previous != nullptr &&
            (current == nullptr ||
             (s.StopPeriod != 0 && current->time - previous->time > stopSpan))) {
            out.Put(
                "\t\t\t\t</coordinates>\n\t\t\t</LineString>\n\t\t\t<TimeSpan>\n\t\t\t\t<begin>");
            out.PutTime(segmentFirst->time, "%Y-%m-%dT%H:%M:%SZ");
            out.Put("</begin>\n\t\t\t\t<end>");
            out.PutTime(previous->time, "%Y-%m-%dT%H:%M:%SZ");
            out.Put(
                "</end>\n\t\t\t</TimeSpan>\n\t\t\t<styleUrl>#linestyle</styleUrl>\n"
                "\t\t</Placemark>\n");
            if (s.StopPeriod != 0) {
                kml::PutStopMarker(out, *segmentFirst, *previous, current, segment, segmentMetres,
                                   s);
            }
            segmentFirst = nullptr;
        }
        if (current == nullptr) {
            break;
        }
        if (segmentFirst == nullptr) {
            ++segment;
            segmentMetres = 0;
            segmentFirst = current;
            if (s.StopPeriod != 0) {
                kml::PutMarker(out, *current, {convert_text::kStart, segment, "GreenCabs"}, s);
            }
            out.Put("\t\t<Placemark>\n\t\t\t<name>");
            out.Put(convert_text::kPath);
            out.Put(' ');
            out.PutInt(segment);
            out.Put("</name>\n\t\t\t<LineString>\n\t\t\t\t<coordinates>\n");
        }
        out.Put("\t\t\t\t\t");
        out.PutFixed(current->longitude, 6);
        out.Put(',');
        out.PutFixed(current->latitude, 6);
        out.Put(',');
        out.PutInt(kml::WholeMetres(current->height));
        out.Put('\n');
        previous = current;
        if (progress != nullptr) {
            progress->SetWriter(i + 1, n);
            if ((i & 0xFFF) == 0 && progress->StopRequested()) {
                return false;
            }
        }
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
