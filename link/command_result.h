#pragma once
// What became of a command sent to the logger: a closed set, so that no caller can take a refusal
// or a silence for a success. One table gives each result its text, for the window and
// pelmora-cli alike.
#include <cstdint>
#include <string_view>

namespace pelmora {

enum class [[nodiscard]] CommandResult : std::uint8_t{
    Done,          // acknowledged, and answered where the command has a reply
    NotConnected,  // no open port: nothing was sent
    Refused,       // the logger answered NACK
    NoAnswer,      // no acknowledgement, or no reply, within the waits
    Disconnected,  // the line went away under the command (hang-up, I/O error, node gone)
    Cancelled,     // stopped on request before the answer came
};

// "The logger refused the command", "The logger did not answer", ...
std::string_view ResultText(CommandResult result);

}  // namespace pelmora
