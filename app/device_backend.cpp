#include "app/device_backend.h"

namespace pelmora {
namespace {

// Until the link lands: no port opens.
class NoDeviceSession : public DeviceSession {
  public:
    void BindHandlers(DeviceEventSink&) override {}
    bool Open(const std::string&, int) override { return false; }
    void Close() override {}
    bool IsOpen() const override { return false; }
    void ResetBuffers() override {}
    bool StartReader() override { return false; }
    bool StopReader() override { return true; }
    bool LinkAlive() const override { return false; }
    int LineKind() const override { return 0; }
    void RecordLink(const std::string&, int) override {}
    int QueryDeviceId(std::string&) override { return 0; }
    int QueryLogStatus() override { return 0; }
    int ClearLog() override { return 0; }
    int ConfigureLog(const RecordOptionsCommand&) override { return 0; }
    int WriteDeviceId(const std::string&) override { return 0; }
    ReadOutcome ReadLog(const std::string&, ReadObserver&, const std::atomic<bool>&) override {
        return ReadOutcome::Failed;
    }
};

class NoTraceServices : public TraceServices {
  public:
    DecodeOutcome Decompress(const std::string&, const std::string&, TimeValue,
                             WorkObserver&) override {
        return DecodeOutcome::NoInput;
    }
    TraceSummary Scan(const std::string&, const ConversionSettings&) override {
        TraceSummary s;
        s.message = "Open trace log file failed!";
        s.icon = BoxIcon::Error;
        return s;
    }
    bool Convert(const std::string&, TimeValue, TimeValue, const std::string&,
                 const ConversionSettings&, WorkObserver&) override {
        return false;
    }
};

class Backend : public DeviceBackend {
  public:
    DeviceSession& Session() override { return m_session; }
    TraceServices& Trace() override { return m_trace; }
    std::vector<std::string> ExtraPorts() const override { return {}; }

  private:
    NoDeviceSession m_session;
    NoTraceServices m_trace;
};

}  // namespace

std::unique_ptr<DeviceBackend> MakeDeviceBackend(bool) {
    return std::make_unique<Backend>();
}

}  // namespace pelmora
