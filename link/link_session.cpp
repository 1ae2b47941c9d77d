#include "link/link_session.h"

#include <utility>

#include "link/link_record.h"

namespace pelmora {

LinkSession::LinkSession(std::string configFolder) : m_configFolder(std::move(configFolder)) {}

LinkSession::~LinkSession() {
    m_device.StopReader();
    m_device.SetPort(nullptr);
    m_port.Close();
}

LinkError LinkSession::Open(const std::string& path, int baudRate) {
    if (!m_port.Open(path, baudRate)) {
        return m_port.LastLinkError();
    }
    m_device.SetPort(&m_port);
    m_device.link.RestartProbe();
    return {};
}

void LinkSession::Close() {
    m_device.StopReader();
    m_device.SetPort(nullptr);
    m_port.Close();
}

bool LinkSession::StartReader() {
    return IsOpen() && m_device.StartReader();
}

bool LinkSession::StopReader() {
    return m_device.StopReader();
}

void LinkSession::RecordLink(const std::string& path, int baudRate) {
    ReceiverSettings record;
    record.comport = path;
    record.baudrate = baudRate;
    SaveReceiverSettings(record, m_configFolder);
}

CommandResult LinkSession::ConfigureLog(const RecordOptionsCommand& options) {
    // The maxima and the log mode are fixed by the command itself (65535 s, 20000 m, 4000,
    // enabled, one-way).
    return m_device.ConfigureLog(static_cast<std::uint32_t>(options.minTime),
                                 static_cast<std::uint32_t>(options.minDistance),
                                 static_cast<std::uint32_t>(options.minSpeed));
}

DownloadResult LinkSession::ReadLog(const DownloadRequest& request, DownloadObserver& observer,
                                    const std::atomic<bool>& stop) {
    DownloadRequest timed = request;
    timed.settleWait = m_downloadTimings.settleWait;
    return DownloadLog(m_device, timed, observer, stop);
}

}  // namespace pelmora
