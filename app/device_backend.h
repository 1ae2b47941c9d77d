#pragma once
// The device link and trace services the program runs on, and the simulated logger of
// --simulate.
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/device_session.h"
#include "mainwindow/trace_services.h"

namespace pelmora {

class DeviceBackend {
  public:
    virtual ~DeviceBackend() = default;
    virtual DeviceSession& Session() = 0;
    virtual TraceServices& Trace() = 0;
    // Device paths offered beside the system's ports (the simulated logger's).
    virtual std::vector<std::string> ExtraPorts() const = 0;
};

// Null when the simulated logger cannot start (the reason is on standard error).
std::unique_ptr<DeviceBackend> MakeDeviceBackend(bool simulate);

}  // namespace pelmora
