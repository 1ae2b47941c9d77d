#include "link/command_result.h"

namespace pelmora {

std::string_view ResultText(CommandResult result) {
    switch (result) {
        case CommandResult::Done:
            return "Done";
        case CommandResult::NotConnected:
            return "No logger is connected";
        case CommandResult::Refused:
            return "The logger refused the command";
        case CommandResult::NoAnswer:
            return "The logger did not answer";
        case CommandResult::Disconnected:
            return "The logger was disconnected";
        case CommandResult::Cancelled:
            return "Stopped";
    }
    return "Unknown result";
}

}  // namespace pelmora
