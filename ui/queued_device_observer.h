#pragma once
// Hands the device controller's reports to an observer that lives on the GUI thread: each call is
// posted through the GUI call queue, in order. The factory-reset question waits for the answer,
// or for Close.
//
// Thread contract: the report calls come from any thread; Close from any thread. The target's
// calls run on the queue's thread only.
#include <atomic>

#include "link/device_controller.h"

namespace pelmora {

class GuiCallQueue;

class QueuedDeviceObserver : public DeviceObserver {
  public:
    QueuedDeviceObserver(DeviceObserver& target, GuiCallQueue& queue)
        : m_target(target), m_queue(queue) {}

    // A question still waiting is answered No; later ones are not asked.
    void Close() { m_closed.store(true); }

    void OnStateChanged(DeviceState state) override;
    void OnConnectFinished(const ConnectOutcome& outcome) override;
    void OnLogStatus(const LogStatus& status) override;
    void OnCommandFinished(DeviceCommand command, CommandResult result) override;
    void OnNmeaLine(const std::string& line) override;
    void OnDisconnected(const std::string& port) override;
    void OnReadFinished(const DownloadResult& result) override;
    void ReadProgress(const DownloadProgress& progress) override;
    bool ConfirmFactoryReset() override;
    bool ConfirmClearUndownloaded() override;
    void StatusLine(const std::string& line) override;

  private:
    template <class Call>
    void Post(Call call);
    // Asks the target on the GUI thread and waits for the answer, or for Close (then No).
    bool Ask(bool (DeviceObserver::*question)());

    DeviceObserver& m_target;
    GuiCallQueue& m_queue;
    std::atomic<bool> m_closed{false};
};

}  // namespace pelmora
