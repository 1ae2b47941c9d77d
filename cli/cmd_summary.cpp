// pelmora-cli summary [--data-dir DIR]: the summary of the trace already decoded, as the window
// shows it when it offers to open the old log.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/zone_options.h"
#include "core/app_paths.h"
#include "decode/trace_summary.h"

namespace pelmora::cli {
namespace {

int RunSummary(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    AddZoneOptions(parser);
    parser.Parse();
    const std::string folder = DataDir(parser);
    ConversionSettings settings = LoadProfileSettings();
    ApplyZoneOptions(parser, settings);
    const TraceSummary summary =
        ScanTraceLog(JoinPath(folder, kTraceLogName), settings.Zone, settings.SpeedUnit);
    if (!summary.ok()) {
        return Fail(summary.message);
    }
    std::printf("%s\n", summary.message.c_str());
    return kExitSuccess;
}

const CommandRegistrar kSummary{"summary",
                                "summary [--data-dir DIR] [--tz-bias MINUTES | --time-zone "
                                "NAME|local]",
                                "print the summary of DIR/TraceLog.ltp", RunSummary};

}  // namespace
}  // namespace pelmora::cli
