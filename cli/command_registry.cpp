#include "cli/command_registry.h"

#include <algorithm>
#include <map>
#include <memory>

namespace pelmora::cli {
namespace {
// A function-local table, so that registrars in other files may run first.
std::map<std::string, std::unique_ptr<Command>>& Table() {
    static std::map<std::string, std::unique_ptr<Command>> table;
    return table;
}
}  // namespace

CommandRegistrar::CommandRegistrar(std::string name, std::string synopsis, std::string summary,
                                   CommandFunction run) {
    auto command = std::make_unique<Command>();
    command->name = name;
    command->synopsis = std::move(synopsis);
    command->summary = std::move(summary);
    command->run = std::move(run);
    Table()[name] = std::move(command);
}

std::vector<const Command*> Commands() {
    std::vector<const Command*> out;
    for (const auto& [name, command] : Table()) {
        out.push_back(command.get());
    }
    return out;
}

const Command* FindCommand(const std::string& name) {
    const auto it = Table().find(name);
    return it == Table().end() ? nullptr : it->second.get();
}

}  // namespace pelmora::cli
