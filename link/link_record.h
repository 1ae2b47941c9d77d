#pragma once
// The record of the last successful connection: a note of the port and rate, written once per
// connection; pelmora-cli reads its port back as the default of --port. Every failure is silent.
#include <string>

namespace pelmora {

inline constexpr const char* kLinkRecordName = "receiver.ini";

struct ReceiverSettings {
    std::string comport;   // the device path, e.g. /dev/ttyUSB0
    int baudrate = 0;      // bit/s
    std::string firmware;  // written only when not empty
};

// Replaces <configFolder>/receiver.ini (created with its folder when missing) with section "GPS".
// A value holding a control character, which would break the line-based file, is left out.
void SaveReceiverSettings(const ReceiverSettings& settings, const std::string& configFolder);
// The record's port, or empty when there is no record or no port in it.
std::string LastReceiverPort(const std::string& configFolder);

}  // namespace pelmora
