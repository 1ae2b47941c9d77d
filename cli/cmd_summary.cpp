// pelmora-cli summary [--data-dir DIR]: the summary of the trace already decoded, as the window
// shows it when it offers to open the old log.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "settings/app_paths.h"
#include "trace/trace_summary.h"

namespace pelmora::cli {
namespace {

int RunSummary(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    parser.Parse();
    const std::string folder = DataDir(parser);
    const ConversionSettings settings = LoadProfileSettings();
    const TraceSummary summary = ScanTraceLog(JoinPath(folder, kTraceLogName), settings.ZoneOffset,
                                              settings.GmtLabel, settings.SpeedUnit);
    if (!summary.ok()) {
        return Fail(summary.message);
    }
    std::printf("%s\n", summary.message.c_str());
    return kExitSuccess;
}

const CommandRegistrar kSummary{"summary", "summary [--data-dir DIR]",
                                "print the summary of DIR/TraceLog.ltp", RunSummary};

}  // namespace
}  // namespace pelmora::cli
