#pragma once
// Serial ports found by libudev: tty devices that have a parent device (real hardware or a
// driver behind it, unlike virtual consoles).
#include "link/port_list.h"

namespace pelmora {

class UdevPortEnumerator : public PortEnumerator {
  public:
    std::vector<std::string> EnumerateComPorts() const override;
    // Each with udev's vendor and model (the hardware database's names, else the USB strings)
    // and its /dev/serial/by-id name.
    std::vector<PortInfo> EnumeratePorts() const override;
};

}  // namespace pelmora
