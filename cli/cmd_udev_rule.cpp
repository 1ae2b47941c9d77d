// pelmora-cli udev-rule: the rule of 70-pelmora.rules for the remembered logger, to be installed
// by hand (pelmora-cli udev-rule | sudo tee /etc/udev/rules.d/70-pelmora.rules) or by the window.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "link/remembered_logger.h"

namespace pelmora::cli {
namespace {

int RunUdevRule(const std::vector<std::string>& args) {
    ArgParser parser(args);
    parser.Parse();
    std::string problem;
    const std::string rule = UdevRuleText(LoadRememberedLogger(Profile()), problem);
    if (rule.empty()) {
        return Fail(problem);
    }
    std::fputs(rule.c_str(), stdout);
    return kExitSuccess;
}

const CommandRegistrar kUdevRule{"udev-rule", "udev-rule",
                                 "print the udev rule (70-pelmora.rules) for the remembered logger",
                                 RunUdevRule};

}  // namespace
}  // namespace pelmora::cli
