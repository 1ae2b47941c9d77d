// pelmora-cli: the logger's manager on the command line. Same core, profile and data folder as
// the window. Exit status 0 on success, 1 on failure, 2 on a usage error.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/command_registry.h"
#include "core/atomic_file.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: pelmora-cli COMMAND [OPTIONS]\n\ncommands:\n");
    for (const pelmora::cli::Command* c : pelmora::cli::Commands()) {
        // A long synopsis gets its own line so that the summaries stay in one column.
        if (c->synopsis.size() <= 40) {
            std::fprintf(out, "  %-40s %s\n", c->synopsis.c_str(), c->summary.c_str());
        } else {
            std::fprintf(out, "  %s\n  %-40s %s\n", c->synopsis.c_str(), "", c->summary.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelmora::cli;
    // Ctrl-C, SIGTERM or a closed terminal (SIGHUP) during decode, convert or preview leaves no
    // temporary of hundreds of MB behind.
    pelmora::InstallTemporaryCleanup();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty()) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(stdout);
        return kExitSuccess;
    }
    const Command* command = FindCommand(args[0]);
    if (command == nullptr) {
        std::fprintf(stderr, "pelmora-cli: unknown command '%s'\n", args[0].c_str());
        PrintUsage(stderr);
        return kExitUsage;
    }
    args.erase(args.begin());
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::printf("usage: pelmora-cli %s\n%s\n", command->synopsis.c_str(),
                    command->summary.c_str());
        return kExitSuccess;
    }
    try {
        return command->run(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "pelmora-cli: %s: %s\nusage: pelmora-cli %s\n", command->name.c_str(),
                     e.what(), command->synopsis.c_str());
        return kExitUsage;
    } catch (const CommandFailure& e) {
        return Fail(e.what());
    } catch (const std::bad_alloc&) {
        return Fail("out of memory: a shorter period (--begin, --end) needs less");
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
