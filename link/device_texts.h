#pragma once
// The device commands' texts that the window and pelmora-cli both show.
#include <string>

namespace pelmora {

inline constexpr const char* kLogClearSuccessful = "Log Clear Successful...";
inline constexpr const char* kLogConfigureSuccessful = "Log Configure Successful...";
inline constexpr const char* kAskFactoryReset = "The device has errors. Reset to factory default ?";

// "The logger was disconnected (/dev/ttyUSB0)"
inline std::string DisconnectedText(const std::string& port) {
    return "The logger was disconnected (" + port + ")";
}

}  // namespace pelmora
