#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "decode/decompress.h"
#include "decode/trace_fix.h"
#include "decode/trace_summary.h"
#include "sim/track/builtin_track.h"

namespace pelmora {
namespace {

class TraceFile {
  public:
    TraceFile() {
        char name[] = "/tmp/pelmora-summary-XXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        path_ = name;
    }
    ~TraceFile() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }
    void Write(const std::vector<TraceFixBytes>& records, std::size_t extraBytes = 0) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        for (const TraceFixBytes& r : records) {
            out.write(reinterpret_cast<const char*>(r.data()),
                      static_cast<std::streamsize>(r.size()));
        }
        for (std::size_t i = 0; i < extraBytes; ++i) {
            out.put('\x01');
        }
    }

  private:
    std::string path_;
};

// Three fixes near Taipei, about 1.1 km apart.
std::vector<TraceFixBytes> ThreeFixes() {
    return {EncodeTraceFix(2024, 5, 18, 23, 58, 10, -3027000, 4928000, 2681000, 30),
            EncodeTraceFix(2024, 5, 19, 0, 5, 20, -3027500, 4928400, 2680100, 40),
            EncodeTraceFix(2024, 5, 21, 1, 2, 31, -3028000, 4928800, 2679200, 0)};
}

TEST(TraceSummary, TheFourLinesInKilometresAndLocalTime) {
    TraceFile f;
    f.Write(ThreeFixes());
    const TraceSummary s = ScanTraceLog(f.path(), ZoneRules::Fixed(8 * 3600), 1);
    ASSERT_EQ(s.status, TraceSummaryStatus::Ok) << s.message;
    EXPECT_EQ(s.records, 3u);
    EXPECT_EQ(s.beginLabel, "2024/05/19 07");
    EXPECT_EQ(s.endLabel, "2024/05/21 09");
    EXPECT_EQ(s.begin, MakeTimeValue(2024, 5, 19, 7, 58, 10));
    EXPECT_EQ(s.end, MakeTimeValue(2024, 5, 21, 9, 2, 30));
    char mileage[64];
    std::snprintf(mileage, sizeof mileage, "Total mileage: %.3f KM", s.mileage / 1000);
    EXPECT_EQ(s.message,
              "Begin: 2024-05-19 07:58:10 (GMT+8:00)\n"
              "End: 2024-05-21 09:02:30 (GMT+8:00)\n"
              "Total time: 2 day 01 hour 04 min 20 sec\n" +
                  std::string(mileage));
    // Each step is a straight 1104.5 m through the ellipsoid; along the surface about as long.
    EXPECT_NEAR(s.mileage, 2 * 1104.5, 2 * 1104.5 * 0.02);
}

TEST(TraceSummary, MilesForMph) {
    TraceFile f;
    f.Write(ThreeFixes());
    const TraceSummary km = ScanTraceLog(f.path(), ZoneRules::Fixed(0), 0);
    const TraceSummary miles = ScanTraceLog(f.path(), ZoneRules::Fixed(-1800), 2);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Total mileage: %.3f Mile", km.mileage / 1609);
    EXPECT_NE(miles.message.find(expected), std::string::npos) << miles.message;
    EXPECT_EQ(miles.message.substr(0, 37), "Begin: 2024-05-18 23:28:10 (GMT-0:30)");
    EXPECT_NE(km.message.find("KM"), std::string::npos);
}

// The stored time has 2-second steps; a second of the minute equal to the previous fix's, or one
// below it (the previous one moved), moves one on, whatever the minute: the end never runs back.
TEST(TraceSummary, RepeatedStoredSecondMovesOn) {
    const struct {
        const char* legend;
        std::vector<int> minuteSecond;  // minute * 100 + second, from 10:00
        TimeSpan span;
    } rows[] = {
        {"10:00:00 and 10:00:01 share one stored second", {0, 1}, 1},
        {"a third at the same second moves on too, never back", {0, 0, 0}, 1},
        {"and the fourth", {0, 0, 0, 0}, 1},
        {"the same second in the next minute", {10, 110}, 61},
    };
    TraceFile f;
    for (const auto& row : rows) {
        std::vector<TraceFixBytes> fixes;
        for (const int ms : row.minuteSecond) {
            const auto second = static_cast<float>(ms % 100);
            fixes.push_back(EncodeTraceFix(2024, 1, 1, 10, ms / 100, second, 1000, 0, 6370000, 0));
        }
        f.Write(fixes);
        const TraceSummary s = ScanTraceLog(f.path(), ZoneRules::Fixed(0), 1);
        EXPECT_EQ(s.span, row.span) << row.legend;
        EXPECT_EQ(s.mileage, 0.0) << row.legend;
    }
}

