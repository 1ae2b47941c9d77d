#pragma once
// Serial port names for the Serial Port Setting dialog. The system lists device paths
// ("/dev/ttyUSB0"); these rules order and merge them so the dialog's list is predictable.
#include <cstddef>
#include <string>
#include <vector>

namespace pelmora {

inline constexpr std::size_t kMaxPortNames = 64;
inline constexpr const char* kPortNone = "None";
inline constexpr const char* kDefaultComPort = "Com1";
inline constexpr const char* kDefaultBaudRate = "4800";

// A port and what is behind it ("Prolific USB-Serial Controller", a /dev/serial/by-id name,
// "Simulated logger"); empty when nothing says.
struct PortInfo {
    std::string path;
    std::string description;
};

class PortEnumerator {
  public:
    virtual ~PortEnumerator() = default;
    // Device paths of the serial ports present, in the system's order; empty when none or on
    // failure.
    virtual std::vector<std::string> EnumerateComPorts() const = 0;
    // The same ports with what is behind each; by default nothing is said.
    virtual std::vector<PortInfo> EnumeratePorts() const;
};

// The description of path among ports; empty when it is not there.
std::string DescriptionOf(const std::vector<PortInfo>& ports, const std::string& path);

// Keeps the first kMaxPortNames names found, then sorts them shorter first, equal lengths in
// byte order, so /dev/ttyS2 comes before /dev/ttyS10.
std::vector<std::string> SortPortNames(std::vector<std::string> found);

struct PortChoices {
    std::vector<std::string> entries;  // "None", the ports, and perhaps the stored path
    int selected = 0;
};
// The list of the dialog and the entry to propose. A stored port that was not found but is a
// device path (a pseudo-terminal, /dev/rfcomm0) is offered after the found ones, not dropped.
PortChoices BuildPortChoices(const std::vector<std::string>& sortedPorts,
                             const std::string& storedPort);

// "2400" .. "115200".
const std::vector<std::string>& BaudRateTexts();
// The position of the stored rate among BaudRateTexts(), or 1 ("4800").
int BaudRateIndex(const std::string& storedRate);

bool EqualsIgnoreCase(const std::string& a, const std::string& b);

}  // namespace pelmora
