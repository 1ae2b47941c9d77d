#pragma once
// The connection to the logger as the window shows it: one state, the commands run in turn on the
// device thread, every outcome told as it is. The window draws the state and enables its
// commands from it alone; it holds no device logic of its own.
//
// Thread contract: the public operations are called from one owner thread (the window's GUI
// thread) and never wait for the device, except the destructor (bounded). state() and port() may
// be read from any thread. The observer is called on the device thread, or on the owner's thread
// for the changes of state its own calls make (Connecting, Stopping, Offline); it must hand
// everything to its own thread itself. ConfirmFactoryReset may block.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/job_thread.h"
#include "link/command_result.h"
#include "link/device_session.h"
#include "link/link_error.h"
#include "link/log_download.h"
#include "link/log_status.h"

namespace pelmora {

enum class DeviceState : std::uint8_t {
    Disconnected,  // no port open
    Connecting,    // opening, finding the logger, asking its ID
    Connected,     // the logger answers; commands may be given
    Busy,          // a command (Clear, Configure, Set ID) is on the line
    Reading,       // a Read
    Stopping,      // a Read asked to stop
    Offline,       // the user chose no port: the trace side only
};

// "Connected", "Reading...", ...: the status bar's and the status log's word for it.
std::string_view StateText(DeviceState state);
// Whether commands to the logger (Read, Clear, Configure, Set ID) may be given.
inline bool AcceptsCommands(DeviceState state) {
    return state == DeviceState::Connected;
}

enum class DeviceCommand : std::uint8_t { Clear, Configure, SetId };

// How a Connect ended.
struct ConnectOutcome {
    LinkError error;              // None: connected
    int foundRate = 0;            // the logger was found at this other rate and switched back
    bool keptRate = false;        // ... or, not a download rate, used there as it is
    bool waitedOutRange = false;  // it was still sending another program's range
    std::string id;               // the device ID, when connected
    bool notALogger = false;
    bool ok() const { return error.ok(); }
};

class DeviceObserver : public DownloadObserver {
  public:
    virtual void OnStateChanged(DeviceState state) = 0;
    virtual void OnConnectFinished(const ConnectOutcome& outcome) = 0;
    virtual void OnLogStatus(const LogStatus& status) = 0;
    virtual void OnCommandFinished(DeviceCommand command, CommandResult result) = 0;
    virtual void OnNmeaLine(const std::string& line) = 0;
    // The line went away (hang-up, I/O error, the device node gone): told once per connection.
    virtual void OnDisconnected(const std::string& port) = 0;
    virtual void OnReadFinished(const DownloadResult& result) = 0;
    // "The logger holds data that has not been downloaded. Clear anyway?" True clears. Blocking
    // is fine: the Clear waits for the answer.
    virtual bool ConfirmClearUndownloaded() { return false; }
};

struct ControllerTimings {
    std::chrono::milliseconds detectTick{250};
    // The reader's verdict on the line is awaited this long before the logger is looked for at
    // the other rates.
    std::chrono::milliseconds detectLimit{3000};
};

class DeviceController : private LinkListener {
  public:
    DeviceController(DeviceSession& session, DeviceObserver& observer);
    ~DeviceController() override;
    DeviceController(const DeviceController&) = delete;
    DeviceController& operator=(const DeviceController&) = delete;

    DeviceState state() const { return state_.load(); }
    std::string port() const;

    // Opens the port (waiting for the open only): a port that cannot be opened says why at once
    // and leaves the state Disconnected. Then the logger is looked for on the device thread:
    // Connecting, then Connected or Disconnected, and OnConnectFinished either way. A port
    // already open is closed first.
    [[nodiscard]] LinkError Connect(const std::string& path, int baudRate);
    // Closes any port: Offline (the user chose "None").
    void GoOffline();

    // Each runs when the device thread is free; a command given while the state does not accept
    // commands is refused at once with NotConnected (nothing is sent).
    void QueryStatus();  // OnLogStatus on success; no change of state
    // With a data folder, the logger's log is first compared with the last download there, and
    // a log not downloaded is cleared only when ConfirmClearUndownloaded says so (else the result
    // is Cancelled). Without one it clears at once.
    void Clear(const std::string& dataFolder = {});
    void Configure(const RecordOptionsCommand& options);
    void SetId(const std::string& id);
    void Read(const DownloadRequest& request);
    // A Read stops after the range on the line (Stopping at once); StopNow also cuts that range.
    void Stop();
    void StopNow();

    // Ends the Read in hand (cutting its range; the logger is still switched back), closes the
    // port and ends the device thread; waits for that, bounded. Nothing runs after it.
    void Shutdown();

    // No job queued or running on the device thread.
    bool Idle() const { return !device_.Busy(); }
    ControllerTimings timings;

  private:
    void SetState(DeviceState state);
    void RunCommand(DeviceCommand command, std::function<CommandResult()> call);
    // On the device thread: the port is lost; Disconnected, told once.
    void Lost();
    void CloseOnDevice(DeviceState after);
    ConnectOutcome FindOnDevice(const std::string& path, int baudRate);

    // LinkListener: the reader thread.
    void OnNmeaLine(std::string_view line) override;
    void OnLineLost() override;

    DeviceSession& session_;
    DeviceObserver& observer_;
    std::atomic<DeviceState> state_{DeviceState::Disconnected};
    mutable std::mutex portMutex_;
    std::string port_;  // guarded by portMutex_
    std::atomic<bool> stop_{false};
    std::atomic<bool> closing_{false};
    // Bumped by each Connect: a lost line of an older connection is not told.
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<std::uint64_t> lostTold_{0};
    JobThread device_;  // declared last: joined first
};

}  // namespace pelmora
