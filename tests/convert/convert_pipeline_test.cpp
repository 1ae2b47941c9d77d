#include "convert/convert_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <new>
#include <regex>

#include "convert_test_util.h"
#include "decode/geodesy.h"

namespace pelmora {
namespace {

using test::Fix;

const TimeValue kT0 = MakeTimeValue(2011, 3, 9, 23, 30, 0);
constexpr int kAll = ConvKmlPath | ConvKmlPoint | ConvNmea | ConvCsv | ConvNmeaWithId | ConvGpx;

std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ConvertPipeline : public ::testing::Test {
  protected:
    ConvertRequest Request(int conversion) {
        ConvertRequest r = test::WholeTraceRequest(trace_.path(), out_ / "track.kml", conversion);
        r.idText = "ID1";
        return r;
    }
    void WriteTrace(const std::vector<TraceFixBytes>& fixes) {
        test::WriteFile(trace_ / "TraceLog.ltp", test::Bytes(fixes));
    }
    // A short drive north with a stop of 20 minutes in the middle.
    void WriteDrive() {
        std::vector<TraceFixBytes> fixes;
        for (int i = 0; i < 10; ++i) {
            const TimeValue t = kT0 + 2 * i + (i >= 5 ? 1200 : 0);
            fixes.push_back(Fix(t, 25 + i * 0.0002, 121.5, 30, 40 + i));
        }
        WriteTrace(fixes);
    }
    test::TempDir trace_;
    test::TempDir out_;
    test::RecordingObserver observer_;
};

TEST_F(ConvertPipeline, WritesEveryChosenOutputAtomically) {
    WriteDrive();
    const ConvertResult r = ConvertTraceLog(Request(kAll), observer_);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(observer_.messages.empty());
    EXPECT_EQ(observer_.status, "Converting done");
    // No temporary files are left beside the outputs.
    EXPECT_EQ(Files(out_.path()),
              (std::vector<std::string>{"track.csv", "track.gpx", "track.kml", "track.txt",
                                        "track_id.txt", "track_point.kml"}));
    // Writer order: NMEA, NMEA with ID, CSV, KML path, KML point, GPX.
    EXPECT_EQ(r.written, (std::vector<std::string>{out_ / "track.txt", out_ / "track_id.txt",
                                                   out_ / "track.csv", out_ / "track.kml",
                                                   out_ / "track_point.kml", out_ / "track.gpx"}));
    for (const char* kml : {"track.kml", "track_point.kml"}) {
        const std::string text = test::ReadFile(out_ / kml);
        EXPECT_EQ(text.substr(0, 9), "\xEF\xBB\xBF<?xml ") << kml;
        const auto lf = std::count(text.begin(), text.end(), '\n');
        EXPECT_EQ(lf, std::count(text.begin(), text.end(), '\r')) << kml;
        EXPECT_NE(text.find("<name>Start 2</name>"), std::string::npos) << kml;
    }
    EXPECT_NE(test::ReadFile(out_ / "track.kml").find("<name>Path 2</name>"), std::string::npos);
    const std::string nmea = test::ReadFile(out_ / "track.txt");
    EXPECT_EQ(nmea.substr(0, 7), "$GPGGA,");
    EXPECT_EQ(std::count(nmea.begin(), nmea.end(), '\n'), 20);
    EXPECT_EQ(std::count(nmea.begin(), nmea.end(), '\r'), 20);
    EXPECT_EQ(test::ReadFile(out_ / "track_id.txt").substr(0, 10), "ID1$GPRMC,");
    const std::string csv = test::ReadFile(out_ / "track.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 11);
    EXPECT_EQ(csv.find('\r'), std::string::npos);
    EXPECT_NE(csv.find("\n2011, 03, 10, 07, 30, 00, 2"), std::string::npos) << csv;
    const std::string gpx = test::ReadFile(out_ / "track.gpx");
    EXPECT_EQ(gpx.substr(0, 5), "<?xml");
    EXPECT_EQ(gpx.find('\r'), std::string::npos);
    EXPECT_NE(gpx.find("<name>track</name>"), std::string::npos);
    // The maximum-speed marker (the analysis ran before the KML writers).
    EXPECT_NE(test::ReadFile(out_ / "track.kml").find("<name>Max Speed</name>"), std::string::npos);
    // Progress ends at 100 and never goes back.
    ASSERT_FALSE(observer_.progress.empty());
    EXPECT_EQ(observer_.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(observer_.progress.begin(), observer_.progress.end()));
}

TEST_F(ConvertPipeline, StopDistanceThinsKmlButNotNmeaOrCsv) {
    // The middle point is 25 m (83 feet) from the first: under 100 feet.
    WriteTrace({Fix(kT0, 25, 121.5, 0, 50), Fix(kT0 + 2, 25.000225, 121.5, 0, 50),
                Fix(kT0 + 4, 25.002, 121.5, 0, 50)});
    ConvertRequest r = Request(kAll);
    r.settings = test::Settings(480, UnitMph);
    r.settings.Conversion = kAll;
    r.settings.ConversionCount = 6;
    r.settings.StopDistance = 100;
    r.recordTimePeriod = 1;
    ASSERT_TRUE(ConvertTraceLog(r, observer_).ok());
    const std::string csv = test::ReadFile(out_ / "track.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
    EXPECT_NE(csv.find(", 07, 30, 02, "), std::string::npos);
    const std::string nmea = test::ReadFile(out_ / "track.txt");
    EXPECT_NE(nmea.find("$GPRMC,233002.00"), std::string::npos);
    const std::string kml = test::ReadFile(out_ / "track_point.kml");
    EXPECT_EQ(kml.find("2011-03-09T23:30:02Z"), std::string::npos);
    EXPECT_NE(kml.find("2011-03-09T23:30:04Z"), std::string::npos);
    EXPECT_EQ(test::ReadFile(out_ / "track.gpx").find("23:30:02Z"), std::string::npos);
}

TEST_F(ConvertPipeline, SpikeIsRemovedFromEveryOutput) {
    WriteTrace({Fix(kT0, 25, 121.5, 0, 50), Fix(kT0 + 2, 25.01, 121.5, 0, 50),
                Fix(kT0 + 4, 25.0001, 121.5, 0, 50)});
    ConvertRequest r = Request(ConvCsv | ConvNmea);
    r.recordTimePeriod = 1;
    ASSERT_TRUE(ConvertTraceLog(r, observer_).ok());
    const std::string csv = test::ReadFile(out_ / "track.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
    EXPECT_EQ(csv.find(", 07, 30, 02, "), std::string::npos);
}

struct BadTraceRow {
    const char* legend;
    const char* ltp;  // nullptr: no trace file at all
    std::size_t ltpSize;
    ConvertStatus status;
    const char* message;
};

TEST_F(ConvertPipeline, BadTraceWritesNothing) {
    const std::string one = test::Bytes({Fix(kT0, 25, 121, 0, 0)});
    const std::string bad = test::Bytes({EncodeTraceFix(2011, 0, 1, 0, 0, 0, 1, 1, 1, 0)});
    const std::string old = test::Bytes({Fix(kT0 - 86400, 25, 121, 0, 0)});
    const BadTraceRow rows[] = {
        {"no trace", nullptr, 0, ConvertStatus::OpenFailed, "Open trace log file failed!"},
        {"length not a whole number of records", one.data(), 21, ConvertStatus::Invalid,
         "Trace log file is invalid!"},
        {"empty trace", one.data(), 0, ConvertStatus::NoData, "No log data!"},
        {"only damaged records", bad.data(), 22, ConvertStatus::NoData, "No log data!"},
        {"nothing in the period", old.data(), 22, ConvertStatus::NoData, "No log data!"},
    };
    for (const BadTraceRow& row : rows) {
        std::filesystem::remove(trace_ / "TraceLog.ltp");
        if (row.ltp != nullptr) {
            test::WriteFile(trace_ / "TraceLog.ltp", std::string(row.ltp, row.ltpSize));
        }
        test::RecordingObserver observer;
        ConvertRequest r = Request(kAll);
        r.begin = kT0 - 3600;
        const ConvertResult result = ConvertTraceLog(r, observer);
        EXPECT_EQ(result.status, row.status) << row.legend;
        EXPECT_EQ(observer.messages, std::vector<std::string>{row.message}) << row.legend;
        EXPECT_EQ(observer.severities, std::vector<MessageSeverity>{MessageSeverity::Warning});
        EXPECT_TRUE(Files(out_.path()).empty()) << row.legend;
        EXPECT_TRUE(observer.status.empty());
    }
}

TEST_F(ConvertPipeline, WriterThatCannotCreateItsFileIsReportedAndTheOthersRun) {
    WriteDrive();
    ConvertRequest r = Request(ConvNmea | ConvCsv | ConvKmlPath);
    // A folder named like the CSV output: that one writer cannot rename its file into place.
    std::filesystem::create_directory(out_ / "track.csv");
    const ConvertResult result = ConvertTraceLog(r, observer_);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.failed, std::vector<std::string>{out_ / "track.csv"});
    EXPECT_EQ(result.failedErrors, std::vector<int>{EISDIR});  // the system's reason, for the CLI
    EXPECT_EQ(observer_.messages, std::vector<std::string>{"Output file is invalid!"});
    EXPECT_EQ(Files(out_.path()),
              (std::vector<std::string>{"track.csv", "track.kml", "track.txt"}));
    EXPECT_TRUE(std::filesystem::is_directory(out_ / "track.csv"));

    test::RecordingObserver missing;
    r.outputPath = out_ / "no-such-folder/track.kml";
    const ConvertResult none = ConvertTraceLog(r, missing);
    EXPECT_EQ(none.failedErrors, (std::vector<int>{ENOENT, ENOENT, ENOENT}));
    EXPECT_EQ(missing.messages.size(), 3u);
}

TEST_F(ConvertPipeline, NothingToWriteOrAForgingIdIsRefusedBeforeReading) {
    WriteDrive();
    struct Row {
        int conversion;
        const char* id;
        const char* message;
    };
    const Row rows[] = {
        {0, "", "No output type is chosen: choose KML, NMEA, CSV or GPX in Change Setting."},
        {ConvNmeaWithId | ConvCsv, "ab\r\n$GPRMC,",
         "The ID must not contain control characters or line breaks."},
    };
    for (const Row& row : rows) {
        test::RecordingObserver observer;
        ConvertRequest r = Request(row.conversion);
        r.idText = row.id;
        EXPECT_EQ(ConvertTraceLog(r, observer).status, ConvertStatus::Refused) << row.message;
        EXPECT_EQ(observer.messages, std::vector<std::string>{row.message});
        EXPECT_TRUE(observer.status.empty());  // never "Converting done"
        EXPECT_TRUE(Files(out_.path()).empty());
    }
}

TEST_F(ConvertPipeline, OutOfMemorySaysHowLargeTheTraceIs) {
    WriteDrive();
    struct Starved : test::RecordingObserver {
        void OnProgress(int) override { throw std::bad_alloc(); }
    } starved;
    EXPECT_EQ(ConvertTraceLog(Request(kAll), starved).status, ConvertStatus::OutOfMemory);
    EXPECT_EQ(
        starved.messages,
        std::vector<std::string>{"Not enough memory to convert the trace of 10 fixes (0.0 MB)."});
    EXPECT_TRUE(Files(out_.path()).empty());
}

TEST_F(ConvertPipeline, StopFlagEndsTheRunWithoutOutput) {
    WriteDrive();
    std::atomic<bool> stop{true};
    ConvertRequest r = Request(kAll);
    r.stop = &stop;
    EXPECT_EQ(ConvertTraceLog(r, observer_).status, ConvertStatus::Stopped);
    EXPECT_TRUE(Files(out_.path()).empty());
}

TEST_F(ConvertPipeline, ExistingOutputIsReplacedWhole) {
    WriteDrive();
    test::WriteFile(out_ / "track.csv", std::string(100000, 'x'));
    ASSERT_TRUE(ConvertTraceLog(Request(ConvCsv), observer_).ok());
    const std::string csv = test::ReadFile(out_ / "track.csv");
    EXPECT_EQ(csv.find('x'), std::string::npos);
    EXPECT_EQ(csv.substr(0, 5), "Year,");
}

// Every first group of pattern in text, as numbers or as text.
std::vector<std::string> Matches(const std::string& text, const char* pattern) {
    std::vector<std::string> out;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
         ++it) {
        out.push_back((*it)[1].str());
    }
    return out;
}

TEST_F(ConvertPipeline, EveryOutputGivesHeightsAboveTheSea) {
    // N of the EGM96 geoid as PROJ's cs2cs gives it (EPSG:4979 to EPSG:4326+5773).
    struct Row {
        double latitude, longitude;
        HeightReference heights;
        double n;  // the separation expected in GGA field 11 and GPX <geoidheight>
    } const rows[] = {
        {47, 8, HeightReference::Sea, 48.39},
        {27.988, 86.925, HeightReference::Sea, -28.87},
        {-8.5, 115.2, HeightReference::Sea, 34.83},
        {47, 8, HeightReference::Ellipsoid, 0},
    };
    for (const Row& row : rows) {
        const TraceFixBytes fix = Fix(kT0, row.latitude, row.longitude, 500, 30);
        WriteTrace({fix, Fix(kT0 + 2, row.latitude + 1e-4, row.longitude, 500, 30)});
        const Geodetic g = EcefToGeodetic(ReadLe32(fix.data() + 4), ReadLe32(fix.data() + 8),
                                          ReadLe32(fix.data() + 12));
        const double expected = g.height - row.n;
        ConvertRequest r = Request(kAll);
        r.settings.Heights = row.heights;
        ASSERT_TRUE(ConvertTraceLog(r, observer_).ok()) << row.latitude;
        const std::string nmea = test::ReadFile(out_ / "track.txt");
        const std::string gpx = test::ReadFile(out_ / "track.gpx");
        const struct {
            const char* output;
            std::string height;
            double tolerance;
        } found[] = {
            {"GGA field 9", Matches(nmea, R"(\$GPGGA,(?:[^,]*,){8}([^,]*))").at(0), 0.5},
            {"GPX ele", Matches(gpx, R"(<trkpt[^>]*><ele>([^<]*))").at(0), 0.5},
            {"CSV", Matches(test::ReadFile(out_ / "track.csv"), R"(\n(?:[^,]*, ){8}([^,]*))").at(0),
             0.5},
            // KML altitudes are whole metres, truncated.
            {"KML path",
             Matches(test::ReadFile(out_ / "track.kml"), R"(\t{5}[-0-9.]+,[-0-9.]+,(-?\d+)\r)")
                 .at(0),
             1},
            {"KML point",
             Matches(test::ReadFile(out_ / "track_point.kml"), R"(Altitude:(-?\d+))").at(1), 1},
        };
        for (const auto& f : found) {
            EXPECT_NEAR(std::stod(f.height), expected, f.tolerance)
                << f.output << " " << row.latitude;
        }
        EXPECT_NEAR(std::stod(Matches(nmea, R"(\$GPGGA,(?:[^,]*,){10}([^,]*))").at(0)), row.n,
                    0.051)
            << "GGA field 11 " << row.latitude;
        const std::vector<std::string> geoid = Matches(gpx, R"(<geoidheight>([^<]*))");
        if (row.heights == HeightReference::Sea) {
            EXPECT_NEAR(std::stod(geoid.at(0)), row.n, 0.051) << row.latitude;
        } else {
            EXPECT_TRUE(geoid.empty());
        }
    }
}

TEST_F(ConvertPipeline, TimeNeverRunsBackWithThreeOrFourFixesInASlot) {
    // Stored in 2-second slots: three fixes at 23:30:00, four at 23:30:02, one at 23:30:04.
    std::vector<TraceFixBytes> fixes;
    const int slots[] = {0, 0, 0, 2, 2, 2, 2, 4};
    for (int i = 0; i < 8; ++i) {
        fixes.push_back(Fix(kT0 + slots[i], 25 + i * 1e-4, 121.5, 30, 40));
    }
    WriteTrace(fixes);
    ConvertRequest r = Request(kAll);
    r.settings.Zone = ZoneRules::Fixed(0);
    ASSERT_TRUE(ConvertTraceLog(r, observer_).ok());
    // t, t+1, t+1: never back, never more than a second from the recorded time.
    const std::vector<std::string> expected = {"233000", "233001", "233001", "233002",
                                               "233003", "233003", "233003", "233004"};
    const std::string nmea = test::ReadFile(out_ / "track.txt");
    EXPECT_EQ(Matches(nmea, R"(\$GPGGA,(\d{6}))"), expected);
    EXPECT_EQ(Matches(nmea, R"(\$GPRMC,(\d{6}))"), expected);
    EXPECT_EQ(Matches(test::ReadFile(out_ / "track_id.txt"), R"(\$GPRMC,(\d{6}))"), expected);
    const std::vector<std::string> csv =
        Matches(test::ReadFile(out_ / "track.csv"), R"(\n\d+, \d+, \d+, (\d+, \d+, \d+))");
    const std::vector<std::string> gpx =
        Matches(test::ReadFile(out_ / "track.gpx"), R"(<trkpt[^>]*><ele>[^<]*</ele><time>([^<]*))");
    // The point file's placemarks in track order (Begin and End first and last).
    const std::vector<std::string> points =
        Matches(test::ReadFile(out_ / "track_point.kml"), R"(<when>([^<]*))");
    const std::string path = test::ReadFile(out_ / "track.kml");
    EXPECT_EQ(csv.size(), 8u);
    EXPECT_EQ(gpx.size(), 8u);
    EXPECT_EQ(points.size(), 10u);
    for (const auto* times : {&csv, &gpx, &points}) {
        EXPECT_TRUE(std::is_sorted(times->begin(), times->end())) << times->front();
    }
    EXPECT_EQ(Matches(path, R"(<begin>([^<]*))"), std::vector<std::string>{"2011-03-09T23:30:00Z"});
    EXPECT_EQ(Matches(path, R"(<end>([^<]*))"), std::vector<std::string>{"2011-03-09T23:30:04Z"});
}

}  // namespace
}  // namespace pelmora
