#include "convert/csv_writer.h"

#include <gtest/gtest.h>

#include "convert/trace_reader.h"
#include "convert_test_util.h"

namespace pelmora {
namespace {

std::string Csv(const std::vector<TrackPoint>& points, const ConversionSettings& s) {
    TextSink out;
    EXPECT_TRUE(WriteCsv(points, s, out, nullptr));
    out.Flush();
    return out.text();
}

TEST(CsvWriter, HeaderNamesTheSpeedUnit) {
    EXPECT_EQ(Csv({}, test::Settings()),
              "Year, Month, Day, Hour, Minute, Second, Latitude, Longitude, Altitude, "
              "Speed(KM/h), Bearing\n");
    EXPECT_NE(Csv({}, test::Settings(0, UnitMph)).find("Speed(MPH), Bearing\n"), std::string::npos);
    EXPECT_NE(Csv({}, test::Settings(0, UnitMps)).find("Speed(m/s), Bearing\n"), std::string::npos);
}

TEST(CsvWriter, RowInLocalTimeWithLatitudeFirst) {
    TrackPoint p = test::Point(MakeTimeValue(2011, 3, 9, 23, 30, 0), -33.5, 151.25, 12.3456);
    p.speedInUnit = SpeedInUnit(100, UnitMph);
    p.bearing = 90;
    const std::string text = Csv({p}, test::Settings(480, UnitMph));
    EXPECT_EQ(text.substr(text.find('\n') + 1),
              "2011, 03, 10, 07, 30, 00, -33.500000, 151.250000, 12.346, 62, 90\n");
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace pelmora
