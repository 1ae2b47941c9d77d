#include "convert/csv_writer.h"

#include "core/convert_texts.h"

namespace pelmora {

bool WriteCsv(const std::vector<TrackPoint>& points, const ConversionSettings& s, TextSink& out,
              ConvertProgress* progress) {
    using namespace convert_text;
    for (const char* label :
         {kYear, kMonth, kDay, kHour, kMinute, kSecond, kLatitude, kLongitude, kAltitude}) {
        out.Put(label);
        out.Put(", ");
    }
    out.Put(kSpeed);
    out.Put('(');
    out.Put(s.SpeedUnitLabel);
    out.Put("), ");
    out.Put(kBearing);
    out.Put('\n');
    const std::size_t n = points.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TrackPoint& p = points[i];
        out.PutTime(p.localTime, "%Y, %m, %d, %H, %M, %S, ");
        out.PutFixed(p.latitude, 6);
        out.Put(", ");
        out.PutFixed(p.longitude, 6);
        out.Put(", ");
        out.PutFixed(p.height, 3);
        out.Put(", ");
        out.PutInt(p.speedInUnit);
        out.Put(", ");
        out.PutInt(p.bearing);
        out.Put('\n');
        if (progress != nullptr) {
            progress->SetWriter(i + 1, n);
            if ((i & 0xFFF) == 0 && progress->StopRequested()) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace pelmora