TEST(TraceSummary, Messages) {
    TraceFile f;
    struct Row {
        const char* legend;
        std::vector<TraceFixBytes> records;
        std::size_t extra;
        TraceSummaryStatus status;
        const char* message;
    };
    const TraceFixBytes one = EncodeTraceFix(2024, 1, 1, 10, 0, 0, 1000, 0, 6370000, 0);
    for (const Row& row : std::vector<Row>{
             {"empty", {}, 0, TraceSummaryStatus::NoData, "No log data!"},
             {"a few bytes", {}, 5, TraceSummaryStatus::NoStopData, "No stop log data!"},
             {"one record", {one}, 0, TraceSummaryStatus::NoStopData, "No stop log data!"},
             {"one record and a part",
              {one},
              21,
              TraceSummaryStatus::NoStopData,
              "No stop log data!"},
             {"two records and a part", {one, one}, 3, TraceSummaryStatus::Ok, nullptr},
         }) {
        f.Write(row.records, row.extra);
        const TraceSummary s = ScanTraceLog(f.path(), ZoneRules::Fixed(0), 1);
        EXPECT_EQ(s.status, row.status) << row.legend;
        if (row.message != nullptr) {
            EXPECT_EQ(s.message, row.message) << row.legend;
        }
    }
    const TraceSummary missing = ScanTraceLog("/nonexistent/TraceLog.ltp", ZoneRules::Fixed(0), 1);
    EXPECT_EQ(missing.status, TraceSummaryStatus::OpenFailed);
    EXPECT_EQ(missing.message, "Open trace log file failed!");
    EXPECT_EQ(missing.beginLabel, "0");
    EXPECT_EQ(missing.endLabel, "0");
}

TEST(TraceSummary, DamagedRecordsNeverStopIt) {
    TraceFile f;
    TraceFixBytes junk{};
    junk.fill(0xFF);
    TraceFixBytes zero{};
    f.Write({EncodeTraceFix(2024, 1, 1, 10, 0, 0, 1000, 0, 6370000, 0),
             EncodeTraceFix(2024, 0, 0, 36, 0, 0, 0, 0, 0, 0), junk, zero,
             EncodeTraceFix(2024, 15, 31, 23, 59, 59, INT32_MIN, INT32_MAX, INT32_MIN, 1023),
             EncodeTraceFix(2024, 1, 2, 10, 0, 0, 1000, 0, 6370000, 0)});
    const TraceSummary s = ScanTraceLog(f.path(), ZoneRules::Fixed(0), 1);
    ASSERT_EQ(s.status, TraceSummaryStatus::Ok);
    EXPECT_EQ(s.records, 6u);
    EXPECT_TRUE(std::isfinite(s.mileage));
    EXPECT_EQ(s.end, MakeTimeValue(2024, 1, 2, 10, 0, 0));
}

// The sample raw log in data/ decoded from end to end.
TEST(SampleLog, DecodesToTheRecordedDrive) {
    char name[] = "/tmp/pelmora-sample-XXXXXX";
    const std::string dir = mkdtemp(name);
    const std::string trace = dir + "/TraceLog.ltp";
    DecompressOptions options;
    options.nowUtc = MakeTimeValue(2026, 12, 8, 0, 0, 0);
    TraceSummaryBuilder inPass;
    options.summary = &inPass;
    const DecompressResult r = DecompressLog(
        std::string(PELMORA_SOURCE_DIR) + "/data/sample-data.log", trace, options, nullptr);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.fixes, 2387u);
    EXPECT_EQ(r.fullRecords, 40u);
    EXPECT_EQ(r.compactRecords, 2347u);
    const TraceSummary s = ScanTraceLog(trace, ZoneRules::Fixed(2 * 3600), 1);
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ(s.message,
              "Begin: 2024-05-18 09:42:10 (GMT+2:00)\n"
              "End: 2024-05-18 11:41:26 (GMT+2:00)\n"
              "Total time: 0 day 01 hour 59 min 16 sec\n"
              "Total mileage: 71.602 KM");
    // The summary worked out while decoding is the one read back, to the last bit of the mileage.
    const TraceSummary fromPass =
        inPass.Finish(r.fixes * kTraceFixSize, ZoneRules::Fixed(2 * 3600), 1);
    EXPECT_EQ(fromPass.message, s.message);
    EXPECT_EQ(fromPass.beginLabel + fromPass.endLabel, s.beginLabel + s.endLabel);
    EXPECT_EQ(fromPass.mileage, s.mileage);
    // The file in data/ is exactly what the built-in drive encodes to.
    std::ifstream in(std::string(PELMORA_SOURCE_DIR) + "/data/sample-data.log", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes, BuiltinTrackLog());
    unlink(trace.c_str());
    rmdir(dir.c_str());
}

// Many blocks of the mileage, and days on end: the decoder's fields and the bytes read back give
// the same summary, to the last bit.
TEST(SampleLog, SummaryInThePassIsTheOneReadBack) {
    TraceFile raw, trace;
    std::vector<std::uint8_t> log;
    for (int i = 0; i < 60; ++i) {
        const std::vector<std::uint8_t> drive = BuiltinTrackLog();
        log.insert(log.end(), drive.begin(), drive.end());
    }
    std::ofstream(raw.path(), std::ios::binary)
        .write(reinterpret_cast<const char*>(log.data()), static_cast<std::streamsize>(log.size()));
    TraceSummaryBuilder inPass;
    DecompressOptions options;
    options.summary = &inPass;
    const DecompressResult r = DecompressLog(raw.path(), trace.path(), options, nullptr);
    ASSERT_TRUE(r.ok()) << r.message;
    ASSERT_GT(r.fixes, 100000u);
    const TraceSummary fromPass = inPass.Finish(r.fixes * kTraceFixSize, ZoneRules::Fixed(0), 1);
    const TraceSummary readBack = ScanTraceLog(trace.path(), ZoneRules::Fixed(0), 1);
    EXPECT_EQ(fromPass.message, readBack.message);
    EXPECT_EQ(fromPass.mileage, readBack.mileage);
}

}  // namespace
}  // namespace pelmora
