// pelmora-cli decode [--data-dir DIR] [RAW]: the raw log into DIR/TraceLog.ltp, then the summary.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "settings/app_paths.h"
#include "trace/decompress.h"
#include "trace/trace_summary.h"

namespace pelmora::cli {
namespace {

std::string WithCause(const std::string& message, const std::string& path, int error) {
    return message + " (" + path + ": " + std::strerror(error) + ")";
}

int RunDecode(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    parser.Positionals(0, 1);
    parser.Parse();
    const std::string folder = DataDir(parser);
    const std::string raw =
        parser.positionals().empty() ? JoinPath(folder, kRawLogName) : parser.positionals()[0];
    const std::string trace = JoinPath(folder, kTraceLogName);
    const ConversionSettings settings = LoadProfileSettings();

    DecompressResult result;
    {
        TerminalProgress progress("Decompress");
        result = DecompressLog(raw, trace, DecompressOptions{}, &progress);
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
        case DecompressStatus::BadRecord:
            return Fail(result.message + " (" + raw + ": no record starts at byte " +
                        std::to_string(result.badRecordOffset) + "; " +
                        std::to_string(result.fixes) + " fixes before it kept in " + trace + ")");
    }
    if (result.droppedTailBytes != 0) {
        Warn(raw + ": dropped a partial record of " + std::to_string(result.droppedTailBytes) +
             " bytes at the end");
    }
    const TraceSummary summary =
        ScanTraceLog(trace, settings.ZoneOffset, settings.GmtLabel, settings.SpeedUnit);
    if (!summary.ok()) {
        return Fail(summary.message);
    }
    std::printf("%s\n", summary.message.c_str());
    return kExitSuccess;
}

const CommandRegistrar kDecode{"decode", "decode [--data-dir DIR] [RAW]",
                               "decode RAW (default DIR/data.log) into DIR/TraceLog.ltp; print the "
                               "trace summary",
                               RunDecode};

}  // namespace
}  // namespace pelmora::cli
