#include "trace/gpx_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>

#include "convert_test_util.h"

namespace pelmora {
namespace {

using test::Point;

const TimeValue kT0 = MakeTimeValue(2011, 3, 9, 23, 30, 0);

std::string Gpx(const std::vector<TrackPoint>& points, const ConversionSettings& s,
                const std::string& name) {
    TextSink out;
    EXPECT_TRUE(WriteGpx(points, s, name, out, nullptr));
    out.Flush();
    return out.text();
}

TEST(GpxWriter, DocumentOfATraceWithOneStop) {
    std::vector<TrackPoint> points = {Point(kT0, 25.0, 121.5, 10.7, 36),
                                      Point(kT0 + 60, 25.0, 121.501, -12.7, 40),
                                      Point(kT0 + 760, 25.0001, 121.50105, 0.04, 0)};
    points[0].speed = 36;
    points[1].speed = 40;
    points[0].bearing = 90;
    points[1].bearing = 45;
    points[1].maxSpeed = true;
    const std::string a =
        " lat=\"25.0000000\" lon=\"121.5000000\"><ele>10.7</ele>"
        "<time>2011-03-09T23:30:00Z</time>";
    const std::string b =
        " lat=\"25.0000000\" lon=\"121.5010000\"><ele>-12.7</ele>"
        "<time>2011-03-09T23:31:00Z</time>";
    const std::string c =
        " lat=\"25.0001000\" lon=\"121.5010500\"><ele>0.0</ele>"
        "<time>2011-03-09T23:42:40Z</time>";
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"Pelmora\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
        "  <wpt" +
        a +
        "<name>Begin</name></wpt>\n"
        "  <wpt" +
        a +
        "<name>Start 1</name></wpt>\n"
        "  <wpt" +
        b +
        "<name>Stop 1</name></wpt>\n"
        "  <wpt" +
        c +
        "<name>Start 2</name></wpt>\n"
        "  <wpt" +
        c +
        "<name>Stop 2</name></wpt>\n"
        "  <wpt" +
        c +
        "<name>End</name></wpt>\n"
        "  <wpt" +
        b +
        "<name>Max Speed</name></wpt>\n"
        "  <trk>\n"
        "    <name>trip &amp; &lt;back&gt;</name>\n"
        "    <trkseg>\n"
        "      <trkpt" +
        a +
        "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>10.00"
        "</gpxtpx:speed><gpxtpx:course>90</gpxtpx:course></gpxtpx:TrackPointExtension>"
        "</extensions></trkpt>\n"
        "      <trkpt" +
        b +
        "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>11.11"
        "</gpxtpx:speed><gpxtpx:course>45</gpxtpx:course></gpxtpx:TrackPointExtension>"
        "</extensions></trkpt>\n"
        "    </trkseg>\n"
        "    <trkseg>\n"
        "      <trkpt" +
        c +
        "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>0.00"
        "</gpxtpx:speed><gpxtpx:course>0</gpxtpx:course></gpxtpx:TrackPointExtension>"
        "</extensions></trkpt>\n"
        "    </trkseg>\n"
        "  </trk>\n"
        "</gpx>\n";
    EXPECT_EQ(Gpx(points, test::Settings(), "trip & <back>"), expected);
}

TEST(GpxWriter, StopPeriodZeroIsOneSegmentWithoutStartOrStop) {
    const std::vector<TrackPoint> points = {Point(kT0, 25, 121), Point(kT0 + 5000, 25, 121.1)};
    const std::string doc = Gpx(points, test::Settings(0, UnitKmh, 0), "t");
    EXPECT_EQ(doc.find("<name>Start"), std::string::npos);
    EXPECT_EQ(doc.find("<name>Stop"), std::string::npos);
    EXPECT_EQ(doc.find("<trkseg>"), doc.rfind("<trkseg>"));
}

// Reads a GPX file back with an independent reader (gpsbabel, when installed) into
// latitude, longitude and "YYYY/MM/DD,HH:MM:SS" per track point.
struct ReadBack {
    double latitude;
    double longitude;
    std::string time;
};

std::vector<ReadBack> ReadWithIndependentReader(const std::string& path, bool& available) {
    available = std::ifstream("/usr/bin/gpsbabel").good();
    std::vector<ReadBack> out;
    if (!available) {
        return out;
    }
    const std::string command = "/usr/bin/gpsbabel -t -i gpx -f '" + path + "' -o unicsv -F -";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char line[512];
    bool header = true;
    while (pipe && std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (header) {
            header = false;
            EXPECT_EQ(text, "No,Latitude,Longitude,Altitude,Date,Time");
            continue;
        }
        std::stringstream row(text);
        std::string no, lat, lon, alt, date, time;
        std::getline(row, no, ',');
        std::getline(row, lat, ',');
        std::getline(row, lon, ',');
        std::getline(row, alt, ',');
        std::getline(row, date, ',');
        std::getline(row, time);
        out.push_back({std::stod(lat), std::stod(lon), date + "," + time});
    }
    return out;
}

TEST(GpxWriter, IndependentReaderGetsEveryPositionAndTimeBack) {
    std::vector<TrackPoint> points;
    for (int i = 0; i < 200; ++i) {
        // Irregular fractions, both hemispheres, and a stop every 50 points.
        points.push_back(Point(kT0 + i * 7 + (i / 50) * 3600, -33.8688197 + i * 0.000123457,
                               151.2092955 - i * 0.000987651, i * 0.37, i % 120));
    }
    points.push_back(Point(kT0 + 100000, 47.6062095, -122.3320708));
    test::TempDir dir;
    const std::string path = dir / "round.gpx";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        TextSink out(f, false);
        ASSERT_TRUE(WriteGpx(points, test::Settings(), "round", out, nullptr));
        ASSERT_TRUE(out.Flush());
        std::fclose(f);
    }
    bool available = false;
    const std::vector<ReadBack> back = ReadWithIndependentReader(path, available);
    if (!available) {
        GTEST_SKIP() << "no independent GPX reader installed";
    }
    ASSERT_EQ(back.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(back[i].latitude, points[i].latitude, 1e-6) << i;
        EXPECT_NEAR(back[i].longitude, points[i].longitude, 1e-6) << i;
        EXPECT_EQ(back[i].time, FormatTime(points[i].time, "%Y/%m/%d,%H:%M:%S")) << i;
    }
}

}  // namespace
}  // namespace pelmora
