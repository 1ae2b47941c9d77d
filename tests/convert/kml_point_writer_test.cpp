#include "convert/kml_point_writer.h"

#include <gtest/gtest.h>

#include "convert_test_util.h"

namespace pelmora {
namespace {

using test::Point;

const TimeValue kT0 = MakeTimeValue(2011, 3, 9, 23, 30, 0);

std::string PointDocument(const std::vector<TrackPoint>& points, const ConversionSettings& s) {
    TextSink out(nullptr, true);
    EXPECT_TRUE(WriteKmlPoints(points, s, out, nullptr));
    out.Flush();
    return out.text();
}

// The style of each placemark in document order, with its name when it has one.
std::vector<std::string> Placemarks(const std::string& doc) {
    std::vector<std::string> out;
    for (std::size_t at = doc.find("\t\t<Placemark>"); at != std::string::npos;
         at = doc.find("\t\t<Placemark>", at + 1)) {
        const std::size_t end = doc.find("</Placemark>", at);
        const std::string block = doc.substr(at, end - at);
        std::string item;
        const std::size_t name = block.find("<name>");
        if (name != std::string::npos) {
            item = block.substr(name + 6, block.find("</name>") - name - 6) + "/";
        }
        const std::size_t style = block.find("<styleUrl>");
        item += block.substr(style + 11, block.find("</styleUrl>") - style - 11);  // after '#'
        out.push_back(item);
    }
    return out;
}

TEST(KmlPointWriter, HeadHasPointStylesAndNoLineOrCircleStyle) {
    const std::string doc = PointDocument({Point(kT0, 25, 121)}, test::Settings());
    EXPECT_NE(doc.substr(0, 3), "\xEF\xBB\xBF");  // the file puts the mark first, not the writer
    EXPECT_NE(doc.find("<Style id=\"Point\">"), std::string::npos);
    EXPECT_NE(doc.find("<Style id=\"RedPoint\">"), std::string::npos);
    EXPECT_EQ(doc.find("linestyle"), std::string::npos);
    EXPECT_EQ(doc.find("Circle"), std::string::npos);
    EXPECT_NE(doc.find("<Style id=\"Cross\">"), std::string::npos);
}

TEST(KmlPointWriter, StopPeriodZeroWritesEveryPointAsOrdinary) {
    const std::vector<TrackPoint> points = {Point(kT0, 25, 121), Point(kT0 + 60, 25, 121.001),
                                            Point(kT0 + 5000, 25, 121.002)};
    EXPECT_EQ(Placemarks(PointDocument(points, test::Settings(480, UnitKmh, 0))),
              (std::vector<std::string>{"Begin/YellowCabs", "Point", "Point", "Point",
                                        "End/YellowCabs"}));
}

TEST(KmlPointWriter, SegmentEndsAreStartAndStopMarkersOnly) {
    const std::vector<TrackPoint> points = {Point(kT0, 25, 121), Point(kT0 + 60, 25, 121.001),
                                            Point(kT0 + 120, 25, 121.002)};
    const std::string doc = PointDocument(points, test::Settings());
    EXPECT_EQ(Placemarks(doc),
              (std::vector<std::string>{"Begin/YellowCabs", "Start 1/GreenCabs", "Point",
                                        "Stop 1/RedCabs", "End/YellowCabs"}));
    EXPECT_NE(doc.find("Total mileage: 0.000 KM<br/>]]></description>"), std::string::npos);
}

TEST(KmlPointWriter, PointAfterAStopIsAlwaysAStart) {
    std::vector<TrackPoint> points = {
        Point(kT0, 25, 121), Point(kT0 + 60, 25, 121.001), Point(kT0 + 1000, 25, 121.002),
        Point(kT0 + 2000, 25, 121.003), Point(kT0 + 2060, 25, 121.004)};
    points[1].distance = 100;
    points[2].distance = 1000;
    points[3].distance = 100;
    points[4].distance = 100;
    const std::string doc = PointDocument(points, test::Settings());
    EXPECT_EQ(Placemarks(doc),
              (std::vector<std::string>{"Begin/YellowCabs", "Start 1/GreenCabs", "Stop 1/RedCabs",
                                        "Start 2/GreenCabs", "Point", "Stop 2/RedCabs",
                                        "End/YellowCabs"}));
    // Point 2 opens segment 2 although the gap after it is also longer than the stop period.
    // The segment mileage leaves out the distance across the stop; the total keeps it.
    EXPECT_NE(doc.find("Total mileage: 0.100 KM<br/>Stop time: 0 day 0 hour 15 min 40 sec"),
              std::string::npos);
    EXPECT_NE(doc.find("Total mileage: 1.300 KM]]></description>"), std::string::npos);
}

TEST(KmlPointWriter, OverSpeedMaximumIsWrittenOnceAsMaxSpeed) {
    std::vector<TrackPoint> points = {
        Point(kT0, 25, 121, 0, 10), Point(kT0 + 2, 25, 121.001, 0, 90),
        Point(kT0 + 4, 25, 121.002, 0, 120), Point(kT0 + 6, 25, 121.003, 0, 5)};
    points[1].overSpeed = true;
    points[2].overSpeed = true;
    points[2].maxSpeed = true;
    EXPECT_EQ(Placemarks(PointDocument(points, test::Settings(480, UnitKmh, 0))),
              (std::vector<std::string>{"Begin/YellowCabs", "Point", "RedPoint", "Max Speed/Cross",
                                        "Point", "End/YellowCabs"}));
}

}  // namespace
}  // namespace pelmora
