// A damaged raw log or trace file: decoding and the summary must end cleanly on any bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "trace/decompress.h"
#include "trace/raw_log_decoder.h"
#include "trace/trace_summary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelmora;
    // In memory, as the download hands records over.
    LogDecodeState state;
    std::size_t offset = 0;
    while (offset < size) {
        GpsDateTime d;
        std::uint8_t type = 0;
        const std::size_t n = DecodeLogRecord(data + offset, size - offset, state, d, type,
                                              MakeTimeValue(2026, 1, 1, 0, 0, 0));
        if (n == 0) {
            break;
        }
        offset += n;
    }
    // From files: the bytes as a raw log, then as a trace file.
    static const std::string prefix = "/tmp/pelmora-fuzz-raw-" + std::to_string(getpid());
    const std::string raw = prefix + ".log";
    const std::string trace = prefix + ".ltp";
    if (FILE* f = std::fopen(raw.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    DecompressOptions options;
    options.nowUtc = 0;
    DecompressLog(raw, trace, options, nullptr);
    ScanTraceLog(trace, 0, "(UTC)", 1);
    ScanTraceLog(raw, -43200, "(GMT-12:00)", 2);
    return 0;
}
