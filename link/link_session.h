#pragma once
// The device session on the real link: the serial port, the datalog command object with its
// reader thread, the link record and the download.
//
// Thread contract: as DeviceSession. The session owns the port and the device object; the
// device thread is the only caller of everything but IsOpen, HungUp, LinkAlive, LineKind and
// CancelWait.
#include <string>

#include "link/datalog_device.h"
#include "link/device_session.h"
#include "link/log_download.h"
#include "link/serial_port.h"

namespace pelmora {

class LinkSession : public DeviceSession {
  public:
    // configFolder receives the link record (receiver.ini).
    explicit LinkSession(std::string configFolder);
    ~LinkSession() override;

    void SetListener(LinkListener* listener) override { m_device.SetListener(listener); }
    LinkError Open(const std::string& path, int baudRate) override;
    void Close() override;
    bool IsOpen() const override { return m_port.IsConnected(); }
    bool HungUp() const override { return m_port.HungUp(); }
    void ResetBuffers() override { m_port.FlushInput(); }
    bool StartReader() override;
    bool StopReader() override;
    bool LinkAlive() const override { return m_device.link.LinkAlive.load(); }
    int LineKind() const override { return m_device.link.LineKind.load(); }
    RateSearchResult FindLoggerRate(int configured, bool heardBefore) override {
        return FindLogger(m_device, configured, false, heardBefore, m_rateSearch);
    }
    void RecordLink(const std::string& path, int baudRate) override;

    CommandResult QueryDeviceId(std::string& id) override { return m_device.QueryDeviceId(id); }
    CommandResult QueryLogStatus(LogStatus& status) override {
        return m_device.QueryLogStatus(&status);
    }
    CommandResult ClearLog() override { return m_device.ClearLog(); }
    UndownloadedCheck CheckUndownloaded(const std::string& dataFolder) override {
        return pelmora::CheckUndownloaded(m_device, dataFolder);
    }
    CommandResult ConfigureLog(const RecordOptionsCommand& options) override;
    CommandResult WriteDeviceId(const std::string& id) override { return m_device.SetDeviceId(id); }
    DownloadResult ReadLog(const DownloadRequest& request, DownloadObserver& observer,
                           const std::atomic<bool>& stop) override;
    void CancelWait() override { m_port.SetCancel(1); }

    // For tests: the waits of the download sequence (settleWait).
    DownloadRequest& downloadTimings() { return m_downloadTimings; }
    DatalogDevice& device() { return m_device; }
    RateSearchTimings& rateSearchTimings() { return m_rateSearch; }

  private:
    std::string m_configFolder;
    SerialPort m_port;
    DatalogDevice m_device;
    DownloadRequest m_downloadTimings;
    RateSearchTimings m_rateSearch;
};

}  // namespace pelmora
