// pelmora-cli summary [--data-dir DIR]: the summary of the trace already decoded, as the window
// shows it when it offers to open the old log.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/zone_options.h"
#include "core/app_paths.h"
#include "core/regular_file.h"
#include "decode/trace_fix.h"
#include "decode/trace_summary.h"

namespace pelmora::cli {
namespace {

// Why the trace gave no summary, with its path, as convert says it.
std::string TraceProblem(const std::string& path) {
    if (std::string kind = NotRegularProblem(path); !kind.empty()) {
        return kind;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return path + ": " + std::strerror(errno) + ": run pelmora-cli decode first";
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size == 0) {
        return path + ": empty";
    }
    if (size % kTraceFixSize != 0) {
        return path + ": " + std::to_string(size) + " bytes, no whole number of " +
               std::to_string(kTraceFixSize) + "-byte fixes: not a trace file";
    }
    return path + ": " + std::to_string(size / kTraceFixSize) + " fix, two are needed";
}

int RunSummary(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    AddZoneOptions(parser);
    parser.Parse();
    const std::string folder = DataDir(parser);
    ConversionSettings settings = LoadProfileSettings();
    ApplyZoneOptions(parser, settings);
    const std::string trace = JoinPath(folder, kTraceLogName);
    const TraceSummary summary = ScanTraceLog(trace, settings.Zone, settings.SpeedUnit);
    if (!summary.ok()) {
        return Fail(summary.message + " (" + TraceProblem(trace) + ")");
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
