#include "convert/kml_path_writer.h"

#include <gtest/gtest.h>

#include "convert_test_util.h"

namespace pelmora {
namespace {

using test::Point;

const TimeValue kT0 = MakeTimeValue(2011, 3, 9, 23, 30, 0);  // local 2011-03-10 07:30:00 at +8

std::string PathDocument(const std::vector<TrackPoint>& points, const ConversionSettings& s) {
    TextSink out(nullptr, true);
    EXPECT_TRUE(WriteKmlPath(points, s, out, nullptr));
    out.Flush();
    return out.text();
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(KmlPathWriter, GapOfExactlyTheStopPeriodDoesNotSplit) {
    const std::vector<TrackPoint> points = {Point(kT0, 25, 121), Point(kT0 + 600, 25, 121.01)};
    const std::string doc = PathDocument(points, test::Settings());
    EXPECT_EQ(Count(doc, "<name>Path "), 1u);
    EXPECT_EQ(Count(doc, "<name>Stop "), 1u);  // only the stop at the last point
}

TEST(KmlPathWriter, GapOf601SecondsSplitsWithStopAndStartBetween) {
    std::vector<TrackPoint> points = {Point(kT0, 25, 121), Point(kT0 + 60, 25, 121.001),
                                      Point(kT0 + 661, 25, 121.002), Point(kT0 + 721, 25, 121.003)};
    points[1].distance = 100;
    points[2].distance = 1000;  // across the stop
    points[3].distance = 100;
    const std::string doc = PathDocument(points, test::Settings());
    const std::size_t path1 = doc.find("<name>Path 1</name>");
    const std::size_t stop1 = doc.find("<name>Stop 1</name>");
    const std::size_t start2 = doc.find("<name>Start 2</name>");
    const std::size_t path2 = doc.find("<name>Path 2</name>");
    ASSERT_NE(path2, std::string::npos);
    EXPECT_LT(path1, stop1);
    EXPECT_LT(stop1, start2);
    EXPECT_LT(start2, path2);
    // The stop marker: its segment's mileage includes the 1 km across the stop, and the stop
    // lasted 10 min 1 s.
    const std::string stopMarker = doc.substr(stop1, start2 - stop1);
    EXPECT_NE(stopMarker.find("<br/>Total time: 0 day 00 hour 01 min 00 sec"
                              "<br/>Total mileage: 1.100 KM"
                              "<br/>Stop time: 0 day 0 hour 10 min 1 sec]]></description>"),
              std::string::npos)
        << stopMarker;
    // The second segment starts from its first point; its stop has an empty stop-time item.
    // The End total crosses the stop.
    EXPECT_NE(doc.find("<br/>Total mileage: 0.100 KM<br/>]]></description>"), std::string::npos);
    EXPECT_NE(doc.find("<br/>Total time: 0 day 00 hour 12 min 01 sec<br/>Total mileage: 1.200 KM"
                       "]]></description>"),
              std::string::npos);
    // The first segment's line string ends at the stop point.
    EXPECT_NE(doc.find("121.001000,25.000000,0\r\n\t\t\t\t</coordinates>"), std::string::npos);
    EXPECT_NE(doc.find("<end>2011-03-09T23:31:00Z</end>"), std::string::npos);
}

TEST(KmlPathWriter, StopPeriodZeroIsOnePathWithoutStartOrStop) {
    const std::vector<TrackPoint> points = {Point(kT0, 25, 121), Point(kT0 + 5000, 25, 121.1),
                                            Point(kT0 + 90000, 25, 121.2)};
    const std::string doc = PathDocument(points, test::Settings(480, UnitKmh, 0));
    EXPECT_EQ(Count(doc, "<name>Path "), 1u);
    EXPECT_EQ(Count(doc, "<name>Start"), 0u);
    EXPECT_EQ(Count(doc, "<name>Stop"), 0u);
    EXPECT_EQ(Count(doc, "<name>Begin</name>"), 1u);
    EXPECT_NE(doc.find("Total time: 1 day 01 hour 00 min 00 sec"), std::string::npos);
}

TEST(KmlPathWriter, SinglePoint) {
    const std::string doc = PathDocument({Point(kT0, 25, 121)}, test::Settings());
    EXPECT_EQ(Count(doc, "<name>Path 1</name>"), 1u);
    // A line string needs two coordinates: the one-fix segment is a point.
    EXPECT_EQ(Count(doc, "<LineString>"), 0u);
    EXPECT_EQ(Count(doc, "#linestyle</styleUrl>\r\n\t\t\t<Point><coordinates>121.000000,"), 1u);
    EXPECT_EQ(Count(doc, "<name>Stop 1</name>"), 1u);
    EXPECT_EQ(Count(doc, "<name>End</name>"), 1u);
    EXPECT_NE(doc.find("Total mileage: 0.000 KM<br/>]]></description>"), std::string::npos);
}

TEST(KmlPathWriter, MaxSpeedPointIsNeverAlsoAnOverSpeedMarker) {
    std::vector<TrackPoint> points = {
        Point(kT0, 25, 121, 0, 10), Point(kT0 + 2, 25, 121.001, 0, 90),
        Point(kT0 + 4, 25, 121.002, 0, 120), Point(kT0 + 6, 25, 121.003, 0, 5)};
    points[1].overSpeed = true;
    points[2].overSpeed = true;
    points[2].maxSpeed = true;
    const std::string doc = PathDocument(points, test::Settings());
    EXPECT_EQ(Count(doc, "<styleUrl>#Cross</styleUrl>"), 1u);
    EXPECT_EQ(Count(doc, "<styleUrl>#Circle</styleUrl>"), 1u);
    const std::size_t max = doc.find("<name>Max Speed</name>");
    ASSERT_NE(max, std::string::npos);
    EXPECT_NE(doc.find("Speed:120KM/h", max), std::string::npos);
    // The over-speed marker has no name line: the placemark opens straight into its description.
    EXPECT_NE(doc.find("\t\t<Placemark>\r\n\t\t\t<description><![CDATA[Longitude:121.001000 "),
              std::string::npos);
}

TEST(KmlPathWriter, MilesWithMph) {
    std::vector<TrackPoint> points = {Point(kT0, 25, 121, 0, 0, -1800),
                                      Point(kT0 + 2, 25, 121.1, 0, 0, -1800)};
    points[1].distance = 1609 * 2.5;
    const std::string doc = PathDocument(points, test::Settings(-30, UnitMph, 10));
    EXPECT_NE(doc.find("Total mileage: 2.500 Mile"), std::string::npos);
    EXPECT_NE(doc.find("Speed:0MPH<br/>Time:2011-03-09 23:00:00(GMT-0:30)"), std::string::npos);
}

}  // namespace
}  // namespace pelmora
