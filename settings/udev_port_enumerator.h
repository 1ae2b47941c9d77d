#pragma once
// Serial ports found by libudev: tty devices that have a parent device (real hardware or a
// driver behind it, unlike virtual consoles).
#include "settings/port_list.h"

namespace pelmora {

class UdevPortEnumerator : public PortEnumerator {
  public:
    std::vector<std::string> EnumerateComPorts() const override;
};

}  // namespace pelmora
