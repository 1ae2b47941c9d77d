// The raw log as it comes from the logger's flash (data.log): record by record in memory, then
// the whole decompression run into a trace file, which must hold exactly the fixes of the records
// decoded one by one, and the trace summary over it, the same whether worked out in the pass or
// read back; and the same bytes read as a damaged trace file.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/app_paths.h"
#include "decode/decompress.h"
#include "decode/raw_log_decoder.h"
#include "decode/trace_fix.h"
#include "decode/trace_summary.h"
#include "fuzz_check.h"

namespace {

// A fixed clock (2026-01-01) so that one input always decodes the same way.
constexpr pelmora::TimeValue kNow = 1767225600;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pelmora::LogDecodeState state;
    pelmora::GpsDateTime when;
    std::uint8_t type = 0;
    std::size_t at = 0;
    std::vector<std::uint8_t> fixes;
    while (at < size) {
        const std::size_t n =
            pelmora::DecodeLogRecord(data + at, size - at, state, when, type, kNow);
        FUZZ_CHECK(n == 0 || n == pelmora::kRawFullRecordSize ||
                   n == pelmora::kRawCompactRecordSize);
        FUZZ_CHECK(n <= size - at);
        if (n == 0) {
            break;
        }
        FUZZ_CHECK(type == pelmora::RawRecordType(data[at]) && type != 0);
        FUZZ_CHECK(when.month >= 1 && when.month <= 12 && when.day >= 1 && when.day <= 31);
        const pelmora::TraceFixBytes fix =
            pelmora::EncodeTraceFix(when.year, when.month, when.day, when.hour, when.minute,
                                    when.second, state.x, state.y, state.z, state.speed);
        fixes.insert(fixes.end(), fix.begin(), fix.end());
        at += n;
    }

    const std::string& dir = pelmora::fuzz::ScratchFolder();
    const std::string raw = pelmora::JoinPath(dir, "data.log");
    const std::string trace = pelmora::JoinPath(dir, "TraceLog.ltp");
    pelmora::fuzz::WriteWholeFile(raw, data, size);
    pelmora::DecompressOptions options;
    options.nowUtc = kNow;
    pelmora::TraceSummaryBuilder inPass;
    options.summary = &inPass;
    const pelmora::DecompressResult r = pelmora::DecompressLog(raw, trace, options, nullptr);
    FUZZ_CHECK(r.fixes == r.fullRecords + r.compactRecords);
    FUZZ_CHECK(r.fullRecords * pelmora::kRawFullRecordSize +
                   r.compactRecords * pelmora::kRawCompactRecordSize <=
               size);
    // No fix at all leaves the trace of an earlier input in place.
    if (r.fixes > 0 && (r.ok() || r.status == pelmora::DecompressStatus::BadRecord)) {
        FUZZ_CHECK(pelmora::fuzz::ReadWholeFile(trace) == fixes);
        const pelmora::TraceSummary s =
            pelmora::ScanTraceLog(trace, pelmora::ZoneRules::Fixed(480 * 60), 1);
        FUZZ_CHECK(s.status != pelmora::TraceSummaryStatus::OpenFailed);
        // Worked out while decoding or read back: the same summary, a finite mileage.
        const pelmora::TraceSummary fromPass =
            inPass.Finish(r.fixes * pelmora::kTraceFixSize, pelmora::ZoneRules::Fixed(480 * 60), 1);
        FUZZ_CHECK(fromPass.message == s.message && fromPass.mileage == s.mileage);
        FUZZ_CHECK(std::isfinite(s.mileage) && s.mileage >= 0);
        pelmora::ScanTraceLog(trace, pelmora::ZoneRules::Fixed(-300 * 60), 2);
    }
    // The same bytes taken for a trace file.
    pelmora::ScanTraceLog(raw, pelmora::ZoneRules::Fixed(-43200), 2);
    return 0;
}
