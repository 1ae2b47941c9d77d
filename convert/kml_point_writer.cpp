#include "convert/kml_point_writer.h"

#include "convert/kml_markup.h"
#include "core/convert_texts.h"

namespace pelmora {

bool WriteKmlPoints(const std::vector<TrackPoint>& points, const ConversionSettings& s,
                    TextSink& out, ConvertProgress* progress) {
    if (points.empty()) {
        return true;
    }
    kml::PutHead(out);
    out.Put(
        "\t\t<Style id=\"Point\"><IconStyle><color>7f7f007f</color><scale>.3</scale>"
        "</IconStyle></Style>\n"
        "\t\t<Style id=\"RedPoint\"><IconStyle><color>7f0000ff</color><scale>.3</scale>"
        "</IconStyle></Style>\n");
    for (const char* id : {"YellowCabs", "GreenCabs", "RedCabs", "Cross"}) {
        kml::PutIconStyle(out, id);
    }
    kml::PutMarker(out, points.front(), {convert_text::kBegin, 0, "YellowCabs"}, s);

    const std::size_t n = points.size();
    const TimeSpan stopSpan = static_cast<TimeSpan>(s.StopPeriod) * 60;
    const TrackPoint* segmentFirst = nullptr;
    int segment = 0;
    double total = 0;
    double segmentMetres = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const TrackPoint& p = points[k];
        const TrackPoint* c = k + 1 < n ? &points[k + 1] : nullptr;
        if (c != nullptr) {
            total += c->distance;
            segmentMetres += c->distance;
        }
        if (s.StopPeriod != 0 && segmentFirst == nullptr) {
            ++segment;
            segmentFirst = &p;
            kml::PutMarker(out, p, {convert_text::kStart, segment, "GreenCabs"}, s);
        } else if (s.StopPeriod != 0 && (c == nullptr || c->time - p.time > stopSpan)) {
            // The distance across the stop belongs to no segment.
            if (c != nullptr) {
                segmentMetres -= c->distance;
            }
            kml::PutStopMarker(out, *segmentFirst, p, c, segment, segmentMetres, s);
            segmentFirst = nullptr;
            segmentMetres = 0;
        } else if (p.maxSpeed) {
            kml::PutMarker(out, p, {convert_text::kMaxSpeed, 0, "Cross"}, s);
        } else if (p.overSpeed) {
            kml::PutMarker(out, p, {"", 0, "RedPoint"}, s);
        } else {
            kml::PutMarker(out, p, {"", 0, "Point"}, s);
        }
        if (progress != nullptr) {
            progress->SetWriter(k + 1, n);
            if ((k & 0xFFF) == 0 && progress->StopRequested()) {
                return false;
            }
        }
    }
    kml::PutEndMarker(out, points.front(), points.back(), total, s);
    kml::PutTail(out);
    return true;
}

}  // namespace pelmora
