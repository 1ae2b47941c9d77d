#include "cli/decode_run.h"

#include <cstdio>
#include <cstring>

#include "cli/cli_common.h"
#include "core/app_paths.h"
#include "core/regular_file.h"
#include "decode/decompress.h"
#include "decode/trace_fix.h"
#include "decode/trace_summary.h"

namespace pelmora::cli {
namespace {
std::string WithCause(const std::string& message, const std::string& path, int error) {
    // A FIFO, a device or a directory is named for what it is.
    if (const std::string kind = NotRegularProblem(path); !kind.empty()) {
        return message + " (" + kind + ")";
    }
    return message + " (" + path + ": " + std::strerror(error) + ")";
}
}  // namespace

int DecodeAndSummarize(const std::string& raw, const std::string& folder, bool announceCompletion,
                       bool printSummary) {
    const std::string trace = JoinPath(folder, kTraceLogName);
    const ConversionSettings settings = LoadProfileSettings();
    DecompressResult result;
    TraceSummaryBuilder summarizer;
    {
        TerminalProgress progress("Decompress");
        DecompressOptions options;
        options.summary = &summarizer;
        result = DecompressLog(raw, trace, options, &progress);
    }
    switch (result.status) {
        case DecompressStatus::Ok:
            break;
        case DecompressStatus::OpenRawFailed:
        case DecompressStatus::ReadRawFailed:
            return Fail(WithCause(result.message, raw, result.systemError));
        case DecompressStatus::CreateTraceFailed:
        case DecompressStatus::WriteTraceFailed:
            return Fail(WithCause(result.message, trace, result.systemError));
        case DecompressStatus::NoFix:
            return Fail(result.message);  // the old trace stays
        case DecompressStatus::BadRecord:
            return Fail(result.message + " (" + raw + ": no record starts at byte " +
                        std::to_string(result.badRecordOffset) + "; " +
                        (result.fixes == 0
                             ? trace + " kept as it was"
                             : std::to_string(result.fixes) + " fixes before it kept in " + trace) +
                        ")");
    }
    if (result.droppedTailBytes != 0) {
        Warn(raw + ": dropped a partial record of " + std::to_string(result.droppedTailBytes) +
             " bytes at the end");
    }
    if (announceCompletion) {
        std::printf("%s\n", result.message.c_str());
    }
    const TraceSummary summary =
        summarizer.Finish(result.fixes * kTraceFixSize, settings.Zone, settings.SpeedUnit);
    if (!summary.ok()) {
        return Fail(summary.message);
    }
    if (printSummary) {
        std::printf("%s\n", summary.message.c_str());
    }
    return kExitSuccess;
}

}  // namespace pelmora::cli
