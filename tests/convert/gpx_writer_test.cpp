#include "convert/gpx_writer.h"

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
