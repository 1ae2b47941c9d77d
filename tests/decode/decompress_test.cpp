#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "decode/decompress.h"
#include "decode/raw_log_decoder.h"
#include "decode/trace_fix.h"
#include "decode/trace_summary.h"
#include "sim/track/raw_record_encoder.h"

namespace pelmora {
namespace {

const TimeValue kNow2026 = MakeTimeValue(2026, 12, 8, 12, 0, 0);

class TempFolder {
  public:
    TempFolder() {
        char name[] = "/tmp/pelmora-decompress-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <std::size_t N>
void Append(std::vector<std::uint8_t>& out, const std::array<std::uint8_t, N>& record) {
    out.insert(out.end(), record.begin(), record.end());
}

std::vector<std::uint8_t> Fix(int year, int month, int day, int hour, int minute, int second,
                              std::int32_t x, std::int32_t y, std::int32_t z, int speed) {
    const TraceFixBytes b =
        EncodeTraceFix(year, month, day, hour, minute, static_cast<float>(second), x, y, z, speed);
    return {b.begin(), b.end()};
}

FullRecordFields FullAt(TimeValue utc, std::int32_t x, std::int32_t y, std::int32_t z, int speed) {
    const GpsWeekTime g = UtcToGpsWeekTime(utc);
    FullRecordFields f;
    f.week = g.fullWeek % 1024;
    f.timeOfWeek = static_cast<std::uint32_t>(g.timeOfWeek);
    f.x = x;
    f.y = y;
    f.z = z;
    f.speedKmh = speed;
    return f;
}

class RecordingProgress : public ProgressSink {
  public:
    void OnProgress(int percent) override { values.push_back(percent); }
    std::vector<int> values;
};

DecompressOptions At(TimeValue now) {
    DecompressOptions o;
    o.nowUtc = now;
    return o;
}

TEST(Decompress, OneFixPerRecordWithTheExactTraceBytes) {
    TempFolder dir;
    std::vector<std::uint8_t> raw;
    Append(raw, EncodeFullRecord(
                    FullAt(MakeTimeValue(2024, 5, 18, 7, 42, 10), 4177000, 855000, 4727000, 48)));
    Append(raw, EncodeCompactRecord({8, 50, 3, 12, -7, 511}));
    Append(raw, EncodeCompactRecord({9, 52, 2, -512, 0, -1}));
    Append(raw, EncodeCompactRecord({8, 0, 5, 0, 0, 0}));
    WriteBytes(dir / "data.log", raw);
    RecordingProgress progress;
    const DecompressResult r =
        DecompressLog(dir / "data.log", dir / "TraceLog.ltp", At(kNow2026), &progress);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.message, "Decompress is completed...");
    EXPECT_EQ(r.fixes, 4u);
    EXPECT_EQ(r.fullRecords, 1u);
    EXPECT_EQ(r.compactRecords, 3u);

    std::vector<std::uint8_t> expected;
    for (const auto& f : {Fix(2024, 5, 18, 7, 42, 10, 4177000, 855000, 4727000, 48),
                          Fix(2024, 5, 18, 7, 42, 13, 4177012, 854993, 4727511, 50),
                          Fix(2024, 5, 18, 7, 42, 15, 4176500, 854993, 4727510, 52),
                          Fix(2024, 5, 18, 7, 42, 20, 4176500, 854993, 4727510, 0)}) {
        expected.insert(expected.end(), f.begin(), f.end());
    }
    EXPECT_EQ(ReadBytes(dir / "TraceLog.ltp"), expected);
    ASSERT_FALSE(progress.values.empty());
    EXPECT_EQ(progress.values.front(), 0);
    EXPECT_EQ(progress.values.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.values.begin(), progress.values.end()));
}

TEST(Decompress, WeekRolloverIsMendedAgainstTheInjectedClock) {
    struct Row {
        const char* legend;
        TimeValue recorded;
        int year;
    };
    for (const Row& row : std::vector<Row>{
             {"recorded 2024", MakeTimeValue(2024, 5, 18, 7, 42, 10), 2024},
             {"recorded 2011", MakeTimeValue(2011, 3, 9, 12, 34, 56), 2011},
         }) {
        TempFolder dir;
        std::vector<std::uint8_t> raw;
        Append(raw, EncodeFullRecord(FullAt(row.recorded, 1, 2, 3, 0)));
        WriteBytes(dir / "data.log", raw);
        ASSERT_TRUE(
            DecompressLog(dir / "data.log", dir / "TraceLog.ltp", At(kNow2026), nullptr).ok());
        const std::vector<std::uint8_t> trace = ReadBytes(dir / "TraceLog.ltp");
        ASSERT_EQ(trace.size(), kTraceFixSize);
        EXPECT_EQ(DecodeTraceFixDateTime(trace.data()).year, row.year) << row.legend;
    }
}

TEST(Decompress, FixesAcrossTheGpsWeekEndKeepTheirCalendarDates) {
    TempFolder dir;
    std::vector<std::uint8_t> raw;
    // Saturday 23:59:40 UTC, then 30 s and 86400 s on in compact records of the same week field.
    Append(raw, EncodeFullRecord(FullAt(MakeTimeValue(2024, 12, 28, 23, 59, 40), 1, 2, 3, 0)));
    Append(raw, EncodeCompactRecord({8, 0, 30, 0, 0, 0}));
    Append(raw, EncodeCompactRecord({8, 0, 65535, 0, 0, 0}));
    Append(raw, EncodeCompactRecord({8, 0, 20865, 0, 0, 0}));
    WriteBytes(dir / "data.log", raw);
    ASSERT_TRUE(DecompressLog(dir / "data.log", dir / "TraceLog.ltp", At(kNow2026), nullptr).ok());
    const std::vector<std::uint8_t> trace = ReadBytes(dir / "TraceLog.ltp");
    ASSERT_EQ(trace.size(), 4 * kTraceFixSize);
    const char* expected[] = {"2024-12-28 23:59:40", "2024-12-29 00:00:10", "2024-12-29 18:12:24",
                              "2024-12-30 00:00:10"};
    for (std::size_t i = 0; i < 4; ++i) {
        const TraceFixDateTime f = DecodeTraceFixDateTime(trace.data() + i * kTraceFixSize);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day,
                      f.hour, f.minute, f.second);
        EXPECT_STREQ(text, expected[i]) << i;
    }
}

// The run works the calendar date out once per day; every fix must still carry the date that
// decoding that record alone gives, whichever way the stream jumps.
TEST(Decompress, EveryFixMatchesItsRecordDecodedAlone) {
    TempFolder dir;
    std::vector<std::uint8_t> raw;
    std::mt19937 random(7);
    const TimeValue starts[] = {MakeTimeValue(2024, 12, 31, 23, 58, 0),    // into a new year
                                MakeTimeValue(2024, 2, 28, 23, 59, 0),     // a leap day
                                MakeTimeValue(2024, 2, 29, 12, 0, 0),      // back into that day
                                MakeTimeValue(2019, 4, 6, 23, 59, 30),     // the 2019 rollover
                                MakeTimeValue(2024, 12, 31, 23, 59, 59)};  // a day seen before
    for (const TimeValue start : starts) {
        Append(raw, EncodeFullRecord(FullAt(start, 1000, 2000, 3000, 10)));
        for (int i = 0; i < 300; ++i) {
            // Mostly single seconds, now and then a long pause across a day or a week's end.
            const auto step = static_cast<std::uint16_t>(i % 97 == 0 ? 65535 : random() % 3);
            Append(raw, EncodeCompactRecord({8 + i % 2, i % 120, step,
                                             static_cast<int>(random() % 1024) - 512, 1, -1}));
        }
    }
    WriteBytes(dir / "data.log", raw);
    const DecompressResult r =
        DecompressLog(dir / "data.log", dir / "TraceLog.ltp", At(kNow2026), nullptr);
    ASSERT_TRUE(r.ok()) << r.message;

    std::vector<std::uint8_t> expected;
    LogDecodeState state;
    for (std::size_t at = 0; at < raw.size();) {
        GpsDateTime d;
        std::uint8_t type = 0;
        const std::size_t used =
            DecodeLogRecord(raw.data() + at, raw.size() - at, state, d, type, kNow2026);
        ASSERT_GT(used, 0u);
        Append(expected, EncodeTraceFix(d.year, d.month, d.day, d.hour, d.minute, d.second, state.x,
                                        state.y, state.z, state.speed));
        at += used;
    }
    EXPECT_EQ(r.fixes, 5u * 301u);
    EXPECT_EQ(ReadBytes(dir / "TraceLog.ltp"), expected);
}

TEST(Decompress, ProgressReportsEveryPercentOnce) {
    TempFolder dir;
    std::vector<std::uint8_t> raw;
    Append(raw, EncodeFullRecord(FullAt(MakeTimeValue(2024, 5, 18, 7, 0, 0), 1, 2, 3, 0)));
    for (int i = 0; i < 3000; ++i) {
        Append(raw, EncodeCompactRecord({8, 0, 1, 1, 1, 1}));
    }
    WriteBytes(dir / "data.log", raw);
    RecordingProgress progress;
    ASSERT_TRUE(
        DecompressLog(dir / "data.log", dir / "TraceLog.ltp", At(kNow2026), &progress).ok());
    std::vector<int> everyPercent(101);
    std::iota(everyPercent.begin(), everyPercent.end(), 0);
    EXPECT_EQ(progress.values, everyPercent);
}

TEST(Decompress, UnknownRecordKindStopsTheRunAndKeepsTheFixesBeforeIt) {
    for (const int bad : {0xFF, 0x00, 0x3C, 0xA0}) {
        TempFolder dir;
        std::vector<std::uint8_t> raw;
        Append(raw, EncodeFullRecord(FullAt(MakeTimeValue(2024, 5, 18, 7, 0, 0), 1, 2, 3, 0)));
        Append(raw, EncodeCompactRecord({8, 0, 1, 1, 1, 1}));
        raw.insert(raw.end(),
                   {static_cast<std::uint8_t>(bad), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        Append(raw, EncodeCompactRecord({8, 0, 1, 1, 1, 1}));
        WriteBytes(dir / "data.log", raw);
        const DecompressResult r =
            DecompressLog(dir / "data.log", dir / "TraceLog.ltp", At(kNow2026), nullptr);
        EXPECT_EQ(r.status, DecompressStatus::BadRecord);
        EXPECT_EQ(r.message, "To double check data, please download log data again.");
        EXPECT_EQ(r.badRecordOffset, 26u);
        EXPECT_EQ(r.fixes, 2u);
        EXPECT_EQ(ReadBytes(dir / "TraceLog.ltp").size(), 2 * kTraceFixSize);
    }
}

TEST(Decompress, PartialRecordAtTheEndIsDropped) {
    struct Row {
        const char* legend;
        std::size_t cut;  // bytes taken off the end
        std::size_t fixes;
        std::size_t dropped;
    };
    for (const Row& row : std::vector<Row>{{"whole", 0, 3, 0},
                                           {"compact cut", 3, 2, 5},
                                           {"one byte of a compact", 7, 2, 1},
                                           {"full record cut", 17, 0, 1}}) {
        TempFolder dir;
        std::vector<std::uint8_t> raw;
        if (row.cut == 17) {
            Append(raw, EncodeFullRecord(FullAt(MakeTimeValue(2024, 5, 18, 7, 0, 0), 1, 2, 3, 0)));
        } else {
            Append(raw, EncodeFullRecord(FullAt(MakeTimeValue(2024, 5, 18, 7, 0, 0), 1, 2, 3, 0)));
            Append(raw, EncodeCompactRecord({8, 0, 1, 1, 1, 1}));
            Append(raw, EncodeCompactRecord({8, 0, 1, 1, 1, 1}));
        }
        raw.resize(raw.size() - row.cut);
        WriteBytes(dir / "data.log", raw);
        const DecompressResult r =
            DecompressLog(dir / "data.log", dir / "TraceLog.ltp", At(kNow2026), nullptr);
        EXPECT_EQ(r.ok(), row.fixes > 0) << row.legend;  // no fix at all writes no trace
        EXPECT_EQ(r.fixes, row.fixes) << row.legend;
        EXPECT_EQ(r.droppedTailBytes, row.dropped) << row.legend;
        EXPECT_EQ(ReadBytes(dir / "TraceLog.ltp").size(), row.fixes * kTraceFixSize);
    }
}

TEST(Decompress, ALogWithoutAFixKeepsTheOldTrace) {
    TempFolder dir;
    const std::vector<std::uint8_t> old = Fix(2024, 1, 1, 0, 0, 0, 1, 2, 3, 0);
    WriteBytes(dir / "TraceLog.ltp", old);
    for (const std::vector<std::uint8_t>& raw :
         {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(64, 0x00)}) {
        WriteBytes(dir / "data.log", raw);
        const DecompressResult r =
            DecompressLog(dir / "data.log", dir / "TraceLog.ltp", At(kNow2026), nullptr);
        EXPECT_EQ(r.status, raw.empty() ? DecompressStatus::NoFix : DecompressStatus::BadRecord);
        EXPECT_EQ(ReadBytes(dir / "TraceLog.ltp"), old);
    }
}

TEST(Decompress, FailuresLeaveTheOldTraceAlone) {
    TempFolder dir;
    const std::vector<std::uint8_t> old = Fix(2024, 1, 1, 0, 0, 0, 1, 2, 3, 0);
    WriteBytes(dir / "TraceLog.ltp", old);
    DecompressResult r = DecompressLog(dir / "missing.log", dir / "TraceLog.ltp", {}, nullptr);
    EXPECT_EQ(r.status, DecompressStatus::OpenRawFailed);
    EXPECT_EQ(r.systemError, ENOENT);
    EXPECT_EQ(ReadBytes(dir / "TraceLog.ltp"), old);

    WriteBytes(dir / "data.log", {});
    r = DecompressLog(dir / "data.log", dir / "no-such-folder/TraceLog.ltp", {}, nullptr);
    EXPECT_EQ(r.status, DecompressStatus::CreateTraceFailed);
    EXPECT_EQ(r.systemError, ENOENT);

    // A folder as the raw log: it opens but cannot be read.
    r = DecompressLog(dir / "", dir / "TraceLog.ltp", {}, nullptr);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(ReadBytes(dir / "TraceLog.ltp"), old);
}

}  // namespace
}  // namespace pelmora
