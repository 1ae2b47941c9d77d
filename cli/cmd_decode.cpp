// pelmora-cli decode [--data-dir DIR] [RAW]: the raw log into DIR/TraceLog.ltp, then the summary.
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "cli/decode_run.h"
#include "core/app_paths.h"

namespace pelmora::cli {
namespace {

int RunDecode(const std::vector<std::string>& args) {
    ArgParser parser(args);
    AddDataDirOption(parser);
    parser.Positionals(0, 1);
    parser.Parse();
    const std::string folder = DataDir(parser);
    const std::string raw =
        parser.positionals().empty() ? JoinPath(folder, kRawLogName) : parser.positionals()[0];
    return DecodeAndSummarize(raw, folder);
}

const CommandRegistrar kDecode{"decode", "decode [--data-dir DIR] [RAW]",
                               "decode RAW (default DIR/data.log) into DIR/TraceLog.ltp; print the "
                               "trace summary",
                               RunDecode};

}  // namespace
}  // namespace pelmora::cli
