#include "app/device_backend.h"

#include <cstdio>

#include "mainwindow/link_session.h"
#include "settings/app_paths.h"
#include "sim/logger_sim.h"

namespace pelmora {
namespace {

class Backend : public DeviceBackend {
  public:
    Backend() : m_session(ConfigFolder()) {}
    bool StartSimulator() {
        m_sim = std::make_unique<sim::LoggerSim>();
        std::string error;
        if (!m_sim->Start(&error)) {
            std::fprintf(stderr, "pelmora: the simulated logger did not start: %s\n",
                         error.c_str());
            return false;
        }
        return true;
    }
    DeviceSession& Session() override { return m_session; }
    TraceServices& Trace() override { return m_trace; }
    std::vector<std::string> ExtraPorts() const override {
        if (!m_sim) {
            return {};
        }
        return {m_sim->SlavePath()};
    }

  private:
    // Declared first: the link closes its port before the simulator goes away.
    std::unique_ptr<sim::LoggerSim> m_sim;
    LinkSession m_session;
    CoreTraceServices m_trace;
};

}  // namespace

std::unique_ptr<DeviceBackend> MakeDeviceBackend(bool simulate) {
    auto backend = std::make_unique<Backend>();
    if (simulate && !backend->StartSimulator()) {
        return nullptr;
    }
    return backend;
}

}  // namespace pelmora
