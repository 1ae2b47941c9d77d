// The device controller on a scripted session: what the window is told after a refusal, a
// silence, a lost line and a Stop, without any widget.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/device_controller.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;

class ScriptedSession : public DeviceSession {
  public:
    void SetListener(LinkListener* l) override { listener = l; }
    LinkError Open(const std::string&, int) override {
        open = true;
        return {};
    }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    bool HungUp() const override { return hungUp; }
    void ResetBuffers() override {}
    bool StartReader() override { return true; }
    bool StopReader() override { return true; }
    bool LinkAlive() const override { return true; }
    int LineKind() const override { return kLineKindNmea; }
    RateSearchResult FindLoggerRate(int, bool) override { return {}; }
    void RecordLink(const std::string&, int) override {}
    CommandResult QueryDeviceId(std::string& id) override {
        id = "PELMORA-7";
        return CommandResult::Done;
    }
    CommandResult QueryLogStatus(LogStatus& status) override {
        ++statusQueries;
        status.totalSectors = 16;
        return CommandResult::Done;
    }
    CommandResult ClearLog() override { return answer; }
    UndownloadedCheck CheckUndownloaded(const std::string&) override { return {}; }
    CommandResult ConfigureLog(const RecordOptionsCommand&) override { return answer; }
    CommandResult WriteDeviceId(const std::string&) override { return answer; }
    DownloadResult ReadLog(const DownloadRequest&, DownloadObserver&,
                           const std::atomic<bool>& stop) override {
        // A long range: it ends when asked to.
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (!stop.load() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(5ms);
        }
        DownloadResult r;
        r.outcome = DownloadOutcome::Stopped;
        return r;
    }
    void CancelWait() override {}

    std::atomic<bool> open{false};
    std::atomic<bool> hungUp{false};
    std::atomic<CommandResult> answer{CommandResult::Done};
    std::atomic<int> statusQueries{0};
    LinkListener* listener = nullptr;
};

// What the controller told, in order; the device thread writes, the test waits and reads.
class Recorder : public DeviceObserver {
  public:
    void OnStateChanged(DeviceState state) override {
        Add("state " + std::string(StateText(state)));
    }
    void OnConnectFinished(const ConnectOutcome& o) override {
        Add(o.ok() ? "connected " + o.id : "failed " + o.error.message);
    }
    void OnLogStatus(const LogStatus&) override { Add("status"); }
    void OnCommandFinished(DeviceCommand, CommandResult result) override {
        Add("result " + std::string(ResultText(result)));
    }
    void OnNmeaLine(const std::string&) override {}
    void OnDisconnected(const std::string& port) override { Add("disconnected " + port); }
    void OnReadFinished(const DownloadResult&) override { Add("read finished"); }

    bool WaitFor(const std::string& event) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] {
            return std::find(events_.begin(), events_.end(), event) != events_.end();
        });
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

  private:
    void Add(std::string e) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(e));
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

class Controller : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(controller.Connect("/dev/ttyUSB0", 4800).ok());
        ASSERT_TRUE(recorder.WaitFor("connected PELMORA-7"));
        ASSERT_EQ(controller.state(), DeviceState::Connected);
        recorder.Clear();
    }
    ScriptedSession session;
    Recorder recorder;
    DeviceController controller{session, recorder};
};

TEST_F(Controller, ACommandIsDoneOnlyWhenTheLoggerAcknowledged) {
    struct Row {
        CommandResult answer;
        std::vector<std::string> told;
    };
    const Row rows[] = {
        {CommandResult::Done, {"state Busy...", "state Connected", "result Done", "status"}},
        // No status follows a failure: nothing in the window may change as if it had worked.
        {CommandResult::Refused,
         {"state Busy...", "state Connected", "result The logger refused the command"}},
        {CommandResult::NoAnswer,
         {"state Busy...", "state Connected", "result The logger did not answer"}},
    };
    for (const Row& row : rows) {
        for (int command = 0; command < 3; ++command) {
            session.answer.store(row.answer);
            recorder.Clear();
            if (command == 0) {
                controller.Clear();
            } else if (command == 1) {
                controller.Configure({1, 2, 3});
            } else {
                controller.SetId("X");
            }
            ASSERT_TRUE(recorder.WaitFor(row.told.back()));
            EXPECT_EQ(recorder.Events(), row.told) << "command " << command;
        }
    }
}

TEST_F(Controller, ALostLineIsToldOnceAndRefusesCommands) {
    session.hungUp = true;
    session.listener->OnLineLost();
    session.listener->OnLineLost();
    ASSERT_TRUE(recorder.WaitFor("disconnected /dev/ttyUSB0"));
    while (!controller.Idle()) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(recorder.Events(),
              (std::vector<std::string>{"state Disconnected", "disconnected /dev/ttyUSB0"}));
    EXPECT_FALSE(session.open);
    controller.Clear();
    EXPECT_TRUE(recorder.WaitFor("result No logger is connected"));
}

TEST_F(Controller, AHangUpUnderACommandIsADisconnection) {
    session.answer.store(CommandResult::Disconnected);
    session.hungUp = true;
    controller.Configure({});
    ASSERT_TRUE(recorder.WaitFor("disconnected /dev/ttyUSB0"));
    EXPECT_EQ(controller.state(), DeviceState::Disconnected);
    EXPECT_EQ(recorder.Events()[1], "result The logger was disconnected");
}

TEST_F(Controller, StopIsStoppingAtOnceAndTheReadEndsConnected) {
    controller.Read({});
    EXPECT_EQ(controller.state(), DeviceState::Reading);
    controller.Stop();
    // Told on the caller's thread, before the Read has noticed.
    EXPECT_EQ(recorder.Events().back(), "state Stopping...");
    ASSERT_TRUE(recorder.WaitFor("read finished"));
    EXPECT_TRUE(recorder.WaitFor("state Connected"));
}

}  // namespace
}  // namespace pelmora
