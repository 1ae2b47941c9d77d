#include "link/device_controller.h"

#include <future>
#include <thread>
#include <utility>

#include "link/device_texts.h"
#include "link/link_state.h"

namespace pelmora {

std::string_view StateText(DeviceState state) {
    switch (state) {
        case DeviceState::Disconnected:
            return "Disconnected";
        case DeviceState::Connecting:
            return "Connecting...";
        case DeviceState::Connected:
            return "Connected";
        case DeviceState::Busy:
            return "Busy...";
        case DeviceState::Reading:
            return "Reading...";
        case DeviceState::Stopping:
            return "Stopping...";
        case DeviceState::Offline:
            return "Offline";
    }
    return "";
}

DeviceController::DeviceController(DeviceSession& session, DeviceObserver& observer)
    : session_(session), observer_(observer) {
    session_.SetListener(this);
}

DeviceController::~DeviceController() {
    Shutdown();
    session_.SetListener(nullptr);
}

void DeviceController::Shutdown() {
    if (closing_.exchange(true)) {
        return;
    }
    stop_.store(true);
    // A range on the line ends at once; the Read still switches the logger back on its way out.
    session_.CancelWait();
    std::promise<void> closed;
    std::future<void> done = closed.get_future();
    device_.Post([this, &closed] {
        if (session_.IsOpen()) {
            session_.Close();
        }
        closed.set_value();
    });
    // Every wait of the job in hand is bounded; this one only guards against a stuck driver.
    (void)done.wait_for(std::chrono::seconds(30));
    device_.Shutdown();
}

std::string DeviceController::port() const {
    std::lock_guard lock(portMutex_);
    return port_;
}

void DeviceController::SetState(DeviceState state) {
    if (state_.exchange(state) != state) {
        observer_.OnStateChanged(state);
    }
}

LinkError DeviceController::Connect(const std::string& path, int baudRate) {
    if (closing_.load()) {
        return {LinkFault::Other, 0, path + ": the program is closing"};
    }
    {
        std::lock_guard lock(portMutex_);
        port_ = path;
    }
    generation_.fetch_add(1);
    auto opened = std::make_shared<std::promise<LinkError>>();
    std::future<LinkError> result = opened->get_future();
    device_.Post([this, path, baudRate, opened] {
        if (session_.IsOpen()) {
            session_.StopReader();
            session_.Close();
        }
        LinkError error = session_.Open(path, baudRate);
        if (!error.ok()) {
            session_.Close();
            SetState(DeviceState::Disconnected);
            opened->set_value(std::move(error));
            return;
        }
        SetState(DeviceState::Connecting);
        opened->set_value({});
        const ConnectOutcome outcome = FindOnDevice(path, baudRate);
        if (!outcome.ok()) {
            CloseOnDevice(DeviceState::Disconnected);
        } else {
            SetState(DeviceState::Connected);
        }
        observer_.OnConnectFinished(outcome);
    });
    // The device thread is idle at a connect, or ends its job within that job's bounded waits.
    return result.get();
}

ConnectOutcome DeviceController::FindOnDevice(const std::string& path, int baudRate) {
    ConnectOutcome outcome;
    session_.ResetBuffers();
    session_.StartReader();
    // The reader's first reads tell whether NMEA arrives at this rate; a silent or garbled line
    // may be a logger left at another rate, looked for at the others.
    const auto deadline = std::chrono::steady_clock::now() + timings.detectLimit;
    bool nmea = false;
    while (std::chrono::steady_clock::now() < deadline && !closing_.load()) {
        if (session_.HungUp()) {
            outcome.error = {LinkFault::Lost, 0, path + ": the line went away while connecting"};
            return outcome;
        }
        nmea = session_.LinkAlive() && session_.LineKind() == kLineKindNmea;
        if (nmea || session_.LineKind() == kLineKindOther) {
            break;
        }
        std::this_thread::sleep_for(timings.detectTick);
    }
    if (!nmea) {
        const bool heard = session_.LinkAlive() || session_.LineKind() != kLineKindNone;
        session_.StopReader();
        const RateSearchResult found = session_.FindLoggerRate(baudRate, heard);
        if (!found.error.ok()) {
            outcome.error = found.error;
            return outcome;
        }
        outcome.foundRate = found.foundRate;
        outcome.keptRate = found.kept;
        outcome.waitedOutRange = found.waitedOutRange;
        session_.StartReader();
    }
    session_.StopReader();
    const CommandResult asked = session_.QueryDeviceId(outcome.id);
    session_.StartReader();
    if (asked == CommandResult::Done) {
        session_.RecordLink(path, outcome.keptRate ? outcome.foundRate : baudRate);
        return outcome;
    }
    if (asked == CommandResult::Disconnected) {
        outcome.error = {LinkFault::Lost, 0, DisconnectedText(path)};
    } else if (session_.LineKind() == kLineKindNmea) {
        // NMEA, but no answer to the device-ID query: a GPS receiver, not a logger.
        outcome.notALogger = true;
        outcome.error = NotALoggerError(path);
    } else {
        outcome.error = {LinkFault::Silent, 0,
                         path + ": " + std::string(ResultText(asked)) + " to the device-ID query"};
    }
    return outcome;
}

void DeviceController::CloseOnDevice(DeviceState after) {
    if (session_.IsOpen()) {
        session_.StopReader();
        session_.Close();
    }
    SetState(after);
}

void DeviceController::GoOffline() {
    generation_.fetch_add(1);
    SetState(DeviceState::Offline);
    device_.Post([this] { CloseOnDevice(DeviceState::Offline); });
}

void DeviceController::Lost() {
    const std::uint64_t generation = generation_.load();
    CloseOnDevice(DeviceState::Disconnected);
    if (lostTold_.exchange(generation) != generation) {
        observer_.OnDisconnected(port());
    }
}

void DeviceController::QueryStatus() {
    device_.Post([this] {
        if (state_.load() != DeviceState::Connected || !session_.IsOpen()) {
            return;
        }
        session_.StopReader();
        LogStatus status;
        const CommandResult result = session_.QueryLogStatus(status);
        if (result == CommandResult::Disconnected || session_.HungUp()) {
            Lost();
            return;
        }
        session_.StartReader();
        if (result == CommandResult::Done) {
            observer_.OnLogStatus(status);
        }
    });
}

void DeviceController::RunCommand(DeviceCommand command, std::function<CommandResult()> call) {
    if (!AcceptsCommands(state_.load())) {
        observer_.OnCommandFinished(command, CommandResult::NotConnected);
        return;
    }
    SetState(DeviceState::Busy);
    device_.Post([this, command, call = std::move(call)] {
        if (!session_.IsOpen()) {
            SetState(DeviceState::Disconnected);
            observer_.OnCommandFinished(command, CommandResult::NotConnected);
            return;
        }
        session_.StopReader();
        const CommandResult result = call();
        LogStatus status;
        // What the logger holds now, whatever the command did: the window draws only this.
        const CommandResult asked =
            result == CommandResult::Done ? session_.QueryLogStatus(status) : result;
        if (result == CommandResult::Disconnected || asked == CommandResult::Disconnected ||
            session_.HungUp()) {
            observer_.OnCommandFinished(command, CommandResult::Disconnected);
            Lost();
            return;
        }
        session_.StartReader();
        SetState(DeviceState::Connected);
        observer_.OnCommandFinished(command, result);
        if (asked == CommandResult::Done) {
            observer_.OnLogStatus(status);
        }
    });
}

void DeviceController::Clear(const std::string& dataFolder) {
    RunCommand(DeviceCommand::Clear, [this, dataFolder] {
        if (!dataFolder.empty()) {
            const UndownloadedCheck check = session_.CheckUndownloaded(dataFolder);
            if (!check.rateNote.empty()) {
                observer_.StatusLine(check.rateNote);
            }
            if (check.result != CommandResult::Done) {
                return check.result;
            }
            if (check.holds && !observer_.ConfirmClearUndownloaded()) {
                return CommandResult::Cancelled;
            }
        }
        return session_.ClearLog();
    });
}

void DeviceController::Configure(const RecordOptionsCommand& options) {
    RunCommand(DeviceCommand::Configure,
               [this, options] { return session_.ConfigureLog(options); });
}

void DeviceController::SetId(const std::string& id) {
    RunCommand(DeviceCommand::SetId, [this, id] { return session_.WriteDeviceId(id); });
}

void DeviceController::Read(const DownloadRequest& request) {
    if (!AcceptsCommands(state_.load())) {
        DownloadResult refused;
        refused.outcome = DownloadOutcome::StatusFailed;
        refused.status = CommandResult::NotConnected;
        observer_.OnReadFinished(refused);
        return;
    }
    stop_.store(false);
    SetState(DeviceState::Reading);
    device_.Post([this, request] {
        DownloadResult result;
        if (!session_.IsOpen()) {
            result.outcome = DownloadOutcome::StatusFailed;
            result.status = CommandResult::NotConnected;
            SetState(DeviceState::Disconnected);
            observer_.OnReadFinished(result);
            return;
        }
        session_.StopReader();
        result = session_.ReadLog(request, observer_, stop_);
        if (result.outcome == DownloadOutcome::Disconnected || session_.HungUp()) {
            observer_.OnReadFinished(result);
            Lost();
            return;
        }
        session_.StartReader();
        // The outcome first: it is told in the light of the Stop, if one was asked.
        observer_.OnReadFinished(result);
        SetState(DeviceState::Connected);
    });
}

void DeviceController::Stop() {
    DeviceState reading = DeviceState::Reading;
    stop_.store(true);
    if (state_.compare_exchange_strong(reading, DeviceState::Stopping)) {
        observer_.OnStateChanged(DeviceState::Stopping);
    }
}

void DeviceController::StopNow() {
    Stop();
    session_.CancelWait();
}

void DeviceController::OnNmeaLine(std::string_view line) {
    observer_.OnNmeaLine(std::string(line));
}

void DeviceController::OnLineLost() {
    // The reader has ended; closing the port is the device thread's.
    device_.Post([this] {
        if (session_.IsOpen() && session_.HungUp()) {
            Lost();
        }
    });
}

}  // namespace pelmora
