#pragma once
// The commands of pelmora-cli.
//
// To add a command, add one file cli/cmd_<name>.cpp (cli/CMakeLists.txt picks it up) that
// registers itself at namespace scope:
//
//     namespace pelmora::cli {
//     namespace {
//     int RunHello(const std::vector<std::string>& args) {
//         ArgParser parser(args);
//         AddDataDirOption(parser);
//         parser.Parse();                           // a bad option ends the run with status 2
//         const std::string folder = DataDir(parser);
//         std::printf("%s\n", folder.c_str());
//         return kExitSuccess;                      // or Fail("message") for status 1
//     }
//     const CommandRegistrar kHello{"hello", "hello [--data-dir DIR]", "print the data folder",
//                                   RunHello};
//     }  // namespace
//     }  // namespace pelmora::cli
//
// The shared options and helpers are in cli/cli_options.h and cli/cli_common.h.
#include <functional>
#include <string>
#include <vector>

namespace pelmora::cli {

// args are the words after the command name. Returns the exit status (cli_common.h); may throw
// UsageError (status 2) or CommandFailure (status 1).
using CommandFunction = std::function<int(const std::vector<std::string>& args)>;

struct Command {
    std::string name;
    std::string synopsis;  // e.g. "decode [--data-dir DIR] [RAW]"
    std::string summary;   // one line for the command list
    CommandFunction run;
};

class CommandRegistrar {
  public:
    CommandRegistrar(std::string name, std::string synopsis, std::string summary,
                     CommandFunction run);
};

// Every registered command, sorted by name.
std::vector<const Command*> Commands();
const Command* FindCommand(const std::string& name);

}  // namespace pelmora::cli
