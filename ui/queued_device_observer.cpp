#include "ui/queued_device_observer.h"

#include <chrono>
#include <future>
#include <memory>

#include "ui/gui_call_queue.h"

namespace pelmora {

template <class Call>
void QueuedDeviceObserver::Post(Call call) {
    m_queue.Post([t = &m_target, call = std::move(call)] { call(*t); });
}

void QueuedDeviceObserver::OnStateChanged(DeviceState state) {
    Post([state](DeviceObserver& t) { t.OnStateChanged(state); });
}

void QueuedDeviceObserver::OnConnectFinished(const ConnectOutcome& outcome) {
    Post([outcome](DeviceObserver& t) { t.OnConnectFinished(outcome); });
}

void QueuedDeviceObserver::OnLogStatus(const LogStatus& status) {
    Post([status](DeviceObserver& t) { t.OnLogStatus(status); });
}

void QueuedDeviceObserver::OnCommandFinished(DeviceCommand command, CommandResult result) {
    Post([command, result](DeviceObserver& t) { t.OnCommandFinished(command, result); });
}

void QueuedDeviceObserver::OnNmeaLine(const std::string& line) {
    Post([line](DeviceObserver& t) { t.OnNmeaLine(line); });
}

void QueuedDeviceObserver::OnDisconnected(const std::string& port) {
    Post([port](DeviceObserver& t) { t.OnDisconnected(port); });
}

void QueuedDeviceObserver::OnReadFinished(const DownloadResult& result) {
    Post([result](DeviceObserver& t) { t.OnReadFinished(result); });
}

void QueuedDeviceObserver::ReadProgress(const DownloadProgress& progress) {
    Post([progress](DeviceObserver& t) { t.ReadProgress(progress); });
}

void QueuedDeviceObserver::StatusLine(const std::string& line) {
    Post([line](DeviceObserver& t) { t.StatusLine(line); });
}

bool QueuedDeviceObserver::Ask(bool (DeviceObserver::*question)()) {
    if (m_closed.load()) {
        return false;
    }
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> result = answer->get_future();
    Post([answer, question](DeviceObserver& t) { answer->set_value((t.*question)()); });
    // The device thread waits for the user, but not past the window's end.
    while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (m_closed.load()) {
            return false;
        }
    }
    return result.get();
}

bool QueuedDeviceObserver::ConfirmFactoryReset() {
    return Ask(&DeviceObserver::ConfirmFactoryReset);
}

bool QueuedDeviceObserver::ConfirmClearUndownloaded() {
    return Ask(&DeviceObserver::ConfirmClearUndownloaded);
}

}  // namespace pelmora
