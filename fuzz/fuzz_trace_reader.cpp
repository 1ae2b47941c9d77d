// A damaged trace file: TraceLog.ltp (22-byte records) or, when the first input byte is odd,
// TraceLog.lte (73-byte records), read for a conversion and run through its passes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "convert/trace_reader.h"
#include "convert/track_analysis.h"
#include "core/app_paths.h"
#include "decode/trace_fix.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool extended = (data[0] & 1) != 0;
    const int speedUnit = 1 + (data[0] >> 1) % 3;
    ++data;
    --size;

    pelmora::TraceReadOptions options;
    options.begin = 0;
    options.end = static_cast<pelmora::TimeValue>(1) << 40;
    options.zone = pelmora::ZoneRules::Fixed(8 * 3600);
    options.speedUnit = speedUnit;

    // The parser straight on the bytes: whole records only, never a read past them.
    const std::size_t recordSize =
        extended ? pelmora::kTraceFixExtendedSize : pelmora::kTraceFixSize;
    std::vector<pelmora::TrackPoint> direct;
    const std::size_t parsed =
        pelmora::ParseTraceRecords({data, size}, recordSize, extended, options, direct);
    FUZZ_CHECK(parsed == size / recordSize);
    FUZZ_CHECK(direct.size() <= parsed);

    // The file road, as a conversion takes it.
    const std::string& dir = pelmora::fuzz::ScratchFolder();
    const std::string ltp = pelmora::JoinPath(dir, pelmora::kTraceLogName);
    const std::string lte = pelmora::JoinPath(dir, pelmora::kTraceLogExtendedName);
    std::remove(ltp.c_str());
    std::remove(lte.c_str());
    pelmora::fuzz::WriteWholeFile(extended ? lte : ltp, data, size);
    std::vector<pelmora::TrackPoint> points;
    const pelmora::TraceReadStatus status = pelmora::ReadTraceLog(dir, options, points, {});
    if (status != pelmora::TraceReadStatus::Ok) {
        return 0;
    }
    FUZZ_CHECK(size % recordSize == 0);
    FUZZ_CHECK(points.size() == direct.size());
    pelmora::RemoveSpikes(points, pelmora::SpikeThreshold(data[0] % 8, data[size - 1] % 100));
    pelmora::ComputeBearings(points);
    for (const auto& p : points) {
        FUZZ_CHECK(p.bearing >= 0 && p.bearing <= 359);
    }
    pelmora::StopAnalysisSettings stops;
    stops.speedUnit = speedUnit;
    stops.stopDistance = data[size / 2] % 50;
    stops.overSpeed = data[size / 3] % 120;
    pelmora::AnalyseStops(points, stops);
    return 0;
}
